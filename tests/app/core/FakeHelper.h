#pragma once

#include "platform/ipc/HelperProtocol.h"
#include "platform/ipc/LineChannel.h"
#include "platform/ipc/UnixSocket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>

using namespace std::chrono_literals;

// A stand-in for the helper that answers each request as the test says, possibly late or never.
class FakeHelper
{
public:
    using Answer = std::function<std::optional<platform::HelperReply>(const platform::HelperRequest&)>;

    FakeHelper(const std::string& path, Answer answer)
        : m_answer(std::move(answer))
    {
        auto listener = platform::listenUnixSocket(path, 0600);
        EXPECT_TRUE(listener.ok());
        m_listener = std::move(listener.value());
        m_thread = std::thread([this] { serve(); });
    }
    ~FakeHelper()
    {
        m_stop = true;
        ::shutdown(m_listener.get(), SHUT_RDWR);
        m_thread.join();
    }
    int accepted() const { return m_accepted; }
    std::chrono::milliseconds delay {0};

private:
    void serve()
    {
        while (!m_stop) {
            pollfd p {m_listener.get(), POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0)
                continue;
            platform::UniqueFd fd(::accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (!fd.valid())
                continue;
            ++m_accepted;
            platform::LineChannel channel(fd.get());
            while (!m_stop) {
                const auto line = channel.readLine(std::chrono::steady_clock::now() + 100ms);
                if (line.status == platform::LineChannel::Status::TimedOut)
                    continue;
                if (line.status != platform::LineChannel::Status::Line)
                    break;
                const auto request = std::get<platform::HelperRequest>(platform::decodeHelperRequest(line.line));
                std::this_thread::sleep_for(delay);
                if (const auto reply = m_answer(request))
                    platform::writeLine(fd.get(), platform::encodeHelperReply(*reply), 1s);
            }
        }
    }

    Answer m_answer;
    platform::UniqueFd m_listener;
    std::atomic<bool> m_stop {false};
    std::atomic<int> m_accepted {0};
    std::thread m_thread;
};
