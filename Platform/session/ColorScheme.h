#pragma once

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>

// The desktop's light or dark preference, from the settings portal's
// org.freedesktop.appearance color-scheme (GNOME and KDE both answer it),
// followed as the user changes it.
class ColorScheme : public QObject {
    Q_OBJECT

public:
    enum class Preference { none, dark, light };

    explicit ColorScheme(QDBusConnection bus = QDBusConnection::sessionBus(),
                         QObject *parent = nullptr);

    Preference preference() const { return m_preference; }
    // The portal's value (0 none, 1 dark, 2 light); anything else is none.
    static Preference fromPortal(const QVariant &value);

signals:
    void changed();

private slots:
    void settingChanged(const QString &group, const QString &key, const QDBusVariant &value);

private:
    void set(Preference preference);

    Preference m_preference = Preference::none;
};
