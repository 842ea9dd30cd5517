#include "platform/net/TcpConnections.h"

#include "platform/io/UniqueFd.h"
#include "platform/net/SocketDiag.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::TcpConnection;
using platform::TcpConnections;

namespace {

std::string fixture()
{
    return std::string(QV_TEST_DATA_DIR) + "/net/proc";
}

} // namespace

TEST(TcpConnectionsTest, ParsesEndpointsAndMarksLoopbackForBothFamilies)
{
    const std::string v4 = "  sl  local_address rem_address   st\n"
                           "   0: 1401A8C0:C822 0370528C:01BB 01 0:0 0:0 0 1000 0 1001\n"
                           "   1: 0100007F:A028 0200007F:2CAF 01 0:0 0:0 0 1000 0 1002\n"
                           "   2: 1401A8C0:C822 0370528C:01BB 0A 0:0 0:0 0 1000 0 1003\n";
    const auto sockets = platform::parseEstablished(v4, false);
    ASSERT_EQ(sockets.size(), 2u); // the listening row is not established
    EXPECT_EQ(sockets[0].local, "192.168.1.20:51234");
    EXPECT_EQ(sockets[0].remote, "140.82.112.3:443");
    EXPECT_FALSE(sockets[0].loopback);
    EXPECT_EQ(sockets[0].inode, 1001u);
    EXPECT_EQ(sockets[1].remote, "127.0.0.2:11439"); // all of 127.0.0.0/8 is loopback
    EXPECT_TRUE(sockets[1].loopback);

    const std::string v6
        = "header\n"
          "0: 0000000000000000FFFF00000100007F:B000 0000000000000000FFFF00000100007F:2CAF 01 a b c d e 7\n"
          "1: 00000000000000000000000001000000:B001 00000000000000000000000001000000:0050 01 a b c d e 8\n"
          "2: B80D0120000000000000000005000000:B005 B80D012000000000000000001A000000:0016 01 a b c d e 9\n";
    const auto sockets6 = platform::parseEstablished(v6, true);
    ASSERT_EQ(sockets6.size(), 3u);
    EXPECT_EQ(sockets6[0].remote, "[::ffff:127.0.0.1]:11439");
    EXPECT_TRUE(sockets6[0].loopback);
    EXPECT_EQ(sockets6[1].remote, "[::1]:80");
    EXPECT_TRUE(sockets6[1].loopback);
    // Contains the text "::1" but is an ordinary external address.
    EXPECT_EQ(sockets6[2].remote, "[2001:db8::1a]:22");
    EXPECT_FALSE(sockets6[2].loopback);
}

TEST(TcpConnectionsTest, MalformedRowsAreSkipped)
{
    const std::string text = "header\n"
                             "0: 1401A8C0 0370528C:01BB 01 a b c d e 1\n" // no port
                             "1: 1401A8C0:C822 0370528C:1FFFF 01 a b c d e 2\n" // port out of range
                             "2: 1401A8C0:C822 0370528C:01BB 01 a b c d e x\n" // inode not a number
                             "3: 1401A8C0:C822 0370528C:01BB 01\n" // short
                             "4: 1401A8C0:C822 0370528C:01BB 01 a b c d e 5"; // no final newline
    const auto sockets = platform::parseEstablished(text, false);
    ASSERT_EQ(sockets.size(), 1u);
    EXPECT_EQ(sockets[0].inode, 5u);
    EXPECT_TRUE(platform::parseEstablished("", false).empty());
}

TEST(TcpConnectionsTest, SocketLinkTargets)
{
    EXPECT_EQ(platform::socketInode("socket:[12345]"), 12345u);
    EXPECT_FALSE(platform::socketInode("pipe:[12345]"));
    EXPECT_FALSE(platform::socketInode("socket:[]"));
    EXPECT_FALSE(platform::socketInode("socket:[12a]"));
    EXPECT_FALSE(platform::socketInode("/dev/null"));
}

TEST(TcpConnectionsTest, MapsExternalConnectionsToProcessesInPidOrder)
{
    const auto connections = TcpConnections(fixture()).established();
    auto row = [](const TcpConnection& c) { return std::to_string(c.pid) + " " + c.processName + " " + c.remote; };
    std::vector<std::string> rows;
    for (const auto& c : connections)
        rows.push_back(row(c));
    // Loopback sockets of pid 555 never appear; socket 1008 belongs to no readable process; 1007 is shared
    // by 987 and 1234 (and open twice in 1234) and shows once per process.
    EXPECT_EQ(rows,
        (std::vector<std::string> {
            "987 ssh [::ffff:93.184.216.34]:443", // no readable exe: the comm name
            "987 ssh [2001:db8::1a]:22",
            "1234 firefox-esr 140.82.112.3:443", // exe's base name without " (deleted)"
            "1234 firefox-esr [2606:4700::6810:85e5]:443",
            "1234 firefox-esr [2001:db8::1a]:22",
        }));
    ASSERT_FALSE(connections.empty());
    EXPECT_EQ(connections[2].local, "192.168.1.20:51234");
}

TEST(TcpConnectionsTest, NameFromTheCommandLineWhenTheExecutableIsUnreadable)
{
    QTemporaryDir dir;
    const std::filesystem::path root = dir.path().toStdString();
    std::filesystem::create_directories(root / "net");
    std::filesystem::create_directories(root / "300/fd");
    std::ofstream(root / "net/tcp") << "header\n0: 1401A8C0:C822 0370528C:01BB 01 a b c d e 11\n";
    std::ofstream(root / "300/comm") << "language-server\n"; // cut at 15 characters
    std::ofstream(root / "300/cmdline") << std::string("/opt/tools/language-server-x86\0--stdio\0", 39);
    std::filesystem::create_symlink("socket:[11]", root / "300/fd/3");
    const auto rows = TcpConnections(root.string()).established();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].processName, "language-server-x86");
}

TEST(TcpConnectionsTest, RemembersOwnersAndWalksAgainForNewSockets)
{
    QTemporaryDir dir;
    const std::filesystem::path root = dir.path().toStdString();
    auto write = [&](const std::string& relative, const std::string& text) {
        std::filesystem::create_directories((root / relative).parent_path());
        std::ofstream(root / relative) << text;
    };
    const std::string row1 = "0: 1401A8C0:C822 0370528C:01BB 01 a b c d e 11\n";
    const std::string row2 = "1: 1401A8C0:C823 0370528C:01BB 01 a b c d e 12\n";
    write("net/tcp", "header\n" + row1);
    write("100/comm", "curl\n");
    std::filesystem::create_directories(root / "100/fd");
    std::filesystem::create_symlink("socket:[11]", root / "100/fd/3");
    TcpConnections connections(root.string());
    ASSERT_EQ(connections.established().size(), 1u);

    // A new socket is mapped at once.
    write("net/tcp", "header\n" + row1 + row2);
    write("200/comm", "wget\n");
    std::filesystem::create_directories(root / "200/fd");
    std::filesystem::create_symlink("socket:[12]", root / "200/fd/4");
    auto rows = connections.established();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].processName, "wget");

    // A known socket handed to another process shows up by the periodic walk at the latest.
    std::filesystem::create_symlink("socket:[11]", root / "200/fd/5");
    std::size_t found = 0;
    for (int i = 0; i < TcpConnections::kFullScanEvery && found < 3; ++i)
        found = connections.established().size();
    EXPECT_EQ(found, 3u);

    write("net/tcp", "header\n");
    EXPECT_TRUE(connections.established().empty());
}

TEST(TcpConnectionsTest, MissingProcFolderGivesNoConnections)
{
    EXPECT_TRUE(TcpConnections("/nonexistent-proc").established().empty());
}

TEST(TcpConnectionsTest, FindsOwnConnectionOnTheRealMachine)
{
    // A loopback connection of this very process must not be listed.
    const auto connections = TcpConnections().established();
    for (const auto& c : connections) {
        EXPECT_EQ(c.remote.find("127.0.0.1"), std::string::npos);
        EXPECT_EQ(c.remote.find("[::1]"), std::string::npos);
        EXPECT_GT(c.pid, 0);
    }
}

namespace {

// A connected pair on the loopback address of one family, with the inode of the client's socket.
struct LoopbackPair
{
    platform::UniqueFd listener, client, server;
    std::uint64_t clientInode = 0;

    explicit LoopbackPair(bool ipv6)
    {
        sockaddr_storage address {};
        socklen_t length = 0;
        if (ipv6) {
            auto* a = reinterpret_cast<sockaddr_in6*>(&address);
            a->sin6_family = AF_INET6;
            a->sin6_addr = in6addr_loopback;
            length = sizeof *a;
        } else {
            auto* a = reinterpret_cast<sockaddr_in*>(&address);
            a->sin_family = AF_INET;
            a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            length = sizeof *a;
        }
        const int family = ipv6 ? AF_INET6 : AF_INET;
        listener.reset(::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (::bind(listener.get(), reinterpret_cast<sockaddr*>(&address), length) != 0
            || ::listen(listener.get(), 1) != 0
            || ::getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        client.reset(::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (::connect(client.get(), reinterpret_cast<sockaddr*>(&address), length) != 0)
            return;
        server.reset(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        struct stat info
        {
        };
        if (::fstat(client.get(), &info) == 0)
            clientInode = info.st_ino;
    }
};

const platform::TcpSocket* withInode(const std::vector<platform::TcpSocket>& sockets, std::uint64_t inode)
{
    for (const auto& s : sockets) {
        if (s.inode == inode)
            return &s;
    }
    return nullptr;
}

} // namespace

TEST(TcpConnectionsTest, KernelAnswerMatchesTheProcTables)
{
    const LoopbackPair v4(false);
    const LoopbackPair v6(true);
    ASSERT_NE(v4.clientInode, 0u);
    const auto answer = platform::socketdiag::establishedTcp();
    if (!answer)
        GTEST_SKIP() << "no socket diagnostics in this kernel";

    std::vector<platform::TcpSocket> files;
    for (bool ipv6 : {false, true}) {
        std::ifstream in(ipv6 ? "/proc/net/tcp6" : "/proc/net/tcp");
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        for (auto& s : platform::parseEstablished(text, ipv6))
            files.push_back(s);
    }
    std::size_t lastIpv4 = 0;
    std::size_t firstIpv6 = answer->size();
    for (std::size_t i = 0; i < answer->size(); ++i) {
        if ((*answer)[i].local.front() == '[')
            firstIpv6 = std::min(firstIpv6, i);
        else
            lastIpv4 = i;
    }
    EXPECT_TRUE(answer->empty() || firstIpv6 == answer->size() || lastIpv4 < firstIpv6); // IPv4 first

    for (const LoopbackPair* pair : {&v4, &v6}) {
        if (pair->clientInode == 0)
            continue; // no IPv6 here
        const auto* asked = withInode(*answer, pair->clientInode);
        const auto* read = withInode(files, pair->clientInode);
        ASSERT_NE(asked, nullptr);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(asked->local, read->local);
        EXPECT_EQ(asked->remote, read->remote);
        EXPECT_TRUE(asked->loopback);
        EXPECT_EQ(asked->local.rfind(pair == &v4 ? "127.0.0.1:" : "[::1]:", 0), 0u);
    }
    // Loopback connections are never listed.
    for (const auto& c : TcpConnections().established())
        EXPECT_NE(c.pid, getpid());
}
