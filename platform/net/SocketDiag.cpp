#include "SocketDiag.h"

#include "platform/io/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace platform::socketdiag {

namespace {

constexpr std::uint32_t kEstablishedOnly = 1u << TCP_ESTABLISHED;

// Sends one dump request on a socket of its own and collects the sockets of the answer; nothing when the
// kernel refuses it.
template<typename Request> std::optional<std::vector<TcpSocket>> dump(std::uint16_t type, const Request& body)
{
    const UniqueFd fd(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
    if (!fd)
        return std::nullopt;
    struct
    {
        nlmsghdr header;
        Request body;
    } request {};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = type;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.body = body;
    if (::send(fd.get(), &request, sizeof request, 0) != static_cast<ssize_t>(sizeof request))
        return std::nullopt;

    std::vector<TcpSocket> sockets;
    // A dump arrives in parts of at most 32 KiB.
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        ssize_t n = ::recv(fd.get(), buffer.data(), buffer.size(), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        for (auto* h = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(h, n); h = NLMSG_NEXT(h, n)) {
            if (h->nlmsg_type == NLMSG_DONE)
                return sockets;
            if (h->nlmsg_type == NLMSG_ERROR || h->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
                return std::nullopt;
            const auto* msg = static_cast<const inet_diag_msg*>(NLMSG_DATA(h));
            if (msg->idiag_state != TCP_ESTABLISHED || (msg->idiag_family != AF_INET && msg->idiag_family != AF_INET6))
                continue;
            const bool ipv6 = msg->idiag_family == AF_INET6;
            unsigned char source[16];
            unsigned char destination[16];
            std::memcpy(source, msg->id.idiag_src, sizeof source);
            std::memcpy(destination, msg->id.idiag_dst, sizeof destination);
            const auto local = TcpEndpoint::of(source, ipv6, ntohs(msg->id.idiag_sport));
            const auto remote = TcpEndpoint::of(destination, ipv6, ntohs(msg->id.idiag_dport));
            sockets.push_back({local.text, remote.text, local.loopback || remote.loopback, msg->idiag_inode});
        }
    }
}

} // namespace

std::optional<std::vector<TcpSocket>> establishedTcp()
{
    // The older request with no family asks for both in one walk over the kernel's connection table;
    // a kernel without it is asked once per family.
    inet_diag_req both {};
    both.idiag_states = kEstablishedOnly;
    auto sockets = dump(TCPDIAG_GETSOCK, both);
    if (!sockets) {
        sockets.emplace();
        for (std::uint8_t family : {AF_INET, AF_INET6}) {
            inet_diag_req_v2 request {};
            request.sdiag_family = family;
            request.sdiag_protocol = IPPROTO_TCP;
            request.idiag_states = kEstablishedOnly;
            auto part = dump(SOCK_DIAG_BY_FAMILY, request);
            if (!part)
                return std::nullopt;
            sockets->insert(sockets->end(), part->begin(), part->end());
        }
    }
    // IPv4 before IPv6, as net/tcp and net/tcp6 list them.
    std::stable_partition(sockets->begin(), sockets->end(), [](const TcpSocket& s) { return s.local.front() != '['; });
    return sockets;
}

} // namespace platform::socketdiag
