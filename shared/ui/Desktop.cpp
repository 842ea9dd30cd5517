#include "Desktop.h"

#include "platform/services/ChildProcess.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>

namespace {

const QString kFileManagerService = QStringLiteral("org.freedesktop.FileManager1");
// A file manager the bus starts for the call may take a moment before it answers.
constexpr int kFileManagerAnswerMs = 5000;
constexpr std::chrono::milliseconds kFolderHandlerQueryDeadline {3000};

// Asks the file manager on `bus` to show the file or folder with `method` and waits for its answer:
// false when none is there (and the bus can start none), it refuses, or it does not answer in time.
bool fileManagerShows(const QDBusConnection& bus, const QString& method, const QString& path)
{
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        kFileManagerService, QStringLiteral("/org/freedesktop/FileManager1"), kFileManagerService, method);
    call << QStringList {QUrl::fromLocalFile(path).toString()} << QString();
    return bus.call(call, QDBus::Block, kFileManagerAnswerMs).type() == QDBusMessage::ReplyMessage;
}

// Opens the folder with xdg-open, when it has a program to open folders with: xdg-open "succeeds" by
// starting itself even when it has none. xdg-open is not waited for: it may become the file manager.
bool folderHandlerOpens(const QString& folder)
{
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    const QString open = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (query.isEmpty() || open.isEmpty())
        return false;
    const auto answer = platform::runChildProcess(query.toStdString(), {"query", "default", "inode/directory"},
        {.output = platform::ChildRun::Output::standardOutput, .deadline = kFolderHandlerQueryDeadline});
    return answer && answer.value().exitStatus == 0
        && !QString::fromStdString(answer.value().output).trimmed().isEmpty()
        && platform::startChildProcess(open.toStdString(), {folder.toStdString()}).ok();
}

} // namespace

Desktop& Desktop::system()
{
    static SystemDesktop desktop;
    return desktop;
}

SystemDesktop::SystemDesktop(const QString& busName)
    : m_busName(busName)
{
}

QDBusConnection SystemDesktop::bus() const
{
    return m_busName.isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(m_busName);
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
    return fileManagerShows(bus(), QStringLiteral("ShowFolders"), path) || folderHandlerOpens(path);
}

bool SystemDesktop::revealFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    return fileManagerShows(bus(), QStringLiteral("ShowItems"), info.absoluteFilePath())
        || folderHandlerOpens(info.absolutePath());
}
