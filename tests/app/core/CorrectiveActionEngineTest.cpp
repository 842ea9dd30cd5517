#include "core/CorrectiveActionEngine.h"
#include "core/Units.h"

#include "FakeHelper.h"
#include "PersonaTestSupport.h"
#include "engines/OllamaEngine.h"
#include "records/AssistanceTracker.h"
#include "shared/storage/LockedFolder.h"
#include "shared/storage/StoreFixture.h"
#include "storage/DeveloperCacheEngine.h"
#include "storage/ModelInventoryEngine.h"
#include "support/FakeOllama.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <set>

using platform::HelperOp;
using platform::HelperReply;
using platform::HelperRequest;
using Freeze = ActionType::FreezeProcess;

namespace {

OllamaModel loaded(const std::string& name, double footprintGB)
{
    OllamaModel m;
    m.name = name;
    m.isLoaded = true;
    m.estimatedRAMFootprintGB = footprintGB;
    return m;
}

InventoryModel onDisk(const std::string& path, double sizeGB, bool candidate)
{
    InventoryModel m;
    m.name = path;
    m.path = path;
    m.sizeGB = sizeGB;
    m.isArchiveCandidate = candidate;
    return m;
}

SystemMemoryState memory(double freeGB, double inactiveGB)
{
    SystemMemoryState s;
    s.totalGB = 64;
    s.freeGB = freeGB;
    s.inactiveGB = inactiveGB;
    return s;
}

std::vector<std::string> titles(const std::vector<ActionCard>& cards)
{
    std::vector<std::string> out;
    for (const auto& card : cards)
        out.push_back(card.title);
    return out;
}

// The engine over a fake helper, a fake model server, stores in a temporary home and its own
// assistance history; the freezer stands in for the persona engine and remembers what it was asked.
class CorrectiveActionEngineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_socket = m_dir.filePath("helper.sock").toStdString();
        ::setenv(platform::kHelperSocketEnvironment, m_socket.c_str(), 1);
        xpc = std::make_unique<XPCConnection>();
        xpc->setActionRecorder(nullptr);
        ollama = std::make_unique<OllamaEngine>(server.url());
        tracker = std::make_unique<AssistanceTracker>(m_dir.filePath("records"));
        inventory = std::make_unique<ModelInventoryEngine>(store.roots, [this] { return store.now; });
        caches = std::make_unique<DeveloperCacheEngine>(store.roots);
    }
    void TearDown() override { ::unsetenv(platform::kHelperSocketEnvironment); }

    CorrectiveActionEngine engine(bool withStores = true)
    {
        return CorrectiveActionEngine(
            *xpc, *ollama, withStores ? inventory.get() : nullptr, withStores ? caches.get() : nullptr,
            [this](std::int32_t pid, const std::string& name,
                std::optional<std::uint64_t> startTicks) -> XPCConnection::Result<void> {
                frozen.push_back(Freeze {pid, name, startTicks});
                if (freezeError)
                    return *freezeError;
                return {};
            },
            tracker.get());
    }

    std::vector<std::string> recordedTitles() const
    {
        std::vector<std::string> out;
        for (const auto& e : tracker->fetchEvents(AssistanceCategory::all, 100))
            out.push_back(e.title);
        return out;
    }
    std::string lastDetail() const { return tracker->fetchEvents(AssistanceCategory::all, 1).at(0).detail; }

    // An LM Studio model file of the given size, last used `daysAgo` days ago.
    std::string lmModel(const std::string& name, double gigabytes, double daysAgo)
    {
        const std::string path = store.path(".lmstudio/models/pub/" + name + ".gguf");
        store.file(path, static_cast<std::size_t>(gigabytes * kBytesPerGB));
        store.age(path, daysAgo * 86400);
        return path;
    }

    QTemporaryDir m_dir;
    std::string m_socket;
    FakeOllama server;
    StoreFixture store;
    std::unique_ptr<XPCConnection> xpc;
    std::unique_ptr<OllamaEngine> ollama;
    std::unique_ptr<AssistanceTracker> tracker;
    std::unique_ptr<ModelInventoryEngine> inventory;
    std::unique_ptr<DeveloperCacheEngine> caches;
    std::vector<Freeze> frozen;
    std::optional<platform::DomainError> freezeError;
    const std::vector<InventoryModel> noCandidates {onDisk("/models/recent", 50, false)};
};

} // namespace

TEST_F(CorrectiveActionEngineTest, MemoryCardsAtAndJustBeyondTheirThresholds)
{
    auto e = engine(false);
    const std::vector<OllamaModel> two {loaded("llama3:8b", 4.54), loaded("qwen2:7b", 5.0)};
    auto cards = e.generateActionCards(memory(3.9, 4.0), two, noCandidates);
    ASSERT_EQ(titles(cards),
        (std::vector<std::string> {"Ollama holding 4.5GB", "Ollama holding 5.0GB", "Clear loaded model KV cache"}));
    EXPECT_EQ(cards[0].description, "Unload llama3:8b to free up memory immediately.");
    EXPECT_EQ(cards[0].estimatedImpact, "~4.5GB freed");
    EXPECT_EQ(cards[0].action, ActionType(ActionType::UnloadOllamaModel {"llama3:8b"}));
    EXPECT_EQ(cards[0].urgency, Urgency::critical);
    EXPECT_EQ(cards[2].description,
        "Resetting context unloads llama3:8b, qwen2:7b, which frees active model memory overhead.");
    EXPECT_EQ(cards[2].estimatedImpact, "~9.5GB optimized"); // what the two models hold, no invented range
    EXPECT_EQ(cards[2].urgency, Urgency::warning);

    EXPECT_EQ(titles(e.generateActionCards(memory(4.0, 4.0), two, noCandidates)),
        (std::vector<std::string> {"Clear loaded model KV cache"}));
    // No model loaded: neither unload nor cache card, however little headroom is left.
    EXPECT_TRUE(e.generateActionCards(memory(0.5, 0.5), {}, noCandidates).empty());

    EXPECT_TRUE(e.generateActionCards(memory(20, 8.0), {}, noCandidates).empty());
    cards = e.generateActionCards(memory(20, 8.06), {}, noCandidates);
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].title, "Reclaimable memory is high (8.1GB)");
    EXPECT_EQ(cards[0].description, "Flush inactive memory pages back to the system.");
    EXPECT_EQ(cards[0].estimatedImpact, "~8.1GB freed");
    EXPECT_EQ(cards[0].urgency, Urgency::info);
    EXPECT_NE(cards[0].id, e.generateActionCards(memory(20, 8.06), {}, noCandidates)[0].id);
}

// Flushing memory needs the helper's root. Where the helper does not act for this copy the card is still
// offered (the memory is there), and says why its action cannot run before anyone presses it.
TEST_F(CorrectiveActionEngineTest, ACardWhoseActionNeedsTheHelperSaysWhyItCannotRunWithoutIt)
{
    auto e = engine(false);
    const auto reasons = [&] {
        std::vector<std::optional<std::string>> out;
        for (const auto& card : e.generateActionCards(memory(20, 11.4), {loaded("llama3", 4)}, noCandidates))
            out.push_back(card.unavailableReason);
        return out;
    };
    // Until the application has looked, the helper counts as there.
    EXPECT_EQ(reasons(), (std::vector<std::optional<std::string>> {std::nullopt, std::nullopt}));

    e.setHelperAccess(HelperAccess::notInstalled);
    const auto cards = e.generateActionCards(memory(20, 11.4), {loaded("llama3", 4)}, noCandidates);
    ASSERT_EQ(titles(cards),
        (std::vector<std::string> {"Clear loaded model KV cache", "Reclaimable memory is high (11.4GB)"}));
    EXPECT_EQ(cards[0].unavailableReason, std::nullopt); // the model server needs no helper
    EXPECT_EQ(cards[1].unavailableReason, "Needs the Quorvane Pro helper, which is not installed on this computer.");

    std::set<std::string> distinct;
    for (const auto access :
        {HelperAccess::notInstalledProgram, HelperAccess::programReplaced, HelperAccess::programRemoved}) {
        e.setHelperAccess(access);
        const auto why = reasons().at(1);
        ASSERT_TRUE(why);
        EXPECT_TRUE(why->starts_with("Needs the Quorvane Pro helper, which ")) << *why;
        distinct.insert(*why);
    }
    EXPECT_EQ(distinct.size(), 3u);
    e.setHelperAccess(HelperAccess::available);
    EXPECT_EQ(reasons(), (std::vector<std::optional<std::string>> {std::nullopt, std::nullopt}));

    EXPECT_TRUE(CorrectiveActionEngine::needsHelper(Freeze {12, "cc1plus"}));
    EXPECT_TRUE(CorrectiveActionEngine::needsHelper(ActionType::FlushInactiveMemory {}));
    EXPECT_FALSE(CorrectiveActionEngine::needsHelper(ActionType::CleanDeveloperCaches {5}));
}

TEST_F(CorrectiveActionEngineTest, UnusedModelsCardFromTenGigabytesAndOnlyTheShownPaths)
{
    auto e = engine();
    const std::vector<InventoryModel> ten {
        onDisk("/m/a", 4.0, true), onDisk("/m/b", 6.0, true), onDisk("/m/recent", 30, false)};
    const auto cards = e.generateActionCards(memory(30, 1), {}, ten);
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].title, "Reclaim 10.0GB in Unused Models");
    EXPECT_EQ(cards[0].description, "2 models haven't been used in > 30 days. Clean to free disk space.");
    EXPECT_EQ(cards[0].estimatedImpact, "~10.0GB freed");
    const auto* archive = cards[0].action.as<ActionType::ArchiveModel>();
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->path, "archive_all");
    EXPECT_EQ(archive->name, "2 models");
    EXPECT_EQ(archive->paths, (std::vector<std::string> {"/m/a", "/m/b"}));

    EXPECT_TRUE(
        e.generateActionCards(memory(30, 1), {}, {onDisk("/m/a", 4.0, true), onDisk("/m/b", 5.99, true)}).empty());

    // Given models without a candidate: no card, and the disk (which holds 12 GB of old models) is
    // not scanned. Given nothing: the engine scans and finds them.
    lmModel("old-a", 6, 40);
    lmModel("old-b", 6, 40);
    EXPECT_TRUE(e.generateActionCards(memory(30, 1), {}, noCandidates).empty());
    EXPECT_EQ(titles(e.generateActionCards(memory(30, 1), {}, {})),
        (std::vector<std::string> {"Reclaim 12.0GB in Unused Models"}));
}

TEST_F(CorrectiveActionEngineTest, DeveloperCachesCardFromFiveSafeGigabytes)
{
    auto e = engine();
    store.file(store.path(".npm/_cacache/index"), static_cast<std::size_t>(3 * kBytesPerGB));
    store.file(store.path(".cache/pip/wheels"), static_cast<std::size_t>(2 * kBytesPerGB) - 1);
    store.file(store.hub("models--big/blob"), static_cast<std::size_t>(40 * kBytesPerGB)); // "Review & Confirm"
    auto now = CorrectiveActionEngine::Clock::now();
    e.setClock([&now] { return now; });
    EXPECT_TRUE(e.generateActionCards(memory(30, 1), {}, noCandidates).empty());

    store.file(store.path(".cache/pip/wheels"), static_cast<std::size_t>(2 * kBytesPerGB));
    now += CorrectiveActionEngine::kRescanInterval;
    const auto cards = e.generateActionCards(memory(30, 1), {}, noCandidates);
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].title, "Reclaim 5.0GB Developer Caches");
    EXPECT_EQ(cards[0].estimatedImpact, "~5.0GB freed");
    EXPECT_EQ(cards[0].action, ActionType(ActionType::CleanDeveloperCaches {5.0}));
}

TEST_F(CorrectiveActionEngineTest, CardsReuseTheLastScanForAMinuteOrUntilAStoreChanges)
{
    auto e = engine();
    auto now = CorrectiveActionEngine::Clock::now();
    e.setClock([&now] { return now; });
    const std::string a = lmModel("a", 6, 40);
    lmModel("b", 6, 40);
    store.file(store.path(".npm/_cacache/index"), static_cast<std::size_t>(6 * kBytesPerGB));
    const std::vector<std::string> before {"Reclaim 12.0GB in Unused Models", "Reclaim 6.0GB Developer Caches"};
    EXPECT_EQ(titles(e.generateActionCards(memory(30, 1), {}, {})), before);

    // Each tick brings new memory figures; the disk is not walked again for them.
    lmModel("c", 6, 40);
    store.file(store.path(".cache/pip/wheels"), static_cast<std::size_t>(kBytesPerGB));
    now += CorrectiveActionEngine::kRescanInterval - std::chrono::seconds(1);
    EXPECT_EQ(titles(e.generateActionCards(memory(30, 1), {}, {})), before);
    EXPECT_EQ(
        titles(e.generateActionCards(memory(3, 1), {loaded("llama3:8b", 4.7)}, {})).front(), "Ollama holding 4.7GB");
    now += std::chrono::seconds(1);
    EXPECT_EQ(titles(e.generateActionCards(memory(30, 1), {}, {})),
        (std::vector<std::string> {"Reclaim 18.0GB in Unused Models", "Reclaim 7.0GB Developer Caches"}));

    // A deletion or purge by the storage engines is seen at once.
    for (const auto& model : inventory->scanModels()) {
        if (model.path == a)
            inventory->deleteModels({model});
    }
    (void)caches->purgeCache(store.path(".cache/pip"));
    EXPECT_EQ(titles(e.generateActionCards(memory(30, 1), {}, {})), before);
}

TEST_F(CorrectiveActionEngineTest, CardsAreOrderedByUrgencyThenByRule)
{
    auto e = engine();
    store.file(store.path(".npm/_cacache/index"), static_cast<std::size_t>(6 * kBytesPerGB));
    const std::vector<InventoryModel> old {onDisk("/m/a", 11, true)};
    // Headroom 7.5 GB with 8.5 GB of it inactive: every rule fires.
    const auto cards = e.generateActionCards(memory(-1.0, 8.5), {loaded("llama3:8b", 4.7)}, old);
    EXPECT_EQ(titles(cards),
        (std::vector<std::string> {"Ollama holding 4.7GB", "Clear loaded model KV cache",
            "Reclaimable memory is high (8.5GB)", "Reclaim 11.0GB in Unused Models",
            "Reclaim 6.0GB Developer Caches"}));
}

TEST_F(CorrectiveActionEngineTest, FlushReportsTheHelpersRealOutcome)
{
    auto e = engine();
    std::atomic<bool> refuse {false};
    FakeHelper helper(m_socket, [&](const HelperRequest& r) -> std::optional<HelperReply> {
        if (r.op != HelperOp::purgeMemory || refuse)
            return platform::failureReply(r.id, {"QVHelperError", 403, "Unauthorized caller"});
        return platform::successReply(r.id);
    });
    EXPECT_EQ(e.executeAction(ActionType::FlushInactiveMemory {}),
        (ActionResult {true, "Successfully flushed inactive memory page tables."}));
    EXPECT_EQ(recordedTitles(), (std::vector<std::string> {"Inactive RAM Purged"}));

    refuse = true;
    const auto result = e.executeAction(ActionType::FlushInactiveMemory {});
    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.message, "Could not flush inactive memory: Unauthorized caller");
    EXPECT_EQ(recordedTitles().size(), 1u);
}

TEST_F(CorrectiveActionEngineTest, SuspendGoesThroughTheFreezerAndReportsItsError)
{
    auto e = engine();
    FakeHelper helper(m_socket, [](const HelperRequest& r) { return platform::successReply(r.id); });
    EXPECT_EQ(
        e.executeAction(Freeze {4242, "node"}), (ActionResult {true, "Frozen process node (PID 4242) successfully."}));
    EXPECT_EQ(frozen, (std::vector<Freeze> {{4242, "node"}}));
    EXPECT_EQ(helper.accepted(), 0); // never around the freezer's bookkeeping
    EXPECT_EQ(lastDetail(), "Sent SIGSTOP to node (PID 4242) to halt resource drain");

    freezeError = platform::DomainError {"QVXPCError", -2, "XPC call timed out"};
    const auto result = e.executeAction(Freeze {7, "java"});
    EXPECT_EQ(result, (ActionResult {false, "Could not suspend java (PID 7): XPC call timed out"}));
    EXPECT_EQ(recordedTitles(), (std::vector<std::string> {"Process Suspended"}));
}

TEST_F(CorrectiveActionEngineTest, ModelServerActionsTellWhatTheServerDid)
{
    auto e = engine();
    server.setPs(200, R"({"models":[{"name":"llama3:8b","model":"llama3:8b","size":1,"digest":"a"},
        {"name":"qwen2:7b","model":"qwen2:7b","size":1,"digest":"b"}]})");
    EXPECT_EQ(e.executeAction(ActionType::UnloadOllamaModel {"llama3:8b"}),
        (ActionResult {true, "Unloaded model llama3:8b from memory."}));
    // The server refuses a request that names no model: the cache goes model by model, by name.
    EXPECT_EQ(e.executeAction(ActionType::ClearOllamaKVCache {}),
        (ActionResult {true, "Cleared model KV cache: unloaded 2 models."}));
    const auto bodies = server.generated();
    ASSERT_EQ(bodies.size(), 3u);
    EXPECT_EQ(Json::parse(bodies[1]), (Json {{"model", "llama3:8b"}, {"keep_alive", 0}}));
    EXPECT_EQ(Json::parse(bodies[2]), (Json {{"model", "qwen2:7b"}, {"keep_alive", 0}}));
    EXPECT_EQ(server.generateContentType, "application/json");
    EXPECT_EQ(recordedTitles(), (std::vector<std::string> {"Model KV Cache Cleared", "Model Unloaded"}));

    auto result = e.executeAction(ActionType::UnloadOllamaModel {"gone:1b"});
    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.message.rfind("Could not unload model gone:1b: ", 0), 0u);
    server.generateStatus = 500;
    result = e.executeAction(ActionType::ClearOllamaKVCache {});
    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.message.rfind("Cleared the KV cache of 0 models; could not unload llama3:8b (", 0), 0u);
    EXPECT_EQ(recordedTitles().size(), 2u);

    server.setPs(200, R"({"models":[]})");
    EXPECT_EQ(e.executeAction(ActionType::ClearOllamaKVCache {}),
        (ActionResult {true, "No model is loaded: there is no KV cache to clear."}));
    server.stop();
    result = e.executeAction(ActionType::ClearOllamaKVCache {});
    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.message.rfind("Could not clear the model KV cache: ", 0), 0u);
    EXPECT_EQ(recordedTitles().size(), 2u);
}

TEST_F(CorrectiveActionEngineTest, ArchiveDeletesOnlyTheShownModelsThatAreStillUnused)
{
    auto e = engine();
    const std::string a = lmModel("a", 6, 40);
    const std::string b = lmModel("b", 6, 40);
    const std::string usedSince = lmModel("used-since", 6, 40);
    const auto cards = e.generateActionCards(memory(30, 1), {}, {});
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].title, "Reclaim 18.0GB in Unused Models");

    // After the card was shown: one model is used again and an old one appears.
    store.age(usedSince, 0);
    const std::string appeared = lmModel("appeared", 6, 40);
    const auto result = e.executeAction(cards[0].action);
    EXPECT_EQ(result, (ActionResult {true, "Reclaimed 12.0 GB by cleaning 2 model(s)."}));
    EXPECT_FALSE(StoreFixture::exists(a));
    EXPECT_FALSE(StoreFixture::exists(b));
    EXPECT_TRUE(StoreFixture::exists(usedSince));
    EXPECT_TRUE(StoreFixture::exists(appeared));
    const auto event = tracker->fetchEvents(AssistanceCategory::all, 1).at(0);
    EXPECT_EQ(event.detail, "Archived 2 unused model(s)");
    EXPECT_EQ(event.impactValue, "+12.0 GB");
    EXPECT_DOUBLE_EQ(tracker->getMetrics().totalStorageReclaimedGB, 12.0);

    // A path no scanned model has: an empty deletion, still recorded.
    EXPECT_EQ(e.executeAction(ActionType::ArchiveModel {"/nowhere", "x", 3, {}}),
        (ActionResult {true, "Reclaimed 0.0 GB by cleaning 0 model(s)."}));
    EXPECT_EQ(lastDetail(), "Archived 0 unused model(s)");

    auto bare = engine(false);
    EXPECT_FALSE(bare.executeAction(cards[0].action).success);
    EXPECT_FALSE(bare.executeAction(ActionType::CleanDeveloperCaches {5}).success);
    EXPECT_TRUE(StoreFixture::exists(appeared));
}

TEST_F(CorrectiveActionEngineTest, CacheCleaningNamesWhatItCleared)
{
    auto e = engine();
    store.file(store.path(".npm/_cacache/index"), 3 << 20);
    store.file(store.path(".cache/pip/wheels"), 2 << 20);
    auto result = e.executeAction(ActionType::CleanDeveloperCaches {0});
    EXPECT_EQ(result, (ActionResult {true, "Reclaimed 5.0 MB in developer caches."}));
    EXPECT_EQ(lastDetail(), "Cleared npm Cache, Python pip Cache");
    EXPECT_FALSE(StoreFixture::exists(store.path(".npm/_cacache/index")));

    store.file(store.path(".npm/_cacache/index"), 4 << 20);
    store.file(store.path(".cache/pip/wheels"), 3 << 20);
    store.file(store.path(".cache/uv/wheels"), 2 << 20);
    EXPECT_TRUE(e.executeAction(ActionType::CleanDeveloperCaches {0}).success);
    EXPECT_EQ(lastDetail(), "Cleared npm Cache, Python pip Cache +1 more");
}

TEST_F(CorrectiveActionEngineTest, ACacheLeftInPartIsNeitherSuccessNorCleared)
{
    auto e = engine();
    store.file(store.path(".npm/_cacache/index"), 3 << 20);
    store.file(store.path(".cache/uv/wheels"), 1 << 20);
    store.file(store.path(".cache/uv/locked/keep"), 2 << 20);
    const LockedFolder lock(store.path(".cache/uv/locked"));
    ASSERT_TRUE(lock.locked());

    EXPECT_EQ(e.executeAction(ActionType::CleanDeveloperCaches {0}),
        (ActionResult {false, "Reclaimed 4.0 MB in developer caches; partly left: Python uv Cache."}));
    EXPECT_EQ(lastDetail(), "Cleared npm Cache; partly left: Python uv Cache");
    EXPECT_TRUE(StoreFixture::exists(store.path(".cache/uv/locked/keep")));

    // Only what cannot go is left: nothing freed, nothing recorded.
    EXPECT_FALSE(e.executeAction(ActionType::CleanDeveloperCaches {0}).success);
    EXPECT_EQ(recordedTitles().size(), 1u);
}

class PersonaBackedActionTest : public personatest::PersonaEngineFixture
{
};

TEST_F(PersonaBackedActionTest, ProcessSuspendedFromACardIsRecordedAndResumedWithTheOthers)
{
    auto personas = makeEngine();
    CorrectiveActionEngine actions(m_xpc, m_ollama, nullptr, nullptr, *personas, &m_tracker);
    EXPECT_TRUE(actions.executeAction(Freeze {4321, "node"}).success);
    ASSERT_EQ(personas->frozenProcesses().count(4321), 1u);
    EXPECT_EQ(personas->frozenProcesses().at(4321).name, "node");

    personas->resumeAllFrozenProcesses();
    EXPECT_EQ(sentSignals(), (std::vector<std::pair<std::int32_t, std::int32_t>> {{4321, SIGSTOP}, {4321, SIGCONT}}));
    EXPECT_TRUE(personas->frozenProcesses().empty());
}

// A card names the process it was made for: once that process has ended and its pid has passed to
// a later one, the card stops nothing.
TEST_F(PersonaBackedActionTest, ACardForAProcessThatHasSinceEndedStopsNothing)
{
    personatest::writeFakeProcess(procRoot(), 4321, 1, ::getuid(), 'S', 2000, "node");
    auto personas = makeEngine();
    CorrectiveActionEngine actions(m_xpc, m_ollama, nullptr, nullptr, *personas, &m_tracker);

    EXPECT_FALSE(actions.executeAction(Freeze {4321, "node", 1000}).success);
    EXPECT_TRUE(sentSignals().empty());
    EXPECT_TRUE(actions.executeAction(Freeze {4321, "node", 2000}).success);
    EXPECT_EQ(sentSignals(), (std::vector<std::pair<std::int32_t, std::int32_t>> {{4321, SIGSTOP}}));
}

TEST(ActionTypeJsonTest, OneCaseKeyExactly)
{
    const ActionType freeze(Freeze {12, "cc1plus"});
    EXPECT_EQ(Json(freeze), Json::parse(R"({"freezeProcess":{"pid":12,"name":"cc1plus"}})"));
    EXPECT_EQ(Json(ActionType(ActionType::ClearOllamaKVCache {})), Json::parse(R"({"clearOllamaKVCache":{}})"));
    EXPECT_EQ(jsoncodec::decodeText<ActionType>(Json(freeze).dump()), freeze);
    const ActionType chosen(Freeze {12, "cc1plus", 4096});
    EXPECT_EQ(Json(chosen), Json::parse(R"({"freezeProcess":{"pid":12,"name":"cc1plus","startTicks":4096}})"));
    EXPECT_EQ(jsoncodec::decodeText<ActionType>(Json(chosen).dump()), chosen);

    ActionType decoded;
    try {
        Json::parse(R"({"freezeProcess":{"pid":1,"name":"a"},"clearOllamaKVCache":{}})").get_to(decoded);
        ADD_FAILURE();
    } catch (const JsonDecodeError& e) {
        EXPECT_STREQ(e.what(), "Invalid number of keys found, expected one.");
    }
    EXPECT_FALSE(jsoncodec::decodeText<ActionType>(R"({"somethingElse":{}})"));

    const ActionCard card {Uuid::random(), "t", "d", ActionType::ArchiveModel {"archive_all", "2 models", 12.5, {"/a"}},
        "~12.5GB freed", Urgency::warning};
    EXPECT_EQ(Json(card)["urgency"], "warning");
    EXPECT_FALSE(Json(card).contains("unavailableReason"));
    EXPECT_EQ(jsoncodec::decodeText<ActionCard>(Json(card).dump()), card);
    ActionCard unavailable = card;
    unavailable.unavailableReason = "Needs the helper.";
    EXPECT_EQ(Json(unavailable)["unavailableReason"], "Needs the helper.");
    EXPECT_EQ(jsoncodec::decodeText<ActionCard>(Json(unavailable).dump()), unavailable);
}

TEST_F(CorrectiveActionEngineTest, TheUnusedModelsCardCountsABlobThatTwoTagsShareOnce)
{
    auto e = engine();
    const auto unusedModel = [this](const std::string& relative, int blob, double gigabytes) {
        store.age(store.ollamaModel("registry.ollama.ai/library/" + relative,
                      {{blob, static_cast<std::int64_t>(gigabytes * kBytesPerGB)}}),
            40 * 86400);
        store.age(store.ollama("blobs/" + StoreFixture::blobName(blob)), 40 * 86400);
    };
    unusedModel("mistral/latest", 1, 6);
    unusedModel("mistral/7b", 1, 6);
    unusedModel("phi/3b", 2, 5);
    auto cards = e.generateActionCards(memory(30, 1), {}, {});
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].title, "Reclaim 11.0GB in Unused Models");
    EXPECT_EQ(cards[0].estimatedImpact, "~11.0GB freed");
    EXPECT_EQ(e.executeAction(cards[0].action), (ActionResult {true, "Reclaimed 11.0 GB by cleaning 3 model(s)."}));

    // Two tags of one 6 GB blob free 6 GB: below the card's threshold.
    unusedModel("mistral/latest", 3, 6);
    unusedModel("mistral/7b", 3, 6);
    cards = e.generateActionCards(memory(30, 1), {}, {});
    EXPECT_TRUE(cards.empty());
}
