#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <functional>
#include <map>
#include <vector>

// A menu published on the session bus in the form tray hosts draw
// themselves (com.canonical.dbusmenu): the host's own popup opens by the
// tray, takes the keyboard and closes on a click elsewhere, which a menu
// window of an X client under a Wayland compositor cannot. The app says
// what the menu holds each time a host is about to show it.
class DBusMenu : public QObject {
    Q_OBJECT

public:
    static constexpr const char *path = "/MenuBar";

    struct Entry {
        QString label;
        bool separator = false;
        bool enabled = true;
        bool visible = true;
        bool checkable = false;
        bool checked = false;
        std::vector<Entry> children; // a submenu when not empty
        bool operator==(const Entry &) const = default;
    };

    explicit DBusMenu(QObject *parent = nullptr);
    ~DBusMenu() override;

    // Called before a host shows the menu, and by refresh().
    std::function<std::vector<Entry>()> entries;

    bool publish(const QDBusConnection &bus);
    // Reads the entries again and tells hosts when they changed.
    void refresh();

    // The host's side, public for the bus object.
    int revision() const { return m_revision; }
    struct Item {
        int id;
        const Entry *entry;
        std::vector<int> where; // indices from the top menu down
        int parent;
    };
    const std::vector<Item> &items() const { return m_items; }
    const Item *item(int id) const;
    void click(int id);
    bool aboutToShow(int id);

signals:
    // An entry was chosen, by its indices from the top menu down.
    void activated(const std::vector<int> &where);
    // The host needs to read the layout again.
    void layoutChanged(int revision);

private:
    void index(const std::vector<Entry> &entries, int parent, const QString &parentKey,
               std::vector<int> where, std::map<QString, int> &ids);
    bool rebuild();

    std::vector<Entry> m_entries;
    std::vector<Item> m_items;
    std::map<int, size_t> m_byId;
    // An entry keeps its id while its place and title stay: hosts update
    // the items they hold by id, so an id given to another entry shows the
    // old one's kind with the new one's title.
    std::map<QString, int> m_ids;
    int m_nextId = 1;
    int m_revision = 1;
    QDBusConnection m_bus{QString()};
    bool m_published = false;
    bool m_built = false;
};
