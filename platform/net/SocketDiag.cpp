#include "SocketDiag.h"

#include "platform/io/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <linux/sock_diag.h>
#include <linux/unix_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace platform::socketdiag {

namespace {

constexpr std::uint32_t kEstablishedOnly = 1u << TCP_ESTABLISHED;

// A socket of its own with `body` sent on it as one request; invalid when the kernel refuses it.
template<typename Request> UniqueFd ask(std::uint16_t type, std::uint16_t flags, const Request& body)
{
    UniqueFd fd(::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG));
    if (!fd)
        return fd;
    struct
    {
        nlmsghdr header;
        Request body;
    } request {};
    request.header.nlmsg_len = sizeof request;
    request.header.nlmsg_type = type;
    request.header.nlmsg_flags = flags;
    request.body = body;
    if (::send(fd.get(), &request, sizeof request, 0) != static_cast<ssize_t>(sizeof request))
        return UniqueFd();
    return fd;
}

// Sends one dump request on a socket of its own and collects the sockets of the answer; nothing when the
// kernel refuses it.
template<typename Request> std::optional<std::vector<TcpSocket>> dump(std::uint16_t type, const Request& body)
{
    const UniqueFd fd = ask(type, NLM_F_REQUEST | NLM_F_DUMP, body);
    if (!fd)
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

// The UNIX_DIAG_PEER attribute of the answer to a query for a single Unix socket; nothing, with errno
// set, when the answer has none: the kernel's own error (a kernel without unix_diag answers ENOENT), or
// EPROTO for an answer of another form.
std::optional<std::uint64_t> peerOf(const char* answer, ssize_t size)
{
    errno = EPROTO;
    for (auto* header = reinterpret_cast<const nlmsghdr*>(answer); NLMSG_OK(header, size);
         header = NLMSG_NEXT(header, size)) {
        if (header->nlmsg_type == NLMSG_ERROR && header->nlmsg_len >= NLMSG_LENGTH(sizeof(nlmsgerr))) {
            const int error = -static_cast<const nlmsgerr*>(NLMSG_DATA(header))->error;
            errno = error > 0 ? error : EPROTO;
            return std::nullopt;
        }
        if (header->nlmsg_type != SOCK_DIAG_BY_FAMILY || header->nlmsg_len < NLMSG_LENGTH(sizeof(unix_diag_msg)))
            return std::nullopt;
        const auto* message = static_cast<const unix_diag_msg*>(NLMSG_DATA(header));
        auto length = int(header->nlmsg_len - NLMSG_LENGTH(sizeof *message));
        for (auto* attribute = reinterpret_cast<const rtattr*>(message + 1); RTA_OK(attribute, length);
             attribute = RTA_NEXT(attribute, length)) {
            if (attribute->rta_type == UNIX_DIAG_PEER && RTA_PAYLOAD(attribute) >= sizeof(std::uint32_t)) {
                std::uint32_t peer = 0;
                std::memcpy(&peer, RTA_DATA(attribute), sizeof peer);
                return peer;
            }
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::uint64_t> unixPeerInode(int socketFd)
{
    struct stat st
    {
    };
    if (::fstat(socketFd, &st) != 0)
        return std::nullopt;
    if (!S_ISSOCK(st.st_mode)) {
        errno = ENOTSOCK;
        return std::nullopt;
    }
    unix_diag_req request {};
    request.sdiag_family = AF_UNIX;
    request.udiag_ino = std::uint32_t(st.st_ino);
    request.udiag_show = UDIAG_SHOW_PEER;
    request.udiag_cookie[0] = INET_DIAG_NOCOOKIE;
    request.udiag_cookie[1] = INET_DIAG_NOCOOKIE;
    const UniqueFd fd = ask(SOCK_DIAG_BY_FAMILY, NLM_F_REQUEST, request);
    if (!fd)
        return std::nullopt;
    alignas(nlmsghdr) char answer[8192];
    ssize_t n = 0;
    do
        n = ::recv(fd.get(), answer, sizeof answer, 0);
    while (n < 0 && errno == EINTR);
    if (n == 0)
        errno = EPROTO;
    return n > 0 ? peerOf(answer, n) : std::nullopt;
}

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
