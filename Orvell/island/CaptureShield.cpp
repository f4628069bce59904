#include "Orvell/island/CaptureShield.h"

#include "settings/PreferenceKeys.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QWidget>

Q_LOGGING_CATEGORY(lcCaptureShield, "org.orvell.Orvell.CaptureShield")

namespace CaptureShield {

namespace {
// The sharing types of the description: 0 none (hidden from capture), 1 read-only.
constexpr unsigned long sharingNone = 0;
constexpr unsigned long sharingReadOnly = 1;
constexpr const char *shieldProperty = "orvellSharingType";
} // namespace

bool isAvailable() {
    return false;
}

void harden(QWidget *window, SettingsStore &store) {
    const bool disabled = store.boolValue(PreferenceKeys::disableCaptureShield);
    const unsigned long sharingType = disabled ? sharingReadOnly : sharingNone;
    window->setProperty(shieldProperty, QVariant::fromValue(sharingType));
    qCInfo(lcCaptureShield, "harden: disabledForTesting=%d sharingType=%lu", disabled ? 1 : 0,
           sharingType);
    if (!isAvailable())
        qCInfo(lcCaptureShield, "harden: this desktop cannot hide windows from screen capture");
}

void sweep(SettingsStore &store) {
    if (store.boolValue(PreferenceKeys::disableCaptureShield))
        return;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->property(shieldProperty).toULongLong() == sharingNone &&
            w->property(shieldProperty).isValid())
            continue;
        w->setProperty(shieldProperty, QVariant::fromValue(sharingNone));
        qCInfo(lcCaptureShield, "sweep hardened %s", w->metaObject()->className());
    }
}

} // namespace CaptureShield
