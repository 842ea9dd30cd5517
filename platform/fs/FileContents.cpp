#include "FileContents.h"

#include "platform/io/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace platform {

std::optional<std::string> FileContents::read(int dirFd, const std::string& name, std::size_t maxBytes)
{
    constexpr int flags = O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    UniqueFd fd(::openat(dirFd, name.c_str(), flags | O_NOATIME));
    if (!fd && errno == EPERM)
        fd.reset(::openat(dirFd, name.c_str(), flags));
    struct stat st
    {
    };
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || static_cast<std::size_t>(st.st_size) > maxBytes)
        return std::nullopt;

    std::string text;
    text.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::read(fd.get(), text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    text.resize(done);
    return text;
}

} // namespace platform
