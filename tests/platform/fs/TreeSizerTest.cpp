#include "TempTree.h"

#include "platform/fs/TreeRemover.h"
#include "platform/fs/TreeSizer.h"
#include "support/ChildProcess.h"
#include "support/DeepTree.h"

#include <gtest/gtest.h>

using platform::TreeSizer;

TEST(TreeSizerTest, CountsRegularFilesAndNeverFollowsLinks)
{
    TempTree t;
    t.file("cache/a", 100);
    t.file("cache/sub/.hidden", 20);
    t.file("cache/sub/deeper/b", 3);
    t.file("outside/huge", 5000);
    t.link(t.path("outside/huge"), "cache/to-file");
    t.link(t.path("outside"), "cache/to-folder");

    const auto plain = TreeSizer().measure(t.path("cache"));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->bytes, 123);
    EXPECT_EQ(plain->files, 3);
    EXPECT_TRUE(plain->complete);

    TreeSizer::Options options;
    options.countLinks = true;
    const auto withLinks = TreeSizer(options).measure(t.path("cache"));
    ASSERT_TRUE(withLinks);
    const auto linkBytes = static_cast<std::int64_t>(t.path("outside/huge").size() + t.path("outside").size());
    EXPECT_EQ(withLinks->bytes, 123 + linkBytes);

    EXPECT_FALSE(TreeSizer().measure(t.path("cache/to-folder")));
    EXPECT_FALSE(TreeSizer().measure(t.path("cache/a")));
    EXPECT_FALSE(TreeSizer().measure(t.path("missing")));
}

TEST(TreeSizerTest, CountsAHardLinkedFileOnce)
{
    TempTree t;
    t.file("cache/one", 700);
    t.folder("cache/other");
    std::filesystem::create_hard_link(t.path("cache/one"), t.path("cache/other/two"));
    std::filesystem::create_hard_link(t.path("cache/one"), t.path("elsewhere"));
    t.file("cache/single", 5);

    const auto size = TreeSizer().measure(t.path("cache"));
    ASSERT_TRUE(size);
    EXPECT_EQ(size->bytes, 705);
    EXPECT_EQ(size->files, 2);
}

TEST(TreeSizerTest, ParallelWalkOfAWideAndDeepTreeMatchesTheSingleThreadedOne)
{
    TempTree t;
    std::int64_t expected = 0;
    for (int d = 0; d < 120; ++d) {
        for (int f = 0; f < 6; ++f) {
            const int bytes = d * 7 + f;
            t.file("cache/d" + std::to_string(d) + "/n" + std::to_string(d % 5) + "/f" + std::to_string(f), bytes);
            expected += bytes;
        }
    }
    std::string deep = "cache/deep";
    for (int level = 0; level < 200; ++level)
        deep += "/x";
    t.file(deep + "/leaf", 9);
    expected += 9;

    for (const unsigned threads : {1u, 3u, 16u}) {
        TreeSizer::Options options;
        options.maxThreads = threads;
        const auto size = TreeSizer(options).measure(t.path("cache"));
        ASSERT_TRUE(size);
        EXPECT_EQ(size->bytes, expected) << threads << " threads";
        EXPECT_EQ(size->files, 721) << threads << " threads";
        EXPECT_TRUE(size->complete);
    }
}

TEST(TreeSizerTest, NewestTimesTakeEveryEntryButOnlyFilesForAccess)
{
    TempTree t;
    t.file("model/blobs/weights", 10);
    t.link("../blobs/weights", "model/snapshots/rev/model.bin");
    t.times("model/blobs/weights", 5000, 1000);
    t.times("model/snapshots/rev/model.bin", 9000, 3000);
    t.times("model/snapshots/rev", 9500, 2000);
    t.times("model/snapshots", 9500, 2000);
    t.times("model/blobs", 9500, 2000);

    TreeSizer::Options options;
    options.collectTimes = true;
    const auto size = TreeSizer(options).measure(t.path("model"));
    ASSERT_TRUE(size);
    EXPECT_DOUBLE_EQ(size->newestModification, 3000); // the link's own date
    EXPECT_DOUBLE_EQ(size->newestFileAccess, 5000); // folders and links are not use
}

TEST(TreeSizerTest, MeasuresAThreeThousandLevelTreeUnderALowDescriptorLimit)
{
    // Every level holds a file and folders besides the next level, so a walk that keeps each
    // level's folder open until its subfolders are done needs a descriptor for most levels.
    TempTree t;
    t.folder("cache");
    ASSERT_TRUE(makeDeepTree(t.path("cache"), 3000, true, 3));

    const int code = runInChild([&] {
        if (!setDescriptorLimit(1024))
            return 3;
        // One thread, or several that may each hold a folder per level.
        for (const unsigned threads : {1u, 0u}) {
            TreeSizer::Options options;
            options.maxThreads = threads;
            const auto size = TreeSizer(options).measure(t.path("cache"));
            if (!size || !size->complete)
                return 1;
            if (size->bytes != 9000 || size->files != 3000)
                return 2;
        }
        return 0;
    });
    EXPECT_EQ(code, 0);
    const platform::UniqueFd cache(::open(t.path("cache").c_str(), O_RDONLY | O_DIRECTORY));
    EXPECT_TRUE(platform::TreeRemover().removeChildren(cache.get()).complete);
}
