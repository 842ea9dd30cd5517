#pragma once

#include "SignalChild.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

// Real processes that hold listening Unix sockets, for tests of who serves the desktop session: a
// forked stand-in parent whose children each listen on one address (a path, "@name" for an abstract
// socket) or, for an empty address, just wait as an ordinary sibling. The children are killed and
// the parent reaps them when the family goes; a child that could not listen ends at once.
class SocketFamily
{
public:
    explicit SocketFamily(const std::vector<std::string>& addresses)
        : m_children(addresses.size(), -1)
    {
        // Everything the children need is made before fork: after it only async-signal-safe calls.
        std::vector<sockaddr_un> bound(addresses.size());
        std::vector<socklen_t> lengths(addresses.size(), 0);
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            bound[i].sun_family = AF_UNIX;
            const std::string& a = addresses[i];
            std::memcpy(bound[i].sun_path, a.data(), std::min(a.size(), sizeof bound[i].sun_path - 1));
            if (!a.empty() && a.front() == '@')
                bound[i].sun_path[0] = '\0';
            lengths[i] = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + a.size());
        }
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0)
            return;
        m_parent = ::fork();
        if (m_parent == 0) {
            ::setpgid(0, 0);
            ::close(ready[0]);
            for (std::size_t i = 0; i < addresses.size(); ++i) {
                if (::fork() != 0)
                    continue;
                int record[2] = {static_cast<int>(i), ::getpid()};
                if (!addresses[i].empty()) {
                    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
                    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&bound[i]), lengths[i]) != 0
                        || ::listen(s, 4) != 0)
                        record[1] = -1;
                }
                (void)!::write(ready[1], record, sizeof record);
                if (record[1] < 0)
                    ::_exit(1);
                for (;;)
                    ::pause();
            }
            ::close(ready[1]);
            while (::wait(nullptr) > 0 || errno == EINTR) { }
            ::_exit(0);
        }
        ::close(ready[1]);
        if (m_parent > 0)
            ::setpgid(m_parent, m_parent);
        for (std::size_t n = 0; m_parent > 0 && n < addresses.size(); ++n) {
            pollfd p {ready[0], POLLIN, 0};
            int record[2];
            if (::poll(&p, 1, 5000) != 1 || ::read(ready[0], record, sizeof record) != sizeof record)
                break;
            if (record[0] >= 0 && static_cast<std::size_t>(record[0]) < m_children.size())
                m_children[record[0]] = record[1];
            m_reported += 1;
        }
        ::close(ready[0]);
    }
    ~SocketFamily()
    {
        for (const pid_t child : m_children) {
            if (child > 0)
                signalChild(child, SIGKILL);
        }
        if (m_parent > 0) {
            if (m_reported < m_children.size())
                signalChildGroup(m_parent, SIGKILL); // a child that never answered
            ::waitpid(m_parent, nullptr, 0);
        }
    }
    SocketFamily(const SocketFamily&) = delete;
    SocketFamily& operator=(const SocketFamily&) = delete;

    pid_t parent() const { return m_parent; }
    // The child of the address at index, or -1 when it could not listen there.
    pid_t child(std::size_t index) const { return m_children.at(index); }

private:
    pid_t m_parent = -1;
    std::vector<pid_t> m_children;
    std::size_t m_reported = 0;
};
