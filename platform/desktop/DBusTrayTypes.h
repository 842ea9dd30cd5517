#pragma once

#include <QByteArray>
#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariantMap>

namespace platform {

// The D-Bus structures of a StatusNotifier item and of its exported menu (com.canonical.dbusmenu).

// One icon image: ARGB32 pixels in network byte order, row after row ("(iiay)").
struct TrayPixmap
{
    int width = 0;
    int height = 0;
    QByteArray argb;
};
using TrayPixmapList = QList<TrayPixmap>;

// "(sa(iiay)ss)": an icon name, icon images, a title and a body.
struct TrayToolTip
{
    QString iconName;
    TrayPixmapList pixmaps;
    QString title;
    QString body;
};

// A menu entry and its children, "(ia{sv}av)", each child wrapped in a variant.
struct DBusMenuLayoutItem
{
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayoutItem> children;
};

// An entry's properties without its children, "(ia{sv})".
struct DBusMenuItem
{
    int id = 0;
    QVariantMap properties;
};
using DBusMenuItemList = QList<DBusMenuItem>;

// Properties an entry no longer has, "(ias)".
struct DBusMenuItemKeys
{
    int id = 0;
    QStringList names;
};
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;

// One event of EventGroup, "(isvu)".
struct DBusMenuEvent
{
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuEventList = QList<DBusMenuEvent>;

// Makes the types above known to Qt D-Bus; safe to call more than once.
void registerDBusTrayTypes();

QDBusArgument& operator<<(QDBusArgument& arg, const TrayPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& arg, TrayPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& arg, const TrayToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& arg, TrayToolTip& tip);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuLayoutItem& item);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuLayoutItem& item);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuItem& item);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuItem& item);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuItemKeys& keys);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuItemKeys& keys);
QDBusArgument& operator<<(QDBusArgument& arg, const DBusMenuEvent& event);
const QDBusArgument& operator>>(const QDBusArgument& arg, DBusMenuEvent& event);

} // namespace platform

Q_DECLARE_METATYPE(platform::TrayPixmap)
Q_DECLARE_METATYPE(platform::TrayToolTip)
Q_DECLARE_METATYPE(platform::DBusMenuLayoutItem)
Q_DECLARE_METATYPE(platform::DBusMenuItem)
Q_DECLARE_METATYPE(platform::DBusMenuItemKeys)
Q_DECLARE_METATYPE(platform::DBusMenuEvent)
