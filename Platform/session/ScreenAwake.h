#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <optional>

// Keeps the screen from dimming and locking on its own while a script is
// read: asks the desktop portal's Inhibit, else the session's screen saver
// (org.freedesktop.ScreenSaver, as KDE Plasma, Xfce and others offer it),
// else GNOME's session manager, to hold off idleness, and lets go when told.
// Locking the screen by hand still works.
class ScreenAwake : public QObject {
    Q_OBJECT

public:
    explicit ScreenAwake(QDBusConnection bus = QDBusConnection::sessionBus(),
                         QObject *parent = nullptr);
    ~ScreenAwake() override;

    // Asks for the hold, or gives it back; a change while an answer is on its
    // way is carried out when it arrives.
    void setHeld(bool held);
    bool isHeld() const { return m_cookie.has_value() || !m_request.isEmpty(); }
    // Why the screen could not be kept awake; empty when it is, or was not asked.
    const QString &problem() const { return m_problem; }

signals:
    void heldChanged();
    void problemChanged();

private:
    enum class Service { portal, screenSaver, gnomeSession };
    void ask(Service service);
    void release();
    void setProblem(const QString &problem);

    QDBusConnection m_bus;
    bool m_wanted = false;
    bool m_asking = false;
    std::optional<quint32> m_cookie; // the screen saver's and GNOME's
    QString m_request;               // the portal's: closing it lets go
    Service m_service = Service::portal;
    QString m_problem;
};
