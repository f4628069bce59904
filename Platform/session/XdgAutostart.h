#pragma once

#include "settings/Autostart.h"

#include <QString>

// Launch at login through an XDG autostart entry
// (~/.config/autostart/org.orvell.Orvell.desktop), which every freedesktop
// session honours.
class XdgAutostart : public Autostart {
public:
    // The user's autostart folder, starting this executable.
    XdgAutostart();
    XdgAutostart(QString autostartDir, QString executable);

    bool isEnabled() const override;
    bool setEnabled(bool enabled, QString *error) override;

    QString entryPath() const;

private:
    QString m_dir;
    QString m_executable;
};
