#pragma once

#include "platform/proc/ProcessTable.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

// Compares the processes the persona engine holds suspended with their real state in the process
// table. A process it stopped may run again without it: a helper that stops resumes everything it
// held, and anyone may send SIGCONT. Such a process must not be listed as frozen.
class SuspensionReview
{
public:
    struct Findings
    {
        std::vector<std::int32_t> running; // the same process, neither stopped nor about to stop
        std::vector<std::int32_t> gone; // ended, a zombie, or its pid now belongs to another process
    };

    explicit SuspensionReview(std::string procRoot);

    // `held` maps each pid to the start time (clock ticks after boot) of the process suspended under
    // it; 0 when that could not be read, and then the pid alone names it.
    Findings review(const std::map<std::int32_t, std::uint64_t>& held) const;

private:
    std::string m_root;
    platform::ProcessTable m_table;
};
