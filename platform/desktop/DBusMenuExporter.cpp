#include "DBusMenuExporter.h"

#include <QDBusAbstractAdaptor>
#include <QDBusVariant>

#include <algorithm>

namespace platform {

namespace {

// com.canonical.dbusmenu, version 3, as StatusNotifier hosts call it.
class DBusMenuAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    explicit DBusMenuAdaptor(DBusMenuExporter* menu)
        : QDBusAbstractAdaptor(menu)
        , m_menu(menu)
    {
        connect(menu, &DBusMenuExporter::layoutUpdated, this, &DBusMenuAdaptor::LayoutUpdated);
    }

    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

    // Qt D-Bus finds the types of slot and signal arguments by their written names: they are written
    // in full, without the aliases.
public slots:
    // The menu is flat and small: the whole layout answers every request, whatever its depth.
    uint GetLayout(
        int parentId, int recursionDepth, const QStringList& propertyNames, platform::DBusMenuLayoutItem& layout)
    {
        Q_UNUSED(recursionDepth);
        Q_UNUSED(propertyNames);
        layout
            = parentId == 0 ? m_menu->layout() : DBusMenuLayoutItem {parentId, m_menu->item(parentId).properties, {}};
        return m_menu->revision();
    }

    QList<platform::DBusMenuItem> GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames)
    {
        Q_UNUSED(propertyNames);
        DBusMenuItemList items;
        for (int id : ids) {
            if (id == 0 || m_menu->hasEntry(id))
                items.append(m_menu->item(id));
        }
        return items;
    }

    QDBusVariant GetProperty(int id, const QString& name)
    {
        return QDBusVariant(m_menu->item(id).properties.value(name));
    }

    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp)
    {
        Q_UNUSED(data);
        Q_UNUSED(timestamp);
        m_menu->handleEvent(id, eventId);
    }

    QList<int> EventGroup(const QList<platform::DBusMenuEvent>& events)
    {
        QList<int> unknown;
        for (const DBusMenuEvent& event : events) {
            if (m_menu->hasEntry(event.id))
                m_menu->handleEvent(event.id, event.eventId);
            else
                unknown.append(event.id);
        }
        return unknown;
    }

    bool AboutToShow(int id)
    {
        Q_UNUSED(id);
        return false;
    }

    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors)
    {
        for (int id : ids) {
            if (id != 0 && !m_menu->hasEntry(id))
                idErrors.append(id);
        }
        return {};
    }

signals:
    void ItemsPropertiesUpdated(
        const QList<platform::DBusMenuItem>& updatedProps, const QList<platform::DBusMenuItemKeys>& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    DBusMenuExporter* m_menu;
};

} // namespace

DBusMenuExporter::DBusMenuExporter(QObject* parent)
    : QObject(parent)
{
    registerDBusTrayTypes();
    new DBusMenuAdaptor(this);
}

bool DBusMenuExporter::exportOn(QDBusConnection bus, const QString& path)
{
    return bus.registerObject(path, this, QDBusConnection::ExportAdaptors);
}

void DBusMenuExporter::setEntries(const QList<Entry>& entries)
{
    m_entries = entries;
    ++m_revision;
    emit layoutUpdated(m_revision, 0);
}

bool DBusMenuExporter::hasEntry(int id) const
{
    return std::any_of(m_entries.begin(), m_entries.end(), [id](const Entry& e) { return e.id == id; });
}

DBusMenuItem DBusMenuExporter::item(int id) const
{
    if (id == 0)
        return {0, {{QStringLiteral("children-display"), QStringLiteral("submenu")}}};
    for (const Entry& e : m_entries) {
        if (e.id != id)
            continue;
        QVariantMap properties;
        if (e.separator) {
            properties.insert(QStringLiteral("type"), QStringLiteral("separator"));
        } else {
            // An underscore marks a mnemonic in this protocol; a literal one is written twice.
            properties.insert(
                QStringLiteral("label"), QString(e.label).replace(QLatin1Char('_'), QStringLiteral("__")));
            properties.insert(QStringLiteral("enabled"), e.enabled);
        }
        properties.insert(QStringLiteral("visible"), true);
        return {id, properties};
    }
    return {id, {}};
}

DBusMenuLayoutItem DBusMenuExporter::layout() const
{
    DBusMenuLayoutItem root {0, item(0).properties, {}};
    for (const Entry& e : m_entries)
        root.children.append({e.id, item(e.id).properties, {}});
    return root;
}

void DBusMenuExporter::handleEvent(int id, const QString& eventId)
{
    if (eventId != QLatin1String("clicked"))
        return;
    for (const Entry& e : m_entries) {
        if (e.id == id && e.enabled && !e.separator)
            emit triggered(id);
    }
}

} // namespace platform

#include "DBusMenuExporter.moc"
