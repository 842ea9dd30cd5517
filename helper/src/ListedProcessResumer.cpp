#include "helper/src/ListedProcessResumer.h"

#include "platform/io/ProcFiles.h"
#include "platform/proc/Pidfd.h"
#include "platform/proc/ProcessTable.h"

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace helper {

ListedProcessResumer::ListedProcessResumer(std::string procRoot)
    : m_procRoot(std::move(procRoot))
{
}

ListedProcessResumer::Presence ListedProcessResumer::presenceOf(const SuspendedProcess& process, char* state) const
{
    errno = 0;
    const auto text = platform::procfiles::readText(m_procRoot + "/" + std::to_string(process.pid) + "/stat", 4096);
    if (!text)
        return errno == ENOENT || errno == ESRCH ? Presence::gone : Presence::unknown;
    const auto fields = platform::ProcessTable::parseStat(*text);
    if (!fields)
        return Presence::unknown;
    if (state)
        *state = fields->state;
    return fields->pid == process.pid && fields->startTime == process.startTime ? Presence::same : Presence::gone;
}

bool ListedProcessResumer::hasEnded(const SuspendedProcess& listed) const
{
    return presenceOf(listed) == Presence::gone;
}

bool ListedProcessResumer::isStopped(const SuspendedProcess& process) const
{
    // A stop sent a moment ago may not have been taken yet: it is one all the same. The pending stop
    // is looked at first, then the state: a stop taken in between shows in the state read after it.
    const auto status = platform::procfiles::readText(m_procRoot + "/" + std::to_string(process.pid) + "/status");
    if (status && platform::ProcessTable::stopPending(*status))
        return true;
    char state = '?';
    return presenceOf(process, &state) == Presence::same && state == 'T';
}

ListedProcessResumer::Outcome ListedProcessResumer::resumeOne(const SuspendedProcess& process) const
{
    // Pinned first, then compared: the pidfd cannot move on to a later process with this pid.
    const auto pidfd = platform::openPidfd(process.pid);
    if (!pidfd.valid() && errno == ESRCH)
        return Outcome::gone;
    switch (presenceOf(process)) {
    case Presence::gone:
        return Outcome::gone;
    case Presence::unknown:
        return Outcome::left;
    case Presence::same:
        break;
    }
    const bool stopped = isStopped(process);
    const int sent = pidfd.valid() ? platform::pidfdSendSignal(pidfd.get(), SIGCONT) : ::kill(process.pid, SIGCONT);
    if (sent == 0)
        return stopped ? Outcome::continued : Outcome::resumed;
    if (errno == ESRCH)
        return Outcome::gone;
    return Outcome::failed;
}

Resumption ListedProcessResumer::resume(const std::vector<SuspendedProcess>& listed) const
{
    Resumption resumption;
    for (const auto& process : listed) {
        switch (resumeOne(process)) {
        case Outcome::continued:
            ++resumption.continued;
            resumption.resumed.emplace_back(process, true);
            break;
        case Outcome::resumed:
            resumption.resumed.emplace_back(process, true);
            break;
        case Outcome::failed:
            resumption.resumed.emplace_back(process, false);
            resumption.left.push_back(process);
            break;
        case Outcome::left:
            resumption.left.push_back(process);
            break;
        case Outcome::gone:
            break;
        }
    }
    return resumption;
}

} // namespace helper
