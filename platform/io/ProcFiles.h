#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace platform::procfiles {

// Reads at most cap bytes of a file below dirfd (AT_FDCWD for a plain path) into buf, the way
// /proc and /sys files want to be read: one open, one read while it fills short of cap, no stream. Answers the byte
// count, or -1 when the file cannot be opened or read (a vanished process, a missing source).
ssize_t readInto(int dirfd, const char* path, char* buf, std::size_t cap);

// Reads a file kept open again from its start: one pread, which makes proc and sysfs produce it afresh.
// Answers the byte count, or -1 (ESRCH once a /proc process is gone, ENODEV once a device is).
ssize_t rereadInto(int fd, char* buf, std::size_t cap);

// The whole text of a small file, or nullopt when it cannot be read.
std::optional<std::string> readText(const std::string& path, std::size_t limit = 1 << 20);

// The trimmed text of a one-value file (a sysfs attribute), empty when it cannot be read.
std::string readTrimmed(const std::string& path, std::size_t limit = 4096);

} // namespace platform::procfiles
