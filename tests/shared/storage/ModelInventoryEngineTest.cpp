#include "StoreFixture.h"

#include "storage/ModelInventoryEngine.h"
#include "support/ChildProcess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/mount.h>

#include <algorithm>
#include <cmath>

using testing::IsEmpty;
using testing::UnorderedElementsAre;

namespace {

constexpr double kDay = 86400;

ModelInventoryEngine engineFor(const StoreFixture& f)
{
    return ModelInventoryEngine(f.roots, [now = f.now] { return now; });
}

const InventoryModel& named(const std::vector<InventoryModel>& models, const std::string& name)
{
    const auto it = std::find_if(models.begin(), models.end(), [&](const auto& m) { return m.name == name; });
    if (it == models.end())
        throw std::runtime_error("no model " + name);
    return *it;
}

} // namespace

TEST(ModelInventoryScanTest, NoStoreGivesNothing)
{
    StoreFixture f;
    EXPECT_THAT(engineFor(f).scanModels(), IsEmpty());
    std::filesystem::create_directories(f.ollama("blobs")); // no "manifests"
    EXPECT_THAT(engineFor(f).scanModels(), IsEmpty());
}

TEST(ModelInventoryScanTest, ReadsOllamaManifestsIntoNamesAndLayerSizes)
{
    StoreFixture f;
    const std::string path = f.ollamaModel("registry.ollama.ai/library/llama3.1/8b", {{1, 1073741824}, {2, 536870912}});
    f.ollamaModel("hf.co/bartowski/qwen/q4", {{3, 10}});
    f.text(f.ollama("manifests/model/tag"), "{}"); // two levels: not a model
    f.text(f.ollama("manifests/reg/broken/latest"), "not json");
    f.text(f.ollama("manifests/reg/nolayers/latest"), R"({"config":{"digest":"x"}})");
    f.text(f.ollama("manifests/reg/.hidden/latest"), "{}");

    const auto models = engineFor(f).scanModels();
    EXPECT_THAT(names(models), UnorderedElementsAre("llama3.1:8b", "qwen:q4", "broken:latest", "nolayers:latest"));
    const auto& llama = named(models, "llama3.1:8b");
    EXPECT_DOUBLE_EQ(llama.sizeGB, 1.5); // the config blob is not counted
    EXPECT_EQ(llama.source, ModelSource::ollama);
    EXPECT_EQ(llama.path, path);
    EXPECT_EQ(named(models, "broken:latest").sizeGB, 0);
    EXPECT_EQ(named(models, "nolayers:latest").sizeGB, 0);
}

TEST(ModelInventoryScanTest, MeasuresHubModelsCountingLinkedBlobsOnce)
{
    StoreFixture f;
    const std::string model = f.hub("models--meta-llama--Llama-3.1-8B");
    f.file(model + "/blobs/aaa", 3000);
    f.link("../../blobs/aaa", model + "/snapshots/rev1/model.safetensors");
    f.link("../../blobs/aaa", model + "/snapshots/rev2/model.safetensors");
    std::filesystem::create_directories(f.hub("models--a--b"));
    std::filesystem::create_directories(f.hub("datasets--x"));
    f.file(f.hub("version.txt"), 1);
    std::filesystem::create_directories(f.path("elsewhere"));
    f.link(f.path("elsewhere"), f.hub("models--linked--away"));

    const auto models = engineFor(f).scanModels();
    ASSERT_THAT(names(models), UnorderedElementsAre("meta-llama/Llama-3.1-8B", "a/b"));
    const auto& llama = named(models, "meta-llama/Llama-3.1-8B");
    EXPECT_DOUBLE_EQ(llama.sizeGB, (3000.0 + 2 * std::string("../../blobs/aaa").size()) / 1073741824.0);
    EXPECT_EQ(llama.path, model);
    const auto& empty = named(models, "a/b");
    EXPECT_EQ(empty.sizeGB, 0);
    EXPECT_EQ(empty.lastAccessed, f.now);
    EXPECT_FALSE(empty.isArchiveCandidate);
}

TEST(ModelInventoryScanTest, FindsLmStudioFilesAndMarksTheSameFileInBothFolders)
{
    StoreFixture f;
    f.file(f.path(".cache/lm-studio/models/pub/Model-GGUF/model-q4.GGUF"), 2048);
    f.file(f.path(".lmstudio/models/pub/Model-GGUF/model-q4.GGUF"), 2048);
    f.file(f.path(".lmstudio/models/loose.gguf"), 1);
    f.file(f.path(".lmstudio/models/readme.md"), 1);
    std::filesystem::create_directories(f.path(".lmstudio/models/pub/folder.gguf/inner"));

    const auto models = engineFor(f).scanModels();
    ASSERT_THAT(
        names(models), UnorderedElementsAre("Model-GGUF/model-q4.GGUF", "Model-GGUF/model-q4.GGUF", "loose.gguf"));
    // The cache folder is read before the other one.
    EXPECT_EQ(models[0].path, f.path(".cache/lm-studio/models/pub/Model-GGUF/model-q4.GGUF"));
    const auto& loose = named(models, "loose.gguf");
    const auto& other = models[1].name == "loose.gguf" ? models[2] : models[1];
    EXPECT_EQ(other.path, f.path(".lmstudio/models/pub/Model-GGUF/model-q4.GGUF"));
    EXPECT_TRUE(models[0].isDuplicate && other.isDuplicate);
    EXPECT_EQ(models[0].duplicateGroup, "model/model-q4");
    EXPECT_FALSE(loose.isDuplicate);
    EXPECT_EQ(loose.source, ModelSource::lmStudio);
    EXPECT_DOUBLE_EQ(models[0].sizeGB, 2048 / 1073741824.0);
}

TEST(ModelInventoryScanTest, ArchiveCandidatesAreModelsUnusedForMoreThanThirtyDays)
{
    StoreFixture f;
    const auto lm = [&](const std::string& name) { return f.path(".lmstudio/models/" + name + ".gguf"); };
    for (const char* name : {"exactly30", "older", "recent", "usedToday"})
        f.file(lm(name), 10);
    f.age(lm("exactly30"), 30 * kDay);
    f.age(lm("older"), 30 * kDay + 1);
    f.age(lm("recent"), 29 * kDay);
    f.age(lm("usedToday"), 400 * kDay, 3600); // pulled long ago, read an hour ago

    const auto models = engineFor(f).scanModels();
    EXPECT_FALSE(named(models, "exactly30.gguf").isArchiveCandidate);
    EXPECT_TRUE(named(models, "older.gguf").isArchiveCandidate);
    EXPECT_FALSE(named(models, "recent.gguf").isArchiveCandidate);
    EXPECT_FALSE(named(models, "usedToday.gguf").isArchiveCandidate);
    EXPECT_EQ(named(models, "older.gguf").daysSinceLastAccessed(f.now), 30);
    EXPECT_EQ(named(models, "recent.gguf").daysSinceLastAccessed(f.now.addingTimeInterval(-40 * kDay)), 0);
}

TEST(ModelInventoryScanTest, OllamaAndHubModelsCountAsUsedWhenTheirWeightsWereRead)
{
    StoreFixture f;
    const std::string used = f.ollamaModel("reg/lib/used/7b", {{1, 10}});
    const std::string listed = f.ollamaModel("reg/lib/listed/7b", {{2, 10}});
    f.age(used, 90 * kDay);
    f.age(f.ollama("blobs/" + StoreFixture::blobName(1)), 90 * kDay, 2 * kDay);
    // Listing models reads every manifest; that is no use of the model.
    f.age(listed, 90 * kDay, kDay);
    f.age(f.ollama("blobs/" + StoreFixture::blobName(2)), 90 * kDay);

    const std::string hub = f.hub("models--org--m");
    f.file(hub + "/blobs/w", 10);
    f.link("../../blobs/w", hub + "/snapshots/r/w.bin");
    for (const char* p : {"/blobs", "/snapshots/r", "/snapshots", "/snapshots/r/w.bin"})
        f.age(hub + p, 90 * kDay);
    f.age(hub + "/blobs/w", 90 * kDay, 3 * kDay);

    const auto models = engineFor(f).scanModels();
    EXPECT_FALSE(named(models, "used:7b").isArchiveCandidate);
    EXPECT_EQ(named(models, "used:7b").daysSinceLastAccessed(f.now), 2);
    EXPECT_TRUE(named(models, "listed:7b").isArchiveCandidate);
    EXPECT_FALSE(named(models, "org/m").isArchiveCandidate);
}

TEST(ModelInventoryKeyTest, GroupingKeysKeepTheTag)
{
    EXPECT_EQ(ModelInventoryEngine::normalizeModelKey("llama3.1:8b"), "llama3-1-8b");
    EXPECT_NE(ModelInventoryEngine::normalizeModelKey("llama3.1:8b"),
        ModelInventoryEngine::normalizeModelKey("llama3.1:70b"));
    EXPECT_EQ(ModelInventoryEngine::normalizeModelKey("llama3.1:latest"), "llama3-1");
    EXPECT_EQ(ModelInventoryEngine::normalizeModelKey("llama3.1"), "llama3-1");
    EXPECT_EQ(ModelInventoryEngine::normalizeModelKey("qwen2.5:7b-instruct-q4_K_M"), "qwen2-5-7b");
    EXPECT_EQ(ModelInventoryEngine::normalizeModelKey("meta-llama/Llama-3.1-8B-Instruct"), "llama-3-1-8b");
    EXPECT_EQ(ModelInventoryEngine::normalizeModelKey("Model.Q4_K_M.gguf"), "model-q4-k-m");
    EXPECT_EQ(ModelInventoryEngine::normalizeModelKey("  Mistral-7B-Chat-F16 \n"), "mistral-7b");
    EXPECT_EQ(ModelInventoryEngine::normalizeModelKey(".gguf"), "");
}

TEST(ModelInventoryKeyTest, DuplicateGroupsSpanStoresAndLeaveLoneModelsAlone)
{
    StoreFixture f;
    const std::string system = f.path("system-ollama");
    f.roots.ollamaModels.push_back(system);
    f.ollamaModel("reg/lib/llama3.1/8b", {{1, 10}});
    f.ollamaModel("reg/lib/llama3.1/70b", {{2, 10}});
    f.ollamaModel("reg/lib/llama3.1/8b", {{1, 10}}, system);

    const auto models = engineFor(f).scanModels();
    ASSERT_EQ(models.size(), 3u);
    for (const auto& m : models) {
        const bool eight = m.name == "llama3.1:8b";
        EXPECT_EQ(m.isDuplicate, eight) << m.path;
        EXPECT_EQ(m.duplicateGroup, eight ? std::optional<std::string>("llama3-1-8b") : std::nullopt) << m.path;
    }

    InventoryModel flagged {"alone", 1, f.now, ModelSource::lmStudio, "/x", false, true, "kept"};
    InventoryModel empty {".gguf", 1, f.now, ModelSource::lmStudio, "/y", false, false, std::nullopt};
    InventoryModel empty2 {".GGUF", 1, f.now, ModelSource::lmStudio, "/z", false, false, std::nullopt};
    const auto marked = engineFor(f).detectDuplicates({flagged, empty, empty2});
    EXPECT_EQ(marked[0], flagged);
    EXPECT_FALSE(marked[1].isDuplicate);
    EXPECT_FALSE(marked[2].isDuplicate);
}

namespace {

InventoryModel modelAt(const std::string& path, ModelSource source, const std::string& name = "m", double sizeGB = 0)
{
    return InventoryModel {name, sizeGB, Date(), source, path, false, false, std::nullopt};
}

} // namespace

TEST(ModelDeletionTest, NothingToDoGivesZeroAndLeavesOrphansAlone)
{
    StoreFixture f;
    f.writeBlob(f.ollama(""), 9, 50);
    auto engine = engineFor(f);
    EXPECT_EQ(engine.deleteModels({}), ModelDeletionResult());
    const auto gone = engine.deleteModels({modelAt(f.ollama("manifests/reg/lib/gone/1b"), ModelSource::ollama),
        modelAt(f.path(".lmstudio/models/gone.gguf"), ModelSource::lmStudio)});
    EXPECT_EQ(gone, ModelDeletionResult());
    EXPECT_TRUE(StoreFixture::exists(f.ollama("blobs/" + StoreFixture::blobName(9))));
}

TEST(ModelDeletionTest, DeletingAnOllamaModelRemovesOnlyTheBlobsNoManifestNeeds)
{
    StoreFixture f;
    const std::string a = f.ollamaModel("reg/lib/a/1b", {{1, 100}, {2, 200}, {3, 400}});
    const std::string b = f.ollamaModel("reg/lib/b/1b", {{3, 400}});
    const auto blob = [&](int n) { return f.ollama("blobs/" + StoreFixture::blobName(n)); };

    const auto result = engineFor(f).deleteModels({modelAt(a, ModelSource::ollama, "a:1b")});
    EXPECT_EQ(result, (ModelDeletionResult {1, 300, {}}));
    EXPECT_FALSE(StoreFixture::exists(a));
    EXPECT_FALSE(StoreFixture::exists(blob(1)));
    EXPECT_FALSE(StoreFixture::exists(blob(2)));
    EXPECT_TRUE(StoreFixture::exists(blob(3))); // shared with b
    EXPECT_TRUE(StoreFixture::exists(blob(1000))); // b's config

    // Every layer shared: the manifest goes and nothing is freed.
    const std::string c = f.ollamaModel("reg/lib/c/1b", {{3, 400}});
    EXPECT_EQ(engineFor(f).deleteModels({modelAt(c, ModelSource::ollama)}), (ModelDeletionResult {1, 0, {}}));
    EXPECT_TRUE(StoreFixture::exists(b));
}

TEST(ModelDeletionTest, AnUnreadableManifestStopsTheBlobCleanup)
{
    StoreFixture f;
    const std::string a = f.ollamaModel("reg/lib/a/1b", {{1, 100}});
    f.writeBlob(f.ollama(""), 2, 200); // perhaps referred to by the broken manifest
    const std::string broken = f.ollama("manifests/reg/lib/broken/1b");
    f.text(broken, R"({"layers":[{"size":200}]})");

    const auto result = engineFor(f).deleteModels({modelAt(a, ModelSource::ollama)});
    EXPECT_EQ(result.deletedCount, 1);
    EXPECT_EQ(result.totalReclaimedBytes, 0);
    EXPECT_EQ(result.unreadableManifests, std::vector<std::string> {broken});
    EXPECT_TRUE(StoreFixture::exists(f.ollama("blobs/" + StoreFixture::blobName(1))));
    EXPECT_TRUE(StoreFixture::exists(f.ollama("blobs/" + StoreFixture::blobName(2))));
}

TEST(ModelDeletionTest, OrphanCleanupRemovesOnlySettledBlobFiles)
{
    StoreFixture f;
    f.ollamaModel("reg/lib/a/1b", {{1, 100}});
    const auto blob = [&](const std::string& name) { return f.ollama("blobs/" + name); };
    const std::string orphan = StoreFixture::blobName(5);
    f.writeBlob(f.ollama(""), 5, 500);
    f.file(blob(StoreFixture::blobName(6)), 600); // written just now: a pull in progress
    f.file(blob(StoreFixture::blobName(7) + "-partial"), 700);
    f.file(blob(".hidden"), 1);
    std::string upper = StoreFixture::blobName(8);
    std::transform(upper.begin() + 7, upper.end(), upper.begin() + 7, ::toupper);
    upper.replace(7, 1, "A");
    f.file(blob(upper), 1);
    f.file(f.path("precious"), 900);
    f.link(f.path("precious"), blob(StoreFixture::blobName(9)));
    std::filesystem::create_directories(blob(StoreFixture::blobName(10)));
    for (const auto& name : {StoreFixture::blobName(7) + "-partial", std::string(".hidden"), upper,
             StoreFixture::blobName(9), StoreFixture::blobName(10)})
        f.age(blob(name), 7200);

    auto engine = engineFor(f);
    const auto cleanup = engine.cleanOrphanedOllamaBlobs();
    EXPECT_EQ(cleanup.reclaimedBytes, 500);
    EXPECT_THAT(cleanup.unreadableManifests, IsEmpty());
    EXPECT_FALSE(StoreFixture::exists(blob(orphan)));
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(f.ollama("blobs")))
        left.push_back(e.path().filename().string());
    EXPECT_EQ(left.size(), 8u); // the model's two blobs and every other entry
    EXPECT_TRUE(StoreFixture::exists(f.path("precious")));

    // Without a manifests folder nothing can be known to be unreferenced.
    std::filesystem::remove_all(f.ollama("manifests"));
    EXPECT_EQ(engine.cleanOrphanedOllamaBlobs().reclaimedBytes, 0);
    EXPECT_TRUE(StoreFixture::exists(blob(StoreFixture::blobName(1))));
}

TEST(ModelDeletionTest, RefusesPathsOutsideTheirStoreOrOfTheWrongKind)
{
    StoreFixture f;
    f.file(f.path("notes.gguf"), 10);
    f.file(f.path("outside/precious.gguf"), 10);
    f.file(f.path(".lmstudio/models/real.gguf"), 64);
    f.link(f.path("outside/precious.gguf"), f.path(".lmstudio/models/alias.gguf"));
    f.link(f.path("outside"), f.path(".lmstudio/models/pub"));
    std::filesystem::create_directories(f.path(".lmstudio/models/dir.gguf"));
    f.file(f.hub("models--org--m/blobs/w"), 10);
    f.file(f.hub("models--file"), 10);
    const std::string manifestFolder = f.ollama("manifests/reg/lib/x");
    std::filesystem::create_directories(manifestFolder);

    const std::vector<InventoryModel> refused {
        modelAt(f.path("notes.gguf"), ModelSource::lmStudio, "outside"),
        modelAt(f.path(".lmstudio/models/pub/precious.gguf"), ModelSource::lmStudio, "linked parent"),
        modelAt(f.path(".lmstudio/models/dir.gguf"), ModelSource::lmStudio, "folder"),
        modelAt(f.path(".lmstudio/models/real.gguf"), ModelSource::huggingFace, "wrong store"),
        modelAt(f.hub("models--org--m/blobs"), ModelSource::huggingFace, "not a model folder"),
        modelAt(f.hub("models--file"), ModelSource::huggingFace, "hub file"),
        modelAt(f.path(".lmstudio/models"), ModelSource::lmStudio, "root"),
        modelAt(f.home, ModelSource::lmStudio, "home"),
        modelAt(manifestFolder, ModelSource::ollama, "manifest folder"),
        modelAt(f.path(".lmstudio/models/../../notes.gguf"), ModelSource::lmStudio, "dot-dot"),
    };
    std::vector<InventoryModel> all = refused;
    all.insert(all.begin() + 3, modelAt(f.path(".lmstudio/models/real.gguf"), ModelSource::lmStudio, "real", 9));
    const auto result = engineFor(f).deleteModels(all);

    EXPECT_EQ(result.deletedCount, 1);
    EXPECT_EQ(result.totalReclaimedBytes, 64); // what went, not the model's recorded size
    EXPECT_EQ(result.failedModelNames, names(refused));
    for (const char* kept : {"notes.gguf", "outside/precious.gguf", ".lmstudio/models/dir.gguf",
             ".cache/huggingface/hub/models--org--m/blobs/w"})
        EXPECT_TRUE(StoreFixture::exists(f.path(kept))) << kept;
    EXPECT_FALSE(StoreFixture::exists(f.path(".lmstudio/models/real.gguf")));
}

TEST(ModelDeletionTest, DeletingAHubModelRemovesItsLinksButNotWhatTheyPointTo)
{
    StoreFixture f;
    const std::string model = f.hub("models--org--m");
    f.file(model + "/blobs/w", 4096);
    f.link("../../blobs/w", model + "/snapshots/r/w.bin");
    f.file(f.path("datasets/train.bin"), 777);
    f.link(f.path("datasets/train.bin"), model + "/snapshots/r/train.bin");
    std::filesystem::create_directories(f.hub("models--empty"));

    const auto result = engineFor(f).deleteModels({modelAt(model, ModelSource::huggingFace, "org/m"),
        modelAt(f.hub("models--empty"), ModelSource::huggingFace, "e", 5)});
    const auto links
        = static_cast<std::int64_t>(std::string("../../blobs/w").size() + f.path("datasets/train.bin").size());
    EXPECT_EQ(result, (ModelDeletionResult {2, 4096 + links, {}}));
    EXPECT_FALSE(StoreFixture::exists(model));
    EXPECT_TRUE(StoreFixture::exists(f.path("datasets/train.bin")));
    EXPECT_DOUBLE_EQ((ModelDeletionResult {0, 1073741824, {}}).totalReclaimedGB(), 1.0);
}

TEST(ModelDeletionTest, ResultEncodesItsThreeFieldsAndReportsStoppedCleanupsOnlyWhenThereAreAny)
{
    const ModelDeletionResult plain {2, 300, {"a"}};
    EXPECT_EQ(Json(plain).dump(), R"({"deletedCount":2,"failedModelNames":["a"],"totalReclaimedBytes":300})");
    EXPECT_EQ(jsoncodec::decodeText<ModelDeletionResult>(Json(plain).dump()), plain);
    ModelDeletionResult stopped = plain;
    stopped.unreadableManifests = {"/m"};
    EXPECT_EQ(jsoncodec::decodeText<ModelDeletionResult>(Json(stopped).dump()), stopped);
    EXPECT_FALSE(jsoncodec::decodeText<ModelDeletionResult>(R"({"deletedCount":1,"totalReclaimedBytes":0})"));

    const InventoryModel model {
        "a/b", 1.5, Date::fromReferenceDate(10), ModelSource::huggingFace, "/p", true, false, std::nullopt};
    EXPECT_EQ(Json(model).dump(),
        R"({"isArchiveCandidate":true,"isDuplicate":false,"lastAccessed":10.0,)"
        R"("name":"a/b","path":"/p","sizeGB":1.5,"source":"Hugging Face"})");
    EXPECT_EQ(jsoncodec::decodeText<InventoryModel>(Json(model).dump()), model);
    EXPECT_FALSE(jsoncodec::decodeText<InventoryModel>(R"({"source":"Ollama "})"));
}

TEST(ModelInventoryLinkTest, LmStudioLinksAreListedWithTheirTargetCountedOnceAndDeletedAsLinks)
{
    StoreFixture f;
    f.file(f.path("Downloads/big.gguf"), 4096);
    f.link(f.path("Downloads/big.gguf"), f.path(".lmstudio/models/pub/imported/big.gguf"));
    f.link(f.path("Downloads/big.gguf"), f.path(".lmstudio/models/pub/again/big.gguf"));
    f.file(f.path(".cache/lm-studio/models/own/x.gguf"), 100);
    f.link(f.path(".cache/lm-studio/models/own/x.gguf"), f.path(".lmstudio/models/pub/linked/x.gguf"));
    f.link(f.path("Downloads"), f.path(".lmstudio/models/pub/folder.gguf"));
    f.link(f.path("Downloads/missing.gguf"), f.path(".lmstudio/models/pub/dangling.gguf"));

    auto engine = engineFor(f);
    const auto models = engine.scanModels();
    ASSERT_THAT(
        names(models), UnorderedElementsAre("own/x.gguf", "imported/big.gguf", "again/big.gguf", "linked/x.gguf"));
    // The file itself carries its size; of the two links to one file, one does.
    EXPECT_DOUBLE_EQ(named(models, "own/x.gguf").sizeGB, 100 / 1073741824.0);
    EXPECT_DOUBLE_EQ(named(models, "linked/x.gguf").sizeGB, 0);
    EXPECT_DOUBLE_EQ(
        named(models, "imported/big.gguf").sizeGB + named(models, "again/big.gguf").sizeGB, 4096 / 1073741824.0);

    const auto result = engine.deleteModels({named(models, "imported/big.gguf"), named(models, "linked/x.gguf")});
    EXPECT_EQ(result.deletedCount, 2);
    EXPECT_THAT(result.failedModelNames, IsEmpty());
    EXPECT_FALSE(StoreFixture::exists(f.path(".lmstudio/models/pub/imported/big.gguf")));
    EXPECT_FALSE(StoreFixture::exists(f.path(".lmstudio/models/pub/linked/x.gguf")));
    EXPECT_EQ(std::filesystem::file_size(f.path("Downloads/big.gguf")), 4096u);
    EXPECT_EQ(std::filesystem::file_size(f.path(".cache/lm-studio/models/own/x.gguf")), 100u);
}

TEST(ModelDeletionTest, AManifestsLinkOutOfTheStoreIsNeverFollowed)
{
    StoreFixture f;
    const std::string canary = f.path("elsewhere/registry/library/canary/latest");
    f.text(canary, R"({"layers":[]})");
    std::filesystem::create_directories(f.ollama("blobs"));
    f.link(f.path("elsewhere"), f.ollama("manifests"));

    // As a stale entry from before the link was put there would give it.
    const auto result = engineFor(f).deleteModels(
        {modelAt(f.ollama("manifests/registry/library/canary/latest"), ModelSource::ollama, "canary:latest")});
    EXPECT_EQ(result.deletedCount, 0);
    EXPECT_EQ(result.failedModelNames, std::vector<std::string> {"canary:latest"});
    EXPECT_TRUE(StoreFixture::exists(canary));

    // The store root itself may be a link, to a store on another disk.
    f.roots.ollamaModels = {f.path("linked-store")};
    const std::string real = f.ollamaModel("reg/lib/a/1b", {{1, 100}}, f.path("real-store"));
    f.link(f.path("real-store"), f.path("linked-store"));
    const auto viaLinkedRoot
        = engineFor(f).deleteModels({modelAt(f.path("linked-store/manifests/reg/lib/a/1b"), ModelSource::ollama)});
    EXPECT_EQ(viaLinkedRoot.deletedCount, 1);
    EXPECT_FALSE(StoreFixture::exists(real));
}

TEST(ModelDeletionTest, ABindMountInsideAHubModelIsLeftWithEverythingUnderIt)
{
    StoreFixture f;
    const std::string model = f.hub("models--org--m");
    f.file(model + "/blobs/w", 4096);
    f.file(f.path("datasets/canary"), 77);
    std::filesystem::create_directories(model + "/mounted");

    const int code = runInChild([&] {
        if (!bindMountPrivately(f.path("datasets"), model + "/mounted"))
            return 77;
        auto engine = engineFor(f);
        int failures = 0;
        const auto models = engine.scanModels();
        if (models.size() != 1 || std::llround(models[0].sizeGB * 1073741824.0) != 4096)
            failures |= 1; // the mounted folder's files are not the model's
        const auto result = engine.deleteModels({modelAt(model, ModelSource::huggingFace, "org/m")});
        if (result.deletedCount != 0 || result.failedModelNames != std::vector<std::string> {"org/m"}
            || result.totalReclaimedBytes != 4096)
            failures |= 2;
        if (!StoreFixture::exists(f.path("datasets/canary")) || StoreFixture::exists(model + "/blobs"))
            failures |= 4;
        ::umount2((model + "/mounted").c_str(), MNT_DETACH);
        return failures;
    });
    if (code == 77)
        GTEST_SKIP() << "bind mounts need root and a mount namespace";
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(StoreFixture::exists(f.path("datasets/canary")));
}
