#include "DBusTrayTypes.h"

#include <QDBusMetaType>

namespace platform {

void registerDBusTrayTypes()
{
    static const bool registered = [] {
        qDBusRegisterMetaType<TrayPixmap>();
        qDBusRegisterMetaType<TrayPixmapList>();
        qDBusRegisterMetaType<TrayToolTip>();
        qDBusRegisterMetaType<DBusMenuLayoutItem>();
        qDBusRegisterMetaType<DBusMenuItem>();
        qDBusRegisterMetaType<DBusMenuItemList>();
        qDBusRegisterMetaType<DBusMenuItemKeys>();
        qDBusRegisterMetaType<DBusMenuItemKeysList>();
        qDBusRegisterMetaType<DBusMenuEvent>();
        qDBusRegisterMetaType<DBusMenuEventList>();
        return true;
    }();
    (void)registered;
}

QDBusArgument& operator<<(QDBusArgument& arg, const TrayPixmap& pixmap)
{
    arg.beginStructure();
    arg << pixmap.width << pixmap.height << pixmap.argb;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, TrayPixmap& pixmap)
{
    arg.beginStructure();
    arg >> pixmap.width >> pixmap.height >> pixmap.argb;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const TrayToolTip& tip)
{
    arg.beginStructure();
    arg << tip.iconName << tip.pixmaps << tip.title << tip.body;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, TrayToolTip& tip)
{
    arg.beginStructure();
    arg >> tip.iconName >> tip.pixmaps >> tip.title >> tip.body;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuLayoutItem& item)
{
    arg.beginStructure();
    arg << item.id << item.properties;
    arg.beginArray(QMetaType::fromType<QDBusVariant>());
    for (const DBusMenuLayoutItem& child : item.children)
        arg << QDBusVariant(QVariant::fromValue(child));
    arg.endArray();
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuLayoutItem& item)
{
    arg.beginStructure();
    arg >> item.id >> item.properties;
    item.children.clear();
    arg.beginArray();
    while (!arg.atEnd()) {
        QDBusVariant wrapped;
        arg >> wrapped;
        DBusMenuLayoutItem child;
        qvariant_cast<QDBusArgument>(wrapped.variant()) >> child;
        item.children.append(child);
    }
    arg.endArray();
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuItem& item)
{
    arg.beginStructure();
    arg << item.id << item.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuItem& item)
{
    arg.beginStructure();
    arg >> item.id >> item.properties;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuItemKeys& keys)
{
    arg.beginStructure();
    arg << keys.id << keys.names;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuItemKeys& keys)
{
    arg.beginStructure();
    arg >> keys.id >> keys.names;
    arg.endStructure();
    return arg;
}

QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuEvent& event)
{
    arg.beginStructure();
    arg << event.id << event.eventId << event.data << event.timestamp;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuEvent& event)
{
    arg.beginStructure();
    arg >> event.id >> event.eventId >> event.data >> event.timestamp;
    arg.endStructure();
    return arg;
}

} // namespace platform
