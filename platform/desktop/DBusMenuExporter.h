#pragma once

#include "DBusTrayTypes.h"

#include <QDBusConnection>
#include <QObject>

namespace platform {

// A flat menu offered over D-Bus (com.canonical.dbusmenu), the way StatusNotifier hosts show an
// item's menu. The host asks for the layout and sends an event when the user picks an entry; the
// exporter tells its owner which one.
class DBusMenuExporter : public QObject
{
    Q_OBJECT
public:
    struct Entry
    {
        int id = 0; // above 0; 0 is the menu itself
        QString label; // as shown: no mnemonic marks
        bool enabled = true;
        bool separator = false;
    };

    explicit DBusMenuExporter(QObject* parent = nullptr);

    // Registers the menu at `path` on `bus`.
    bool exportOn(QDBusConnection bus, const QString& path);
    void setEntries(const QList<Entry>& entries);
    const QList<Entry>& entries() const { return m_entries; }
    uint revision() const { return m_revision; }

    // What the D-Bus methods answer, for the adaptor.
    DBusMenuLayoutItem layout() const;
    DBusMenuItem item(int id) const;
    bool hasEntry(int id) const;
    // A host's "clicked" event on an entry.
    void handleEvent(int id, const QString& eventId);

signals:
    void triggered(int id);
    void layoutUpdated(uint revision, int parent);

private:
    QList<Entry> m_entries;
    uint m_revision = 1;
};

} // namespace platform
