#include "TempTree.h"

#include "platform/fs/TreeRemover.h"
#include "platform/io/UniqueFd.h"
#include "support/ChildProcess.h"
#include "support/DeepTree.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

using platform::TreeRemover;
using platform::UniqueFd;

namespace {
UniqueFd openFolder(const std::string& path)
{
    return UniqueFd(::open(path.c_str(), O_RDONLY | O_DIRECTORY));
}
}

TEST(TreeRemoverTest, EmptiesAFolderKeepingItAndRemovesLinksNotTheirTargets)
{
    TempTree t;
    t.file("cache/a", 100);
    t.file("cache/sub/.hidden", 20);
    t.file("cache/sub/deeper/b", 3);
    t.file("outside/keep-file", 50);
    t.file("outside/dir/keep", 50);
    t.link(t.path("outside/keep-file"), "cache/to-file");
    t.link(t.path("outside/dir"), "cache/sub/to-dir");

    const UniqueFd cache = openFolder(t.path("cache"));
    const auto report = TreeRemover().removeChildren(cache.get());
    EXPECT_TRUE(report.listed);
    EXPECT_TRUE(report.complete);
    EXPECT_EQ(report.freedBytes, 123);
    EXPECT_EQ(report.removedEntries, 7);
    EXPECT_TRUE(std::filesystem::is_empty(t.path("cache")));
    EXPECT_TRUE(t.exists("outside/keep-file"));
    EXPECT_TRUE(t.exists("outside/dir/keep"));
}

TEST(TreeRemoverTest, CountsAHardLinkedFileOnlyWhenItsLastNameGoes)
{
    TempTree t;
    t.file("cache/shared-out", 400);
    std::filesystem::create_hard_link(t.path("cache/shared-out"), t.path("kept-name"));
    t.file("cache/twice", 30);
    std::filesystem::create_hard_link(t.path("cache/twice"), t.path("cache/twice-again"));

    const UniqueFd cache = openFolder(t.path("cache"));
    const auto report = TreeRemover().removeChildren(cache.get());
    EXPECT_EQ(report.freedBytes, 30);
    EXPECT_EQ(report.removedEntries, 3);
    EXPECT_TRUE(t.exists("kept-name"));
}

TEST(TreeRemoverTest, RemovesOnlyTheKindItWasAskedFor)
{
    TempTree t;
    t.file("store/models--x/blobs/w", 64);
    t.file("outside/dir/keep", 50);
    t.link(t.path("outside/dir"), "store/models--link");
    const UniqueFd store = openFolder(t.path("store"));
    const TreeRemover remover;

    const auto viaLink = remover.removeDirectory(store.get(), "models--link");
    EXPECT_FALSE(viaLink.complete);
    EXPECT_EQ(viaLink.removedEntries, 0);
    EXPECT_TRUE(t.exists("outside/dir/keep"));

    const auto folderAsFile = remover.removeFile(store.get(), "models--x");
    EXPECT_FALSE(folderAsFile.complete);
    EXPECT_TRUE(t.exists("store/models--x/blobs/w"));

    const auto folder = remover.removeDirectory(store.get(), "models--x");
    EXPECT_TRUE(folder.complete);
    EXPECT_EQ(folder.freedBytes, 64);
    EXPECT_FALSE(t.exists("store/models--x"));

    const auto link = remover.removeFile(store.get(), "models--link");
    EXPECT_TRUE(link.complete);
    EXPECT_FALSE(t.exists("store/models--link"));
    EXPECT_TRUE(t.exists("outside/dir/keep"));

    EXPECT_FALSE(remover.removeFile(store.get(), "gone").complete);
    EXPECT_FALSE(remover.removeChildren(-1).listed);
}

TEST(TreeRemoverTest, RemovesATwentyThousandLevelTreeOnAWorkerSizedStack)
{
    TempTree t;
    t.folder("cache/deep");
    ASSERT_TRUE(makeDeepTree(t.path("cache/deep"), 20000));
    t.file("cache/top", 5);

    // Descriptors are raised where allowed, so that only the depth itself can make this fail.
    const int code = runInChild([&] {
        setDescriptorLimit(65536);
        const UniqueFd cache = openFolder(t.path("cache"));
        platform::RemovalReport report;
        const auto start = std::chrono::steady_clock::now();
        runOnStack(512 * 1024, [&] { report = TreeRemover().removeChildren(cache.get()); });
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        std::printf("20000-level tree removed in %.0f ms\n", took.count());
        std::fflush(stdout);
        if (!report.complete)
            return 1;
        return report.removedEntries == 20002 && report.freedBytes == 5 && std::filesystem::is_empty(t.path("cache"))
            ? 0
            : 2;
    });
    EXPECT_EQ(code, 0);
    if (t.exists("cache/deep"))
        runInChild(
            [&] { return TreeRemover().removeDirectory(openFolder(t.path("cache")).get(), "deep").complete ? 0 : 1; });
}
