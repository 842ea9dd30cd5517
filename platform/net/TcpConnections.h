#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform {

// One end of a TCP connection as shown: "10.0.0.5:51234" or "[2001:db8::5]:51234".
struct TcpEndpoint
{
    std::string text;
    bool loopback = false; // on 127.0.0.0/8, ::1 or ::ffff:127.0.0.0/104

    // From an address in network byte order (4 or 16 bytes) and a port.
    static TcpEndpoint of(const unsigned char* address, bool ipv6, std::uint16_t port);
};

// One established TCP socket as /proc/net/tcp or tcp6 lists it.
struct TcpSocket
{
    std::string local; // "10.0.0.5:51234" or "[2001:db8::5]:51234"
    std::string remote;
    bool loopback = false; // either end on 127.0.0.0/8, ::1 or ::ffff:127.0.0.0/104
    std::uint64_t inode = 0;
};

// Established sockets of a /proc/net/tcp (ipv6 false) or tcp6 (true) text, in the file's order.
std::vector<TcpSocket> parseEstablished(std::string_view text, bool ipv6);

// The socket inode of an fd link target "socket:[12345]".
std::optional<std::uint64_t> socketInode(std::string_view linkTarget);

// An established external connection and the process holding it.
struct TcpConnection
{
    std::string local;
    std::string remote;
    int pid = 0;
    std::string processName;
};

// Established TCP connections of the machine (asked of the kernel's socket diagnostics for the machine's own
// /proc, read from net/tcp and net/tcp6 otherwise or when the kernel does not answer) mapped to their processes through
// the socket inodes in /proc/[pid]/fd, loopback traffic left out. Sockets of processes whose fd folder cannot be read
// (other users' processes) are not listed. Ordered by pid, then as the kernel lists them; a socket shared by several
// processes appears once per process.
//
// Walking every process's descriptors is the costly part, so which processes hold which socket is
// remembered: the walk runs again only when a socket shows up that was not seen before, and at least
// every tenth call so that sockets handed to other processes are found too. Thread-safe.
class TcpConnections
{
public:
    explicit TcpConnections(std::string procRoot = "/proc");

    std::vector<TcpConnection> established() const;

    static constexpr int kFullScanEvery = 10;

private:
    struct Owner
    {
        int pid = 0;
        std::string name;
    };
    using Owners = std::unordered_map<std::uint64_t, std::vector<Owner>>;
    Owners scanOwners(const std::vector<TcpSocket>& sockets) const;
    // The established sockets with no loopback end, IPv4 first, each family in the kernel's order.
    std::vector<TcpSocket> externalSockets() const;

    std::string m_root;
    mutable std::mutex m_mutex;
    mutable Owners m_owners; // every socket of the last call, with no owner when none was readable
    mutable int m_callsSinceScan = 0;
};

} // namespace platform
