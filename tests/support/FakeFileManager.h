#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QObject>
#include <QStringList>

// The desktop's file manager as org.freedesktop.FileManager1 on a test's bus: it records what it is
// asked to show, or refuses with an error.
class FakeFileManager : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    // Takes the file manager's name and object on `bus`; false when the bus would not give them.
    bool serveOn(QDBusConnection bus)
    {
        return bus.registerObject(
                   QStringLiteral("/org/freedesktop/FileManager1"), this, QDBusConnection::ExportAllSlots)
            && bus.registerService(QStringLiteral("org.freedesktop.FileManager1"));
    }

    bool refuses = false;
    QStringList shown;

public slots:
    void ShowFolders(const QStringList& uris, const QString&) { answer(uris); }
    void ShowItems(const QStringList& uris, const QString&) { answer(uris); }

private:
    void answer(const QStringList& uris)
    {
        if (refuses)
            sendErrorReply(QDBusError::Failed, QStringLiteral("The folder cannot be shown"));
        else
            shown << uris;
    }
};
