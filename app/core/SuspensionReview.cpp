#include "SuspensionReview.h"

#include "platform/io/ProcFiles.h"

#include <charconv>
#include <csignal>

namespace {

// The hex mask after a "Name:" line of a status text; 0 when there is none.
std::uint64_t maskAfter(std::string_view status, std::string_view label)
{
    const auto at = status.find(label);
    if (at == std::string_view::npos || (at > 0 && status[at - 1] != '\n'))
        return 0;
    std::string_view rest = status.substr(at + label.size());
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
        rest.remove_prefix(1);
    std::uint64_t mask = 0;
    std::from_chars(rest.data(), rest.data() + rest.size(), mask, 16);
    return mask;
}

} // namespace

SuspensionReview::SuspensionReview(std::string procRoot)
    : m_root(std::move(procRoot))
    , m_table(m_root)
{
}

bool SuspensionReview::stopPending(std::string_view status)
{
    const std::uint64_t bit = std::uint64_t(1) << (SIGSTOP - 1);
    return ((maskAfter(status, "SigPnd:") | maskAfter(status, "ShdPnd:")) & bit) != 0;
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
        if (!status || !stopPending(*status))
            findings.running.push_back(pid);
    }
    return findings;
}
