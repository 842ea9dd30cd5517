#pragma once

#include <dirent.h>
#include <sys/types.h>

#include <cstddef>
#include <cstring>
#include <string_view>

namespace platform {

// Reads the entries of an open folder straight from the kernel, in large batches, without the
// allocation and locking of a DIR stream. "." and ".." are left out.
class DirectoryEntries
{
public:
    // Calls visit(name, d_type) for every entry; false when the folder could not be read to the end.
    template<class Visit> static bool forEach(int dirFd, Visit&& visit)
    {
        alignas(dirent64) char buffer[kBufferSize];
        for (;;) {
            const ssize_t n = ::getdents64(dirFd, buffer, sizeof buffer);
            if (n == 0)
                return true;
            if (n < 0)
                return false;
            for (ssize_t offset = 0; offset < n;) {
                const auto* entry = reinterpret_cast<const dirent64*>(buffer + offset);
                offset += entry->d_reclen;
                const std::string_view name(entry->d_name);
                if (name == "." || name == "..")
                    continue;
                visit(name, entry->d_type);
            }
        }
    }

private:
    static constexpr std::size_t kBufferSize = 32 * 1024;
};

} // namespace platform
