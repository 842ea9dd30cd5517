#pragma once

#include "platform/io/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

// A chain of `levels` folders named "d" below the folder at base, made one level at a time from
// the open parent (the full path soon exceeds PATH_MAX). With `sideFiles`, every level also holds
// a file "f" of `fileBytes` bytes and three empty folders named after the level, so that at most
// levels a walk meets "d" before some sibling and keeps that sibling pending. Returns false when
// a level could not be made.
inline bool makeDeepTree(const std::string& base, int levels, bool sideFiles = false, int fileBytes = 1)
{
    platform::UniqueFd current(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const std::string bytes(static_cast<std::size_t>(fileBytes), 'x');
    for (int level = 0; current && level < levels; ++level) {
        if (sideFiles) {
            platform::UniqueFd file(::openat(current.get(), "f", O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
            if (!file || ::write(file.get(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
                return false;
            for (const char* side : {"a", "b", "c"}) {
                if (::mkdirat(current.get(), (side + std::to_string(level)).c_str(), 0755) != 0)
                    return false;
            }
        }
        if (::mkdirat(current.get(), "d", 0755) != 0)
            return false;
        current.reset(::openat(current.get(), "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    return current.valid();
}
