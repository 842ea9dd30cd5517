#include "TempTree.h"

#include "platform/fs/ContainedPath.h"
#include "platform/fs/TreeRemover.h"

#include <gtest/gtest.h>

using platform::ContainedPath;
using Status = ContainedPath::Status;

TEST(ContainedPathTest, NormalizesOnlyCleanAbsolutePaths)
{
    EXPECT_EQ(ContainedPath::normalize("/a//b/./c/"), "/a/b/c");
    EXPECT_EQ(ContainedPath::normalize("/"), "/");
    EXPECT_EQ(ContainedPath::normalize("a/b"), std::nullopt);
    EXPECT_EQ(ContainedPath::normalize(""), std::nullopt);
    EXPECT_EQ(ContainedPath::normalize("/a/../etc"), std::nullopt);

    EXPECT_TRUE(ContainedPath::isBelow("/a/b/c", "/a/b"));
    EXPECT_FALSE(ContainedPath::isBelow("/a/b", "/a/b"));
    EXPECT_FALSE(ContainedPath::isBelow("/a/bc", "/a/b"));
    EXPECT_FALSE(ContainedPath::isBelow("/a", "/a/b"));
    EXPECT_TRUE(ContainedPath::isBelow("/a", "/"));
}

TEST(ContainedPathTest, ClassifiesEntriesAndRefusesWhatLiesElsewhere)
{
    TempTree t;
    t.file("store/pub/model.gguf", 10);
    t.file("outside/secret.gguf", 10);
    t.link(t.path("outside"), "store/linked");
    t.link(t.path("outside/secret.gguf"), "store/pub/alias.gguf");
    t.file("store/plain", 1);
    const std::string store = t.path("store");

    const auto model = ContainedPath::open(store, t.path("store/pub/model.gguf"));
    EXPECT_EQ(model.status(), Status::ok);
    EXPECT_TRUE(model.isRegularFile());
    EXPECT_EQ(model.name(), "model.gguf");

    const auto alias = ContainedPath::open(store, t.path("store/pub/alias.gguf"));
    EXPECT_TRUE(alias.isSymlink()); // described as a link, not as what it points to
    EXPECT_FALSE(alias.isRegularFile());

    EXPECT_EQ(ContainedPath::open(store, t.path("store/linked/secret.gguf")).status(), Status::throughLink);
    EXPECT_EQ(ContainedPath::open(store, t.path("outside/secret.gguf")).status(), Status::outsideRoot);
    EXPECT_EQ(ContainedPath::open(store, t.path("store/../outside/secret.gguf")).status(), Status::outsideRoot);
    EXPECT_EQ(ContainedPath::open(store, store + "/").status(), Status::isRoot);
    EXPECT_EQ(ContainedPath::open(store, t.path("store/pub/gone.gguf")).status(), Status::missing);
    EXPECT_EQ(ContainedPath::open(store, t.path("store/nope/x")).status(), Status::missing);
    EXPECT_EQ(ContainedPath::open(store, t.path("store/plain/x")).status(), Status::missing);
    EXPECT_EQ(ContainedPath::open(t.path("absent"), t.path("absent/x")).status(), Status::missing);
}

TEST(ContainedPathTest, KeepsActingOnTheCheckedFolderWhenAParentIsSwappedForALink)
{
    TempTree t;
    t.file("store/a/b/weights.bin", 100);
    t.file("outside/b/precious.bin", 100);
    const auto entry = ContainedPath::open(t.path("store"), t.path("store/a/b"));
    ASSERT_TRUE(entry.isDirectory());

    std::filesystem::rename(t.path("store/a"), t.path("store/a-moved"));
    t.link(t.path("outside"), "store/a");

    const auto report = platform::TreeRemover().removeDirectory(entry.parentFd(), entry.name());
    EXPECT_TRUE(report.complete);
    EXPECT_EQ(report.freedBytes, 100);
    EXPECT_FALSE(t.exists("store/a-moved/b"));
    EXPECT_TRUE(t.exists("outside/b/precious.bin"));
}

TEST(ContainedPathTest, OpensOnlyTheFolderThatWasChecked)
{
    TempTree t;
    t.folder("store/cache");
    t.folder("outside");
    const auto entry = ContainedPath::open(t.path("store"), t.path("store/cache"));
    EXPECT_TRUE(entry.openDirectory().valid());

    std::filesystem::remove(t.path("store/cache"));
    t.link(t.path("outside"), "store/cache");
    EXPECT_FALSE(entry.openDirectory().valid());
    EXPECT_FALSE(ContainedPath::open(t.path("store"), t.path("store/cache")).openDirectory().valid());
}
