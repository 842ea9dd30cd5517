#include "LockedFolder.h"
#include "StorageViewFixture.h"

#include "storage/ModelInventoryViewModel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

constexpr std::size_t kMebibyte = 1048576;
constexpr double kGiB = 1073741824.0;

class ViewModelTest : public testing::Test
{
protected:
    ModelInventoryViewModel& vm()
    {
        if (!m_vm)
            m_vm = std::make_unique<ModelInventoryViewModel>(f.inventory, f.caches, unowned(f.tracker), &f.pool);
        return *m_vm;
    }
    void scan()
    {
        bool done = false;
        vm().scan([&] { done = true; });
        ASSERT_TRUE(StorageViewFixture::waitFor([&] { return done; }));
    }
    ModelDeletionResult clean(std::vector<InventoryModel> models)
    {
        std::optional<ModelDeletionResult> out;
        vm().cleanModels(std::move(models), [&](ModelDeletionResult r) { out = r; });
        EXPECT_TRUE(StorageViewFixture::waitFor([&] { return out.has_value(); }));
        return out.value_or(ModelDeletionResult());
    }
    const InventoryModel& model(const std::string& name)
    {
        for (const auto& m : vm().installedModels())
            if (m.name == name)
                return m;
        throw std::runtime_error("no model " + name);
    }

    StorageViewFixture f;
    std::unique_ptr<ModelInventoryViewModel> m_vm;
};

} // namespace

TEST_F(ViewModelTest, ScanSortsLargestFirstKeepingTheEngineOrderForTiesAndPrunesTheSelection)
{
    f.lmModel("p/a/a.gguf", 3 * kMebibyte);
    f.lmModel("p/b/b.gguf", 5 * kMebibyte);
    f.lmModel("p/c/c.gguf", 3 * kMebibyte);
    f.lmModel("p/d/d.gguf", 3 * kMebibyte);
    const auto engineOrder = names(f.inventory->scanModels());

    scan();
    std::vector<std::string> ties;
    for (const auto& n : engineOrder)
        if (n != "b/b.gguf")
            ties.push_back(n);
    const auto listed = names(vm().installedModels());
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_EQ(listed[0], "b/b.gguf");
    EXPECT_EQ(std::vector<std::string>(listed.begin() + 1, listed.end()), ties);

    vm().toggleSelection(model("a/a.gguf"));
    vm().toggleSelection(model("b/b.gguf"));
    vm().toggleSelection(model("c/c.gguf"));
    vm().toggleSelection(model("c/c.gguf")); // toggled off again
    std::filesystem::remove(model("a/a.gguf").path);
    const std::string kept = model("b/b.gguf").path;
    scan();
    EXPECT_EQ(vm().selectedModelIds(), std::set<std::string> {kept});
    EXPECT_FALSE(vm().isScanning());
}

TEST_F(ViewModelTest, ScanRunsOffTheGuiThreadAndShowsBusyUntilBothListsArrive)
{
    f.lmModel("p/a/a.gguf", 3 * kMebibyte);
    f.file(f.path(".npm/_cacache/x"), 2 * kMebibyte);
    f.hold();
    bool done = false;
    vm().scan([&] { done = true; }); // returns although the pool has not started the scan
    EXPECT_TRUE(vm().isScanning());
    EXPECT_THAT(vm().installedModels(), IsEmpty());
    f.release();
    ASSERT_TRUE(StorageViewFixture::waitFor([&] { return done; }));
    EXPECT_FALSE(vm().isScanning());
    EXPECT_THAT(names(vm().installedModels()), ElementsAre("a/a.gguf"));
    EXPECT_THAT(names(vm().developerCaches()), ElementsAre("npm Cache"));
}

TEST_F(ViewModelTest, AnEmptyCleanChangesNothing)
{
    vm().setLastCleanResult(ModelDeletionResult(7, 7, {}));
    bool cleaningSeen = false;
    QObject::connect(&vm(), &ModelInventoryViewModel::isCleaningChanged, [&](bool on) { cleaningSeen |= on; });
    const ModelDeletionResult r = clean({});
    EXPECT_EQ(r, ModelDeletionResult(0, 0, {}));
    EXPECT_FALSE(cleaningSeen);
    EXPECT_EQ(vm().lastCleanResult(), ModelDeletionResult(7, 7, {}));
    EXPECT_THAT(f.tracker.fetchEvents(AssistanceCategory::all, 10), IsEmpty());
}

TEST_F(ViewModelTest, CleaningReportsTheEnginesResultAndRecordsOneEvent)
{
    f.lmModel("p/a/a.gguf", 2 * kMebibyte);
    f.lmModel("p/b/b.gguf", 1 * kMebibyte);
    scan();
    // A third model whose path lies outside every store: the engine refuses it.
    f.file(f.path("elsewhere/c.gguf"), 4 * kMebibyte);
    InventoryModel outside {
        "c", 4.0 / 1024, f.now, ModelSource::lmStudio, f.path("elsewhere/c.gguf"), false, false, std::nullopt};
    vm().toggleSelection(model("a/a.gguf"));
    const auto before = f.tracker.getMetrics();

    const ModelDeletionResult r = clean({model("a/a.gguf"), model("b/b.gguf"), outside});
    EXPECT_EQ(r.deletedCount, 2);
    EXPECT_EQ(r.totalReclaimedBytes, static_cast<std::int64_t>(3 * kMebibyte));
    EXPECT_THAT(r.failedModelNames, ElementsAre("c"));
    EXPECT_EQ(vm().lastCleanResult(), r);
    EXPECT_THAT(vm().installedModels(), IsEmpty());
    EXPECT_THAT(vm().selectedModelIds(), IsEmpty());
    EXPECT_FALSE(vm().isCleaning());
    EXPECT_TRUE(StoreFixture::exists(f.path("elsewhere/c.gguf")));

    const auto events = f.tracker.fetchEvents(AssistanceCategory::all, 10);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].category, AssistanceCategory::storage);
    EXPECT_EQ(events[0].title, "Storage Reclaimed");
    EXPECT_EQ(events[0].detail, "Cleaned 2 model(s) (a/a.gguf, b/b.gguf)"); // not the refused one
    EXPECT_EQ(events[0].impactValue, "+3.0 MB");
    const auto after = f.tracker.getMetrics();
    EXPECT_DOUBLE_EQ(after.totalGBFreed - before.totalGBFreed, 3 * kMebibyte / kGiB);
    EXPECT_DOUBLE_EQ(after.totalStorageReclaimedGB - before.totalStorageReclaimedGB, 3 * kMebibyte / kGiB);
    EXPECT_EQ(after.modelsCleanedCount, before.modelsCleanedCount + 1);
    EXPECT_EQ(after.totalHoursSaved, before.totalHoursSaved);
}

TEST_F(ViewModelTest, ACleanThatFreesNoByteRecordsNothing)
{
    // Two Ollama models over the same layers: deleting one frees no blob.
    f.ollamaModel("registry.ollama.ai/library/m/a", {{1, 100}});
    f.ollamaModel("registry.ollama.ai/library/n/b", {{1, 100}});
    scan();
    const ModelDeletionResult r = clean({model("m:a")});
    EXPECT_EQ(r, ModelDeletionResult(1, 0, {}));
    EXPECT_EQ(vm().lastCleanResult(), r);
    EXPECT_THAT(f.tracker.fetchEvents(AssistanceCategory::all, 10), IsEmpty());
    EXPECT_EQ(f.tracker.getMetrics().modelsCleanedCount, 0);
}

TEST_F(ViewModelTest, DeletingOneModelReportsWhatTheEngineDidNotTheListedSize)
{
    f.file(f.path("elsewhere/x.gguf"), 4 * kMebibyte);
    const InventoryModel refused {
        "x", 2.5, f.now, ModelSource::lmStudio, f.path("elsewhere/x.gguf"), false, false, std::nullopt};
    std::optional<ModelDeletionResult> out;
    vm().deleteModel(refused, [&](ModelDeletionResult r) { out = r; });
    ASSERT_TRUE(StorageViewFixture::waitFor([&] { return out.has_value(); }));
    EXPECT_EQ(out, ModelDeletionResult(0, 0, {"x"}));
    EXPECT_EQ(vm().lastCleanResult(), out);
    EXPECT_THAT(f.tracker.fetchEvents(AssistanceCategory::all, 10), IsEmpty());
}

TEST_F(ViewModelTest, DuplicateFiguresCountSurplusMembersAndSkipLoneSurvivors)
{
    f.lmModel("p/q-gguf/q.gguf", 3 * kMebibyte, 40); // archive candidate and duplicate
    f.file(f.path(".cache/lm-studio/models/p/q-gguf/q.gguf"), 2 * kMebibyte);
    f.lmModel("p/r/r.gguf", 1 * kMebibyte);
    scan();
    const double mb = kMebibyte / kGiB;
    ASSERT_EQ(vm().duplicateModels().size(), 2u);
    EXPECT_DOUBLE_EQ(vm().duplicateReclaimableGB(), 2 * mb);
    EXPECT_DOUBLE_EQ(vm().archiveReclaimableGB(), 3 * mb);
    EXPECT_DOUBLE_EQ(vm().overallReclaimableGB(), 5 * mb);

    // Selecting all duplicates keeps an earlier selection outside the filter.
    vm().toggleSelection(model("r/r.gguf"));
    vm().setActiveFilter(InventoryFilter::duplicates);
    vm().selectAllFiltered();
    EXPECT_EQ(vm().selectedModelIds().size(), 3u);
    EXPECT_DOUBLE_EQ(vm().selectedStorageGB(), 6 * mb);

    // The smaller member goes; the survivor's group of one adds nothing and is skipped.
    std::optional<ModelDeletionResult> out;
    vm().cleanDuplicates(true, [&](ModelDeletionResult r) { out = r; });
    ASSERT_TRUE(StorageViewFixture::waitFor([&] { return out.has_value(); }));
    EXPECT_EQ(out->deletedCount, 1);
    EXPECT_EQ(out->totalReclaimedBytes, static_cast<std::int64_t>(2 * kMebibyte));
    ASSERT_EQ(vm().duplicateModels().size(), 1u);
    EXPECT_DOUBLE_EQ(vm().duplicateReclaimableGB(), 0);
    out.reset();
    vm().cleanDuplicates(false, [&](ModelDeletionResult r) { out = r; });
    ASSERT_TRUE(StorageViewFixture::waitFor([&] { return out.has_value(); }));
    EXPECT_EQ(out, ModelDeletionResult(0, 0, {}));
    EXPECT_EQ(vm().installedModels().size(), 2u);
}

TEST_F(ViewModelTest, SafeCleanNamesTheLargestCachesAndRecordsOnlyWhenSomethingWasFreed)
{
    f.file(f.path("Library/Developer/Xcode/DerivedData/a"), 6 * kMebibyte);
    f.file(f.path(".npm/_cacache/b"), 5 * kMebibyte);
    f.file(f.path(".cache/uv/c"), 4 * kMebibyte);
    f.file(f.path(".cache/pip/d"), 3 * kMebibyte);
    f.file(f.path(".cache/org.swift.swiftpm/e"), 2 * kMebibyte);
    f.file(f.hub("models--a--b/blobs/f"), 9 * kMebibyte);
    scan();
    EXPECT_DOUBLE_EQ(vm().totalSafeCachesGB(), 20 * kMebibyte / kGiB);
    // The hub holds nothing but a model, which counts under the models.
    EXPECT_DOUBLE_EQ(vm().totalDeveloperCachesGB(), 20 * kMebibyte / kGiB);

    std::optional<std::int64_t> freed;
    vm().cleanAllSafeCaches([&](const DeveloperCacheEngine::SafePurge& p) { freed = p.reclaimedBytes; });
    ASSERT_TRUE(StorageViewFixture::waitFor([&] { return freed.has_value(); }));
    EXPECT_EQ(*freed, static_cast<std::int64_t>(20 * kMebibyte));
    EXPECT_EQ(vm().lastCleanResult(), ModelDeletionResult(5, 20 * kMebibyte, {}));
    EXPECT_THAT(names(vm().developerCaches()), ElementsAre("Hugging Face Hub"));
    auto events = f.tracker.fetchEvents(AssistanceCategory::all, 10);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].title, "Safe Caches Purged");
    EXPECT_EQ(events[0].detail, "Cleared Xcode DerivedData, npm Cache +3 more");

    // Nothing left to free: no event, the last result stands, the list is read again.
    freed.reset();
    vm().cleanAllSafeCaches([&](const DeveloperCacheEngine::SafePurge& p) { freed = p.reclaimedBytes; });
    ASSERT_TRUE(StorageViewFixture::waitFor([&] { return freed.has_value(); }));
    EXPECT_EQ(*freed, 0);
    EXPECT_EQ(vm().lastCleanResult(), ModelDeletionResult(5, 20 * kMebibyte, {}));
    EXPECT_EQ(f.tracker.fetchEvents(AssistanceCategory::all, 10).size(), 1u);
}

TEST_F(ViewModelTest, ACacheThatCannotBePurgedReportsWhyAndRecordsNothing)
{
    f.file(f.path(".npm/_cacache/b"), 5 * kMebibyte);
    scan();
    DeveloperCacheItem fake = vm().developerCaches().at(0);
    fake.path = f.path("elsewhere");
    f.file(f.path("elsewhere/keep"), 10);

    std::optional<DeveloperCacheEngine::PurgeResult> out;
    vm().cleanCacheItem(fake, [&](DeveloperCacheEngine::PurgeResult r) { out = r; });
    ASSERT_TRUE(StorageViewFixture::waitFor([&] { return out.has_value(); }));
    EXPECT_FALSE(out->ok());
    EXPECT_EQ(out->freedBytes, 0);
    EXPECT_TRUE(StoreFixture::exists(f.path("elsewhere/keep")));
    EXPECT_FALSE(vm().lastCleanResult().has_value());
    EXPECT_THAT(f.tracker.fetchEvents(AssistanceCategory::all, 10), IsEmpty());

    out.reset();
    vm().cleanCacheItem(vm().developerCaches().at(0), [&](DeveloperCacheEngine::PurgeResult r) { out = r; });
    ASSERT_TRUE(StorageViewFixture::waitFor([&] { return out.has_value(); }));
    EXPECT_EQ(out->freedBytes, static_cast<std::int64_t>(5 * kMebibyte));
    EXPECT_EQ(vm().lastCleanResult(), ModelDeletionResult(1, 5 * kMebibyte, {}));
    EXPECT_THAT(vm().developerCaches(), IsEmpty());
    const auto events = f.tracker.fetchEvents(AssistanceCategory::all, 10);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].title, "Cache Reclaimed");
    EXPECT_EQ(events[0].detail, "Purged npm Cache");
}

TEST_F(ViewModelTest, ACacheLeftInPartIsRecordedAsPartlyPurged)
{
    f.file(f.path(".cache/pip/a"), 3 * kMebibyte);
    f.file(f.path(".cache/pip/locked/keep"), 2 * kMebibyte);
    // Before any work starts: the pool's threads are made under the lock.
    const LockedFolder lock(f.path(".cache/pip/locked"));
    ASSERT_TRUE(lock.locked());
    scan();

    std::optional<DeveloperCacheEngine::PurgeResult> out;
    vm().cleanCacheItem(vm().developerCaches().at(0), [&](DeveloperCacheEngine::PurgeResult r) { out = r; });
    ASSERT_TRUE(StorageViewFixture::waitFor([&] { return out.has_value(); }));
    EXPECT_TRUE(out->incomplete);
    EXPECT_EQ(vm().lastCleanResult(), ModelDeletionResult(0, 3 * kMebibyte, {"Python pip Cache"}));
    const auto events = f.tracker.fetchEvents(AssistanceCategory::all, 10);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].detail, "Partly purged Python pip Cache");
    EXPECT_THAT(names(vm().developerCaches()), ElementsAre("Python pip Cache")); // what stayed is listed again
}

TEST_F(ViewModelTest, ADeletionOutlivesTheModelThatStartedIt)
{
    f.lmModel("p/a/a.gguf", 2 * kMebibyte);
    scan();
    const std::string file = model("a/a.gguf").path;
    bool delivered = false;
    f.hold();
    vm().cleanModels({model("a/a.gguf")}, [&](ModelDeletionResult) { delivered = true; });
    m_vm.reset();
    f.release();
    f.pool.waitForDone();
    QCoreApplication::processEvents();
    EXPECT_FALSE(delivered);
    EXPECT_FALSE(StoreFixture::exists(file));
    EXPECT_EQ(f.tracker.fetchEvents(AssistanceCategory::storage, 10).size(), 1u);
}

namespace {

// What the view model estimated for deleting the models, and what the deletion then freed below `root`.
struct Measured
{
    std::int64_t estimate = 0;
    std::int64_t freed = 0;
    ModelDeletionResult result;
};

class EstimateTest : public ViewModelTest
{
protected:
    Measured deleteAndMeasure(const std::vector<std::string>& modelNames, const std::string& root)
    {
        std::vector<InventoryModel> models;
        std::set<std::string> ids;
        for (const auto& n : modelNames) {
            models.push_back(model(n));
            ids.insert(models.back().id());
        }
        vm().setSelectedModelIds(ids);
        Measured m;
        m.estimate = std::llround(vm().selectedStorageGB() * kGiB);
        const std::int64_t before = StoreFixture::diskBytes(root);
        m.result = clean(models);
        m.freed = before - StoreFixture::diskBytes(root);
        return m;
    }
    std::int64_t totalBytes() { return std::llround((vm().totalStorageGB() + vm().totalDeveloperCachesGB()) * kGiB); }

    static constexpr std::int64_t kConfigBlob = 7; // every fixture manifest shares one config blob
};

} // namespace

TEST_F(EstimateTest, TwoTagsOfOneBlobCountItOnceAndFreeItOnce)
{
    f.ollamaModel("registry.ollama.ai/library/mistral/latest", {{1, 4 * kMebibyte}});
    f.ollamaModel("registry.ollama.ai/library/mistral/7b", {{1, 4 * kMebibyte}});
    f.ollamaModel("registry.ollama.ai/library/llama3.2/3b", {{2, 2 * kMebibyte}});
    scan();
    EXPECT_EQ(totalBytes(), StoreFixture::diskBytes(f.ollama("blobs")));
    EXPECT_EQ(model("mistral:7b").sizeGB, 4 * kMebibyte / kGiB); // a row still shows the model's own size

    const Measured m = deleteAndMeasure({"mistral:latest", "mistral:7b"}, f.ollama("blobs"));
    EXPECT_EQ(m.freed, static_cast<std::int64_t>(4 * kMebibyte));
    EXPECT_EQ(m.estimate, m.freed);
    EXPECT_EQ(m.result.totalReclaimedBytes, m.freed);
}

TEST_F(EstimateTest, ATagWhoseBlobAnotherTagUsesIsEstimatedAtNothing)
{
    f.ollamaModel("registry.ollama.ai/library/llama3.2/latest", {{2, 2 * kMebibyte}});
    f.ollamaModel("registry.ollama.ai/library/llama3.2/3b", {{2, 2 * kMebibyte}});
    scan();
    const StorageFootprint::Reclaim reclaim = vm().reclaimFor({model("llama3.2:latest")});
    EXPECT_EQ(reclaim.keptFiles, 2); // the layer and the config
    EXPECT_EQ(reclaim.keptBytes, static_cast<std::int64_t>(2 * kMebibyte) + kConfigBlob);
    EXPECT_THAT(reclaim.keptFor, ElementsAre("llama3.2:3b"));

    const Measured first = deleteAndMeasure({"llama3.2:latest"}, f.ollama("blobs"));
    EXPECT_EQ(first.freed, 0);
    EXPECT_EQ(first.estimate, 0);
    // The survivor now holds its blobs alone, before any rescan.
    const Measured second = deleteAndMeasure({"llama3.2:3b"}, f.ollama("blobs"));
    EXPECT_EQ(second.freed, static_cast<std::int64_t>(2 * kMebibyte) + kConfigBlob);
    EXPECT_EQ(second.estimate, second.freed);
}

TEST_F(EstimateTest, AManifestThatCannotBeReadKeepsEveryBlobAndTheEstimateSaysSo)
{
    f.ollamaModel("registry.ollama.ai/library/a/1b", {{1, 3 * kMebibyte}});
    f.text(f.ollama("manifests/registry.ollama.ai/library/broken/1b"), "not json");
    scan();
    const StorageFootprint::Reclaim reclaim = vm().reclaimFor({model("a:1b")});
    EXPECT_EQ(reclaim.heldFiles, 2);
    EXPECT_FALSE(reclaim.everythingGoes());
    const Measured m = deleteAndMeasure({"a:1b"}, f.ollama("blobs"));
    EXPECT_EQ(m.freed, 0);
    EXPECT_EQ(m.estimate, 0);
}

TEST_F(EstimateTest, AHardLinkedFileCountsOnceAndGoesWithItsLastName)
{
    const std::string a = f.lmModel("p/a/a.gguf", 3 * kMebibyte);
    std::filesystem::create_directories(f.path(".cache/lm-studio/models/q/b"));
    std::filesystem::create_hard_link(a, f.path(".cache/lm-studio/models/q/b/b.gguf"));
    // A Hugging Face weight that an LM Studio file shares by a hard link.
    const std::string c = f.lmModel("p/c/c.gguf", 5 * kMebibyte);
    std::filesystem::create_directories(f.hub("models--o--m/blobs"));
    std::filesystem::create_hard_link(c, f.hub("models--o--m/blobs/w"));
    scan();
    EXPECT_EQ(totalBytes(), StoreFixture::diskBytes(f.home));

    Measured m = deleteAndMeasure({"a/a.gguf"}, f.home);
    EXPECT_EQ(m.freed, 0);
    EXPECT_EQ(m.estimate, 0);
    m = deleteAndMeasure({"b/b.gguf"}, f.home);
    EXPECT_EQ(m.freed, static_cast<std::int64_t>(3 * kMebibyte));
    EXPECT_EQ(m.estimate, m.freed);
    m = deleteAndMeasure({"o/m", "c/c.gguf"}, f.home);
    EXPECT_EQ(m.freed, static_cast<std::int64_t>(5 * kMebibyte));
    EXPECT_EQ(m.estimate, m.freed);
}

TEST_F(EstimateTest, ABlobLinkedOutsideTheStoresGoesWhileItsBytesStay)
{
    f.ollamaModel("registry.ollama.ai/library/a/1b", {{1, 3 * kMebibyte}});
    const std::string blob = f.ollama("blobs/" + StoreFixture::blobName(1));
    std::filesystem::create_directories(f.path("backup"));
    std::filesystem::create_hard_link(blob, f.path("backup/weights"));
    scan();
    const StorageFootprint::Reclaim reclaim = vm().reclaimFor({model("a:1b")});
    EXPECT_EQ(reclaim.linkedFiles, 1);
    EXPECT_FALSE(reclaim.everythingGoes());

    const Measured m = deleteAndMeasure({"a:1b"}, f.home);
    EXPECT_FALSE(StoreFixture::exists(blob));
    EXPECT_TRUE(StoreFixture::exists(f.path("backup/weights")));
    EXPECT_LT(m.freed, static_cast<std::int64_t>(kMebibyte)); // the manifest and the config blob only
    EXPECT_EQ(m.estimate, kConfigBlob);
}

TEST_F(EstimateTest, TheHubIsCountedOnceAsModelsAndOnlyItsRestAsACache)
{
    f.file(f.hub("models--org--model/blobs/w"), 3 * kMebibyte);
    f.file(f.hub("datasets--org--d/blobs/x"), 2 * kMebibyte);
    f.file(f.path(".npm/_cacache/y"), 2 * kMebibyte);
    scan();
    EXPECT_EQ(totalBytes(), StoreFixture::diskBytes(f.home));
    EXPECT_DOUBLE_EQ(vm().totalDeveloperCachesGB(), 4 * kMebibyte / kGiB);
    EXPECT_DOUBLE_EQ(vm().totalStorageGB(), 3 * kMebibyte / kGiB);
}
