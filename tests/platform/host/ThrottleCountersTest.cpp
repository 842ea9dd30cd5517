#include "platform/host/ThrottleCounters.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

TEST(ThrottleCountersTest, LargestCountOfTheOnlineCpusOrNone)
{
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    const std::filesystem::path cpus = root + "/sys/devices/system/cpu";
    const auto write = [&](const std::string& relative, const std::string& text) {
        std::filesystem::create_directories((cpus / relative).parent_path());
        std::ofstream(cpus / relative) << text;
    };
    const platform::ThrottleCounters counters(root + "/proc", root + "/sys");
    write("online", "0-1\n");
    EXPECT_FALSE(counters.eventsSinceBoot()); // no counters: nothing, not "none"

    write("cpu0/thermal_throttle/core_throttle_count", "0\n");
    ASSERT_TRUE(counters.eventsSinceBoot());
    EXPECT_EQ(*counters.eventsSinceBoot(), 0u);

    // Both CPUs repeat their package's 7 events: 7, not 14. Unreadable text and offline CPUs count nothing.
    write("cpu0/thermal_throttle/package_throttle_count", "7\n");
    write("cpu1/thermal_throttle/package_throttle_count", "7\n");
    write("cpu1/thermal_throttle/core_throttle_count", "-3\n");
    write("cpu2/thermal_throttle/core_throttle_count", "900\n");
    EXPECT_EQ(counters.eventsSinceBoot().value_or(0), 7u);
}
