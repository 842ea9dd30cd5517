#include "SingleInstance.h"

#include "platform/proc/ProcessTable.h"

#include <QDir>
#include <QEventLoop>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

#include <csignal>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kConnectTimeoutMs = 500;
const QByteArray kShowRequest = QByteArrayLiteral("show\n");
const QByteArray kShownReply = QByteArrayLiteral("shown\n");

// The process listening at the other end of a connected local socket.
std::optional<ucred> peerOf(const QLocalSocket& socket)
{
    ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0
        || credentials.pid <= 0)
        return std::nullopt;
    return credentials;
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
        QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (folder.isEmpty())
            folder = QDir::tempPath();
        m_socketPath = folder + QStringLiteral("/quorvane-pro.socket");
    }
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim()
{
    if (m_server)
        return true;
    if (askRunningCopyToShow())
        return false;
    // Nobody answered: what is left at the path is the socket of a copy that died.
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
    // A stopped copy still has its connections accepted by the kernel, and would never answer.
    const auto peer = peerOf(socket);
    const QString pid = peer ? QString::number(peer->pid) : QString();
    bool resumed = false;
    if (peer) {
        const auto info = platform::ProcessTable().info(peer->pid);
        if (info && info->state == 'T') {
            if (peer->uid != ::getuid()) {
                m_message = tr("Quorvane Pro is already running as another user (PID %1) and is stopped.").arg(pid);
                return true;
            }
            resumed = ::kill(peer->pid, SIGCONT) == 0;
        }
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
