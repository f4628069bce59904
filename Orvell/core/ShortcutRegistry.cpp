#include "Orvell/core/ShortcutRegistry.h"

#include <QLoggingCategory>

#include <limits>

Q_LOGGING_CATEGORY(lcHotKeys, "org.orvell.Orvell.HotKeys")

QString RegistrationError::message() const {
    switch (kind) {
    case Kind::needsModifier:
        return QStringLiteral("Add Control, Alt or Super.");
    case Kind::alreadyAssigned:
        return QStringLiteral("That shortcut is already used by ") + HotKeyActions::names.title(owner) +
               QLatin1Char('.');
    case Kind::inUseByAnotherApp:
        return QStringLiteral("That shortcut is in use by another app.");
    case Kind::unavailable:
        break;
    }
    return QStringLiteral("Global shortcuts are not available on this desktop.");
}

ShortcutRegistry::ShortcutRegistry(GlobalShortcuts &shortcuts, QObject *parent)
    : QObject(parent)
    , m_shortcuts(shortcuts) {
    for (HotKeyAction action : HotKeyActions::names.values())
        m_bindings[action] = HotKeyBinding::defaultFor(action);
    connect(&m_shortcuts, &GlobalShortcuts::activated, this, &ShortcutRegistry::pressed);
}

HotKeyBinding ShortcutRegistry::binding(HotKeyAction action) const {
    const auto it = m_bindings.find(action);
    return it == m_bindings.end() ? HotKeyBinding::defaultFor(action) : it->second;
}

void ShortcutRegistry::start() {
    if (m_running)
        return;
    m_running = true;
    if (loadBindings) {
        for (const auto &[action, b] : HotKeyBinding::decode(loadBindings()))
            m_bindings[action] = b;
        emit bindingsChanged();
    }
    if (!m_suspended)
        registerAll();
}

void ShortcutRegistry::pressed(quint32 id) {
    const auto it = m_slots.find(id);
    // An id that was released is somebody else's business.
    if (it == m_slots.end())
        return;
    emit triggered(it->second);
}

std::optional<RegistrationError> ShortcutRegistry::registerAction(HotKeyAction action,
                                                                  const HotKeyBinding &b) {
    if (m_nextID == std::numeric_limits<quint32>::max())
        qFatal("ShortcutRegistry: shortcut ids ran out");
    const quint32 id = m_nextID++;
    int status = 0;
    const GlobalShortcuts::Shortcut shortcut{HotKeyActions::names.name(action),
                                             HotKeyActions::names.title(action), b};
    switch (m_shortcuts.grab(id, shortcut, &status)) {
    case GlobalShortcuts::Failure::none:
        m_slots[id] = action;
        return std::nullopt;
    case GlobalShortcuts::Failure::inUseByAnotherApp:
        return RegistrationError{RegistrationError::Kind::inUseByAnotherApp, action, status};
    case GlobalShortcuts::Failure::unavailable:
        break;
    }
    return RegistrationError{RegistrationError::Kind::unavailable, action, status};
}

void ShortcutRegistry::unregisterAction(HotKeyAction action) {
    for (auto it = m_slots.begin(); it != m_slots.end();) {
        if (it->second == action) {
            m_shortcuts.release(it->first);
            it = m_slots.erase(it);
        } else {
            ++it;
        }
    }
}

void ShortcutRegistry::setFailure(HotKeyAction action, const std::optional<QString> &message) {
    const auto it = m_failures.find(action);
    if (!message) {
        if (it == m_failures.end())
            return;
        m_failures.erase(it);
    } else if (it != m_failures.end() && it->second == *message) {
        return;
    } else {
        m_failures[action] = *message;
        qCWarning(lcHotKeys).noquote()
            << QStringLiteral("shortcut for %1: %2").arg(HotKeyActions::names.title(action), *message);
    }
    emit failuresChanged();
}

void ShortcutRegistry::registerAll() {
    for (HotKeyAction action : HotKeyActions::names.values()) {
        const auto error = registerAction(action, binding(action));
        setFailure(action, error ? std::optional<QString>(error->message()) : std::nullopt);
    }
}

void ShortcutRegistry::unregisterAll() {
    for (const auto &[id, slot] : m_slots)
        m_shortcuts.release(id);
    m_slots.clear();
}

void ShortcutRegistry::suspend() {
    unregisterAll();
    m_suspended = true;
}

void ShortcutRegistry::resume() {
    if (!m_suspended)
        return;
    m_suspended = false;
    if (m_running)
        registerAll();
}

void ShortcutRegistry::reloadBindings() {
    if (!loadBindings)
        return;
    std::map<HotKeyAction, HotKeyBinding> stored;
    for (HotKeyAction action : HotKeyActions::names.values())
        stored[action] = HotKeyBinding::defaultFor(action);
    for (const auto &[action, b] : HotKeyBinding::decode(loadBindings()))
        stored[action] = b;
    if (stored == m_bindings)
        return;
    const bool grabbed = m_running && !m_suspended;
    if (grabbed)
        unregisterAll();
    m_bindings = stored;
    emit bindingsChanged();
    if (grabbed)
        registerAll();
}

std::optional<RegistrationError> ShortcutRegistry::assign(const HotKeyBinding &b, HotKeyAction action) {
    if ((b.modifierFlags & HotKeyBinding::commandKeys) == 0)
        return RegistrationError{RegistrationError::Kind::needsModifier, action, 0};
    for (HotKeyAction other : HotKeyActions::names.values()) {
        if (other != action && b.sameCombination(binding(other)))
            return RegistrationError{RegistrationError::Kind::alreadyAssigned, other, 0};
    }
    unregisterAction(action);
    if (auto error = registerAction(action, b)) {
        if (!m_suspended)
            registerAction(action, binding(action));
        return error;
    }
    // Only a trial while recording: the grab comes back with the others.
    if (m_suspended)
        unregisterAction(action);
    m_bindings[action] = b;
    emit bindingsChanged();
    setFailure(action, std::nullopt);
    save();
    return std::nullopt;
}

bool ShortcutRegistry::setInstalledInDesktop(bool installed, QString *error) {
    const bool done = installed ? m_shortcuts.install(error) : m_shortcuts.remove(error);
    unregisterAll();
    registerAll();
    return done;
}

void ShortcutRegistry::restoreDefault(HotKeyAction action) {
    if (const auto error = assign(HotKeyBinding::defaultFor(action), action))
        setFailure(action, error->message());
}

void ShortcutRegistry::restoreAllDefaults() {
    unregisterAll();
    for (HotKeyAction action : HotKeyActions::names.values())
        m_bindings[action] = HotKeyBinding::defaultFor(action);
    emit bindingsChanged();
    save();
    if (!m_suspended)
        registerAll();
}

void ShortcutRegistry::save() {
    if (!saveBindings)
        return;
    std::map<HotKeyAction, HotKeyBinding> changed;
    for (const auto &[action, b] : m_bindings) {
        if (b != HotKeyBinding::defaultFor(action))
            changed[action] = b;
    }
    saveBindings(HotKeyBinding::encode(changed));
}
