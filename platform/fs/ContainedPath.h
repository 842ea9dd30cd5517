#pragma once

#include "platform/io/UniqueFd.h"

#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Answers "is this path really below that root?" without following any link below the root,
// and keeps the answer: the folder holding the entry stays open, so a later removal acts on
// what was checked even if a parent folder is swapped for a link in between. The root itself
// is opened as given (a store may well live on another disk through a link).
class ContainedPath
{
public:
    enum class Status {
        ok,
        missing, // the entry or one of its parent folders does not exist
        outsideRoot, // not lexically below the root, or not a clean absolute path
        isRoot, // the root itself
        throughLink, // a folder between the root and the entry is a link
        unreadable, // a parent folder could not be opened for another reason
    };

    static ContainedPath open(std::string_view root, std::string_view path);

    Status status() const { return m_status; }
    bool ok() const { return m_status == Status::ok; }
    int parentFd() const { return m_parent.get(); }
    const std::string& name() const { return m_name; }
    // The entry's own metadata (a link is described as a link).
    const struct stat& info() const { return m_info; }
    bool isDirectory() const { return ok() && S_ISDIR(m_info.st_mode); }
    bool isRegularFile() const { return ok() && S_ISREG(m_info.st_mode); }
    bool isSymlink() const { return ok() && S_ISLNK(m_info.st_mode); }

    // Opens the entry as a folder for reading, refusing a link and anything that is no longer the
    // folder that was checked.
    UniqueFd openDirectory() const;

    // The clean form of an absolute path: single slashes, no trailing slash, no "." or ".."
    // components. nullopt for a relative path or one with "..", whose meaning depends on links.
    static std::optional<std::string> normalize(std::string_view path);
    // Lexical test on clean paths: path lies strictly below root.
    static bool isBelow(std::string_view path, std::string_view root);

private:
    Status m_status = Status::missing;
    UniqueFd m_parent;
    std::string m_name;
    struct stat m_info
    {
    };
};

} // namespace platform
