#include "SingleInstance.h"

#include "platform/proc/ProcessTable.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

#include <csignal>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kConnectTimeoutMs = 500;
const QByteArray kShowRequest = QByteArrayLiteral("show\n");
const QByteArray kShownReply = QByteArrayLiteral("shown\n");

// The process listening at the other end of a connected local socket, as the kernel names it.
std::optional<ucred> peerOf(const QLocalSocket& socket)
{
    ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0
        || size != sizeof credentials)
        return std::nullopt;
    return credentials;
}

// Whether `folder` is a real folder of this user's that nobody else may write to; one of this user's
// with a looser mode is tightened.
bool isPrivateFolder(const QString& folder)
{
    const QByteArray path = QFile::encodeName(folder);
    struct stat st
    {
    };
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    return (st.st_mode & (S_IWGRP | S_IWOTH)) == 0 || ::chmod(path.constData(), 0700) == 0;
}

// The user's runtime folder, else a folder of the program's in the user's cache folder; never the
// shared temporary folder, where another user could take the socket's name first. Empty when neither
// is the user's alone.
QString privateSocketFolder()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && isPrivateFolder(runtime))
        return runtime;
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty())
        return {};
    const QString folder = cache + QStringLiteral("/quorvane-pro");
    QDir().mkpath(cache);
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    return isPrivateFolder(folder) ? folder : QString();
}

// Waits for the answer with the event loop running, so that a copy in this very thread can answer too.
bool waitForAnswer(QLocalSocket& socket)
{
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
        if (socket.canReadLine())
            loop.quit();
    });
    QObject::connect(&socket, &QLocalSocket::disconnected, &loop, &QEventLoop::quit);
    timeout.start(SingleInstance::kAnswerTimeoutMs);
    if (!socket.canReadLine())
        loop.exec();
    return socket.canReadLine() && socket.readLine() == kShownReply;
}

} // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent)
    , m_socketPath(std::move(socketPath))
{
    if (m_socketPath.isEmpty()) {
        if (const QString folder = privateSocketFolder(); !folder.isEmpty())
            m_socketPath = folder + QStringLiteral("/quorvane-pro.socket");
    }
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim()
{
    // Without a folder of its own the program runs on, unreachable for later starts.
    if (m_server || m_socketPath.isEmpty())
        return true;
    if (askRunningCopyToShow())
        return false;
    // No copy of this user's answered: what is left at the path is a dead copy's socket, or not ours.
    QLocalServer::removeServer(m_socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_socketPath))
        return true; // runs on, unreachable for later starts, rather than not at all
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = m_server->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                while (client->canReadLine()) {
                    if (client->readLine() != kShowRequest)
                        continue;
                    client->write(kShownReply);
                    client->flush();
                    emit showRequested();
                }
            });
        }
    });
    return true;
}

bool SingleInstance::askRunningCopyToShow()
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    // Only a copy of this user's may send this start away; a socket of anyone else's at the path is
    // not a running copy, whatever it answers.
    const auto peer = peerOf(socket);
    if (!peer || peer->uid != ::geteuid())
        return false;
    const QString pid = peer->pid > 0 ? QString::number(peer->pid) : QString();
    // A stopped copy still has its connections accepted by the kernel, and would never answer.
    bool resumed = false;
    if (peer->pid > 0) {
        const auto info = platform::ProcessTable().info(peer->pid);
        if (info && info->state == 'T')
            resumed = ::kill(peer->pid, SIGCONT) == 0;
    }
    socket.write(kShowRequest);
    socket.waitForBytesWritten(kConnectTimeoutMs);
    m_answered = waitForAnswer(socket);
    socket.disconnectFromServer();
    if (!m_answered)
        m_message = pid.isEmpty()
            ? tr("Quorvane Pro is already running but does not answer.")
            : tr(
                "Quorvane Pro is already running (PID %1) but does not answer; end it with \"kill %1\" to start again.")
                  .arg(pid);
    else if (resumed)
        m_message = tr("Quorvane Pro (PID %1) had been stopped; it runs again.").arg(pid);
    return true;
}
