#include "platform/ipc/UnixSocket.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

std::optional<sockaddr_un> socketAddress(const std::string& path)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return std::nullopt;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

} // namespace

Result<UniqueFd> connectUnixSocket(const std::string& path)
{
    const auto address = socketAddress(path);
    if (!address)
        return posixError(ENAMETOOLONG);
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid())
        return posixError(errno);
    while (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) {
        if (errno != EINTR)
            return posixError(errno);
    }
    return fd;
}

Result<UniqueFd> listenUnixSocket(const std::string& path, mode_t mode)
{
    const auto address = socketAddress(path);
    if (!address)
        return posixError(ENAMETOOLONG);

    struct stat st
    {
    };
    if (::lstat(path.c_str(), &st) == 0) {
        if (!S_ISSOCK(st.st_mode))
            return posixError(EEXIST);
        if (connectUnixSocket(path))
            return posixError(EADDRINUSE);
        ::unlink(path.c_str());
    }

    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.valid())
        return posixError(errno);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0)
        return posixError(errno);
    if (::chmod(path.c_str(), mode) != 0 || ::listen(fd.get(), SOMAXCONN) != 0) {
        const int error = errno;
        ::unlink(path.c_str());
        return posixError(error);
    }
    return fd;
}

std::optional<UniqueFd> takeActivatedSocket()
{
    const char* pid = std::getenv("LISTEN_PID");
    const char* count = std::getenv("LISTEN_FDS");
    const bool ours = pid && count && std::strtol(pid, nullptr, 10) == long(::getpid()) && std::atoi(count) >= 1;
    ::unsetenv("LISTEN_PID");
    ::unsetenv("LISTEN_FDS");
    ::unsetenv("LISTEN_FDNAMES");
    if (!ours)
        return std::nullopt;
    constexpr int kFirstActivatedFd = 3;
    ::fcntl(kFirstActivatedFd, F_SETFD, FD_CLOEXEC);
    return UniqueFd(kFirstActivatedFd);
}

} // namespace platform
