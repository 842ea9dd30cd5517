#pragma once

// Requests made from processes forked from the threaded test program, which may only make raw
// system calls: no heap, no locks.

#include "HelperTestSupport.h"

#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace helpertest {

// Request lines built without the heap, for processes forked from this threaded test program.
struct LineBuffer
{
    char text[256] = {};
    std::size_t size = 0;

    LineBuffer& operator<<(const char* part)
    {
        while (*part && size + 1 < sizeof text)
            text[size++] = *part++;
        return *this;
    }
    LineBuffer& operator<<(long number)
    {
        char digits[24];
        int n = 0;
        const bool negative = number < 0;
        unsigned long rest = negative ? 0UL - static_cast<unsigned long>(number) : static_cast<unsigned long>(number);
        do {
            digits[n++] = char('0' + rest % 10);
            rest /= 10;
        } while (rest);
        if (negative)
            digits[n++] = '-';
        while (n > 0 && size + 1 < sizeof text)
            text[size++] = digits[--n];
        return *this;
    }
};

inline LineBuffer stopRequest(long id, long pid)
{
    LineBuffer line;
    line << "{\"id\":" << id << ",\"op\":\"sendSignal\",\"signal\":" << long(SIGSTOP) << ",\"pid\":" << pid << "}\n";
    return line;
}

inline int connectTo(const char* socketPath)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath, sizeof address.sun_path - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        ::_exit(90);
    return fd;
}

// Sends one line and copies its answer (or "closed") to `out`, one line.
inline void askAndReport(int fd, const char* line, std::size_t size, int out)
{
    if (::send(fd, line, size, MSG_NOSIGNAL) != ssize_t(size)) {
        [[maybe_unused]] auto n = ::write(out, "closed\n", 7);
        return;
    }
    char reply[4096];
    std::size_t have = 0;
    pollfd p {fd, POLLIN, 0};
    while (have < sizeof reply && ::poll(&p, 1, 3000) == 1) {
        const ssize_t n = ::read(fd, reply + have, sizeof reply - have);
        if (n <= 0)
            break;
        have += std::size_t(n);
        if (reply[have - 1] == '\n')
            break;
    }
    if (have == 0 || reply[have - 1] != '\n') {
        [[maybe_unused]] auto n = ::write(out, "closed\n", 7);
        return;
    }
    [[maybe_unused]] auto n = ::write(out, reply, have);
}

// Sends one line and answers whether its reply says the request succeeded.
inline bool askSucceeds(int fd, const LineBuffer& line)
{
    int answer[2];
    if (::pipe(answer) != 0)
        return false;
    askAndReport(fd, line.text, line.size, answer[1]);
    ::close(answer[1]);
    char reply[4096] = {};
    const ssize_t n = ::read(answer[0], reply, sizeof reply - 1);
    ::close(answer[0]);
    return n > 0 && std::strstr(reply, "\"ok\":true") != nullptr;
}

} // namespace helpertest
