#pragma once

#include "core/XPCConnection.h"

#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

// A helper client that reaches no helper: every request succeeds at once and nothing is recorded as a
// helper action. The signals asked for are kept in order; the version is the helper's own and the
// power figures are 1.5 W for the CPU and 0.5 W for the GPU.
class RecordingXPCConnection : public XPCConnection
{
public:
    using Signals = std::vector<std::pair<std::int32_t, std::int32_t>>;

    Result<void> freezeProcess(std::int32_t pid, std::optional<std::uint64_t> startTicks = std::nullopt) override;
    Result<void> resumeProcess(std::int32_t pid) override;
    Result<void> pauseFileIndexer() override { return {}; }
    Result<void> resumeFileIndexer() override { return {}; }
    Result<void> purgeMemory() override { return {}; }
    Result<PowerMetrics> getPowerMetrics() override;
    Result<std::string> getVersion() override;

    // (pid, signal) of every suspend and resume asked for, in order.
    Signals mockSignalsSent() const;
    void clearMockSignals();

private:
    Result<void> record(std::int32_t pid, int signal);

    mutable std::mutex m_mutex;
    Signals m_signals;
};
