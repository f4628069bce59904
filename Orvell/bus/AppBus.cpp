#include "Orvell/bus/AppBus.h"

#include "Orvell/core/AppEnvironment.h"
#include "base/AppIdentity.h"
#include "library/Script.h"

#include <QDBusMessage>
#include <QFileInfo>
#include <QPointer>

AppBus::AppBus(AppEnvironment &env, QObject *parent)
    : QObject(parent)
    , m_env(env) {
    const auto announceReading = [this] {
        announce({QStringLiteral("SelectedScriptId"), QStringLiteral("SelectedScriptTitle"),
                  QStringLiteral("WordsPerMinute")});
    };
    connect(&env.store(), &ScriptStore::selectedIDChanged, this, announceReading);
    connect(&env.store(), &ScriptStore::scriptsChanged, this, announceReading);
    connect(&env.scroll(), &ScrollEngine::tChanged, this,
            [this] { announce({QStringLiteral("WordsPerMinute")}); });
    connect(&env.scroll(), &ScrollEngine::isPlayingChanged, this,
            [this] { announce({QStringLiteral("Playing")}); });
}

bool AppBus::publish(QDBusConnection connection) {
    if (!connection.isConnected())
        return false;
    m_connection = connection;
    return connection.registerObject(AppIdentity::busPath, this,
                                     QDBusConnection::ExportAllSlots |
                                         QDBusConnection::ExportAllProperties);
}

bool AppBus::playing() const {
    return m_env.scroll().isPlaying();
}

QString AppBus::selectedScriptId() const {
    const Script *s = m_env.store().selected();
    return s ? Script::idText(s->id) : QString();
}

QString AppBus::selectedScriptTitle() const {
    const Script *s = m_env.store().selected();
    return s ? s->title : QString();
}

double AppBus::wordsPerMinute() const {
    return m_env.scroll().wordsPerMinute();
}

void AppBus::announce(const QStringList &names) {
    if (!m_connection.isConnected())
        return;
    // Only what really changed: an edit of the text fires the store's
    // signals at every keystroke, the rate rarely moves.
    QVariantMap changed;
    for (const QString &name : names) {
        const QVariant value = property(name.toLatin1().constData());
        if (m_announced.value(name) != value)
            changed.insert(name, value);
        m_announced.insert(name, value);
    }
    if (changed.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        AppIdentity::busPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QString(AppIdentity::appId) << changed << QStringList();
    m_connection.send(signal);
}

void AppBus::PlayPause() {
    m_env.commands().handle(HotKeyAction::playPause);
}

void AppBus::SpeedUp() {
    m_env.commands().handle(HotKeyAction::speedUp);
}

void AppBus::SpeedDown() {
    m_env.commands().handle(HotKeyAction::speedDown);
}

void AppBus::SpeedUpMore() {
    m_env.commands().handle(HotKeyAction::speedUpMore);
}

void AppBus::SpeedDownMore() {
    m_env.commands().handle(HotKeyAction::speedDownMore);
}

void AppBus::Restart() {
    m_env.commands().handle(HotKeyAction::restart);
}

void AppBus::ToggleIsland() {
    m_env.commands().handle(HotKeyAction::toggleIsland);
}

void AppBus::ToggleControlDeck() {
    m_env.commands().handle(HotKeyAction::toggleControlDeck);
}

void AppBus::ToggleVoiceFollow() {
    m_env.commands().handle(HotKeyAction::toggleVoiceFollow);
}

void AppBus::NextSection() {
    m_env.commands().handle(HotKeyAction::nextSection);
}

void AppBus::PreviousSection() {
    m_env.commands().handle(HotKeyAction::previousSection);
}

void AppBus::ShowLibrary() {
    if (onShowLibrary)
        onShowLibrary();
}

QString AppBus::Import(const QStringList &paths, int &imported, int &failed,
                       QStringList &problems) {
    imported = failed = 0;
    problems.clear();
    if (!calledFromDBus())
        return QString();
    // Conversions may take seconds: the answer goes out when they are done,
    // and the island keeps moving meanwhile.
    setDelayedReply(true);
    QStringList absolute;
    for (const QString &path : paths)
        absolute << QFileInfo(path).absoluteFilePath();
    QPointer<AppBus> self(this);
    const QDBusMessage call = message();
    QDBusConnection connection = this->connection();
    m_env.imports().import(absolute, [self, call,
                                      connection](const ImportQueue::Outcome &o) mutable {
        if (self)
            connection.send(call.createReply(
                {o.summary, o.imported, static_cast<int>(o.problems.size()), o.problems}));
    });
    return QString();
}
