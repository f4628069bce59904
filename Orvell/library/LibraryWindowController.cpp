#include "Orvell/library/LibraryWindowController.h"

#include "Orvell/core/AppEnvironment.h"
#include "OrvellKitUI/AppIcon.h"
#include "Orvell/library/LibraryWindow.h"
#include "settings/PreferenceKeys.h"
#include "Platform/x11/X11Window.h"

#include <QEvent>
#include <QWindow>

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
        if (!saved.isEmpty())
            m_window->restoreGeometry(saved);
        m_window->installEventFilter(new GeometryKeeper(m_env.settings(), m_window.get()));
    }
    m_window->show();
    applyTaskbarPolicy();
    m_window->raise();
    m_window->activateWindow();
}

void LibraryWindowController::showSettings() {
    if (m_window)
        m_window->showSettings();
}

void LibraryWindowController::applyTaskbarPolicy() {
    if (m_window && m_window->windowHandle() && X11Window::isAvailable())
        X11Window::setSkipTaskbar(m_window->windowHandle(), !m_env.prefs().showInTaskbar());
}
