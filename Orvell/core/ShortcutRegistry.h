#pragma once

#include "Platform/shortcuts/GlobalShortcuts.h"
#include "commands/HotKeyAction.h"
#include "commands/HotKeyBinding.h"

#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <optional>

// Why a shortcut could not be set; the messages are shown as they stand.
struct RegistrationError {
    enum class Kind { needsModifier, alreadyAssigned, inUseByAnotherApp, unavailable };
    Kind kind = Kind::needsModifier;
    HotKeyAction owner = HotKeyAction::playPause; // for alreadyAssigned
    int status = 0;                               // the platform's code, for inUseByAnotherApp

    QString message() const;
};

// One shortcut per command, grabbed system-wide; presses become commands.
class ShortcutRegistry : public QObject {
    Q_OBJECT

public:
    explicit ShortcutRegistry(GlobalShortcuts &shortcuts, QObject *parent = nullptr);

    // Where the bindings are stored.
    std::function<QByteArray()> loadBindings;
    std::function<void(const QByteArray &)> saveBindings;

    const std::map<HotKeyAction, HotKeyBinding> &bindings() const { return m_bindings; }
    HotKeyBinding binding(HotKeyAction action) const;
    // The message for each command whose shortcut could not be registered.
    const std::map<HotKeyAction, QString> &failures() const { return m_failures; }
    bool isRunning() const { return m_running; }

    void start();
    void registerAll();
    void unregisterAll();
    // While a shortcut is being recorded no grab may fire: suspend releases
    // them all, assign only checks, and resume grabs the bindings again.
    void suspend();
    void resume();
    bool isSuspended() const { return m_suspended; }
    // The stored bindings changed on disk (another program, a second copy):
    // take them over when they differ from these.
    void reloadBindings();
    // Validates and installs a recorded shortcut; nothing changes on failure.
    std::optional<RegistrationError> assign(const HotKeyBinding &binding, HotKeyAction action);
    // Adds the shortcuts to the desktop's own keyboard settings, or takes
    // them out, and grabs again, so what the desktop runs is what the
    // bindings say. False and why when the desktop refuses.
    bool setInstalledInDesktop(bool installed, QString *error);
    void restoreDefault(HotKeyAction action);
    void restoreAllDefaults();

signals:
    // A shortcut was pressed.
    void triggered(HotKeyAction action);
    void bindingsChanged();
    void failuresChanged();

private:
    std::optional<RegistrationError> registerAction(HotKeyAction action,
                                                    const HotKeyBinding &binding);
    void unregisterAction(HotKeyAction action);
    void setFailure(HotKeyAction action, const std::optional<QString> &message);
    void save();
    void pressed(quint32 id);

    GlobalShortcuts &m_shortcuts;
    std::map<HotKeyAction, HotKeyBinding> m_bindings;
    std::map<HotKeyAction, QString> m_failures;
    std::map<quint32, HotKeyAction> m_slots;
    quint32 m_nextID = 1;
    bool m_running = false;
    bool m_suspended = false;
};
