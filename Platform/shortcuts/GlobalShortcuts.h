#pragma once

#include "commands/HotKeyBinding.h"

#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <vector>

// System-wide shortcuts that fire while another application has focus.
// Presses arrive on the GUI thread as activated(id). Which service does it
// depends on the session: X11 key grabs, the desktop portal, the desktop's
// own keyboard settings running `orvell-cli send`, or nothing.
class GlobalShortcuts : public QObject {
    Q_OBJECT

public:
    enum class Failure { none, inUseByAnotherApp, unavailable };
    enum class Kind { x11Grabs, portal, gnomeKeybindings, bindLines, none };

    // One combination to grab and the command it is for: its stored name
    // and its title.
    struct Shortcut {
        QString name;
        QString title;
        HotKeyBinding binding;
    };

    // What the factory looks at.
    struct Session {
        bool wayland = false; // WAYLAND_DISPLAY is set
        bool x11 = false;     // Qt runs on xcb (X11 or XWayland)
        bool portal = false;  // the desktop portal offers GlobalShortcuts
        QString desktop;      // XDG_CURRENT_DESKTOP
        int gnomeShell = 0;   // GNOME Shell's major version; 0 when not known
    };

    using QObject::QObject;

    // Grabs the combination exclusively under `id`.
    virtual Failure grab(quint32 id, const Shortcut &shortcut, int *status) = 0;
    virtual void release(quint32 id) = 0;

    virtual Kind kind() const = 0;
    // How the shortcuts reach Orvell, for the settings and the tray.
    QString mechanism() const;
    // What the desktop made of the shortcuts, or what the user can do; empty
    // when there is nothing to say.
    virtual QString notice() const { return QString(); }
    // Whether another program holds the whole keyboard (a password prompt, a
    // locked screen), so that no shortcut can fire until it lets go.
    virtual bool keyboardHeldElsewhere() const { return false; }

    // Where the desktop's own keyboard settings hold the shortcuts (GNOME
    // without the portal), they are added and taken out on the user's word.
    virtual bool canInstall() const { return false; }
    virtual bool isInstalled() const { return false; }
    // False and why when the desktop refuses, or holds no shortcuts of apps.
    virtual bool install(QString *error);
    virtual bool remove(QString *error);

    // The lines to put in a desktop's own configuration so its keys run
    // `orvell-cli send …`: sway's bindsym, Hyprland's bind, else the commands.
    static QString bindLines(const QString &desktop, const std::vector<Shortcut> &shortcuts,
                             const QString &cli = QStringLiteral("orvell-cli"));

    static Session currentSession();
    static Kind choose(const Session &session);
    // The service for this session, chosen at run time.
    static std::unique_ptr<GlobalShortcuts> create();

signals:
    void activated(quint32 id);
    void noticeChanged();
};

// For sessions where no service grabs keys for Orvell: on a desktop that binds
// keys to commands (sway, Hyprland, others) the user binds `orvell-cli send`.
class UnavailableGlobalShortcuts : public GlobalShortcuts {
public:
    explicit UnavailableGlobalShortcuts(Kind kind = Kind::none, QObject *parent = nullptr)
        : GlobalShortcuts(parent)
        , m_kind(kind) {}
    Failure grab(quint32, const Shortcut &, int *) override { return Failure::unavailable; }
    void release(quint32) override {}
    Kind kind() const override { return m_kind; }

private:
    Kind m_kind;
};
