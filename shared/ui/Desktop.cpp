#include "Desktop.h"

#include "core/PoolWork.h"

#include "platform/services/ChildProcess.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QThreadPool>

#include <unistd.h>

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

// The program set up to open folders: xdg-open, when xdg-mime names a default for folders (xdg-open
// alone would start even when it has none). Empty when there is none. Blocks for a few seconds at most.
QString folderHandler()
{
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    const QString open = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (query.isEmpty() || open.isEmpty())
        return {};
    const auto answer = platform::runChildProcess(query.toStdString(), {"query", "default", "inode/directory"},
        {.output = platform::ChildRun::Output::standardOutput, .deadline = kFolderHandlerQueryDeadline});
    const bool known = answer && answer.value().exitStatus == 0
        && !QString::fromStdString(answer.value().output).trimmed().isEmpty();
    return known ? open : QString();
}

// What the file manager on the bus did, and else the folder handler to open the folder with.
struct BusAnswer
{
    bool shown = false;
    QString handler {};
    QString folder {};
};

// Opens the folder with the handler and answers once it ends: shown only when it ends with status 0.
// It may become the file manager and end only when that closes, so it is waited for by its own process
// object, which nothing else owns: neither a receiver that goes nor the program's quitting stops it.
void runFolderHandler(
    const QString& handler, const QString& folder, QPointer<QObject> receiver, const Desktop::Answer& answered)
{
    auto* process = new QProcess;
    process->setProgram(handler);
    process->setArguments({folder});
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    // A session of its own, as for every program left to live on: the signals of this program's
    // terminal don't reach it.
    process->setChildProcessModifier([] { ::setsid(); });
    const auto answer = [process, receiver, answered](bool shown) {
        process->deleteLater();
        if (receiver)
            answered(shown);
    };
    QObject::connect(process, &QProcess::finished, process,
        [answer](int code, QProcess::ExitStatus status) { answer(status == QProcess::NormalExit && code == 0); });
    QObject::connect(process, &QProcess::errorOccurred, process, [answer](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            answer(false);
    });
    process->start();
}

// Asks the bus on a worker, then, on the GUI thread, the folder handler when the bus showed nothing.
void askAndAnswer(QObject* receiver, const Desktop::Answer& answered, std::function<BusAnswer()> ask)
{
    runOnPool(QThreadPool::globalInstance(), receiver, std::move(ask),
        [guard = QPointer<QObject>(receiver), answered](BusAnswer bus) {
            if (bus.shown || bus.handler.isEmpty())
                answered(bus.shown);
            else
                runFolderHandler(bus.handler, bus.folder, guard, answered);
        });
}

QDBusConnection busNamed(const QString& name)
{
    return name.isEmpty() ? QDBusConnection::sessionBus() : QDBusConnection(name);
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

void SystemDesktop::openFolder(const QString& path, QObject* receiver, Answer answered)
{
    askAndAnswer(receiver, answered, [busName = m_busName, path] {
        if (!QFileInfo(path).isDir())
            return BusAnswer {};
        if (fileManagerShows(busNamed(busName), QStringLiteral("ShowFolders"), path))
            return BusAnswer {true};
        return BusAnswer {.handler = folderHandler(), .folder = path};
    });
}

void SystemDesktop::revealFile(const QString& path, QObject* receiver, Answer answered)
{
    askAndAnswer(receiver, answered, [busName = m_busName, path] {
        const QFileInfo info(path);
        if (!info.exists())
            return BusAnswer {};
        if (fileManagerShows(busNamed(busName), QStringLiteral("ShowItems"), info.absoluteFilePath()))
            return BusAnswer {true};
        return BusAnswer {.handler = folderHandler(), .folder = info.absolutePath()};
    });
}
