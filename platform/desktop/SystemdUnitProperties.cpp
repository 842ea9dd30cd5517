#include "SystemdUnitProperties.h"

#include "platform/services/ChildProcess.h"

#include <unistd.h>

namespace platform {

std::string systemctlPath()
{
    for (const char* path : {"/usr/bin/systemctl", "/bin/systemctl"}) {
        if (::access(path, X_OK) == 0)
            return path;
    }
    return "/usr/bin/systemctl";
}

std::optional<std::string> showUnitProperties(const std::string& unit, const std::vector<std::string>& names,
    std::chrono::milliseconds timeout, const std::string& systemctl)
{
    // --all: a property a drop-in emptied ("AmbientCapabilities=") is printed too, not left out.
    std::vector<std::string> arguments {"show", "--no-pager", "--all"};
    for (const std::string& name : names)
        arguments.push_back("--property=" + name);
    // "--" so that a unit name can never be read as an option.
    arguments.insert(arguments.end(), {"--", unit});
    // Plain values whatever the user's language; nothing asks for a password or a pager.
    const ChildRun run {
        .output = ChildRun::Output::standardOutput, .deadline = timeout, .environment = {"LC_ALL=C", "SYSTEMD_PAGER="}};
    const auto shown = runChildProcess(systemctl, arguments, run);
    if (!shown || shown.value().exitStatus != 0)
        return std::nullopt;
    return shown.value().output;
}

} // namespace platform
