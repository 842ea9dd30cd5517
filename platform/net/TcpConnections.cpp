#include "TcpConnections.h"

#include "SocketDiag.h"
#include "platform/io/ProcFiles.h"
#include "platform/io/TextFields.h"
#include "platform/proc/ProcessTable.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::string_view kEstablished = "01";
constexpr std::size_t kMaxTableBytes = std::size_t(64) << 20;

// The kernel prints each 32-bit word of the address as the native integer it holds in memory, and the
// port in host order; copying the parsed words back into memory restores network byte order.
std::optional<TcpEndpoint> parseEndpoint(std::string_view text, bool ipv6)
{
    const std::size_t colon = text.find(':');
    const std::size_t hexLength = ipv6 ? 32 : 8;
    if (colon != hexLength)
        return std::nullopt;
    const auto port = textfields::parseNumber<unsigned>(text.substr(colon + 1), 16);
    if (!port || *port > 65535)
        return std::nullopt;
    unsigned char bytes[16];
    for (std::size_t word = 0; word < hexLength / 8; ++word) {
        const auto value = textfields::parseNumber<std::uint32_t>(text.substr(word * 8, 8), 16);
        if (!value)
            return std::nullopt;
        std::memcpy(bytes + word * 4, &*value, 4);
    }
    return TcpEndpoint::of(bytes, ipv6, static_cast<std::uint16_t>(*port));
}

// The process's name as the process list gives it; comm is read from its own file, as no stat line is at hand.
std::string processName(int procFd, const char* pidText)
{
    char path[64];
    char comm[64];
    std::snprintf(path, sizeof path, "%s/comm", pidText);
    const ssize_t n = procfiles::readInto(procFd, path, comm, sizeof comm);
    std::string_view text = n > 0 ? std::string_view(comm, static_cast<std::size_t>(n)) : "";
    if (text.ends_with('\n'))
        text.remove_suffix(1);
    return ProcessTable::executableName(procFd, pidText, false, text);
}

} // namespace

TcpEndpoint TcpEndpoint::of(const unsigned char* address, bool ipv6, std::uint16_t port)
{
    char host[INET6_ADDRSTRLEN];
    TcpEndpoint endpoint;
    if (!ipv6) {
        ::inet_ntop(AF_INET, address, host, sizeof host);
        endpoint.loopback = address[0] == 127;
        endpoint.text = std::string(host) + ":" + std::to_string(port);
        return endpoint;
    }
    ::inet_ntop(AF_INET6, address, host, sizeof host);
    static const unsigned char loopback6[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    static const unsigned char mappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    endpoint.loopback = std::memcmp(address, loopback6, 16) == 0
        || (std::memcmp(address, mappedPrefix, 12) == 0 && address[12] == 127);
    endpoint.text = "[" + std::string(host) + "]:" + std::to_string(port);
    return endpoint;
}

std::vector<TcpSocket> parseEstablished(std::string_view text, bool ipv6)
{
    std::vector<TcpSocket> sockets;
    textfields::takeLine(text); // the header
    while (!text.empty()) {
        // sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid timeout inode ...
        const auto f = textfields::split(textfields::takeLine(text));
        if (f.size() < 10 || f[3] != kEstablished)
            continue;
        const auto local = parseEndpoint(f[1], ipv6);
        const auto remote = parseEndpoint(f[2], ipv6);
        const auto inode = textfields::parseNumber<std::uint64_t>(f[9], 10);
        if (!local || !remote || !inode)
            continue;
        sockets.push_back({local->text, remote->text, local->loopback || remote->loopback, *inode});
    }
    return sockets;
}

std::optional<std::uint64_t> socketInode(std::string_view linkTarget)
{
    constexpr std::string_view prefix = "socket:[";
    if (linkTarget.size() <= prefix.size() + 1 || linkTarget.substr(0, prefix.size()) != prefix
        || linkTarget.back() != ']')
        return std::nullopt;
    return textfields::parseNumber<std::uint64_t>(
        linkTarget.substr(prefix.size(), linkTarget.size() - prefix.size() - 1), 10);
}

TcpConnections::TcpConnections(std::string procRoot)
    : m_root(std::move(procRoot))
{
}

TcpConnections::Owners TcpConnections::scanOwners(const std::vector<TcpSocket>& sockets) const
{
    Owners owners;
    for (const TcpSocket& socket : sockets)
        owners.emplace(socket.inode, std::vector<Owner> {});
    DIR* proc = ::opendir(m_root.c_str());
    if (!proc)
        return owners;
    std::unordered_map<int, std::string> names;
    while (const dirent* entry = ::readdir(proc)) {
        const auto pid = textfields::parseNumber<int>(entry->d_name, 10);
        if (!pid || *pid <= 0)
            continue;
        const std::string fdPath = m_root + "/" + entry->d_name + "/fd";
        const int fdDir = ::open(fdPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fdDir < 0)
            continue;
        DIR* fds = ::fdopendir(fdDir);
        if (!fds) {
            ::close(fdDir);
            continue;
        }
        while (const dirent* fd = ::readdir(fds)) {
            if (fd->d_name[0] == '.')
                continue;
            char target[64];
            const ssize_t n = ::readlinkat(fdDir, fd->d_name, target, sizeof target);
            if (n <= 0 || n == static_cast<ssize_t>(sizeof target))
                continue;
            const auto inode = socketInode(std::string_view(target, static_cast<std::size_t>(n)));
            const auto it = inode ? owners.find(*inode) : owners.end();
            if (it == owners.end())
                continue;
            // A socket open twice in one process is one row.
            if (std::none_of(it->second.begin(), it->second.end(), [&](const Owner& o) { return o.pid == *pid; })) {
                auto name = names.find(*pid);
                if (name == names.end())
                    name = names.emplace(*pid, processName(::dirfd(proc), entry->d_name)).first;
                it->second.push_back({*pid, name->second});
            }
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return owners;
}

std::vector<TcpSocket> TcpConnections::externalSockets() const
{
    // Reading /proc/net/tcp walks the kernel's whole connection table once per family; asking the kernel
    // for the established sockets costs one walk for both. A fixture tree has only its files.
    std::optional<std::vector<TcpSocket>> sockets;
    if (m_root == "/proc")
        sockets = socketdiag::establishedTcp();
    if (!sockets) {
        sockets.emplace();
        for (bool ipv6 : {false, true}) {
            const auto text = procfiles::readText(m_root + (ipv6 ? "/net/tcp6" : "/net/tcp"), kMaxTableBytes);
            for (TcpSocket& socket : parseEstablished(text.value_or(""), ipv6))
                sockets->push_back(std::move(socket));
        }
    }
    std::erase_if(*sockets, [](const TcpSocket& s) { return s.loopback || s.inode == 0; });
    return std::move(*sockets);
}

std::vector<TcpConnection> TcpConnections::established() const
{
    const std::vector<TcpSocket> sockets = externalSockets();

    std::lock_guard lock(m_mutex);
    const bool allKnown
        = std::all_of(sockets.begin(), sockets.end(), [&](const TcpSocket& s) { return m_owners.count(s.inode) > 0; });
    if (sockets.empty()) {
        m_owners.clear(); // nothing to map: no walk over the descriptors at all
    } else if (!allKnown || ++m_callsSinceScan >= kFullScanEvery) {
        m_owners = scanOwners(sockets);
        m_callsSinceScan = 0;
    } else {
        Owners current;
        for (const TcpSocket& s : sockets)
            current.emplace(s.inode, m_owners[s.inode]);
        m_owners = std::move(current);
    }

    std::vector<std::pair<int, std::size_t>> rows; // (pid, socket index): pid order, then the kernel's
    for (std::size_t i = 0; i < sockets.size(); ++i) {
        for (const Owner& owner : m_owners[sockets[i].inode])
            rows.emplace_back(owner.pid, i);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::vector<TcpConnection> connections;
    for (auto [pid, index] : rows) {
        const auto& list = m_owners[sockets[index].inode];
        const auto owner = std::find_if(list.begin(), list.end(), [pid = pid](const Owner& o) { return o.pid == pid; });
        connections.push_back({sockets[index].local, sockets[index].remote, pid, owner->name});
    }
    return connections;
}

} // namespace platform
