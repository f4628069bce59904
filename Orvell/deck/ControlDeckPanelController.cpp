#include "Orvell/deck/ControlDeckPanelController.h"

#include "Orvell/core/AppEnvironment.h"
#include "Orvell/deck/ControlDeckView.h"
#include "OrvellKitUI/PlayButton.h"
#include "Orvell/core/ScreenObserver.h"
#include "settings/PreferenceKeys.h"
#include "Platform/x11/X11Window.h"

#include <QGuiApplication>
#include <QPropertyAnimation>
#include <QScreen>

#include <algorithm>

ControlDeckPanelController::ControlDeckPanelController(AppEnvironment &env, ScreenObserver &screens,
                                                       QObject *parent)
    : QObject(parent)
    , m_env(env)
    , m_screens(screens) {
    // A panel that appears or moves, other displays, a wake from suspend: a
    // deck the user never dragged keeps its place above the bottom of the
    // free area.
    connect(&screens, &ScreenObserver::replaced, this, [this] {
        if (!m_view || !m_visible || remembered())
            return;
        if (const auto screen = m_screens.resolve())
            m_view->moveCardTo(placement(screen->visibleFrame, m_view->cardRect().size()));
    });
}

ControlDeckPanelController::~ControlDeckPanelController() {
    delete m_view;
}

QPoint ControlDeckPanelController::placement(const QRectF &visible, const QSize &deck) {
    const double x = visible.center().x() - deck.width() / 2.0;
    const double room = std::max(0.0, visible.height() - deck.height());
    const double y = visible.bottom() - deck.height() - std::min(bottomMargin, room);
    return {static_cast<int>(std::round(x)), static_cast<int>(std::round(y))};
}

std::optional<QPoint> ControlDeckPanelController::remembered() const {
    const QStringList parts = m_env.settings().stringValue(PreferenceKeys::controlDeckPosition).split(QLatin1Char(' '));
    bool okX = false, okY = false;
    const QPoint at(parts.value(0).toInt(&okX), parts.value(1).toInt(&okY));
    if (!okX || !okY)
        return std::nullopt;
    // Only where some screen still shows the deck's top-left corner.
    for (const QScreen *screen : QGuiApplication::screens())
        if (screen->geometry().contains(at))
            return at;
    return std::nullopt;
}

void ControlDeckPanelController::create() {
    m_view = new ControlDeckView(m_env);
    // Play draws the eye until it is first used, in this start or a later one.
    if (!m_env.settings().boolValue(PreferenceKeys::firstPlayDone)) {
        m_view->playButton()->setPulsing(true);
        connect(&m_env.scroll(), &ScrollEngine::isPlayingChanged, m_view, [this] {
            if (!m_env.scroll().isPlaying() || !m_view->playButton()->isPulsing())
                return;
            m_env.settings().setValue(PreferenceKeys::firstPlayDone, true);
            m_view->playButton()->setPulsing(false);
        });
    }
    m_view->setMenu(m_menu);
    connect(m_view, &ControlDeckView::hideClicked, this, [this] { setVisible(false); });
    connect(m_view, &ControlDeckView::saveProblemClicked, this,
            &ControlDeckPanelController::saveProblemClicked);
    connect(m_view, &ControlDeckView::settingsRequested, this,
            &ControlDeckPanelController::settingsRequested);
    connect(m_view, &ControlDeckView::dragged, this, [this](QPoint at) {
        m_env.settings().setValue(PreferenceKeys::controlDeckPosition, QStringLiteral("%1 %2").arg(at.x()).arg(at.y()));
    });
}

void ControlDeckPanelController::setMenu(QMenu *menu) {
    m_menu = menu;
    if (m_view)
        m_view->setMenu(menu);
}

void ControlDeckPanelController::setVisible(bool visible) {
    if (visible == m_visible)
        return;
    m_visible = visible;
    if (visible) {
        const bool first = !m_view;
        if (first)
            create();
        m_view->adjustSize();
        if (const auto at = remembered()) {
            m_view->moveCardTo(*at);
        } else if (const auto screen = m_screens.resolve()) {
            m_view->moveCardTo(placement(screen->visibleFrame, m_view->cardRect().size()));
        }
        m_view->setWindowOpacity(0);
        m_view->show();
        if (first && X11Window::isAvailable())
            X11Window::keepAbove(m_view->windowHandle()); // it bypasses the window manager
        auto *fade = new QPropertyAnimation(m_view, "windowOpacity", m_view);
        fade->setDuration(fadeInMs);
        fade->setEndValue(1.0);
        fade->start(QAbstractAnimation::DeleteWhenStopped);
    } else if (m_view) {
        auto *fade = new QPropertyAnimation(m_view, "windowOpacity", m_view);
        fade->setDuration(fadeOutMs);
        fade->setEndValue(0.0);
        QObject::connect(fade, &QPropertyAnimation::finished, m_view, [this] {
            if (!m_visible)
                m_view->hide();
        });
        fade->start(QAbstractAnimation::DeleteWhenStopped);
    }
    emit visibilityChanged(visible);
}
