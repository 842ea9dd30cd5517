#pragma once

#include <QFile>
#include <QString>

#include <chrono>
#include <functional>
#include <future>

#include <fcntl.h>
#include <unistd.h>

// Runs `open` on a thread of its own. An open stuck on the FIFO at `fifo` is let go by opening the FIFO
// for writing, so a fault fails the test instead of hanging it. True when `open` returned by itself.
inline bool returnsPromptly(const QString& fifo, const std::function<void()>& open)
{
    auto done = std::async(std::launch::async, open);
    if (done.wait_for(std::chrono::seconds(3)) == std::future_status::ready)
        return true;
    const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (writer >= 0)
        ::close(writer);
    done.wait();
    return false;
}
