#include "RecordingDesktop.h"

bool RecordingDesktop::openUrl(const QUrl& url)
{
    openedUrls << url;
    return true;
}

bool RecordingDesktop::openFolder(const QString& path)
{
    openedFolders << path;
    return foldersOpen;
}

bool RecordingDesktop::revealFile(const QString& path)
{
    revealedFiles << path;
    return true;
}
