#pragma once

#include <sys/stat.h>

#include <functional>
#include <string>

namespace platform {

// One entry met by a walk that is not a folder.
struct WalkedEntry
{
    const std::string& relativePath; // below the walked folder, "/"-separated
    int parentFd; // the open folder holding it
    const std::string& name;
    const struct stat& info; // the entry itself; a link is described as a link
};

// A depth-first walk of a folder by descriptor that never follows a link: every entry that is not
// a folder is handed to the visitor, folders are entered with O_NOFOLLOW from their open parent.
// Meant for small trees that are read one file at a time (model manifests, model files).
class FileWalker
{
public:
    struct Options
    {
        bool skipHidden = true; // leave out entries whose names begin with "." and what lies below them
    };

    FileWalker();
    explicit FileWalker(Options options);

    // false when some folder could not be opened or read to the end; what could be read was visited.
    bool walk(int dirFd, const std::function<void(const WalkedEntry&)>& visit) const;

private:
    bool walkFolder(
        int dirFd, const std::string& prefix, const std::function<void(const WalkedEntry&)>& visit, int depth) const;

    Options m_options;
};

} // namespace platform
