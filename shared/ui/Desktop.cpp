#include "Desktop.h"

#include "platform/services/ChildProcess.h"
#include <QClipboard>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>

namespace {

const QString kFileManagerService = QStringLiteral("org.freedesktop.FileManager1");

// Whether a file manager runs on the session bus, or the bus can start one.
bool fileManagerOnBus(QDBusConnection& bus)
{
    QDBusConnectionInterface* names = bus.interface();
    if (!names)
        return false;
    if (names->isServiceRegistered(kFileManagerService).value())
        return true;
    return names->activatableServiceNames().value().contains(kFileManagerService);
}

// Whether xdg-open has a program to open folders with.
bool folderHandlerSetUp()
{
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (query.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("xdg-open")).isEmpty())
        return false;
    const auto answer = platform::runChildProcess(query.toStdString(), {"query", "default", "inode/directory"},
        {.output = platform::ChildRun::Output::standardOutput, .deadline = std::chrono::milliseconds(3000)});
    return answer && answer.value().exitStatus == 0
        && !QString::fromStdString(answer.value().output).trimmed().isEmpty();
}

} // namespace

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
    if (!QFileInfo(path).isDir())
        return false;
    auto bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && fileManagerOnBus(bus)) {
        QDBusMessage call = QDBusMessage::createMethodCall(kFileManagerService,
            QStringLiteral("/org/freedesktop/FileManager1"), kFileManagerService, QStringLiteral("ShowFolders"));
        call << QStringList {QUrl::fromLocalFile(path).toString()} << QString();
        if (bus.send(call))
            return true;
    }
    // xdg-open "succeeds" by starting itself even when it has nothing to open a folder with.
    return folderHandlerSetUp() && QProcess::startDetached(QStringLiteral("xdg-open"), {path});
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
    return foldersOpen;
}

bool RecordingDesktop::revealFile(const QString& path)
{
    revealedFiles << path;
    return true;
}
