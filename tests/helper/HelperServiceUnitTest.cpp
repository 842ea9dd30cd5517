#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

std::string findProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = folder + "/" + name;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

std::string commandOutput(const std::string& command)
{
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, n);
        ::pclose(pipe);
    }
    return output;
}

// The installed unit, rated the way an administrator would check it.
TEST(HelperServiceUnitTest, OfflineExposureIsAtMostTwoAndAHalf)
{
    const std::string analyze = findProgram("systemd-analyze");
    if (analyze.empty())
        GTEST_SKIP() << "systemd-analyze is not installed";
    const std::string unit = std::string(QV_BINARY_DIR) + "/helper/com.quorvane.helper.service";
    const std::string output = commandOutput(analyze + " security --offline=true --no-pager '" + unit + "' 2>&1");

    // Tenths, read from the text: systemd prints the figure with a point whatever the locale.
    std::smatch match;
    ASSERT_TRUE(std::regex_search(
        output, match, std::regex("Overall exposure level for com\\.quorvane\\.helper\\.service: ([0-9]+)\\.([0-9])")))
        << output;
    const int tenths = std::stoi(match[1]) * 10 + std::stoi(match[2]);
    EXPECT_LE(tenths, 25) << output;
}

} // namespace
