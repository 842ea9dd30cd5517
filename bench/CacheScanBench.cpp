#include "platform/fs/TreeSizer.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

// Sizes a synthetic cache of 200,000 files in 5,000 folders with our walker and with `du -sb`,
// both on a warm page cache, and prints the two times and their ratio.
namespace {

constexpr int kGroups = 50;
constexpr int kFoldersPerGroup = 100; // the group folder and 99 below it
constexpr int kFilesPerFolder = 40;

std::string g_root;

void buildTree(const std::string& root)
{
    int n = 0;
    for (int g = 0; g < kGroups; ++g) {
        for (int f = 0; f < kFoldersPerGroup; ++f) {
            std::string folder = root + "/g" + std::to_string(g);
            if (f > 0)
                folder += "/sub" + std::to_string(f % 10) + "/f" + std::to_string(f);
            std::filesystem::create_directories(folder);
            for (int i = 0; i < kFilesPerFolder; ++i, ++n) {
                const std::string file = folder + "/file" + std::to_string(i) + ".bin";
                const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (fd >= 0) {
                    (void)::ftruncate(fd, (n * 2654435761u) % 65536);
                    ::close(fd);
                }
            }
        }
    }
}

void BM_TreeSizer(benchmark::State& state)
{
    platform::TreeSizer::Options options;
    options.maxThreads = static_cast<unsigned>(state.range(0));
    const platform::TreeSizer sizer(options);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        const auto size = sizer.measure(g_root);
        bytes = size ? size->bytes : -1;
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_DuSb(benchmark::State& state)
{
    const std::string command = "du -sb '" + g_root + "'";
    long long bytes = 0;
    for (auto _ : state) {
        FILE* pipe = ::popen(command.c_str(), "r");
        if (!pipe || std::fscanf(pipe, "%lld", &bytes) != 1)
            bytes = -1;
        if (pipe)
            ::pclose(pipe);
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}

BENCHMARK(BM_TreeSizer)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_DuSb)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// Keeps each benchmark's mean real time so the ratio can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs)
            times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/cache-scan-bench-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    g_root = pattern;
    std::printf("Building %d files in %d folders under %s\n", kGroups * kFoldersPerGroup * kFilesPerFolder,
        kGroups * kFoldersPerGroup, g_root.c_str());
    buildTree(g_root);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double ours = reporter.times["BM_TreeSizer/0/iterations:10/real_time"];
    const double single = reporter.times["BM_TreeSizer/1/iterations:10/real_time"];
    const double du = reporter.times["BM_DuSb/iterations:10/real_time"];
    if (ours > 0 && du > 0)
        std::printf("TreeSizer (all processors) %.1f ms, one thread %.1f ms, du -sb %.1f ms: du takes %.2fx as long\n",
            ours, single, du, du / ours);

    std::error_code ignored;
    std::filesystem::remove_all(g_root, ignored);
    return 0;
}
