#include "Orvell/library/LibraryWindowController.h"

#include "Orvell/core/AppEnvironment.h"
#include "OrvellKitUI/AppIcon.h"
#include "Orvell/library/LibraryWindow.h"
#include "settings/PreferenceKeys.h"
#include "Platform/x11/X11Window.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace {

// Remembers the window's place whenever it is closed or hidden.
class GeometryKeeper : public QObject {
public:
    GeometryKeeper(SettingsStore &settings, QObject *parent)
        : QObject(parent)
        , m_settings(settings) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Hide || event->type() == QEvent::Close)
            m_settings.setValue(
                PreferenceKeys::libraryWindowGeometry,
                QString::fromLatin1(static_cast<QWidget *>(watched)->saveGeometry().toBase64()));
        return false;
    }

private:
    SettingsStore &m_settings;
};

} // namespace

LibraryWindowController::LibraryWindowController(AppEnvironment &env, QObject *parent)
    : QObject(parent)
    , m_env(env) {
    connect(&env.prefs(), &Preferences::showInTaskbarChanged, this,
            &LibraryWindowController::applyTaskbarPolicy);
}

LibraryWindowController::~LibraryWindowController() = default;

void LibraryWindowController::show() {
    if (!m_window) {
        m_window = std::make_unique<LibraryWindow>(m_env);
        m_window->setWindowIcon(AppIcon::icon());
        m_window->onQuit = [this] {
            if (onQuit)
                onQuit();
        };
        const QByteArray saved =
            QByteArray::fromBase64(m_env.settings().stringValue(PreferenceKeys::libraryWindowGeometry).toLatin1());
        if (!saved.isEmpty()) {
            m_window->restoreGeometry(saved);
        } else if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            m_window->setGeometry(firstPlace(screen->availableGeometry(), m_window->size(),
                                             m_window->minimumSize(),
                                             panels ? panels() : std::vector<QRect>()));
        }
        m_window->installEventFilter(new GeometryKeeper(m_env.settings(), m_window.get()));
    }
    m_window->show();
    applyTaskbarPolicy();
    m_window->raise();
    m_window->activateWindow();
}

QRect LibraryWindowController::firstPlace(const QRect &free, const QSize &wanted,
                                          const QSize &minimum, const std::vector<QRect> &panels) {
    constexpr int gap = 12;
    constexpr int titleBar = 32; // the window manager's, above the given place
    int top = free.top() + titleBar;
    int bottom = free.bottom() + 1;
    for (const QRect &panel : panels) {
        if (!panel.isValid() || panel.right() < free.left() || panel.left() > free.right())
            continue;
        if (panel.center().y() < free.center().y())
            top = std::max(top, panel.bottom() + 1 + gap + titleBar);
        else
            bottom = std::min(bottom, panel.top() - gap);
    }
    const int width = std::min(wanted.width(), free.width());
    int height = std::min(wanted.height(), bottom - top);
    if (height < minimum.height()) {
        // Too little room between them: the smallest window, below the
        // island as far as the screen lets it; the deck may cover its foot.
        height = std::min(minimum.height(), free.height() - titleBar);
        top = std::min(top, free.bottom() + 1 - height);
    }
    return QRect(free.left() + (free.width() - width) / 2, top, width, height);
}

void LibraryWindowController::showSettings() {
    if (m_window)
        m_window->showSettings();
}

void LibraryWindowController::applyTaskbarPolicy() {
    if (m_window && m_window->windowHandle() && X11Window::isAvailable())
        X11Window::setSkipTaskbar(m_window->windowHandle(), !m_env.prefs().showInTaskbar());
}
