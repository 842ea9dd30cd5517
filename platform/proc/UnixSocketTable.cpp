#include "UnixSocketTable.h"

#include "platform/io/ProcFiles.h"
#include "platform/io/TextFields.h"

namespace platform {

namespace {

// __SO_ACCEPTCON in the Flags column: the socket listens.
constexpr std::uint32_t kAcceptingFlag = 0x00010000;

} // namespace

UnixSocketTable::UnixSocketTable(std::string procRoot)
    : m_root(std::move(procRoot))
{
}

std::vector<ListeningUnixSocket> UnixSocketTable::listening() const
{
    const auto text = procfiles::readText(m_root + "/net/unix", 64 << 20);
    return text ? parseListening(*text) : std::vector<ListeningUnixSocket> {};
}

std::vector<ListeningUnixSocket> UnixSocketTable::parseListening(std::string_view text)
{
    std::vector<ListeningUnixSocket> sockets;
    textfields::takeLine(text); // "Num RefCount Protocol Flags Type St Inode Path"
    while (!text.empty()) {
        const std::string_view line = textfields::takeLine(text);
        const auto fields = textfields::split(line);
        if (fields.size() < 8)
            continue; // no path: an unnamed socket
        const auto flags = textfields::parseNumber<std::uint32_t>(fields[3], 16);
        const auto inode = textfields::parseNumber<std::uint64_t>(fields[6]);
        if (!flags || !inode || !(*flags & kAcceptingFlag))
            continue;
        // The path is the rest of the line and may hold blanks of its own.
        const auto start = static_cast<std::size_t>(fields[7].data() - line.data());
        sockets.push_back({std::string(line.substr(start)), *inode});
    }
    return sockets;
}

} // namespace platform
