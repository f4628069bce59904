#include "Platform/tray/StatusNotifierItem.h"

#include "Platform/tray/BusProperties.h"
#include "Platform/tray/DBusMenu.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QLoggingCategory>
#include <QtEndian>

Q_LOGGING_CATEGORY(lcTray, "org.orvell.Orvell.Tray")

namespace {

constexpr const char *itemInterface = "org.kde.StatusNotifierItem";
constexpr const char *propertiesInterface = "org.freedesktop.DBus.Properties";
// Hosts read this path as "the item has no menu" and send ContextMenu.
constexpr const char *noMenu = "/NO_DBUSMENU";
// A host hangs on a bus call for this long at most before Orvell gives up.
constexpr int hostCallTimeoutMs = 5000;

// One icon picture as the bus carries it: ARGB32 pixels in network order.
struct SniIcon {
    int width = 0;
    int height = 0;
    QByteArray pixels;
};
using SniIcons = QList<SniIcon>;

struct SniToolTip {
    QString iconName;
    SniIcons icons;
    QString title;
    QString text;
};

QDBusArgument &operator<<(QDBusArgument &arg, const SniIcon &icon) {
    arg.beginStructure();
    arg << icon.width << icon.height << icon.pixels;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, SniIcon &icon) {
    arg.beginStructure();
    arg >> icon.width >> icon.height >> icon.pixels;
    arg.endStructure();
    return arg;
}

QDBusArgument &operator<<(QDBusArgument &arg, const SniToolTip &tip) {
    arg.beginStructure();
    arg << tip.iconName << tip.icons << tip.title << tip.text;
    arg.endStructure();
    return arg;
}

const QDBusArgument &operator>>(const QDBusArgument &arg, SniToolTip &tip) {
    arg.beginStructure();
    arg >> tip.iconName >> tip.icons >> tip.title >> tip.text;
    arg.endStructure();
    return arg;
}

} // namespace

Q_DECLARE_METATYPE(SniIcon)
Q_DECLARE_METATYPE(SniToolTip)

namespace {

SniIcons busIcons(const std::vector<QImage> &images) {
    SniIcons out;
    for (const QImage &image : images) {
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        if (argb.isNull())
            continue;
        SniIcon icon{argb.width(), argb.height(), QByteArray()};
        icon.pixels.resize(qsizetype(argb.width()) * argb.height() * 4);
        char *to = icon.pixels.data();
        for (int y = 0; y < argb.height(); ++y) {
            const auto *row = reinterpret_cast<const quint32 *>(argb.constScanLine(y));
            for (int x = 0; x < argb.width(); ++x, to += 4)
                qToBigEndian(row[x], to);
        }
        out << icon;
    }
    return out;
}

// The item's object on the bus: the properties hosts read and the clicks
// they send. Written by hand rather than as an adaptor, as the item has no
// exported menu and a handful of members.
class ItemObject : public QDBusVirtualObject {
public:
    explicit ItemObject(StatusNotifierItem &item)
        : m_item(item) {}

    QString introspect(const QString &at) const override {
        if (at != QLatin1StringView(StatusNotifierItem::itemPath))
            return QString();
        return QStringLiteral(R"xml(<interface name="org.kde.StatusNotifierItem">
  <property name="Category" type="s" access="read"/>
  <property name="Id" type="s" access="read"/>
  <property name="Title" type="s" access="read"/>
  <property name="Status" type="s" access="read"/>
  <property name="WindowId" type="i" access="read"/>
  <property name="IconName" type="s" access="read"/>
  <property name="IconPixmap" type="a(iiay)" access="read"/>
  <property name="OverlayIconName" type="s" access="read"/>
  <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionIconName" type="s" access="read"/>
  <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionMovieName" type="s" access="read"/>
  <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
  <property name="ItemIsMenu" type="b" access="read"/>
  <property name="Menu" type="o" access="read"/>
  <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
  <method name="ProvideXdgActivationToken"><arg name="token" type="s" direction="in"/></method>
  <signal name="NewTitle"/>
  <signal name="NewIcon"/>
  <signal name="NewToolTip"/>
  <signal name="NewStatus"><arg name="status" type="s"/></signal>
</interface>
)xml");
    }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override {
        const QString iface = message.interface();
        const QString member = message.member();
        const QVariantList args = message.arguments();
        if (answerPropertyCall(message, connection, names(),
                               [this](const QString &name) { return property(name); }))
            return true;
        if (!iface.isEmpty() && iface != QLatin1StringView(itemInterface))
            return false;
        const bool point = args.size() == 2 && args.at(0).canConvert<int>() &&
                           args.at(1).canConvert<int>();
        // Left and right click open the same menu: Orvell has no window
        // that a click should bring forward. Where the host draws the
        // published menu, refusing Activate is how it is asked to (Plasma
        // opens the menu on a refused activation; others open it anyway).
        if (member == QLatin1StringView("Activate") && m_item.hasMenu()) {
            connection.send(message.createErrorReply(
                QDBusError::NotSupported, QStringLiteral("The menu is the item's only action.")));
            return true;
        }
        if ((member == QLatin1StringView("Activate") ||
             member == QLatin1StringView("ContextMenu")) &&
            point) {
            m_item.hostActivated(args.at(0).toInt(), args.at(1).toInt());
        } else if (member != QLatin1StringView("SecondaryActivate") &&
                   member != QLatin1StringView("Scroll") &&
                   member != QLatin1StringView("ProvideXdgActivationToken")) {
            return false;
        }
        connection.send(message.createReply());
        return true;
    }

private:
    static const QStringList &names() {
        static const QStringList all{
            QStringLiteral("Category"),          QStringLiteral("Id"),
            QStringLiteral("Title"),             QStringLiteral("Status"),
            QStringLiteral("WindowId"),          QStringLiteral("IconName"),
            QStringLiteral("IconPixmap"),        QStringLiteral("OverlayIconName"),
            QStringLiteral("OverlayIconPixmap"), QStringLiteral("AttentionIconName"),
            QStringLiteral("AttentionIconPixmap"), QStringLiteral("AttentionMovieName"),
            QStringLiteral("ToolTip"),           QStringLiteral("ItemIsMenu"),
            QStringLiteral("Menu")};
        return all;
    }

    QVariant property(const QString &name) const {
        if (name == QLatin1StringView("Category"))
            return QStringLiteral("ApplicationStatus");
        if (name == QLatin1StringView("Id"))
            return QStringLiteral("orvell");
        if (name == QLatin1StringView("Title"))
            return m_item.title();
        if (name == QLatin1StringView("Status"))
            return QStringLiteral("Active");
        if (name == QLatin1StringView("WindowId"))
            return 0;
        if (name == QLatin1StringView("IconPixmap"))
            return QVariant::fromValue(busIcons(m_item.icons()));
        if (name == QLatin1StringView("OverlayIconPixmap") ||
            name == QLatin1StringView("AttentionIconPixmap"))
            return QVariant::fromValue(SniIcons());
        if (name == QLatin1StringView("ToolTip"))
            return QVariant::fromValue(
                SniToolTip{QString(), SniIcons(), m_item.title(), m_item.toolTipText()});
        if (name == QLatin1StringView("ItemIsMenu"))
            return true;
        if (name == QLatin1StringView("Menu"))
            return QVariant::fromValue(QDBusObjectPath(
                QLatin1StringView(m_item.hasMenu() ? DBusMenu::path : noMenu)));
        return QString();
    }

    StatusNotifierItem &m_item;
};

} // namespace

StatusNotifierItem::StatusNotifierItem(QDBusConnection bus, QObject *parent)
    : QObject(parent)
    , m_bus(std::move(bus)) {
    static int instances = 0;
    qDBusRegisterMetaType<SniIcon>();
    qDBusRegisterMetaType<SniIcons>();
    qDBusRegisterMetaType<SniToolTip>();
    // Qt's own tray item takes the low numbers, should it ever make one.
    m_service = QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
                    .arg(QCoreApplication::applicationPid())
                    .arg(100 + ++instances);
    m_menu = new DBusMenu(this);
    if (!m_bus.isConnected())
        return;
    auto *object = new ItemObject(*this);
    object->setParent(this);
    m_exported = m_bus.registerVirtualObject(QLatin1StringView(itemPath), object) &&
                 m_bus.registerService(m_service);
    if (!m_exported) {
        qCWarning(lcTray).noquote() << "the tray item could not be put on the session bus:"
                                    << m_bus.lastError().message();
        return;
    }
    m_menuPublished = m_menu->publish(m_bus);
    m_watch = new QDBusServiceWatcher(QLatin1StringView(watcherService), m_bus,
                                      QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_watch, &QDBusServiceWatcher::serviceRegistered, this,
            &StatusNotifierItem::watcherAppeared);
    connect(m_watch, &QDBusServiceWatcher::serviceUnregistered, this,
            &StatusNotifierItem::watcherGone);
    const auto hostSignal = [this](const char *name, const char *slot) {
        m_bus.connect(QLatin1StringView(watcherService), QLatin1StringView(watcherPath),
                      QLatin1StringView(watcherService), QLatin1StringView(name), this, slot);
    };
    hostSignal("StatusNotifierHostRegistered", SLOT(hostRegistered()));
    hostSignal("StatusNotifierHostUnregistered", SLOT(hostUnregistered()));
    if (m_bus.interface() && m_bus.interface()->isServiceRegistered(QLatin1StringView(watcherService)))
        watcherAppeared();
}

StatusNotifierItem::~StatusNotifierItem() {
    if (m_exported) {
        m_bus.unregisterService(m_service);
        m_bus.unregisterObject(QLatin1StringView(itemPath));
    }
}

void StatusNotifierItem::setTitle(const QString &title) {
    if (title == m_title)
        return;
    m_title = title;
    announce("NewTitle");
}

void StatusNotifierItem::setToolTip(const QString &text) {
    if (text == m_toolTip)
        return;
    m_toolTip = text;
    announce("NewToolTip");
}

void StatusNotifierItem::setIcons(const std::vector<QImage> &images) {
    m_icons = images;
    announce("NewIcon");
}

void StatusNotifierItem::announce(const char *signal) {
    if (m_exported)
        m_bus.send(QDBusMessage::createSignal(QLatin1StringView(itemPath),
                                              QLatin1StringView(itemInterface),
                                              QLatin1StringView(signal)));
}

void StatusNotifierItem::watcherAppeared() {
    m_registered = false;
    // The watcher is the host's own service wherever one was seen, so the
    // item counts as shown at once (no menu flickers onto the deck at
    // start); a refusal or a watcher without a host takes it back.
    setShown(true);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1StringView(watcherService), QLatin1StringView(watcherPath),
        QLatin1StringView(watcherService), QStringLiteral("RegisterStatusNotifierItem"));
    call << m_service;
    auto *pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call, hostCallTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        if (w->isError()) {
            qCWarning(lcTray).noquote()
                << "the tray host refused Orvell's item:" << w->error().message();
            setShown(false);
            return;
        }
        m_registered = true;
        queryHost();
    });
}

void StatusNotifierItem::watcherGone() {
    m_registered = false;
    setShown(false);
}

void StatusNotifierItem::hostRegistered() {
    queryHost();
}

void StatusNotifierItem::hostUnregistered() {
    queryHost();
}

void StatusNotifierItem::queryHost() {
    if (!m_registered)
        return;
    // Ask rather than assume: the signal also comes for a second host, and
    // an unregistered one may have been the last.
    QDBusMessage get = QDBusMessage::createMethodCall(
        QLatin1StringView(watcherService), QLatin1StringView(watcherPath),
        QLatin1StringView(propertiesInterface), QStringLiteral("Get"));
    get << QLatin1StringView(watcherService) << QStringLiteral("IsStatusNotifierHostRegistered");
    auto *pending = new QDBusPendingCallWatcher(m_bus.asyncCall(get, hostCallTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusMessage reply = w->reply();
        const QVariant value = reply.arguments().value(0).value<QDBusVariant>().variant();
        // A watcher that does not say counts as one with a host: the
        // watcher is the host's own service on every desktop seen so far.
        setShown(m_registered && (w->isError() || !value.canConvert<bool>() || value.toBool()));
    });
}

void StatusNotifierItem::setShown(bool shown) {
    if (shown == m_shown)
        return;
    m_shown = shown;
    emit shownChanged(shown);
}
