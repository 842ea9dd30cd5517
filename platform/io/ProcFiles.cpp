#include "platform/io/ProcFiles.h"

#include "platform/text/AsciiText.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace platform::procfiles {

ssize_t readInto(int dirfd, const char* path, char* buf, std::size_t cap)
{
    const int fd = ::openat(dirfd, path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return -1;
    std::size_t total = 0;
    while (total < cap) {
        const ssize_t n = ::read(fd, buf + total, cap - total);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return -1;
        }
        total += static_cast<std::size_t>(n);
        // proc and sysfs hand out a small file in one read; a short read is its end, which saves the
        // extra read that would only return 0 (system calls are most of the cost of a process snapshot).
        if (n == 0 || total < cap)
            break;
    }
    ::close(fd);
    return static_cast<ssize_t>(total);
}

ssize_t rereadInto(int fd, char* buf, std::size_t cap)
{
    ssize_t n;
    do
        n = ::pread(fd, buf, cap, 0);
    while (n < 0 && errno == EINTR);
    return n;
}

std::optional<std::string> readText(const std::string& path, std::size_t limit)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    std::string text;
    char chunk[4096];
    while (text.size() < limit) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0)
            break;
        text.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (text.size() > limit)
        text.resize(limit);
    return text;
}

std::string readTrimmed(const std::string& path, std::size_t limit)
{
    const auto text = readText(path, limit);
    return text ? std::string(asciiTrimmed(*text)) : std::string();
}

} // namespace platform::procfiles
