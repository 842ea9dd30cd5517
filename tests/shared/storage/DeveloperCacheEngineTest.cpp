#include "LockedFolder.h"
#include "StoreFixture.h"

#include "storage/DeveloperCacheEngine.h"
#include "support/ChildProcess.h"
#include "support/DeepTree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

constexpr std::size_t kMiB = 1048576;

} // namespace

TEST(DeveloperCacheScanTest, ListsFoldersAboveOneMebibyteLargestFirstWithTiesInTableOrder)
{
    StoreFixture f;
    f.file(f.path(".npm/_cacache/index/a"), 2 * kMiB);
    f.file(f.path(".cache/uv/wheels/b"), 2 * kMiB);
    f.file(f.path(".cache/pip/http/c"), kMiB); // exactly 1 MiB: not listed
    f.file(f.path(".cache/org.swift.swiftpm/repos/d"), kMiB + 1);
    f.file(f.hub("models--x/blobs/e"), 5 * kMiB);

    const auto items = DeveloperCacheEngine(f.roots).scanCaches();
    EXPECT_THAT(names(items), ElementsAre("Hugging Face Hub", "npm Cache", "Python uv Cache", "Swift Package Manager"));
    EXPECT_EQ(items[0].safetyTier, CacheSafetyTier::confirmRequired);
    EXPECT_EQ(items[0].path, f.path(".cache/huggingface/hub"));
    EXPECT_EQ(items[1].sizeBytes, static_cast<std::int64_t>(2 * kMiB));
    EXPECT_EQ(items[1].category, DeveloperCacheCategory::npmCache);
    EXPECT_EQ(items[1].details, "Cached Node.js package tarballs and index data.");
    EXPECT_EQ(items[3].sizeBytes, static_cast<std::int64_t>(kMiB + 1));
}

TEST(DeveloperCacheScanTest, SkipsFilesAndLinksAndFollowsTheCacheHome)
{
    StoreFixture f;
    f.file(f.path(".npm/_cacache"), 2 * kMiB); // a file where the folder should be
    f.file(f.path("elsewhere/pip/x"), 2 * kMiB);
    f.link(f.path("elsewhere/pip"), f.path(".cache/pip"));
    f.roots.cacheHome = f.path("xdg-cache");
    f.file(f.path("xdg-cache/uv/y"), 3 * kMiB);
    f.file(f.path(".cache/uv/ignored"), 9 * kMiB);

    DeveloperCacheEngine engine(f.roots);
    const auto items = engine.scanCaches();
    ASSERT_THAT(names(items), ElementsAre("Python uv Cache"));
    EXPECT_EQ(items[0].path, f.path("xdg-cache/uv"));
    EXPECT_EQ(engine.calculateDirectorySize(f.path(".cache/pip")), 0); // a link is not measured through
    EXPECT_EQ(engine.calculateDirectorySize(f.path("missing")), 0);
    EXPECT_EQ(engine.calculateDirectorySize(f.path("elsewhere")), static_cast<std::int64_t>(2 * kMiB));
}

TEST(DeveloperCachePurgeTest, EmptiesTheFolderButKeepsIt)
{
    StoreFixture f;
    f.file(f.path(".cache/pip/http/a/b"), 3000);
    f.file(f.path(".cache/pip/selfcheck.json"), 100);
    f.file(f.path("outside/keep"), 10);
    f.link(f.path("outside"), f.path(".cache/pip/link"));

    DeveloperCacheEngine engine(f.roots);
    const auto purged = engine.purgeCache(f.path(".cache/pip/"));
    EXPECT_TRUE(purged.ok());
    EXPECT_EQ(purged.freedBytes, 3100);
    EXPECT_TRUE(std::filesystem::is_directory(f.path(".cache/pip")));
    EXPECT_TRUE(std::filesystem::is_empty(f.path(".cache/pip")));
    EXPECT_TRUE(StoreFixture::exists(f.path("outside/keep")));

    const auto again = engine.purgeCache(f.path(".cache/pip"));
    EXPECT_TRUE(again.ok());
    EXPECT_EQ(again.freedBytes, 0);
    const auto missing = engine.purgeCache(f.path(".cache/uv"));
    EXPECT_TRUE(missing.ok());
    EXPECT_EQ(missing.freedBytes, 0);
}

TEST(DeveloperCachePurgeTest, RefusesAnythingButARealKnownCacheFolder)
{
    StoreFixture f;
    f.file(f.path(".cache/other/a"), 10);
    f.file(f.path("outside/uv/keep"), 10);
    f.link(f.path("outside/uv"), f.path(".cache/uv"));
    f.file(f.path(".cache/pip"), 10);
    f.file(f.path("real-npm/_cacache/keep"), 10);
    f.link(f.path("real-npm"), f.path(".npm"));

    DeveloperCacheEngine engine(f.roots);
    for (const std::string& path : {f.path(".cache/other"), f.home, f.path(".cache"), f.path(".cache/uv"),
             f.path(".cache/pip"), f.path(".npm/_cacache"), f.path(".cache/../.cache/pip"), std::string("relative")})
        EXPECT_FALSE(engine.purgeCache(path).ok()) << path;
    EXPECT_TRUE(StoreFixture::exists(f.path(".cache/other/a")));
    EXPECT_TRUE(StoreFixture::exists(f.path("outside/uv/keep")));
    EXPECT_TRUE(StoreFixture::exists(f.path("real-npm/_cacache/keep")));

    // A cache home set to the home folder itself or above it is never emptied.
    f.roots.huggingFaceHub = f.home;
    EXPECT_FALSE(DeveloperCacheEngine(f.roots).purgeCache(f.home).ok());
    EXPECT_TRUE(StoreFixture::exists(f.path(".cache/other/a")));
}

TEST(DeveloperCachePurgeTest, AFolderThatCannotBeListedIsAnError)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind root";
    StoreFixture f;
    f.file(f.path(".cache/pip/a"), 10);
    std::filesystem::permissions(f.path(".cache/pip"), std::filesystem::perms::owner_exec);
    EXPECT_FALSE(DeveloperCacheEngine(f.roots).purgeCache(f.path(".cache/pip")).ok());
    std::filesystem::permissions(f.path(".cache/pip"), std::filesystem::perms::owner_all);
}

TEST(DeveloperCachePurgeTest, ABindMountInsideACacheIsLeftWithEverythingUnderIt)
{
    // A folder of the same file system bind-mounted into the cache has the cache's device number.
    StoreFixture f;
    f.file(f.path(".cache/pip/http/a"), 3000);
    f.file(f.path("projects/canary"), 77);
    std::filesystem::create_directories(f.path(".cache/pip/mounted"));

    const int code = runInChild([&] {
        if (!bindMountPrivately(f.path("projects"), f.path(".cache/pip/mounted")))
            return 77;
        DeveloperCacheEngine engine(f.roots);
        int failures = 0;
        if (engine.calculateDirectorySize(f.path(".cache/pip")) != 3000)
            failures |= 1; // the mounted folder is not the cache's
        const auto purged = engine.purgeCache(f.path(".cache/pip"));
        if (!purged.ok() || purged.freedBytes != 3000 || !purged.incomplete
            || purged.incomplete->find("mounted") == std::string::npos)
            failures |= 2;
        if (!StoreFixture::exists(f.path("projects/canary")) || StoreFixture::exists(f.path(".cache/pip/http")))
            failures |= 4;
        ::umount2(f.path(".cache/pip/mounted").c_str(), MNT_DETACH);
        return failures;
    });
    if (code == 77)
        GTEST_SKIP() << "bind mounts need root and a mount namespace";
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(StoreFixture::exists(f.path("projects/canary")));
    EXPECT_TRUE(StoreFixture::exists(f.path(".cache/pip/mounted")));
}

TEST(DeveloperCachePurgeTest, ADeepTreeUnderALowDescriptorLimitIsRemovedNotHalfRemoved)
{
    StoreFixture f;
    f.file(f.path(".cache/uv/top"), 10);
    ASSERT_TRUE(makeDeepTree(f.path(".cache/uv"), 3000, false));

    // 0: all gone without complaint; 1: some left without a word; 2: left and reported.
    const int code = runInChild([&] {
        if (!setDescriptorLimit(1024))
            return 3;
        const auto purged = DeveloperCacheEngine(f.roots).purgeCache(f.path(".cache/uv"));
        const bool empty = std::filesystem::is_empty(f.path(".cache/uv"));
        if (empty && purged.ok() && !purged.incomplete)
            return 0;
        return purged.incomplete ? 2 : 1;
    });
    EXPECT_EQ(code, 0);
}

TEST(DeveloperCachePurgeTest, SafeCleanLeavesTheHubAndNamesOnlyCachesThatFreedSomething)
{
    StoreFixture f;
    f.file(f.path(".npm/_cacache/a"), 3 * kMiB);
    f.file(f.path(".cache/pip/b"), 2 * kMiB);
    f.file(f.hub("models--x/blobs/w"), 9 * kMiB);
    // Every file of uv's cache also lives in a project environment: emptying it frees nothing.
    f.file(f.path("project/.venv/lib"), 4 * kMiB);
    std::filesystem::create_directories(f.path(".cache/uv"));
    std::filesystem::create_hard_link(f.path("project/.venv/lib"), f.path(".cache/uv/lib"));

    DeveloperCacheEngine engine(f.roots);
    const auto result = engine.purgeAllSafeCaches();
    EXPECT_EQ(result.reclaimedBytes, static_cast<std::int64_t>(5 * kMiB));
    EXPECT_THAT(result.clearedNames, ElementsAre("npm Cache", "Python pip Cache"));
    EXPECT_TRUE(StoreFixture::exists(f.hub("models--x/blobs/w")));
    EXPECT_FALSE(StoreFixture::exists(f.path(".cache/uv/lib")));
    EXPECT_TRUE(StoreFixture::exists(f.path("project/.venv/lib")));

    const auto hub = engine.purgeCache(f.path(".cache/huggingface/hub"));
    EXPECT_EQ(hub.freedBytes, static_cast<std::int64_t>(9 * kMiB));
    EXPECT_TRUE(std::filesystem::is_empty(f.path(".cache/huggingface/hub")));
    EXPECT_THAT(engine.scanCaches(), IsEmpty());
    EXPECT_EQ(engine.purgeAllSafeCaches().clearedNames.size(), 0u);
}

TEST(DeveloperCachePurgeTest, ACacheLeftInPartSaysWhatStayedAndIsNeverCleared)
{
    StoreFixture f;
    f.file(f.path(".npm/_cacache/a"), 3 * kMiB);
    f.file(f.path(".cache/pip/wheels/b"), 2 * kMiB);
    f.file(f.path(".cache/pip/locked/keep"), 10);

    DeveloperCacheEngine engine(f.roots);
    {
        const LockedFolder lock(f.path(".cache/pip/locked"));
        ASSERT_TRUE(lock.locked());
        const auto result = engine.purgeAllSafeCaches();
        EXPECT_EQ(result.reclaimedBytes, static_cast<std::int64_t>(5 * kMiB)); // what really went
        EXPECT_THAT(result.clearedNames, ElementsAre("npm Cache"));
        EXPECT_THAT(result.incompleteNames, ElementsAre("Python pip Cache"));
        EXPECT_FALSE(result.complete());
        EXPECT_EQ(result.clearedDetail(), "Cleared npm Cache; partly left: Python pip Cache");

        f.file(f.path(".cache/pip/wheels/c"), 100);
        const auto purged = engine.purgeCache(f.path(".cache/pip"));
        EXPECT_TRUE(purged.ok());
        EXPECT_EQ(purged.freedBytes, 100);
        ASSERT_TRUE(purged.incomplete);
        EXPECT_THAT(*purged.incomplete, testing::HasSubstr("locked/keep"));
    }
    EXPECT_TRUE(StoreFixture::exists(f.path(".cache/pip/locked/keep")));

    DeveloperCacheEngine::SafePurge partOnly;
    partOnly.incompleteNames = {"Python uv Cache"};
    EXPECT_EQ(partOnly.clearedDetail(), "Partly cleared Python uv Cache");
    const DeveloperCacheEngine::SafePurge three {1, {"A", "B", "C"}, {}, {}};
    EXPECT_EQ(three.clearedDetail(), "Cleared A, B +1 more");
    EXPECT_TRUE(DeveloperCacheEngine::SafePurge().complete());
}

TEST(DeveloperCacheItemTest, FormatsSizesAndEncodesByRawValue)
{
    const auto sized = [](std::int64_t bytes) {
        return DeveloperCacheItem {"n", {}, "/p", bytes, {}, "d"}.formattedSize();
    };
    EXPECT_EQ(sized(1073741824), "1.00 GB");
    EXPECT_EQ(sized(1048576), "1.0 MB");
    EXPECT_EQ(sized(1048575), "1024 KB");
    EXPECT_EQ(sized(0), "0 KB");

    const DeveloperCacheItem item {
        "Hugging Face Hub", DeveloperCacheCategory::huggingFaceHub, "/h", 5, CacheSafetyTier::confirmRequired, "w"};
    EXPECT_EQ(Json(item).dump(),
        R"({"category":"Hugging Face Hub","details":"w","name":"Hugging Face Hub",)"
        R"("path":"/h","safetyTier":"Review & Confirm","sizeBytes":5})");
    EXPECT_EQ(jsoncodec::decodeText<DeveloperCacheItem>(Json(item).dump()), item);
    EXPECT_FALSE(jsoncodec::decodeText<DeveloperCacheItem>(
        R"({"category":"Cache","details":"w","name":"n","path":"/h","safetyTier":"Safe to Purge","sizeBytes":5})"));

    EXPECT_EQ(safetyTier(DeveloperCacheCategory::huggingFaceHub), CacheSafetyTier::confirmRequired);
    EXPECT_EQ(safetyTier(DeveloperCacheCategory::custom), CacheSafetyTier::safeToPurge);
    EXPECT_EQ(iconName(DeveloperCacheCategory::swiftPMCache), "swift");
    EXPECT_EQ(allCases<DeveloperCacheCategory>().size(), 7u);
}

TEST(StorageRootsTest, EnvironmentChoosesEachStore)
{
    const char* keys[] = {"HOME", "OLLAMA_MODELS", "HF_HUB_CACHE", "HF_HOME", "XDG_CACHE_HOME"};
    std::vector<std::optional<std::string>> saved;
    for (const char* key : keys)
        saved.push_back(std::getenv(key) ? std::optional<std::string>(std::getenv(key)) : std::nullopt);

    setenv("HOME", "/h/me/", 1);
    unsetenv("OLLAMA_MODELS");
    unsetenv("HF_HUB_CACHE");
    unsetenv("HF_HOME");
    setenv("XDG_CACHE_HOME", "relative/cache", 1);
    auto roots = StorageRoots::fromEnvironment();
    EXPECT_EQ(roots.home, "/h/me");
    EXPECT_EQ(roots.cacheHome, "/h/me/.cache");
    EXPECT_EQ(roots.ollamaModels.front(), "/h/me/.ollama/models");
    EXPECT_EQ(roots.huggingFaceHub, "/h/me/.cache/huggingface/hub");
    EXPECT_EQ(
        roots.lmStudioModels, (std::vector<std::string> {"/h/me/.cache/lm-studio/models", "/h/me/.lmstudio/models"}));

    setenv("XDG_CACHE_HOME", "/xdg", 1);
    EXPECT_EQ(StorageRoots::fromEnvironment().huggingFaceHub, "/xdg/huggingface/hub");
    setenv("HF_HOME", "~/hf", 1);
    EXPECT_EQ(StorageRoots::fromEnvironment().huggingFaceHub, "/h/me/hf/hub");
    setenv("HF_HUB_CACHE", "/fast/hub", 1);
    setenv("OLLAMA_MODELS", "/fast/ollama", 1);
    roots = StorageRoots::fromEnvironment();
    EXPECT_EQ(roots.huggingFaceHub, "/fast/hub");
    EXPECT_EQ(roots.ollamaModels.front(), "/fast/ollama");
    EXPECT_EQ(roots.cacheHome, "/xdg");

    for (std::size_t i = 0; i < saved.size(); ++i) {
        if (saved[i])
            setenv(keys[i], saved[i]->c_str(), 1);
        else
            unsetenv(keys[i]);
    }
}
