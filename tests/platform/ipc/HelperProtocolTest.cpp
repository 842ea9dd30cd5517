#include "platform/ipc/HelperProtocol.h"
#include "platform/ipc/LineChannel.h"
#include "platform/ipc/UnixSocket.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <thread>

using namespace platform;
using namespace std::chrono_literals;

namespace {

std::optional<HelperRequest> request(std::string_view line)
{
    auto decoded = decodeHelperRequest(line);
    if (auto* r = std::get_if<HelperRequest>(&decoded))
        return *r;
    return std::nullopt;
}

RequestDecodeFailure failure(std::string_view line)
{
    auto decoded = decodeHelperRequest(line);
    EXPECT_TRUE(std::holds_alternative<RequestDecodeFailure>(decoded)) << line;
    return std::holds_alternative<RequestDecodeFailure>(decoded) ? std::get<RequestDecodeFailure>(decoded)
                                                                 : RequestDecodeFailure {};
}

TEST(HelperRequestTest, EveryOperationRoundTrips)
{
    for (const auto& r :
        {HelperRequest {1, HelperOp::sendSignal, 19, 4242}, HelperRequest {2, HelperOp::pauseFileIndexer},
            HelperRequest {3, HelperOp::resumeFileIndexer}, HelperRequest {4, HelperOp::getPowerMetrics},
            HelperRequest {5, HelperOp::getVersion}, HelperRequest {6, HelperOp::purgeMemory},
            HelperRequest {INT64_MAX, HelperOp::sendSignal, INT32_MIN, INT32_MAX},
            HelperRequest {7, HelperOp::sendSignal, 19, 77, UINT64_MAX}}) {
        EXPECT_EQ(request(encodeHelperRequest(r)), r);
    }
    EXPECT_EQ(
        encodeHelperRequest({9, HelperOp::sendSignal, 19, 77}), R"({"id":9,"op":"sendSignal","signal":19,"pid":77})");
    // Key order and surrounding white space do not matter.
    EXPECT_EQ(request(" {\"pid\":77, \"signal\":19,\"op\":\"sendSignal\",\"id\":9}\r"),
        (HelperRequest {9, HelperOp::sendSignal, 19, 77}));
}

TEST(HelperRequestTest, IllFormedOrIllTypedLinesAreRefusedWithReason)
{
    EXPECT_EQ(failure("").message, "Malformed JSON request");
    EXPECT_EQ(failure("{\"id\":1,").message, "Malformed JSON request");
    EXPECT_EQ(failure("{\"id\":1,\"op\":\"getVersion\"}{}").message, "Malformed JSON request");
    EXPECT_EQ(failure("42").message, "A request must be a JSON object");
    EXPECT_EQ(failure("[{\"id\":1}]").message, "A request must be a JSON object");
    EXPECT_EQ(failure("{\"id\":1,\"op\":[\"getVersion\"]}").message, "A request holds no nested values");
    EXPECT_EQ(failure("{\"id\":1,\"id\":2,\"op\":\"getVersion\"}").message, "Duplicate key \"id\"");
    EXPECT_EQ(failure("{\"op\":\"getVersion\"}").message, "\"id\" must be an integer");
    EXPECT_EQ(failure("{\"id\":true,\"op\":\"getVersion\"}").message, "\"id\" must be an integer");
    EXPECT_EQ(failure("{\"id\":18446744073709551615,\"op\":\"getVersion\"}").message, "\"id\" must be an integer");
    EXPECT_EQ(failure("{\"id\":2.0,\"op\":\"getVersion\"}").message, "\"id\" must be an integer");

    // Once the id is known, the refusal names it.
    const auto unknown = failure("{\"id\":3,\"op\":\"reboot\"}");
    EXPECT_EQ(unknown.id, 3);
    EXPECT_EQ(unknown.message, "Unknown operation \"reboot\"");
    EXPECT_EQ(failure("{\"id\":3,\"op\":7}").message, "\"op\" must be a string");
    EXPECT_EQ(failure("{\"id\":3,\"op\":\"sendSignal\",\"pid\":5}").message, "\"signal\" must be a 32-bit integer");
    EXPECT_EQ(failure("{\"id\":3,\"op\":\"sendSignal\",\"signal\":19,\"pid\":2147483648}").message,
        "\"pid\" must be a 32-bit integer");
    EXPECT_EQ(failure("{\"id\":3,\"op\":\"sendSignal\",\"signal\":19,\"pid\":-2147483649}").message,
        "\"pid\" must be a 32-bit integer");
    EXPECT_EQ(failure("{\"id\":3,\"op\":\"sendSignal\",\"signal\":19,\"pid\":5.5}").message,
        "\"pid\" must be a 32-bit integer");
    EXPECT_EQ(failure("{\"id\":3,\"op\":\"getVersion\",\"pid\":5}").message, "Unexpected key \"pid\" for getVersion");
    EXPECT_EQ(failure("{\"id\":3,\"op\":\"sendSignal\",\"signal\":19,\"pid\":5,\"uid\":0}").message,
        "Unexpected key \"uid\" for sendSignal");
    EXPECT_EQ(failure("{\"id\":3,\"op\":\"sendSignal\",\"signal\":19,\"pid\":5,\"startTime\":-1}").message,
        "\"startTime\" must be a non-negative integer");
    EXPECT_EQ(failure("{\"id\":3,\"op\":\"sendSignal\",\"signal\":19,\"pid\":5,\"startTime\":\"7\"}").message,
        "\"startTime\" must be a non-negative integer");
    EXPECT_EQ(failure("{\"id\":3,\"op\":\"getVersion\",\"startTime\":5}").message,
        "Unexpected key \"startTime\" for getVersion");
    // Client text echoed back is kept short.
    EXPECT_LT(failure("{\"id\":3,\"op\":\"" + std::string(5000, 'x') + "\"}").message.size(), 100u);
    // Not UTF-8.
    EXPECT_EQ(failure("{\"id\":3,\"op\":\"getVersion\xc3\"}").message, "Malformed JSON request");
    // A NUL byte would end the reading there, so what follows it would go unseen.
    using namespace std::string_literals;
    EXPECT_EQ(failure("{\"id\":1,\"op\":\"getVersion\"}\0{\"op\":\"sendSignal\"}"s).message,
        "A request may not hold a NUL byte");
    EXPECT_EQ(failure("{\"id\":1,\"op\":\"getVer\0sion\"}"s).message, "A request may not hold a NUL byte");
}

TEST(HelperRequestTest, DeepNestingIsRefusedWithoutBuildingIt)
{
    const std::string deep = "{\"id\":1,\"op\":" + std::string(60000, '[') + std::string(60000, ']') + "}";
    EXPECT_EQ(failure(deep).message, "A request holds no nested values");
}

TEST(HelperReplyTest, RoundTripAndWireForm)
{
    HelperReply power = successReply(4);
    power.data = "CPU Power: 2450 mW\nGPU Power: 120 mW\n";
    HelperReply version = successReply(5);
    version.version = "1.0.0";
    const HelperReply refused
        = failureReply(6, DomainError {"QVHelperError", 429, "Rate limit exceeded. Max 60 signals per minute."});
    const HelperReply anonymous = failureReply(std::nullopt, badRequestError("Malformed JSON request"));
    for (const auto& reply : {successReply(1), power, version, refused, anonymous})
        EXPECT_EQ(decodeHelperReply(encodeHelperReply(reply)), reply);

    EXPECT_EQ(encodeHelperReply(successReply(1)), R"({"id":1,"ok":true})");
    EXPECT_EQ(encodeHelperReply(anonymous),
        R"({"id":null,"ok":false,"error":{"domain":"QVHelperError","code":400,"message":"Malformed JSON request"}})");
}

TEST(HelperReplyTest, OutputThatIsNotUtf8IsStillSent)
{
    HelperReply reply = successReply(1);
    reply.data = "CPU Power: 5 mW \xff\n";
    const auto decoded = decodeHelperReply(encodeHelperReply(reply));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->data->rfind("CPU Power: 5 mW ", 0), 0u);
}

TEST(HelperReplyTest, WrongTypesMakeTheReplyUnreadable)
{
    for (const char* line : {"", "[]", R"({"ok":true})", R"({"id":"1","ok":true})", R"({"id":1,"ok":1})",
             R"({"id":1,"ok":false,"error":"bad"})",
             R"({"id":1,"ok":false,"error":{"domain":"D","code":1.5,"message":"m"}})",
             R"({"id":1,"ok":false,"error":{"domain":"D","code":4294967296,"message":"m"}})",
             R"({"id":1,"ok":true,"data":5})", R"({"id":1,"ok":true,"error":{"domain":"D","code":1,"message":"m"}})"}) {
        EXPECT_FALSE(decodeHelperReply(line)) << line;
    }
    // A newer helper may add keys.
    EXPECT_TRUE(decodeHelperReply(R"({"id":1,"ok":true,"elapsed":3})"));
}

class LineChannelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        m_a.reset(fds[0]);
        m_b.reset(fds[1]);
    }
    void put(const std::string& bytes)
    {
        ASSERT_EQ(::write(m_a.get(), bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }

    UniqueFd m_a;
    UniqueFd m_b;
};

TEST_F(LineChannelTest, LinesSplitAndPackedAnyWay)
{
    LineChannel channel(m_b.get(), 16);
    put("ab");
    put("c\nde\n\nf");
    EXPECT_EQ(channel.readLine().line, "abc");
    EXPECT_EQ(channel.readLine().line, "de");
    const auto empty = channel.readLine();
    EXPECT_EQ(empty.status, LineChannel::Status::Line);
    EXPECT_EQ(empty.line, "");
    EXPECT_EQ(channel.readLine(std::chrono::steady_clock::now() + 50ms).status, LineChannel::Status::TimedOut);
    EXPECT_TRUE(channel.hasPartialLine());
    put("g\n");
    EXPECT_EQ(channel.readLine().line, "fg");
    m_a.reset();
    EXPECT_EQ(channel.readLine().status, LineChannel::Status::Closed);
}

TEST_F(LineChannelTest, LineAtTheBoundIsKeptAndOneByteMoreIsSkipped)
{
    LineChannel channel(m_b.get(), 16);
    put(std::string(16, 'a') + "\n" + std::string(17, 'b') + "\nnext\n");
    EXPECT_EQ(channel.readLine().line, std::string(16, 'a'));
    EXPECT_EQ(channel.readLine().status, LineChannel::Status::Oversized);
    EXPECT_EQ(channel.readLine().line, "next");

    // A line that keeps coming without a newline is reported once, however long it gets.
    std::thread writer([this] {
        for (int i = 0; i < 20; ++i)
            put(std::string(1000, 'x'));
        put("\nafter\n");
    });
    EXPECT_EQ(channel.readLine().status, LineChannel::Status::Oversized);
    EXPECT_EQ(channel.readLine().line, "after");
    writer.join();
}

TEST_F(LineChannelTest, WriteGivesUpOnReaderThatNeverReads)
{
    const std::string big(1 << 16, 'z');
    int error = 0;
    for (int i = 0; i < 100 && error == 0; ++i)
        error = writeLine(m_a.get(), big, 100ms);
    EXPECT_EQ(error, ETIMEDOUT);
    m_b.reset();
    EXPECT_EQ(writeLine(m_a.get(), "x", 100ms), EPIPE); // and never raises SIGPIPE
}

} // namespace
