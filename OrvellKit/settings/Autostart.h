#pragma once

#include <QString>

// Starting the app when the user logs in. The desktop-specific
// implementation lives in the platform layer.
class Autostart {
public:
    virtual ~Autostart() = default;
    virtual bool isEnabled() const = 0;
    // On failure returns false and says why in *error; the state stays as it was.
    virtual bool setEnabled(bool enabled, QString *error) = 0;
};
