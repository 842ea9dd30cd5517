#pragma once

#include "platform/ipc/HelperProtocol.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Newline-framed reading from a stream socket or pipe with a bound on the line length. A line longer than
// the bound is reported once and skipped up to its newline, so the stream stays usable after it.
class LineChannel
{
public:
    enum class Status { Line, Oversized, Closed, TimedOut, Failed };
    struct ReadResult
    {
        Status status = Status::Failed;
        std::string line; // the line without its newline, for Status::Line
        int error = 0; // errno, for Status::Failed
    };

    explicit LineChannel(int fd, std::size_t maxLineBytes = kMaxHelperMessageBytes);

    // Waits for the next whole line until `deadline`, or without end when there is none. Bytes of
    // an unfinished line stay buffered across calls.
    ReadResult readLine(std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt);

    // True while part of a line has arrived but not its newline.
    bool hasPartialLine() const { return m_discarding || m_start < m_buffer.size(); }

private:
    std::optional<ReadResult> takeBufferedLine();

    int m_fd;
    std::size_t m_max;
    std::string m_buffer;
    std::size_t m_start = 0;
    bool m_discarding = false;
};

// Sends `line` and a newline, waiting at most `timeout` for a reader that does not keep up.
// Never raises SIGPIPE. Answers 0 or the errno of the failure (ETIMEDOUT for the time-out).
int writeLine(int fd, std::string_view line, std::chrono::milliseconds timeout);

} // namespace platform
