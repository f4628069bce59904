#include "Platform/tray/DBusMenu.h"

#include "Platform/tray/BusProperties.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QRegularExpression>

namespace {

constexpr const char *menuInterface = "com.canonical.dbusmenu";

// One node of the layout as the bus carries it: (id, properties, children).
struct LayoutNode {
    int id = 0;
    QVariantMap properties;
    QList<LayoutNode> children;
};

// A node's properties, as GetGroupProperties answers: (id, properties).
struct NodeProperties {
    int id = 0;
    QVariantMap properties;
};

} // namespace

Q_DECLARE_METATYPE(LayoutNode)
Q_DECLARE_METATYPE(NodeProperties)

namespace {

QDBusArgument &operator<<(QDBusArgument &arg, const LayoutNode &node) {
    arg.beginStructure();
    arg << node.id << node.properties;
    arg.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const LayoutNode &child : node.children)
        arg << QDBusVariant(QVariant::fromValue(child));
    arg.endArray();
    arg.endStructure();
    return arg;
}

// Never read from the bus; the type system wants it all the same.
const QDBusArgument &operator>>(const QDBusArgument &arg, LayoutNode &node) {
    arg.beginStructure();
    arg >> node.id >> node.properties;
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant child;
        arg >> child;
        node.children << qdbus_cast<LayoutNode>(child.variant());
    }
    arg.endArray();
    arg.endStructure();
    return arg;
}

QDBusArgument &operator<<(QDBusArgument &arg, const NodeProperties &node) {
    arg.beginStructure();
    arg << node.id << node.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, NodeProperties &node) {
    arg.beginStructure();
    arg >> node.id >> node.properties;
    arg.endStructure();
    return arg;
}

QVariantMap propertiesOf(const DBusMenu::Entry *entry) {
    if (!entry) // the root
        return {{QStringLiteral("children-display"), QStringLiteral("submenu")}};
    QVariantMap p;
    // Said for every entry, as some hosts keep a property that is left out.
    p.insert(QStringLiteral("type"),
             entry->separator ? QStringLiteral("separator") : QStringLiteral("standard"));
    if (!entry->separator) {
        // An underscore marks a mnemonic there; a title's own is doubled.
        QString label = entry->label;
        label.replace(QLatin1Char('_'), QStringLiteral("__"));
        // What follows a tab is a shortcut's text in a Qt menu; the host
        // draws it from the key names.
        p.insert(QStringLiteral("label"), label.section(QLatin1Char('\t'), 0, 0));
        QStringList keys = entry->label.section(QLatin1Char('\t'), 1).split(
            QLatin1Char('+'), Qt::SkipEmptyParts);
        if (!keys.isEmpty()) {
            keys.replaceInStrings(QRegularExpression(QStringLiteral("^Ctrl$")),
                                  QStringLiteral("Control"));
            p.insert(QStringLiteral("shortcut"), QVariant::fromValue(QList<QStringList>{keys}));
        }
    }
    p.insert(QStringLiteral("enabled"), entry->enabled);
    p.insert(QStringLiteral("visible"), entry->visible);
    if (entry->checkable) {
        p.insert(QStringLiteral("toggle-type"), QStringLiteral("checkmark"));
        p.insert(QStringLiteral("toggle-state"), entry->checked ? 1 : 0);
    }
    if (!entry->children.empty())
        p.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    return p;
}

QVariantMap only(const QVariantMap &all, const QStringList &names) {
    if (names.isEmpty())
        return all;
    QVariantMap out;
    for (const QString &name : names)
        if (all.contains(name))
            out.insert(name, all.value(name));
    return out;
}

class MenuObject : public QDBusVirtualObject {
public:
    explicit MenuObject(DBusMenu &menu)
        : m_menu(menu) {}

    QString introspect(const QString &at) const override {
        if (at != QLatin1StringView(DBusMenu::path))
            return QString();
        return QStringLiteral(R"xml(<interface name="com.canonical.dbusmenu">
  <property name="Version" type="u" access="read"/>
  <property name="TextDirection" type="s" access="read"/>
  <property name="Status" type="s" access="read"/>
  <property name="IconThemePath" type="as" access="read"/>
  <method name="GetLayout">
    <arg type="i" name="parentId" direction="in"/>
    <arg type="i" name="recursionDepth" direction="in"/>
    <arg type="as" name="propertyNames" direction="in"/>
    <arg type="u" name="revision" direction="out"/>
    <arg type="(ia{sv}av)" name="layout" direction="out"/>
  </method>
  <method name="GetGroupProperties">
    <arg type="ai" name="ids" direction="in"/>
    <arg type="as" name="propertyNames" direction="in"/>
    <arg type="a(ia{sv})" name="properties" direction="out"/>
  </method>
  <method name="GetProperty">
    <arg type="i" name="id" direction="in"/>
    <arg type="s" name="name" direction="in"/>
    <arg type="v" name="value" direction="out"/>
  </method>
  <method name="Event">
    <arg type="i" name="id" direction="in"/>
    <arg type="s" name="eventId" direction="in"/>
    <arg type="v" name="data" direction="in"/>
    <arg type="u" name="timestamp" direction="in"/>
  </method>
  <method name="EventGroup">
    <arg type="a(isvu)" name="events" direction="in"/>
    <arg type="ai" name="idErrors" direction="out"/>
  </method>
  <method name="AboutToShow">
    <arg type="i" name="id" direction="in"/>
    <arg type="b" name="needUpdate" direction="out"/>
  </method>
  <method name="AboutToShowGroup">
    <arg type="ai" name="ids" direction="in"/>
    <arg type="ai" name="updatesNeeded" direction="out"/>
    <arg type="ai" name="idErrors" direction="out"/>
  </method>
  <signal name="ItemsPropertiesUpdated">
    <arg type="a(ia{sv})" name="updatedProps"/>
    <arg type="a(ias)" name="removedProps"/>
  </signal>
  <signal name="LayoutUpdated">
    <arg type="u" name="revision"/>
    <arg type="i" name="parent"/>
  </signal>
  <signal name="ItemActivationRequested">
    <arg type="i" name="id"/>
    <arg type="u" name="timestamp"/>
  </signal>
</interface>
)xml");
    }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override {
        const QString member = message.member();
        const QVariantList args = message.arguments();
        const QVariantMap own = properties();
        if (answerPropertyCall(message, connection, own.keys(),
                               [&own](const QString &name) { return own.value(name); }))
            return true;
        if (!message.interface().isEmpty() && message.interface() != QLatin1StringView(menuInterface))
            return false;

        QDBusMessage reply;
        if (member == QLatin1StringView("GetLayout") && args.size() == 3) {
            const int parent = args.at(0).toInt();
            if (parent != 0 && !m_menu.item(parent)) {
                reply = message.createErrorReply(QDBusError::InvalidArgs,
                                                 QStringLiteral("No menu item %1").arg(parent));
            } else {
                reply = message.createReply();
                reply << uint(m_menu.revision())
                      << QVariant::fromValue(layout(parent, args.at(1).toInt(),
                                                    args.at(2).toStringList()));
            }
        } else if (member == QLatin1StringView("GetGroupProperties") && args.size() == 2) {
            const QList<int> ids = qdbus_cast<QList<int>>(args.at(0));
            const QStringList names = args.at(1).toStringList();
            QList<NodeProperties> out;
            for (int id : ids)
                if (id == 0 || m_menu.item(id))
                    out << NodeProperties{id, only(propertiesOf(entry(id)), names)};
            reply = message.createReply(QVariant::fromValue(out));
        } else if (member == QLatin1StringView("GetProperty") && args.size() == 2) {
            const int id = args.at(0).toInt();
            reply = message.createReply(QVariant::fromValue(
                QDBusVariant(propertiesOf(entry(id)).value(args.at(1).toString()))));
        } else if (member == QLatin1StringView("Event") && args.size() == 4) {
            if (args.at(1).toString() == QLatin1StringView("clicked"))
                m_menu.click(args.at(0).toInt());
            reply = message.createReply();
        } else if (member == QLatin1StringView("EventGroup") && args.size() == 1) {
            // (isvu) each; only clicks matter.
            const QDBusArgument events = args.at(0).value<QDBusArgument>();
            QList<int> unknown;
            events.beginArray();
            while (!events.atEnd()) {
                int id = 0;
                QString event;
                QDBusVariant data;
                uint timestamp = 0;
                events.beginStructure();
                events >> id >> event >> data >> timestamp;
                events.endStructure();
                if (!m_menu.item(id))
                    unknown << id;
                else if (event == QLatin1StringView("clicked"))
                    m_menu.click(id);
            }
            events.endArray();
            reply = message.createReply(QVariant::fromValue(unknown));
        } else if (member == QLatin1StringView("AboutToShow") && args.size() == 1) {
            reply = message.createReply(m_menu.aboutToShow(args.at(0).toInt()));
        } else if (member == QLatin1StringView("AboutToShowGroup") && args.size() == 1) {
            const QList<int> ids = qdbus_cast<QList<int>>(args.at(0));
            QList<int> updates;
            if (ids.contains(0) && m_menu.aboutToShow(0))
                updates << 0;
            reply = message.createReply();
            reply << QVariant::fromValue(updates) << QVariant::fromValue(QList<int>());
        } else {
            return false;
        }
        connection.send(reply);
        return true;
    }

private:
    static QVariantMap properties() {
        return {{QStringLiteral("Version"), 3u},
                {QStringLiteral("TextDirection"), QStringLiteral("ltr")},
                {QStringLiteral("Status"), QStringLiteral("normal")},
                {QStringLiteral("IconThemePath"), QStringList()}};
    }

    const DBusMenu::Entry *entry(int id) const {
        const DBusMenu::Item *it = m_menu.item(id);
        return it ? it->entry : nullptr;
    }

    LayoutNode layout(int id, int depth, const QStringList &names) const {
        LayoutNode node{id, only(propertiesOf(entry(id)), names), {}};
        if (depth == 0)
            return node;
        for (const DBusMenu::Item &child : m_menu.items())
            if (child.parent == id)
                node.children << layout(child.id, depth < 0 ? -1 : depth - 1, names);
        return node;
    }

    DBusMenu &m_menu;
};

} // namespace

DBusMenu::DBusMenu(QObject *parent)
    : QObject(parent) {
    qDBusRegisterMetaType<LayoutNode>();
    qDBusRegisterMetaType<NodeProperties>();
    qDBusRegisterMetaType<QList<NodeProperties>>();
    qDBusRegisterMetaType<QList<int>>();
    qDBusRegisterMetaType<QList<QStringList>>();
}

DBusMenu::~DBusMenu() {
    if (m_published)
        m_bus.unregisterObject(QLatin1StringView(path));
}

bool DBusMenu::publish(const QDBusConnection &bus) {
    if (m_published)
        return true;
    m_bus = bus;
    auto *object = new MenuObject(*this);
    object->setParent(this);
    m_published = m_bus.registerVirtualObject(QLatin1StringView(path), object);
    if (m_published)
        rebuild();
    return m_published;
}

const DBusMenu::Item *DBusMenu::item(int id) const {
    const auto it = m_byId.find(id);
    return it == m_byId.end() ? nullptr : &m_items[it->second];
}

void DBusMenu::click(int id) {
    if (const Item *it = item(id); it && it->entry->enabled && !it->entry->separator)
        emit activated(it->where);
}

bool DBusMenu::aboutToShow(int id) {
    // The whole menu is read again when the host opens it: titles and the
    // list of scripts change while it is closed.
    return id == 0 && rebuild();
}

void DBusMenu::refresh() {
    if (m_published && rebuild()) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QLatin1StringView(path), QLatin1StringView(menuInterface),
            QStringLiteral("LayoutUpdated"));
        signal << uint(m_revision) << 0;
        m_bus.send(signal);
    }
}

void DBusMenu::index(const std::vector<Entry> &list, int parent, const QString &parentKey,
                     std::vector<int> where, std::map<QString, int> &ids) {
    where.push_back(0);
    std::map<QString, int> seen;
    for (size_t i = 0; i < list.size(); ++i) {
        where.back() = int(i);
        const QString name = list[i].separator ? QStringLiteral("--") : list[i].label;
        const QString key = parentKey + QChar(0x1f) + name + QLatin1Char('#') +
                            QString::number(seen[name]++);
        const auto known = m_ids.find(key);
        const int id = known != m_ids.end() ? known->second : m_nextId++;
        ids[key] = id;
        m_byId[id] = m_items.size();
        m_items.push_back({id, &list[i], where, parent});
        if (!list[i].children.empty())
            index(list[i].children, id, key, where, ids);
    }
}

bool DBusMenu::rebuild() {
    std::vector<Entry> fresh = entries ? entries() : std::vector<Entry>();
    if (m_built && fresh == m_entries)
        return false;
    m_built = true;
    m_entries = std::move(fresh);
    m_items.clear();
    m_byId.clear();
    std::map<QString, int> ids;
    index(m_entries, 0, QString(), {}, ids);
    m_ids = std::move(ids);
    ++m_revision;
    emit layoutChanged(m_revision);
    return true;
}
