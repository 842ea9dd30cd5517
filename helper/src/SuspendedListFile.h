#pragma once

#include "helper/src/SuspendedProcess.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace helper {

// The file "suspended.json" in the helper's runtime folder: the list of what it stopped and whether
// it paused the indexer, as one compact JSON object. Written whole, to a temporary file renamed over
// the old one, so a reader never finds half a list.
class SuspendedListFile
{
public:
    explicit SuspendedListFile(std::string folder);

    std::string path() const { return m_folder + "/suspended.json"; }

    // Nothing when the file is missing or unreadable (the journal says which unreadable file was
    // taken as empty).
    std::optional<std::pair<std::vector<SuspendedProcess>, bool>> read() const;
    // Replaces the file with `text`; 0, or the errno of the step that failed, which leaves the file
    // as it was. The journal is told of a failure unless `quiet`.
    int write(const std::string& text, bool quiet = false) const;
    // Removes the file, which needs no free space; 0 (also when it was not there) or the errno.
    int remove() const;

    static std::string encode(const std::vector<SuspendedProcess>& processes, bool indexerPaused);
    // Nothing when the text is not such a list.
    static std::optional<std::pair<std::vector<SuspendedProcess>, bool>> decode(std::string_view text);

private:
    std::string m_folder;
};

} // namespace helper
