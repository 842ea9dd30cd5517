#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One listening Unix socket as /proc/net/unix lists it.
struct ListeningUnixSocket
{
    std::string path; // an abstract name starts with "@"
    std::uint64_t inode = 0; // the "socket:[inode]" its holders' descriptors point at
};

// The listening Unix sockets with a name in the network namespace of a /proc tree.
class UnixSocketTable
{
public:
    explicit UnixSocketTable(std::string procRoot = "/proc");

    std::vector<ListeningUnixSocket> listening() const;

    // The named listening sockets of a /proc/net/unix text, in its order.
    static std::vector<ListeningUnixSocket> parseListening(std::string_view text);

private:
    std::string m_root;
};

} // namespace platform
