#pragma once

#include "commands/HotKeyBinding.h"

#include <QObject>
#include <QString>

#include <memory>

// System-wide shortcuts that fire while another application has focus.
// Presses arrive on the GUI thread as activated(id).
class GlobalShortcuts : public QObject {
    Q_OBJECT

public:
    enum class Failure { none, inUseByAnotherApp, unavailable };

    using QObject::QObject;

    // Grabs the combination exclusively under `id`.
    virtual Failure grab(quint32 id, const HotKeyBinding &binding, int *status) = 0;
    virtual void release(quint32 id) = 0;

    // How the shortcuts reach Orvell on this session, for the settings and
    // the tray ("X11 key grabs"); empty when nothing does.
    virtual QString mechanism() const = 0;
    // Whether another program holds the whole keyboard (a password prompt, a
    // locked screen), so that no shortcut can fire until it lets go.
    virtual bool keyboardHeldElsewhere() const { return false; }

    // The service for this session: X11 key grabs where the app runs on X11
    // (or XWayland), else one that honestly reports it is not available.
    static std::unique_ptr<GlobalShortcuts> create();

signals:
    void activated(quint32 id);
};

// For desktops where no global shortcut service could be reached.
class UnavailableGlobalShortcuts : public GlobalShortcuts {
public:
    using GlobalShortcuts::GlobalShortcuts;
    Failure grab(quint32, const HotKeyBinding &, int *) override { return Failure::unavailable; }
    void release(quint32) override {}
    QString mechanism() const override { return QString(); }
};
