#include "SuspensionReview.h"

#include "platform/io/ProcFiles.h"

SuspensionReview::SuspensionReview(std::string procRoot)
    : m_root(std::move(procRoot))
    , m_table(m_root)
{
}

SuspensionReview::Findings SuspensionReview::review(const std::map<std::int32_t, std::uint64_t>& held) const
{
    Findings findings;
    for (const auto& [pid, startTicks] : held) {
        const auto info = m_table.info(pid);
        if (!info || (startTicks != 0 && info->startTimeTicks != startTicks) || info->state == 'Z'
            || info->state == 'X') {
            findings.gone.push_back(pid);
            continue;
        }
        // 't' is a stop seen by a tracer (a debugger attached to the stopped process).
        if (info->state == 'T' || info->state == 't')
            continue;
        const auto status = platform::procfiles::readText(m_root + "/" + std::to_string(pid) + "/status");
        if (!status || !platform::ProcessTable::stopPending(*status))
            findings.running.push_back(pid);
    }
    return findings;
}
