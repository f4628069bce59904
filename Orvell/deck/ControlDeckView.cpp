#include "Orvell/deck/ControlDeckView.h"

#include "Orvell/core/AppEnvironment.h"
#include "OrvellKitUI/GlassButton.h"
#include "OrvellKitUI/PanelCursor.h"
#include "OrvellKitUI/PlayButton.h"
#include "OrvellKitUI/SessionReadouts.h"
#include "OrvellKitUI/SpeedSlider.h"
#include "OrvellKitUI/TypographySteppers.h"
#include "OrvellKitUI/VoiceFollowButton.h"
#include "Platform/session/ScreenAwake.h"
#include "Platform/x11/X11Window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QToolButton *toggleButton(const QString &text, QWidget *parent) {
    auto *b = new QToolButton(parent);
    b->setText(text);
    b->setFocusPolicy(Qt::NoFocus);
    b->setCursor(Qt::PointingHandCursor);
    b->setStyleSheet(QStringLiteral(
        "QToolButton { color: white; background: rgba(255,255,255,28); border: 1px solid "
        "rgba(255,255,255,46); border-radius: 12px; padding: 4px 12px; }"
        "QToolButton:hover { background: rgba(255,255,255,60); }"));
    return b;
}

} // namespace

ControlDeckView::ControlDeckView(AppEnvironment &env, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint |
                          Qt::NoDropShadowWindowHint)
    , m_env(env) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Orvell Controls"));
    setAccessibleName(QStringLiteral("Orvell Controls"));
    m_composited = X11Window::isAvailable() && X11Window::hasCompositor();
    // Without a compositor the rounded card becomes the window's shape.
    if (m_composited)
        setAttribute(Qt::WA_TranslucentBackground);
    setCursor(Qt::OpenHandCursor);

    auto *column = m_column = new QVBoxLayout(this);
    column->setContentsMargins(deckPadding, deckPadding, deckPadding, deckPadding);
    column->setSpacing(deckCardGap);

    auto *transport = new QHBoxLayout;
    transport->setSpacing(10);
    m_menuButton = new GlassButton(GlassButton::Glyph::menu, QStringLiteral("Orvell Menu"),
                                   glassButtonSmall, this);
    m_menuButton->hide();
    m_play = new PlayButton(glassButtonDiameter, this);
    m_restart = new GlassButton(GlassButton::Glyph::restart, QStringLiteral("Restart"),
                                glassButtonDiameter, this);
    m_voice = new VoiceFollowButton(env.voice(), env.prefs().reading(), glassButtonDiameter, this);
    m_readouts = new SessionReadouts(env.scroll(), env.store(), this);
    m_readouts->followPace(env.pace());
    m_hide = new GlassButton(GlassButton::Glyph::close, QStringLiteral("Hide Controls"),
                             glassButtonSmall, this);
    transport->addWidget(m_menuButton, 0, Qt::AlignVCenter);
    transport->addWidget(m_play);
    transport->addWidget(m_restart);
    transport->addWidget(m_voice);
    transport->addWidget(m_readouts, 1);
    transport->addWidget(m_hide, 0, Qt::AlignTop);
    column->addLayout(transport);

    // What voice follow or the pace guide is doing; a change is said here
    // for a few seconds, then the steady line comes back.
    m_modeStatus = new QLabel(this);
    m_modeStatus->setWordWrap(true);
    m_modeStatus->setAccessibleName(QStringLiteral("Reading mode status"));
    column->addWidget(m_modeStatus);
    m_noticeTimer.setSingleShot(true);
    m_noticeTimer.setInterval(noticeMs);
    connect(&m_noticeTimer, &QTimer::timeout, this, &ControlDeckView::showModeStatus);
    ModeStatus &status = env.modeStatus();
    connect(&status, &ModeStatus::lineChanged, this, [this] {
        if (!m_noticeTimer.isActive())
            showModeStatus();
    });
    connect(&status, &ModeStatus::notice, this, [this](const ModeStatus::Line &line) {
        showStatusLine(line);
        m_noticeTimer.start();
    });
    showModeStatus();

    auto *speedRow = new QHBoxLayout;
    auto *speedLabel = new QLabel(QStringLiteral("Speed"), this);
    speedLabel->setStyleSheet(QStringLiteral("color: rgba(255,255,255,166);"));
    m_speed = new SpeedSlider(this);
    m_speed->setFocusPolicy(Qt::NoFocus); // keys stay with the presentation
    speedRow->addWidget(speedLabel);
    speedRow->addWidget(m_speed, 1);
    column->addLayout(speedRow);

    m_steppers = new TypographySteppers(env.prefs().reading(), this);
    column->addWidget(m_steppers);

    auto *toggles = new QHBoxLayout;
    m_islandToggle = toggleButton(QStringLiteral("Island"), this);
    m_deckToggle = toggleButton(QStringLiteral("Controls"), this);
    // Problems are said here too, where the reader looks: the library
    // window with the settings may be closed while the user reads.
    const auto warning = [this](const QString &text, const QString &name) {
        QToolButton *b = toggleButton(QStringLiteral("\u26A0 ") + text, this);
        b->setStyleSheet(QStringLiteral(
            "QToolButton { color: #FFD479; background: rgba(255,170,0,40); border: 1px solid "
            "rgba(255,170,0,110); border-radius: 12px; padding: 4px 12px; }"));
        b->setAccessibleName(name);
        return b;
    };
    m_saveProblem = warning(QStringLiteral("Not saved"), QStringLiteral("Changes not saved"));
    m_awakeProblem = warning(QStringLiteral("Screen may dim"),
                             QStringLiteral("The screen may dim while you read"));
    m_voiceProblem = warning(QStringLiteral("Not listening"),
                             QStringLiteral("Voice follow is not listening"));
    toggles->addWidget(m_islandToggle);
    toggles->addWidget(m_deckToggle);
    toggles->addStretch(1);
    toggles->addWidget(m_voiceProblem);
    toggles->addWidget(m_awakeProblem);
    toggles->addWidget(m_saveProblem);
    column->addLayout(toggles);
    // Each shows while its sentence is not empty, the sentence in its tooltip.
    const auto say = [](QToolButton *button, const QString &problem, const QString &hint) {
        button->setVisible(!problem.isEmpty());
        button->setToolTip(problem + QLatin1Char(' ') + hint);
        button->setAccessibleDescription(problem);
    };
    const QString forSettings = QStringLiteral("Click for the settings.");
    ReadingPreferences &reading = env.prefs().reading();
    const auto syncAwakeProblem = [this, say, forSettings, &env, &reading] {
        say(m_awakeProblem, reading.keepScreenAwake() ? env.screenAwake().problem() : QString(),
            forSettings);
    };
    connect(&env.screenAwake(), &ScreenAwake::problemChanged, this, syncAwakeProblem);
    connect(&reading, &ReadingPreferences::keepScreenAwakeChanged, this, syncAwakeProblem);
    syncAwakeProblem();
    connect(m_awakeProblem, &QToolButton::clicked, this, &ControlDeckView::settingsRequested);
    // Voice follow switched on but unable to listen: the reading modes'
    // status says so, and why.
    const auto syncVoiceProblem = [this, say, forSettings, &env] {
        const ModeStatus::Line &line = env.modeStatus().line();
        say(m_voiceProblem, line.problem ? line.text : QString(), forSettings);
    };
    connect(&env.modeStatus(), &ModeStatus::lineChanged, this, syncVoiceProblem);
    syncVoiceProblem();
    connect(m_voiceProblem, &QToolButton::clicked, this, &ControlDeckView::settingsRequested);
    const auto syncSaveProblem = [this, say, &env] {
        say(m_saveProblem, env.store().saveProblem(), QStringLiteral("Click to open the library."));
    };
    connect(&env.store(), &ScriptStore::saveProblemChanged, this, syncSaveProblem);
    syncSaveProblem();
    connect(m_saveProblem, &QToolButton::clicked, this, &ControlDeckView::saveProblemClicked);

    ScrollEngine &scroll = env.scroll();
    PrompterCommands &commands = env.commands();
    const auto command = [&commands](HotKeyAction action) {
        return [&commands, action] { commands.handle(action); };
    };
    connect(m_play, &QAbstractButton::clicked, this, command(HotKeyAction::playPause));
    connect(m_restart, &QAbstractButton::clicked, this, command(HotKeyAction::restart));
    connect(m_hide, &QAbstractButton::clicked, this, &ControlDeckView::hideClicked);
    connect(m_islandToggle, &QToolButton::clicked, this, command(HotKeyAction::toggleIsland));
    connect(m_deckToggle, &QToolButton::clicked, this, command(HotKeyAction::toggleControlDeck));
    connect(m_menuButton, &QAbstractButton::clicked, this, [this] {
        if (m_menu)
            m_menu->popup(m_menuButton->mapToGlobal(QPoint(0, m_menuButton->height())));
    });
    const auto syncPlay = [this, &scroll] { m_play->setPlaying(scroll.isPlaying()); };
    connect(&scroll, &ScrollEngine::isPlayingChanged, this, syncPlay);
    syncPlay();
    m_speed->setT(scroll.t());
    connect(&scroll, &ScrollEngine::tChanged, this, [this, &scroll] { m_speed->setT(scroll.t()); });
    connect(m_speed, &SpeedSlider::tEdited, &commands, &PrompterCommands::setSpeed);
    // The pace guide times the words itself: the speed waits until it is off.
    const auto paced = [this, &reading] {
        const bool on = reading.paceGuideEnabled();
        m_speed->setEnabled(!on);
        m_speed->setToolTip(on ? QStringLiteral("The pace guide sets the pace to the target time; "
                                                "the speed applies when it is off.")
                               : QString());
    };
    connect(&reading, &ReadingPreferences::paceGuideEnabledChanged, this, paced);
    paced();
    for (auto signal : {&ReadingPreferences::paceGuideEnabledChanged,
                        &ReadingPreferences::pacePauseStyleChanged})
        connect(&reading, signal, m_readouts, &SessionReadouts::refreshEstimate);
    connect(&env.shortcutRegistry(), &ShortcutRegistry::bindingsChanged, this, &ControlDeckView::refreshHelp);
    refreshHelp();
    setFixedWidth(deckWidth);
    if (m_composited)
        setShadowStyle(X11Window::inputShapesPassClicks() ? Shadows::controlDeck()
                                                          : Shadows::close(Shadows::controlDeck()));
    adjustSize();
}

void ControlDeckView::setShadowStyle(std::optional<ShadowStyle> style) {
    const QPoint card = pos() + QPoint(m_bleed.left(), m_bleed.top());
    m_shadowStyle = style;
    m_bleed = style ? DropShadow::bleed(*style) : QMargins();
    m_column->setContentsMargins(QMargins(deckPadding, deckPadding, deckPadding, deckPadding) +
                                 m_bleed);
    setFixedWidth(deckWidth + m_bleed.left() + m_bleed.right());
    adjustSize();
    moveCardTo(card);
    updateShapes();
    update();
}

QPainterPath ControlDeckView::cardPath() const {
    QPainterPath card;
    card.addRoundedRect(QRectF(cardRect()), deckCornerRadius, deckCornerRadius);
    return card;
}

void ControlDeckView::updateShapes() {
    const QRegion region(cardPath().toFillPolygon().toPolygon(), Qt::WindingFill);
    if (!m_composited)
        setMask(region);
    else if (windowHandle())
        // The shadow's margin lets clicks through to what lies below.
        X11Window::setShapes(windowHandle(), nullptr, region);
}

void ControlDeckView::showModeStatus() {
    showStatusLine(m_env.modeStatus().line());
}

void ControlDeckView::showStatusLine(const ModeStatus::Line &line) {
    m_modeStatus->setText(line.text);
    m_modeStatus->setAccessibleDescription(line.text);
    m_modeStatus->setStyleSheet(line.problem ? QStringLiteral("color: #FFD479;")
                                             : QStringLiteral("color: rgba(255,255,255,166);"));
    m_modeStatus->setVisible(!line.text.isEmpty());
    // The deck sits above the bottom of the screen: it grows upwards.
    const int bottom = geometry().bottom();
    adjustSize();
    if (isVisible())
        move(x(), bottom + 1 - height());
}

QString ControlDeckView::toggleHelp(const QString &title, const QString &shortcut) {
    return title + QStringLiteral(" (") + shortcut + QStringLiteral(" from any app)");
}

QString ControlDeckView::hideHelp(const QString &shortcut) {
    return QStringLiteral("Hide Controls (") + shortcut + QStringLiteral(" brings them back)");
}

void ControlDeckView::refreshHelp() {
    const auto shortcut = [this](HotKeyAction action) {
        return m_env.shortcutRegistry().binding(action).displayString();
    };
    m_islandToggle->setToolTip(toggleHelp(HotKeyActions::names.title(HotKeyAction::toggleIsland),
                                          shortcut(HotKeyAction::toggleIsland)));
    m_islandToggle->setAccessibleName(HotKeyActions::names.title(HotKeyAction::toggleIsland));
    m_deckToggle->setToolTip(toggleHelp(HotKeyActions::names.title(HotKeyAction::toggleControlDeck),
                                        shortcut(HotKeyAction::toggleControlDeck)));
    m_deckToggle->setAccessibleName(HotKeyActions::names.title(HotKeyAction::toggleControlDeck));
    m_hide->setToolTip(hideHelp(shortcut(HotKeyAction::toggleControlDeck)));
}

void ControlDeckView::setMenu(QMenu *menu) {
    m_menu = menu;
    m_menuButton->setVisible(menu != nullptr);
}

void ControlDeckView::paintEvent(QPaintEvent *) {
    QPainter p(this);
    if (m_shadowStyle)
        m_shadow.paint(p, cardPath(), *m_shadowStyle);
    GlassCard::paint(p, QRectF(cardRect()), deckCornerRadius);
}

void ControlDeckView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    updateShapes();
}

void ControlDeckView::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    updateShapes();
}

void ControlDeckView::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton || !cardRect().contains(event->position().toPoint()))
        return;
    m_dragFrom = event->globalPosition().toPoint();
    m_windowAtPress = pos();
    setCursor(Qt::ClosedHandCursor);
    PanelCursor::shared().setSurface(Qt::ClosedHandCursor);
}

void ControlDeckView::mouseMoveEvent(QMouseEvent *event) {
    if (m_dragFrom)
        move(m_windowAtPress + event->globalPosition().toPoint() - *m_dragFrom);
}

void ControlDeckView::mouseReleaseEvent(QMouseEvent *) {
    if (!m_dragFrom)
        return;
    const bool moved = pos() != m_windowAtPress;
    m_dragFrom.reset();
    setCursor(Qt::OpenHandCursor);
    PanelCursor::shared().setSurface(Qt::OpenHandCursor);
    if (moved)
        emit dragged(pos() + QPoint(m_bleed.left(), m_bleed.top()));
}
