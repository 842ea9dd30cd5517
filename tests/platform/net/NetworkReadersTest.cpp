#include "platform/net/DiskSpace.h"
#include "platform/net/InterfaceCounters.h"
#include "platform/net/LocalAddress.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/statvfs.h>

using platform::ByteTotals;

TEST(InterfaceCountersTest, SumsEveryInterfaceIncludingCountersAbove4GiB)
{
    const auto totals = platform::InterfaceCounters(std::string(QV_TEST_DATA_DIR) + "/net/sys").totals();
    ASSERT_TRUE(totals);
    EXPECT_EQ(totals->received, 1000u + 5368709120u + 24u);
    EXPECT_EQ(totals->sent, 1000u + 2048u);
}

TEST(InterfaceCountersTest, MissingListAndInterfacesWithoutStatistics)
{
    EXPECT_FALSE(platform::InterfaceCounters("/nonexistent-sys").totals());
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("class/net/bond0");
    EXPECT_EQ(platform::InterfaceCounters(dir.path().toStdString()).totals(), (ByteTotals {0, 0}));
    EXPECT_TRUE(platform::InterfaceCounters().totals()); // the real machine lists at least lo
}

TEST(InterfaceCountersTest, FollowsInterfacesThatComeGoAndReturn)
{
    QTemporaryDir dir;
    const QString net = dir.path() + "/class/net/";
    auto setCounters = [&](const QString& name, const QByteArray& rx, const QByteArray& tx) {
        QDir().mkpath(net + name + "/statistics");
        for (auto [file, text] : {std::pair {"/statistics/rx_bytes", rx}, std::pair {"/statistics/tx_bytes", tx}}) {
            QFile f(net + name + file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)); // in place, as the kernel's file
            f.write(text + "\n");
        }
    };
    setCounters("eth0", "100", "10");
    setCounters("tun0", "5", "1");
    const platform::InterfaceCounters counters(dir.path().toStdString());
    EXPECT_EQ(counters.totals(), (ByteTotals {11, 105}));

    setCounters("eth0", "300", "30");
    EXPECT_EQ(counters.totals(), (ByteTotals {31, 305}));

    QDir(net + "tun0").removeRecursively();
    EXPECT_EQ(counters.totals(), (ByteTotals {30, 300}));
    // The same name again is a new interface with counters of its own.
    setCounters("tun0", "7", "2");
    EXPECT_EQ(counters.totals(), (ByteTotals {32, 307}));
}

TEST(LocalAddressTest, DefaultRouteIsTheUpRouteWithTheLowestMetric)
{
    // wlan0 metric 600, eth0 metric 100, docker0 not up.
    const std::string route
        = R"(Iface	Destination	Gateway 	Flags	RefCnt	Use	Metric	Mask		MTU	Window	IRTT
wlan0	00000000	0101A8C0	0003	0	0	600	00000000	0	0	0
eth0	00000000	0100000A	0003	0	0	100	00000000	0	0	0
eth0	0000000A	00000000	0001	0	0	100	00FFFFFF	0	0	0
docker0	00000000	00000000	0002	0	0	0	00000000	0	0	0
)";
    EXPECT_EQ(platform::defaultRouteInterface(route), "eth0");
    EXPECT_FALSE(platform::defaultRouteInterface("Iface\tDestination\n"));
    EXPECT_FALSE(platform::defaultRouteInterface("Iface\nlo\t0000007F\t00000000\t0001\t0\t0\t0\t000000FF\n"));
    EXPECT_FALSE(platform::defaultRouteInterface(""));
}

TEST(LocalAddressTest, AddressOfInterfaces)
{
    EXPECT_EQ(platform::LocalAddress::ipv4AddressOf("lo"), "127.0.0.1");
    EXPECT_FALSE(platform::LocalAddress::ipv4AddressOf("no-such-interface"));
    EXPECT_FALSE(platform::LocalAddress::ipv4AddressOf(""));
    EXPECT_FALSE(platform::LocalAddress::ipv4AddressOf(std::string(40, 'e'))); // longer than any interface name
    // The fixture routes through eth0, which this machine may or may not have; a missing file gives nothing.
    EXPECT_FALSE(platform::LocalAddress("/nonexistent-proc").defaultRouteAddress());
}

TEST(DiskSpaceTest, HomeVolumeMatchesStatvfs)
{
    QTemporaryDir dir;
    const auto space = platform::DiskSpace::of(dir.path().toStdString());
    ASSERT_TRUE(space);
    struct statvfs info
    {
    };
    ASSERT_EQ(statvfs(dir.path().toUtf8().constData(), &info), 0);
    EXPECT_EQ(space->totalBytes, static_cast<std::uint64_t>(info.f_blocks) * info.f_frsize);
    EXPECT_LE(space->freeBytes, space->totalBytes);
    EXPECT_LE(space->usedBytes + space->freeBytes, space->totalBytes);
    EXPECT_GT(space->totalBytes, 0u);
    EXPECT_FALSE(platform::DiskSpace::of(dir.path().toStdString() + "/missing"));
}

namespace {

// An ext4-like volume of 1,000,000 blocks of 4 KiB: 300,000 in use, 50,000 reserved for root.
int volumeWithReservedBlocks(const char*, struct statvfs* info)
{
    *info = {};
    info->f_bsize = 65536; // the preferred I/O size; blocks are counted in fragments
    info->f_frsize = 4096;
    info->f_blocks = 1000000;
    info->f_bfree = 700000;
    info->f_bavail = 650000;
    return 0;
}

int failingStatvfs(const char*, struct statvfs*)
{
    return -1;
}

} // namespace

TEST(DiskSpaceTest, ReservedBlocksAreNeitherUsedNorFree)
{
    const auto space = platform::DiskSpace::of("/home", &volumeWithReservedBlocks);
    ASSERT_TRUE(space);
    EXPECT_EQ(space->totalBytes, 1000000ull * 4096);
    EXPECT_EQ(space->usedBytes, 300000ull * 4096); // what df shows as Used
    EXPECT_EQ(space->freeBytes, 650000ull * 4096); // what df shows as Avail
    EXPECT_FALSE(platform::DiskSpace::of("/home", &failingStatvfs));
}
