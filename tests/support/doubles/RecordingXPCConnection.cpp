#include "RecordingXPCConnection.h"

#include "platform/ipc/HelperProtocol.h"

#include <csignal>

XPCConnection::Result<void> RecordingXPCConnection::freezeProcess(std::int32_t pid, std::optional<std::uint64_t>)
{
    return record(pid, SIGSTOP);
}

XPCConnection::Result<void> RecordingXPCConnection::resumeProcess(std::int32_t pid)
{
    return record(pid, SIGCONT);
}

XPCConnection::Result<PowerMetrics> RecordingXPCConnection::getPowerMetrics()
{
    return PowerMetrics {1.5, 0.5, Date::now()};
}

XPCConnection::Result<std::string> RecordingXPCConnection::getVersion()
{
    return std::string(platform::kHelperVersion);
}

RecordingXPCConnection::Signals RecordingXPCConnection::mockSignalsSent() const
{
    std::lock_guard lock(m_mutex);
    return m_signals;
}

void RecordingXPCConnection::clearMockSignals()
{
    std::lock_guard lock(m_mutex);
    m_signals.clear();
}

XPCConnection::Result<void> RecordingXPCConnection::record(std::int32_t pid, int signal)
{
    std::lock_guard lock(m_mutex);
    m_signals.emplace_back(pid, signal);
    return {};
}
