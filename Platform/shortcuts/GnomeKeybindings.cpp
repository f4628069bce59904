#include "Platform/shortcuts/GnomeKeybindings.h"

#include "Platform/shortcuts/KeyNames.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QRegularExpression>

Q_LOGGING_CATEGORY(lcGnome, "org.orvell.Orvell.HotKeys.Gnome")

namespace {

// gsettings is quick; one that hangs (no dconf service) must not hang Orvell.
constexpr int gsettingsTimeoutMs = 5000;

QString quoted(const QString &text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + escaped + QLatin1Char('\'');
}

bool gsettings(const QStringList &args, QString *out, QString *error) {
    QProcess p;
    p.start(QStringLiteral("gsettings"), args);
    if (!p.waitForStarted(gsettingsTimeoutMs)) {
        if (error)
            *error = QStringLiteral("gsettings could not be started");
        return false;
    }
    if (!p.waitForFinished(gsettingsTimeoutMs)) {
        p.kill();
        p.waitForFinished(1000);
        if (error)
            *error = QStringLiteral("gsettings did not answer");
        return false;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        if (error)
            *error = QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
        return false;
    }
    if (out)
        *out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    return true;
}

QString entryPath(const QString &name) {
    return QLatin1StringView(GnomeKeybindings::pathPrefix) + name + QLatin1Char('/');
}

// The relocatable schema at an entry's path, as gsettings takes it.
QString entrySettings(const QString &entry) {
    return QLatin1StringView(GnomeKeybindings::entrySchema) + QLatin1Char(':') + entry;
}

} // namespace

GnomeKeybindings::GnomeKeybindings(QString cli, QObject *parent)
    : GlobalShortcuts(parent)
    , m_cli(std::move(cli)) {
    if (m_cli.isEmpty()) {
        const QString beside =
            QCoreApplication::applicationDirPath() + QStringLiteral("/orvell-cli");
        m_cli = QFileInfo(beside).isExecutable() ? beside : QStringLiteral("orvell-cli");
    }
}

QStringList GnomeKeybindings::parseList(const QString &text) {
    QStringList out;
    static const QRegularExpression item(QStringLiteral(R"('((?:[^'\\]|\\.)*)')"));
    auto matches = item.globalMatch(text);
    while (matches.hasNext())
        out << matches.next().captured(1).replace(QStringLiteral("\\'"), QStringLiteral("'"));
    return out;
}

QString GnomeKeybindings::formatList(const QStringList &items) {
    if (items.isEmpty())
        return QStringLiteral("@as []");
    QStringList parts;
    for (const QString &i : items)
        parts << quoted(i);
    return QLatin1Char('[') + parts.join(QStringLiteral(", ")) + QLatin1Char(']');
}

QStringList GnomeKeybindings::list(bool *ok) const {
    QString out;
    *ok = gsettings(
        {QStringLiteral("get"), QLatin1StringView(schema), QStringLiteral("custom-keybindings")},
        &out, nullptr);
    return *ok ? parseList(out) : QStringList();
}

bool GnomeKeybindings::readList(QStringList *entries, QString *error) const {
    bool ok = false;
    *entries = list(&ok);
    if (!ok && error)
        *error = QStringLiteral("GNOME's keyboard settings could not be read.");
    return ok;
}

bool GnomeKeybindings::isInstalled() const {
    if (!m_installed) {
        bool ok = false;
        const QStringList entries = list(&ok);
        m_installed = std::any_of(entries.begin(), entries.end(), [](const QString &e) {
            return e.startsWith(QLatin1StringView(pathPrefix));
        });
    }
    return *m_installed;
}

bool GnomeKeybindings::set(const QString &schemaAndPath, const QString &key, const QString &value,
                           QString *error) const {
    return gsettings({QStringLiteral("set"), schemaAndPath, key, value}, nullptr, error);
}

bool GnomeKeybindings::writeEntry(const Shortcut &s, QString *error) const {
    const QString where = entrySettings(entryPath(s.name));
    return set(where, QStringLiteral("name"), quoted(QStringLiteral("Orvell: ") + s.title),
               error) &&
           set(where, QStringLiteral("command"), quoted(m_cli + QStringLiteral(" send ") + s.name),
               error) &&
           set(where, QStringLiteral("binding"), quoted(KeyNames::gnomeAccelerator(s.binding)),
               error);
}

bool GnomeKeybindings::install(QString *error) {
    QStringList entries;
    if (!readList(&entries, error))
        return false;
    for (const auto &[id, s] : m_grabs) {
        if (!writeEntry(s, error))
            return false;
        if (!entries.contains(entryPath(s.name)))
            entries << entryPath(s.name);
    }
    if (!set(QLatin1StringView(schema), QStringLiteral("custom-keybindings"), formatList(entries),
             error))
        return false;
    m_installed = true;
    for (const auto &[id, s] : m_grabs)
        m_written[s.name] = s.binding;
    emit noticeChanged();
    return true;
}

bool GnomeKeybindings::remove(QString *error) {
    QStringList entries;
    if (!readList(&entries, error))
        return false;
    QStringList ours;
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&ours](const QString &e) {
                                     if (!e.startsWith(QLatin1StringView(pathPrefix)))
                                         return false;
                                     ours << e;
                                     return true;
                                 }),
                  entries.end());
    if (!set(QLatin1StringView(schema), QStringLiteral("custom-keybindings"), formatList(entries),
             error))
        return false;
    for (const QString &path : std::as_const(ours))
        gsettings({QStringLiteral("reset-recursively"), entrySettings(path)}, nullptr, nullptr);
    m_installed = false;
    m_written.clear();
    emit noticeChanged();
    return true;
}

GlobalShortcuts::Failure GnomeKeybindings::grab(quint32 id, const Shortcut &shortcut, int *) {
    m_grabs[id] = shortcut;
    if (!isInstalled())
        return Failure::unavailable;
    const auto written = m_written.find(shortcut.name);
    if (written != m_written.end() && written->second == shortcut.binding)
        return Failure::none;
    // At start-up the entries usually hold these keys and this orvell-cli
    // already: one read instead of three writes each. An entry that runs
    // another orvell-cli (a build moved or removed, a package that replaced
    // it) is brought up to date, or GNOME's keys would silently do nothing.
    QString current;
    if (written == m_written.end() &&
        gsettings({QStringLiteral("list-recursively"), entrySettings(entryPath(shortcut.name))},
                  &current, nullptr)) {
        const QString prefix = QLatin1StringView(entrySchema) + QLatin1Char(' ');
        const QStringList lines = current.split(QLatin1Char('\n'));
        const auto holds = [&](const QString &key, const QString &value) {
            return lines.contains(prefix + key + QLatin1Char(' ') + value);
        };
        if (holds(QStringLiteral("binding"), quoted(KeyNames::gnomeAccelerator(shortcut.binding))) &&
            holds(QStringLiteral("command"),
                  quoted(m_cli + QStringLiteral(" send ") + shortcut.name))) {
            m_written[shortcut.name] = shortcut.binding;
            return Failure::none;
        }
    }
    // A command newer than the installed entries gets its entry and its
    // place in the list, or GNOME would never run it.
    QString error;
    QStringList entries;
    if (writeEntry(shortcut, &error) && readList(&entries, &error) &&
        (entries.contains(entryPath(shortcut.name)) ||
         set(QLatin1StringView(schema), QStringLiteral("custom-keybindings"),
             formatList(entries << entryPath(shortcut.name)), &error))) {
        m_written[shortcut.name] = shortcut.binding;
    } else {
        qCWarning(lcGnome).noquote() << "could not update" << shortcut.name << ":" << error;
        return Failure::unavailable;
    }
    return Failure::none;
}

void GnomeKeybindings::release(quint32 id) {
    m_grabs.erase(id);
}

QString GnomeKeybindings::notice() const {
    return isInstalled()
               ? QStringLiteral("Orvell's shortcuts are in GNOME's keyboard settings "
                                "(Settings \u203A Keyboard \u203A Custom Shortcuts), where "
                                "GNOME runs them.")
               : QStringLiteral("This GNOME session has no global shortcuts for apps. Orvell "
                                "can add its shortcuts to GNOME's keyboard settings, running "
                                "orvell-cli; nothing is changed until you ask.");
}
