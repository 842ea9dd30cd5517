#include "RecordingDesktop.h"

#include <QObject>

bool RecordingDesktop::openUrl(const QUrl& url)
{
    openedUrls << url;
    return true;
}

void RecordingDesktop::openFolder(const QString& path, QObject* receiver, Answer answered)
{
    openedFolders << path;
    QMetaObject::invokeMethod(
        receiver, [answered, open = foldersOpen] { answered(open); }, Qt::QueuedConnection);
}

void RecordingDesktop::revealFile(const QString& path, QObject* receiver, Answer answered)
{
    revealedFiles << path;
    QMetaObject::invokeMethod(
        receiver, [answered] { answered(true); }, Qt::QueuedConnection);
}
