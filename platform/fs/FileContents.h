#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace platform {

// Reads small files whole, by descriptor, without following a link and without marking the file
// as used (its access time stays, where the file's owner may ask for that).
class FileContents
{
public:
    // The contents of the regular file `name` in the open folder dirFd; nullopt when it is not a
    // regular file, cannot be read, or is larger than maxBytes.
    static std::optional<std::string> read(int dirFd, const std::string& name, std::size_t maxBytes);
};

} // namespace platform
