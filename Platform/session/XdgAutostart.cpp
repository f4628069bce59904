#include "Platform/session/XdgAutostart.h"

#include "base/AppIdentity.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

namespace {

// Desktop entry Exec values quote arguments that contain reserved characters.
QString execValue(const QString &program) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = false;
    for (QChar c : program)
        needsQuotes = needsQuotes || reserved.contains(c);
    QString escaped = program;
    escaped.replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (!needsQuotes)
        return escaped;
    QString quoted;
    for (QChar c : escaped) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    // Inside a desktop entry value a backslash is itself escaped once more.
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

XdgAutostart::XdgAutostart()
    : XdgAutostart(
          QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
              QStringLiteral("/autostart"),
          QCoreApplication::applicationFilePath()) {}

XdgAutostart::XdgAutostart(QString autostartDir, QString executable)
    : m_dir(std::move(autostartDir))
    , m_executable(std::move(executable)) {}

QString XdgAutostart::entryPath() const {
    return m_dir + QLatin1Char('/') + AppIdentity::appId + QStringLiteral(".desktop");
}

bool XdgAutostart::isEnabled() const {
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    // An entry the user switched off in their session settings stays on disk.
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line == QLatin1StringView("Hidden=true") ||
            line == QLatin1StringView("X-GNOME-Autostart-enabled=false"))
            return false;
    }
    return true;
}

bool XdgAutostart::setEnabled(bool enabled, QString *error) {
    const QString path = entryPath();
    if (!enabled) {
        QFile file(path);
        if (!file.exists() || file.remove())
            return true;
        if (error)
            *error = file.errorString();
        return false;
    }

    if (!QDir().mkpath(m_dir)) {
        if (error)
            *error = QStringLiteral("Cannot create the folder %1").arg(m_dir);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QTextStream out(&file);
    out << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Name=" << AppIdentity::displayName << "\n"
        << "Comment=Script prompter under the camera\n"
        << "Exec=" << execValue(m_executable) << "\n"
        << "Terminal=false\n"
        << "X-GNOME-Autostart-enabled=true\n";
    out.flush();
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}
