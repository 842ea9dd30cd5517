#include "HelperHardening.h"

#include "platform/io/TextFields.h"
#include "platform/text/AsciiText.h"

#include <algorithm>
#include <array>

namespace {

// A key shown, what it means set as the helper's unit sets it, and what it means switched off
// ("no", or nothing assigned), which systemd reports when a drop-in undoes it.
struct Entry
{
    std::string_view key;
    std::string_view on;
    std::string_view off;
};

// The order is the one systemd is asked in; a unit file's own settings keep the file's order.
constexpr std::array kEntries {
    Entry {"User", "The account it runs as", "Runs as root: no other account is set"},
    Entry {"CapabilityBoundingSet", "The only root privileges it keeps; every other one is dropped",
        "Keeps no root privilege at all"},
    Entry {"AmbientCapabilities", "Privileges handed on to the programs it starts",
        "No privilege is handed on to the programs it starts"},
    Entry {"NoNewPrivileges", "Neither it nor anything it starts can gain privileges",
        "Programs it starts may gain privileges (set-user-ID programs)"},
    Entry {"ProtectSystem", "The system's files are read-only to it", "The system's files are not protected from it"},
    Entry {"ProtectHome", "Home folders, and so your files, are hidden from it",
        "Home folders, and so your files, are open to it"},
    Entry {"ReadWritePaths", "The only place outside its log it may write",
        "No place is made writable beyond its own folders"},
    Entry {"LogsDirectory", "Its audit log folder (/var/log/quorvane)", "No log folder of its own"},
    Entry {"PrivateTmp", "Its own empty temporary folder", "Shares the system's temporary folder"},
    Entry {"PrivateDevices", "No access to hardware devices", "Hardware devices are not hidden from it"},
    Entry {"DevicePolicy", "Device access refused unless listed", "Device access is not limited to a list"},
    Entry {"PrivateMounts", "Mounts of its own, invisible to the system", "Shares the system's mounts"},
    Entry {"PrivateNetwork", "No network of any kind: it cannot reach another computer",
        "Not cut off from the network: only its other settings keep it from other computers"},
    Entry {"IPAddressDeny", "Every IP address refused", "No IP address is refused"},
    Entry {"RestrictAddressFamilies", "Only local (Unix) sockets", "Any kind of socket, network ones included"},
    Entry {"ProtectClock", "Cannot change the system clock", "May change the system clock"},
    Entry {"ProtectHostname", "Cannot change the host name", "May change the host name"},
    Entry {"ProtectKernelLogs", "Cannot read or write the kernel log", "May read and write the kernel log"},
    Entry {"ProtectKernelModules", "Cannot load kernel modules", "May load kernel modules"},
    Entry {"ProtectKernelTunables", "Kernel settings are read-only (but for the page-cache drop)",
        "Kernel settings are writable to it"},
    Entry {"ProtectControlGroups", "Control groups are read-only", "Control groups are writable to it"},
    Entry {"ProtectProc", "Processes it may not inspect stay hidden in /proc", "Sees every process in /proc"},
    Entry {"RestrictNamespaces", "Cannot create namespaces", "May create namespaces"},
    Entry {"RestrictRealtime", "Cannot take real-time scheduling", "May take real-time scheduling"},
    Entry {"RestrictSUIDSGID", "Cannot create set-user-ID or set-group-ID files",
        "May create set-user-ID or set-group-ID files"},
    Entry {"LockPersonality", "Cannot change its execution domain", "May change its execution domain"},
    Entry {"MemoryDenyWriteExecute", "Cannot make memory both writable and executable",
        "May make memory both writable and executable"},
    Entry {"UMask", "Files it creates are readable by root only", "Files it creates may be readable by others"},
    Entry {"SystemCallArchitectures", "Only system calls of this machine's own architecture",
        "System calls of any architecture"},
    Entry {"SystemCallFilter", "The system calls it may make", "Any system call"},
    Entry {"SystemCallErrorNumber", "A refused system call fails instead of ending the helper",
        "A refused system call ends the helper"},
};

std::string_view keyOf(std::string_view setting)
{
    return platform::asciiTrimmed(setting.substr(0, setting.find('=')));
}

std::string_view valueOf(std::string_view setting)
{
    const auto equals = setting.find('=');
    return equals == std::string_view::npos ? std::string_view {} : platform::asciiTrimmed(setting.substr(equals + 1));
}

const Entry* entryFor(std::string_view key)
{
    for (const Entry& e : kEntries) {
        if (e.key == key)
            return &e;
    }
    return nullptr;
}

// Nothing assigned, or a boolean switched off, as systemd writes and reads one.
bool isOff(std::string_view value)
{
    return value.empty() || value == "no" || value == "false" || value == "off" || value == "0";
}

// The lines of the text with continuations (a line ending in a backslash) joined, as systemd does.
std::vector<std::string> logicalLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::string pending;
    while (!text.empty()) {
        std::string_view line = platform::asciiTrimmed(platform::textfields::takeLine(text));
        if (pending.empty() && (line.empty() || line.front() == '#' || line.front() == ';'))
            continue;
        if (!line.empty() && line.back() == '\\') {
            pending.append(platform::asciiTrimmed(line.substr(0, line.size() - 1))).push_back(' ');
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

// The bounding set as a unit file ("CAP_KILL") or systemd ("cap_kill") writes it. The helper needs
// CAP_KILL and CAP_SYS_PTRACE; any other privilege it keeps is named, so a widened set shows.
std::string describeCapabilities(std::string_view value, std::string_view base)
{
    std::string text(base);
    std::vector<std::string> others;
    bool kill = false;
    bool ptrace = false;
    for (const std::string_view name : platform::textfields::split(value)) {
        const std::string capability = platform::asciiUpper(name);
        if (capability == "CAP_KILL")
            kill = true;
        else if (capability == "CAP_SYS_PTRACE")
            ptrace = true;
        else
            others.push_back(capability);
    }
    if (kill)
        text += "; CAP_KILL signals other users' processes";
    if (ptrace)
        text += "; CAP_SYS_PTRACE reads which program a process runs";
    if (!others.empty()) {
        text += "; it also keeps " + others.front();
        constexpr std::size_t kNamed = 3;
        for (std::size_t i = 1; i < std::min(others.size(), kNamed); ++i)
            text += (i + 1 == others.size() ? " and " : ", ") + others[i];
        if (others.size() > kNamed)
            text += " and " + std::to_string(others.size() - kNamed) + " more";
        text += ", which it does not need";
    }
    return text;
}

// The keys whose values say more than on or off.
std::optional<std::string> describeByValue(std::string_view key, std::string_view value)
{
    if (key == "ProtectSystem") {
        if (value == "strict")
            return "The whole file system is read-only to it, but its log and the paths listed to write";
        if (value == "full")
            return "/usr, /boot and /etc are read-only to it";
        if (value == "yes" || value == "true")
            return "/usr and /boot are read-only to it";
    }
    if (key == "ProtectHome" && value == "read-only")
        return "Home folders are read-only to it: it can read your files";
    if (key == "DevicePolicy" && value == "auto")
        return "Device access is not limited to a list";
    if (key == "ProtectProc" && value == "default")
        return "Sees every process in /proc";
    if (key == "UMask" && value != "0077")
        return "Files it creates may be readable by others";
    // systemd's word, or its number, for "no error number: end the process".
    if (key == "SystemCallErrorNumber" && (value == "kill" || value == "2147483646"))
        return "A refused system call ends the helper";
    if (key == "IPAddressDeny") {
        // A unit file writes "any"; systemd reports it as both whole address ranges.
        const bool every = value == "any"
            || (value.find("0.0.0.0/0") != std::string_view::npos && value.find("::/0") != std::string_view::npos);
        if (!every && !value.empty())
            return "Only these IP addresses are refused";
    }
    if (key == "RestrictAddressFamilies" && !value.empty() && value != "AF_UNIX" && value != "none") {
        if (value.front() == '~')
            return "Every kind of socket but these, network ones included";
        return "Only these kinds of socket";
    }
    if (key == "RestrictNamespaces" && !isOff(value) && value != "yes" && value != "true")
        return "May create only these kinds of namespace";
    return std::nullopt;
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
        const std::string_view key = platform::asciiTrimmed(std::string_view(line).substr(0, equals));
        if (entryFor(key))
            out.push_back(std::string(key) + "="
                + std::string(platform::asciiTrimmed(std::string_view(line).substr(equals + 1))));
    }
    return out;
}

std::vector<std::string> propertyNames()
{
    std::vector<std::string> names;
    for (const Entry& e : kEntries)
        names.emplace_back(e.key);
    names.insert(names.end(), {"LoadState", "FragmentPath", "DropInPaths"});
    return names;
}

std::optional<EffectiveSettings> effectiveSettingsOf(std::string_view showText)
{
    std::vector<std::pair<std::string, std::string>> values;
    while (!showText.empty()) {
        const std::string_view line = platform::textfields::takeLine(showText);
        const auto equals = line.find('=');
        if (equals != std::string_view::npos && equals > 0)
            values.emplace_back(line.substr(0, equals), platform::asciiTrimmed(line.substr(equals + 1)));
    }
    const auto find = [&](std::string_view key) -> const std::string* {
        for (const auto& [k, v] : values) {
            if (k == key)
                return &v;
        }
        return nullptr;
    };
    const std::string* loadState = find("LoadState");
    if (!loadState || *loadState != "loaded")
        return std::nullopt;
    EffectiveSettings out;
    for (const Entry& e : kEntries) {
        if (const std::string* value = find(e.key))
            out.settings.push_back(std::string(e.key) + "=" + *value);
    }
    if (const std::string* fragment = find("FragmentPath"))
        out.fragmentPath = *fragment;
    if (const std::string* dropIns = find("DropInPaths")) {
        for (const std::string_view path : platform::textfields::split(*dropIns))
            out.dropInPaths.emplace_back(path);
    }
    return out;
}

std::optional<std::string> describe(std::string_view setting)
{
    const std::string_view key = keyOf(setting);
    const Entry* entry = entryFor(key);
    if (!entry)
        return std::nullopt;
    const std::string_view value = valueOf(setting);
    if (auto text = describeByValue(key, value))
        return text;
    // "CapabilityBoundingSet=" keeps nothing; every other empty or "no" value undoes the setting.
    if (key == "CapabilityBoundingSet")
        return value.empty() ? std::string(entry->off) : describeCapabilities(value, entry->on);
    if (key == "User" || key == "ReadWritePaths" || key == "LogsDirectory" || key == "SystemCallFilter"
        || key == "SystemCallArchitectures" || key == "AmbientCapabilities")
        return std::string(value.empty() ? entry->off : entry->on);
    return std::string(isOff(value) ? entry->off : entry->on);
}

} // namespace HelperHardening
