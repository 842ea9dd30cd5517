#include "HelperHardening.h"

#include "platform/io/TextFields.h"

#include <array>
#include <utility>

namespace {

using Entry = std::pair<std::string_view, std::string_view>;

// The keys shown, with what each means for the helper. Order is the unit file's, not this table's.
constexpr std::array kDescriptions {
    Entry {"User", "The account it runs as"},
    Entry {"CapabilityBoundingSet", "The only root privileges it keeps; every other one is dropped"},
    Entry {"AmbientCapabilities", "Privileges handed on to the programs it starts"},
    Entry {"NoNewPrivileges", "Neither it nor anything it starts can gain privileges"},
    Entry {"ProtectSystem", "The system's files are read-only to it"},
    Entry {"ProtectHome", "Home folders, and so your files, are hidden from it"},
    Entry {"ReadWritePaths", "The only place outside its log it may write"},
    Entry {"LogsDirectory", "Its audit log folder (/var/log/quorvane)"},
    Entry {"PrivateTmp", "Its own empty temporary folder"},
    Entry {"PrivateDevices", "No access to hardware devices"},
    Entry {"DevicePolicy", "Device access refused unless listed"},
    Entry {"PrivateMounts", "Mounts of its own, invisible to the system"},
    Entry {"PrivateNetwork", "No network of any kind: it cannot reach another computer"},
    Entry {"IPAddressDeny", "Every IP address refused"},
    Entry {"RestrictAddressFamilies", "Only local (Unix) sockets"},
    Entry {"ProtectClock", "Cannot change the system clock"},
    Entry {"ProtectHostname", "Cannot change the host name"},
    Entry {"ProtectKernelLogs", "Cannot read or write the kernel log"},
    Entry {"ProtectKernelModules", "Cannot load kernel modules"},
    Entry {"ProtectKernelTunables", "Kernel settings are read-only (but for the page-cache drop)"},
    Entry {"ProtectControlGroups", "Control groups are read-only"},
    Entry {"ProtectProc", "Processes it may not inspect stay hidden in /proc"},
    Entry {"RestrictNamespaces", "Cannot create namespaces"},
    Entry {"RestrictRealtime", "Cannot take real-time scheduling"},
    Entry {"RestrictSUIDSGID", "Cannot create set-user-ID or set-group-ID files"},
    Entry {"LockPersonality", "Cannot change its execution domain"},
    Entry {"MemoryDenyWriteExecute", "Cannot make memory both writable and executable"},
    Entry {"UMask", "Files it creates are readable by root only"},
    Entry {"SystemCallArchitectures", "Only system calls of this machine's own architecture"},
    Entry {"SystemCallFilter", "The system calls it may make"},
    Entry {"SystemCallErrorNumber", "A refused system call fails instead of ending the helper"},
};

std::string_view trimmed(std::string_view text)
{
    constexpr std::string_view space = " \t\r";
    const auto start = text.find_first_not_of(space);
    if (start == std::string_view::npos)
        return {};
    return text.substr(start, text.find_last_not_of(space) - start + 1);
}

std::string_view keyOf(std::string_view setting)
{
    return trimmed(setting.substr(0, setting.find('=')));
}

const Entry* entryFor(std::string_view key)
{
    for (const Entry& e : kDescriptions) {
        if (e.first == key)
            return &e;
    }
    return nullptr;
}

// The lines of the text with continuations (a line ending in a backslash) joined, as systemd does.
std::vector<std::string> logicalLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::string pending;
    while (!text.empty()) {
        std::string_view line = trimmed(platform::textfields::takeLine(text));
        if (pending.empty() && (line.empty() || line.front() == '#' || line.front() == ';'))
            continue;
        if (!line.empty() && line.back() == '\\') {
            pending.append(trimmed(line.substr(0, line.size() - 1))).push_back(' ');
            continue;
        }
        pending.append(line);
        lines.push_back(std::move(pending));
        pending.clear();
    }
    if (!pending.empty())
        lines.push_back(std::move(pending));
    return lines;
}

} // namespace

namespace HelperHardening {

std::vector<std::string> settingsOf(std::string_view unitText)
{
    std::vector<std::string> out;
    bool inService = false;
    for (const std::string& line : logicalLines(unitText)) {
        if (line.front() == '[') {
            inService = line == "[Service]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inService || equals == std::string::npos)
            continue;
        const std::string_view key = trimmed(std::string_view(line).substr(0, equals));
        if (entryFor(key))
            out.push_back(std::string(key) + "=" + std::string(trimmed(std::string_view(line).substr(equals + 1))));
    }
    return out;
}

std::optional<std::string> describe(std::string_view setting)
{
    const std::string_view key = keyOf(setting);
    const Entry* entry = entryFor(key);
    if (!entry)
        return std::nullopt;
    const auto equals = setting.find('=');
    const std::string_view value
        = equals == std::string_view::npos ? std::string_view {} : trimmed(setting.substr(equals + 1));
    if (key == "ProtectSystem" && value == "strict")
        return "The whole file system is read-only to it, but its log and the paths listed to write";
    if (key == "AmbientCapabilities" && value.empty())
        return "No privilege is handed on to the programs it starts";
    if (key == "CapabilityBoundingSet") {
        std::string text(entry->second);
        if (value.find("CAP_KILL") != std::string_view::npos)
            text += "; CAP_KILL signals other users' processes";
        if (value.find("CAP_SYS_PTRACE") != std::string_view::npos)
            text += "; CAP_SYS_PTRACE reads which program a process runs";
        return text;
    }
    return std::string(entry->second);
}

} // namespace HelperHardening
