#pragma once

#include "Platform/shortcuts/GlobalShortcuts.h"

#include <QStringList>

#include <map>
#include <optional>

// GNOME without the GlobalShortcuts portal (GNOME 43–47 on Wayland): the
// shortcuts become GNOME custom keyboard shortcuts that run
// `orvell-cli send …`, written with gsettings only when the user asks for
// it, and removed the same way. While they are installed, a binding changed
// in Orvell is changed there too.
class GnomeKeybindings : public GlobalShortcuts {
    Q_OBJECT

public:
    static constexpr const char *schema = "org.gnome.settings-daemon.plugins.media-keys";
    static constexpr const char *entrySchema =
        "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
    static constexpr const char *pathPrefix =
        "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/orvell-";

    // `cli` is the orvell-cli to run; by default the one beside this program,
    // else the one on the PATH.
    explicit GnomeKeybindings(QString cli = {}, QObject *parent = nullptr);

    Failure grab(quint32 id, const Shortcut &shortcut, int *status) override;
    void release(quint32 id) override;
    Kind kind() const override { return Kind::gnomeKeybindings; }
    QString notice() const override;

    bool canInstall() const override { return true; }
    bool isInstalled() const override;
    // Adds (or updates) one custom shortcut per command; false and why on failure.
    bool install(QString *error) override;
    // Takes Orvell's entries out of GNOME's list and resets them.
    bool remove(QString *error) override;

    // gsettings' list syntax, both ways: "['/a/', '/b/']" or "@as []".
    static QStringList parseList(const QString &text);
    static QString formatList(const QStringList &items);

private:
    QStringList list(bool *ok) const;
    // The list of custom keybindings, or false with the sentence why not.
    bool readList(QStringList *entries, QString *error) const;
    bool set(const QString &schemaAndPath, const QString &key, const QString &value,
             QString *error) const;
    bool writeEntry(const Shortcut &shortcut, QString *error) const;

    QString m_cli;
    std::map<quint32, Shortcut> m_grabs;
    // Read once, then known from install() and remove(): every check is a process.
    mutable std::optional<bool> m_installed;
    // What each entry holds now, so taking the grabs back rewrites nothing.
    std::map<QString, HotKeyBinding> m_written;
};
