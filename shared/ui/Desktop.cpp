#include "Desktop.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>

Desktop& Desktop::system()
{
    static SystemDesktop desktop;
    return desktop;
}

void SystemDesktop::copyText(const QString& text)
{
    if (auto* clipboard = QGuiApplication::clipboard())
        clipboard->setText(text);
}

QString SystemDesktop::clipboardText() const
{
    auto* clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text() : QString();
}

bool SystemDesktop::openUrl(const QUrl& url)
{
    return url.isValid() && QDesktopServices::openUrl(url);
}

bool SystemDesktop::openFolder(const QString& path)
{
    return QFileInfo(path).isDir() && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool SystemDesktop::revealFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    auto bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("/org/freedesktop/FileManager1"), QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("ShowItems"));
        call << QStringList {QUrl::fromLocalFile(info.absoluteFilePath()).toString()} << QString();
        // Asynchronous: the file manager may take a while to start, and the GUI thread never waits for it.
        if (bus.send(call))
            return true;
    }
    return openFolder(info.absolutePath());
}

bool RecordingDesktop::openUrl(const QUrl& url)
{
    openedUrls << url;
    return true;
}

bool RecordingDesktop::openFolder(const QString& path)
{
    openedFolders << path;
    return true;
}

bool RecordingDesktop::revealFile(const QString& path)
{
    revealedFiles << path;
    return true;
}
