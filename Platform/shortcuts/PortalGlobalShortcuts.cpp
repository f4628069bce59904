#include "Platform/shortcuts/PortalGlobalShortcuts.h"

#include "Platform/shortcuts/KeyNames.h"
#include "base/AppIdentity.h"

#include <QDBusArgument>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTimer>

Q_LOGGING_CATEGORY(lcPortal, "org.orvell.Orvell.HotKeys.Portal")

QDBusArgument &operator<<(QDBusArgument &out, const PortalShortcut &s) {
    out.beginStructure();
    out << s.id << s.options;
    out.endStructure();
    return out;
}

const QDBusArgument &operator>>(const QDBusArgument &in, PortalShortcut &s) {
    in.beginStructure();
    in >> s.id >> s.options;
    in.endStructure();
    return in;
}

namespace {

constexpr int callTimeoutMs = 3000;

void registerTypes() {
    static const bool once = [] {
        // QtDBus finds a slot's argument types by name: they must be known
        // before the first connect, not only once a value was made.
        qRegisterMetaType<QDBusObjectPath>();
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
        return true;
    }();
    (void)once;
}

// What an a(sa{sv}) in a results map holds, read defensively: the portal is
// another program.
QList<PortalShortcut> shortcutsIn(const QVariant &value) {
    QList<PortalShortcut> out;
    if (value.canConvert<QDBusArgument>()) {
        const QDBusArgument arg = value.value<QDBusArgument>();
        if (arg.currentSignature() == QLatin1StringView("a(sa{sv})"))
            arg >> out;
    } else if (value.canConvert<QList<PortalShortcut>>()) {
        out = value.value<QList<PortalShortcut>>();
    }
    return out;
}

} // namespace

bool PortalGlobalShortcuts::isOffered(const QDBusConnection &bus) {
    if (!bus.isConnected())
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        QLatin1StringView(service), QLatin1StringView(path),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QLatin1StringView(interface) << QStringLiteral("version");
    const QDBusMessage reply = bus.call(get, QDBus::Block, 1000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

PortalGlobalShortcuts::PortalGlobalShortcuts(QDBusConnection bus, QObject *parent)
    : GlobalShortcuts(parent)
    , m_bus(std::move(bus)) {
    registerTypes();
    m_bus.connect(QLatin1StringView(service), QLatin1StringView(path), QLatin1StringView(interface),
                  QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    m_bus.connect(QLatin1StringView(service), QLatin1StringView(path), QLatin1StringView(interface),
                  QStringLiteral("ShortcutsChanged"), this,
                  SLOT(onShortcutsChanged(QDBusObjectPath, QList<PortalShortcut>)));
    // A host app (not a Flatpak) has no app id the portal can see unless it
    // registers one; portals without the registry read it from the systemd
    // scope the desktop entry started it in.
    QDBusMessage reg = QDBusMessage::createMethodCall(
        QLatin1StringView(service), QLatin1StringView(path),
        QStringLiteral("org.freedesktop.host.portal.Registry"), QStringLiteral("Register"));
    reg << AppIdentity::appId << QVariantMap();
    const QDBusMessage answer = m_bus.call(reg, QDBus::Block, callTimeoutMs);
    if (answer.type() == QDBusMessage::ErrorMessage)
        qCInfo(lcPortal).noquote() << "no app id registry:" << answer.errorMessage();
    setNotice(QStringLiteral("Asking the desktop for global shortcuts\u2026"));
}

PortalGlobalShortcuts::~PortalGlobalShortcuts() {
    if (!m_session.isEmpty()) {
        QDBusMessage close = QDBusMessage::createMethodCall(
            QLatin1StringView(service), m_session, QStringLiteral("org.freedesktop.portal.Session"),
            QStringLiteral("Close"));
        m_bus.call(close, QDBus::NoBlock);
    }
}

void PortalRequest::response(const QDBusMessage &message) {
    const QVariantList args = message.arguments();
    const uint code = args.value(0).toUInt();
    QVariantMap results;
    if (args.size() > 1) {
        const QVariant v = args.at(1);
        if (v.canConvert<QDBusArgument>())
            v.value<QDBusArgument>() >> results;
        else
            results = v.toMap();
    }
    if (done)
        done(code, results);
    deleteLater();
}

void PortalGlobalShortcuts::request(const QString &method, QVariantList arguments,
                                    QVariantMap options,
                                    std::function<void(uint, const QVariantMap &)> reply) {
    // The answer comes as a Response signal on a Request object whose path
    // is known in advance; listen before asking, so it cannot be missed.
    const QString token = QStringLiteral("orvell%1").arg(++m_nextToken);
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString requestPath = QStringLiteral("/org/freedesktop/portal/desktop/request/") +
                                sender + QLatin1Char('/') + token;
    auto *pending = new PortalRequest;
    pending->setParent(this);
    pending->done = std::move(reply);
    m_bus.connect(QLatin1StringView(service), requestPath,
                  QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"),
                  pending, SLOT(response(QDBusMessage)));
    options.insert(QStringLiteral("handle_token"), token);
    arguments << options;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1StringView(service), QLatin1StringView(path), QLatin1StringView(interface), method);
    call.setArguments(arguments);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, callTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [pending, method, watcher](QDBusPendingCallWatcher *) {
                watcher->deleteLater();
                if (!watcher->isError())
                    return;
                qCWarning(lcPortal).noquote() << method << "failed:" << watcher->error().message();
                if (pending->done)
                    pending->done(2, {});
                pending->deleteLater();
            });
}

QList<PortalShortcut> PortalGlobalShortcuts::wanted() const {
    QList<PortalShortcut> out;
    for (const auto &[id, s] : m_grabs) {
        QVariantMap options{{QStringLiteral("description"), s.title}};
        const QString trigger = KeyNames::portalTrigger(s.binding);
        if (!trigger.isEmpty())
            options.insert(QStringLiteral("preferred_trigger"), trigger);
        out.push_back({s.name, options});
    }
    return out;
}

GlobalShortcuts::Failure PortalGlobalShortcuts::grab(quint32 id, const Shortcut &shortcut, int *) {
    m_grabs[id] = shortcut;
    scheduleBind();
    return Failure::none;
}

void PortalGlobalShortcuts::release(quint32 id) {
    if (m_grabs.erase(id))
        scheduleBind();
}

void PortalGlobalShortcuts::scheduleBind() {
    // A burst of grabs (all commands at start-up) makes one call.
    if (m_bindPending)
        return;
    m_bindPending = true;
    QTimer::singleShot(0, this, [this] {
        m_bindPending = false;
        if (m_session.isEmpty())
            createSession();
        else
            bind();
    });
}

void PortalGlobalShortcuts::createSession() {
    if (m_creating || m_grabs.empty())
        return;
    m_creating = true;
    QVariant shortcuts;
    shortcuts.setValue(wanted());
    // KDE Plasma 5.27 registers the shortcuts from this option.
    request(QStringLiteral("CreateSession"), {},
            {{QStringLiteral("session_handle_token"), QStringLiteral("orvell")},
             {QStringLiteral("shortcuts"), shortcuts}},
            [this](uint code, const QVariantMap &results) {
                m_creating = false;
                const QVariant handle = results.value(QStringLiteral("session_handle"));
                m_session = handle.canConvert<QDBusObjectPath>()
                                ? handle.value<QDBusObjectPath>().path()
                                : handle.toString();
                if (code != 0 || m_session.isEmpty()) {
                    m_session.clear();
                    setNotice(QStringLiteral("The desktop refused Orvell a global shortcuts "
                                             "session. Assign the commands in the desktop's "
                                             "shortcut settings."));
                    return;
                }
                bind();
            });
}

void PortalGlobalShortcuts::bind() {
    const QList<PortalShortcut> list = wanted();
    QStringList key;
    for (const PortalShortcut &s : list)
        key << s.id + QLatin1Char('=') +
                   s.options.value(QStringLiteral("preferred_trigger")).toString();
    // The same set again (the grabs let go and taken back) needs no call.
    if (key.join(QLatin1Char(',')) == m_lastBound)
        return;
    m_lastBound = key.join(QLatin1Char(','));
    QVariant shortcuts;
    shortcuts.setValue(list);
    request(QStringLiteral("BindShortcuts"),
            {QVariant::fromValue(QDBusObjectPath(m_session)), shortcuts, QString()}, {},
            [this](uint code, const QVariantMap &results) {
                if (code != 0) {
                    m_lastBound.clear();
                    setNotice(QStringLiteral("The desktop did not bind Orvell's shortcuts. Assign "
                                             "the commands in the desktop's shortcut settings."));
                    return;
                }
                takeAssigned(shortcutsIn(results.value(QStringLiteral("shortcuts"))));
            });
}

void PortalGlobalShortcuts::onActivated(const QDBusObjectPath &session, const QString &name,
                                        qulonglong, const QVariantMap &) {
    if (session.path() != m_session)
        return;
    for (const auto &[id, s] : m_grabs)
        if (s.name == name) {
            emit activated(id);
            return;
        }
}

void PortalGlobalShortcuts::onShortcutsChanged(const QDBusObjectPath &session,
                                               const QList<PortalShortcut> &shortcuts) {
    if (session.path() == m_session)
        takeAssigned(shortcuts);
}

namespace {

// "Ctrl+Alt+Meta+Space" and "CTRL+ALT+LOGO+space" name the same keys.
QStringList keyTokens(const QString &trigger) {
    QStringList out;
    for (QString t : trigger.toLower().split(QRegularExpression(QStringLiteral("[+\\s]+")),
                                             Qt::SkipEmptyParts)) {
        if (t == QLatin1StringView("control"))
            t = QStringLiteral("ctrl");
        else if (t == QLatin1StringView("meta") || t == QLatin1StringView("super") ||
                 t == QLatin1StringView("logo"))
            t = QStringLiteral("logo");
        out << t;
    }
    out.sort();
    return out;
}

} // namespace

void PortalGlobalShortcuts::takeAssigned(const QList<PortalShortcut> &shortcuts) {
    m_assigned.clear();
    for (const PortalShortcut &s : shortcuts)
        m_assigned[s.id] =
            s.options.value(QStringLiteral("trigger_description")).toString().trimmed();
    QStringList lines;
    bool asAsked = true;
    for (const auto &[id, s] : m_grabs) {
        const auto it = m_assigned.find(s.name);
        const QString got = it == m_assigned.end() ? QString() : it->second;
        if (got.isEmpty() || keyTokens(got) != keyTokens(KeyNames::portalTrigger(s.binding)))
            asAsked = false;
        lines << s.title + QStringLiteral(": ") + (got.isEmpty() ? QStringLiteral("no keys") : got);
    }
    if (asAsked) {
        setNotice(QString());
        return;
    }
    setNotice(QStringLiteral("The desktop assigned other keys than Orvell asked for. It "
                             "reports:\n") +
              lines.join(QLatin1Char('\n')) +
              QStringLiteral("\nAssign or change them in the desktop's shortcut settings "
                             "(on KDE Plasma: System Settings \u203A Shortcuts, under "
                             "\u201COrvell\u201D when Orvell was started from the applications "
                             "menu, else under \u201Corvell\u201D)."));
}

void PortalGlobalShortcuts::setNotice(const QString &text) {
    if (text == m_notice)
        return;
    m_notice = text;
    emit noticeChanged();
}
