#include "engines/OllamaEngine.h"

#include "records/PrivacyMetricsEngine.h"
#include "support/FakeOllama.h"

#include <gtest/gtest.h>

#include <httplib.h>

#include <atomic>
#include <thread>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// A loopback port with nobody listening.
std::string closedPortURL()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
}

// Polls the condition for up to three seconds, so a loaded test machine does not fail a timing test.
template<typename Condition> bool waitUntil(Condition condition)
{
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

constexpr double kGibibyte = 1073741824.0;

const char* twoLoaded = R"({"models":[
  {"name":"llama3.1:8b","model":"llama3.1:8b","size":6654289920,"digest":"46e0c10c039e","details":{"family":"llama"},
   "expires_at":"2024-06-04T14:38:31-07:00","size_vram":5033164800},
  {"name":"nomic-embed-text:latest","model":"nomic-embed-text:latest","size":1073741824,"digest":"0a109f422b47"}]})";

const char* threeInstalled = R"({"models":[
  {"name":"llama3.1:8b","modified_at":"2024-05-01T10:00:00Z","size":4920753328,"digest":"46e0c10c039e"},
  {"name":"qwen2.5-coder:7b","modified_at":"2024-05-02T10:00:00Z","size":4683087332,"digest":"2b0496514337"},
  {"name":"nomic-embed-text:latest","size":274302450,"digest":"0a109f422b47"}]})";

} // namespace

TEST(OllamaEngineRunning, StatusDecidesWhetherTheServerRuns)
{
    // The network page calls the server active only when its last request was answered.
    const auto answered = [] { return PrivacyMetricsEngine::shared().modelServerAnswered(); };
    FakeOllama server;
    OllamaEngine engine(server.url());
    EXPECT_TRUE(engine.isRunning());
    EXPECT_EQ(answered(), true);
    server.rootStatus = 304;
    EXPECT_TRUE(engine.isRunning());
    server.rootStatus = 404;
    EXPECT_FALSE(engine.isRunning());
    EXPECT_EQ(answered(), false);
    server.rootStatus = 500;
    EXPECT_FALSE(engine.isRunning());
    server.rootStatus = 200;
    EXPECT_TRUE(engine.isRunning());
    EXPECT_FALSE(OllamaEngine(closedPortURL()).isRunning());
    EXPECT_EQ(answered(), false);
    EXPECT_FALSE(OllamaEngine("not a url").isRunning());
}

TEST(OllamaEngineLoaded, MapsSizesAndKeepsServerOrder)
{
    FakeOllama server;
    server.setPs(200, twoLoaded);
    OllamaEngine engine(server.url());
    const Date before = Date::now();
    const auto result = engine.loadedModels();
    ASSERT_TRUE(result.ok());
    ASSERT_EQ(result.models.size(), 2u);
    const auto& llama = result.models[0];
    EXPECT_EQ(llama.id, "46e0c10c039e");
    EXPECT_EQ(llama.name, "llama3.1:8b");
    EXPECT_DOUBLE_EQ(llama.sizeGB, 5033164800 / kGibibyte); // size_vram
    EXPECT_DOUBLE_EQ(llama.estimatedRAMFootprintGB, 6654289920 / kGibibyte);
    EXPECT_TRUE(llama.isLoaded);
    ASSERT_TRUE(llama.lastUsed);
    EXPECT_GE(*llama.lastUsed, before);
    const auto& embed = result.models[1];
    EXPECT_DOUBLE_EQ(embed.sizeGB, 1.0); // no size_vram: size
    EXPECT_DOUBLE_EQ(embed.estimatedRAMFootprintGB, 1.0);
    EXPECT_EQ(engine.cachedLoadedModels(), result.models);
}

TEST(OllamaEngineLoaded, FailuresKeepTheCacheAndSayWhy)
{
    FakeOllama server;
    server.setPs(200, twoLoaded);
    OllamaEngine engine(server.url());
    ASSERT_TRUE(engine.loadedModels().ok());

    server.setPs(204, "");
    auto r = engine.loadedModels();
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error->kind, OllamaError::Kind::decoding);

    server.setPs(300, twoLoaded);
    r = engine.loadedModels();
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error->kind, OllamaError::Kind::badServerResponse);

    server.setPs(503, R"({"error":"overloaded"})");
    EXPECT_EQ(engine.loadedModels().error->kind, OllamaError::Kind::badServerResponse);

    for (const char* body : {"{\"models\":[", R"({"models":[{"name":"x","size":1}]})",
             R"({"models":[{"name":"x","digest":"d","size":"big"}]})",
             R"({"models":[{"name":"x","digest":"d","size":1.5}]})", R"({"models":{}})", "[]"}) {
        server.setPs(200, body);
        r = engine.loadedModels();
        ASSERT_FALSE(r.ok()) << body;
        EXPECT_EQ(r.error->kind, OllamaError::Kind::decoding) << body;
    }
    EXPECT_EQ(engine.cachedLoadedModels().size(), 2u);

    server.stop();
    r = engine.loadedModels();
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error->kind, OllamaError::Kind::transport);
    EXPECT_EQ(engine.cachedLoadedModels().size(), 2u);
}

TEST(OllamaEngineLoaded, MissingOrEmptyListEmptiesTheCache)
{
    FakeOllama server;
    OllamaEngine engine(server.url());
    for (const char* body : {R"({"models":[]})", R"({})", R"({"models":null,"other":1})"}) {
        server.setPs(200, twoLoaded);
        ASSERT_EQ(engine.loadedModels().models.size(), 2u);
        server.setPs(200, body);
        const auto r = engine.loadedModels();
        ASSERT_TRUE(r.ok()) << body;
        EXPECT_TRUE(r.models.empty());
        EXPECT_TRUE(engine.cachedLoadedModels().empty());
    }
    EXPECT_TRUE(OllamaEngine("ftp://127.0.0.1").loadedModels().ok());
}

TEST(OllamaEngineInstalled, MarksLoadedByDigest)
{
    FakeOllama server;
    server.setTags(200, threeInstalled);
    server.setPs(200, twoLoaded);
    OllamaEngine engine(server.url());
    const auto r = engine.installedModels();
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.models.size(), 3u);
    EXPECT_EQ(r.models[0].name, "llama3.1:8b");
    EXPECT_TRUE(r.models[0].isLoaded);
    EXPECT_TRUE(r.models[0].lastUsed);
    EXPECT_DOUBLE_EQ(r.models[0].sizeGB, 4920753328 / kGibibyte); // the installed size, not size_vram
    EXPECT_DOUBLE_EQ(r.models[0].estimatedRAMFootprintGB, r.models[0].sizeGB);
    EXPECT_FALSE(r.models[1].isLoaded);
    EXPECT_FALSE(r.models[1].lastUsed);
    EXPECT_TRUE(r.models[2].isLoaded);
    EXPECT_EQ(engine.cachedLoadedModels().size(), 2u);
}

TEST(OllamaEngineInstalled, FailingPsMeansNothingLoaded)
{
    FakeOllama server;
    server.setTags(200, threeInstalled);
    server.setPs(500, "");
    OllamaEngine engine(server.url());
    const auto r = engine.installedModels();
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.models.size(), 3u);
    for (const auto& m : r.models) {
        EXPECT_FALSE(m.isLoaded);
        EXPECT_FALSE(m.lastUsed);
    }
    server.setTags(404, "");
    EXPECT_EQ(engine.installedModels().error->kind, OllamaError::Kind::badServerResponse);
    server.setTags(200, "not json");
    EXPECT_EQ(engine.installedModels().error->kind, OllamaError::Kind::decoding);
}

TEST(OllamaEngineUnload, SendsKeepAliveZeroAsANumberAndRefreshes)
{
    FakeOllama server;
    server.setPs(200, twoLoaded);
    OllamaEngine engine(server.url());
    EXPECT_FALSE(engine.unloadModel("llama3.1:8b"));
    const auto bodies = server.generated();
    ASSERT_EQ(bodies.size(), 1u);
    const Json body = Json::parse(bodies[0]);
    EXPECT_EQ(body, (Json {{"model", "llama3.1:8b"}, {"keep_alive", 0}}));
    EXPECT_TRUE(body["keep_alive"].is_number_integer());
    EXPECT_EQ(server.generateContentType, "application/json");
    EXPECT_EQ(engine.cachedLoadedModels().size(), 2u); // refreshed after the unload

    server.generateStatus = 404;
    const auto error = engine.unloadModel("unknown");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->kind, OllamaError::Kind::badServerResponse);

    EXPECT_EQ(OllamaEngine(closedPortURL()).unloadModel("x")->kind, OllamaError::Kind::transport);
    EXPECT_FALSE(OllamaEngine("::bad::").unloadModel("x"));
}

TEST(OllamaEngineLedger, EveryRequestIsRecordedAsAnOwnNetworkCall)
{
    FakeOllama server;
    OllamaEngine engine(server.url());
    const auto calls = [&](const std::string& path) {
        int sum = 0;
        for (const auto& call : PrivacyMetricsEngine::shared().ownNetworkActivity()) {
            if (call.destination == server.url() + path)
                sum += call.callCount;
        }
        return sum;
    };
    const std::vector<std::string> paths {"/", "/api/ps", "/api/tags", "/api/generate"};
    std::vector<int> before;
    for (const auto& path : paths)
        before.push_back(calls(path));
    engine.isRunning();
    engine.loadedModels();
    engine.installedModels();
    server.stop();
    engine.unloadModel("llama3:8b"); // not answered, still made
    const std::vector<int> expected {1, 2, 1, 1};
    for (std::size_t i = 0; i < paths.size(); ++i)
        EXPECT_EQ(calls(paths[i]) - before[i], expected[i]) << paths[i];
}

TEST(OllamaEnginePolling, ReportsEveryCycleThenEmptyOnceWhenTheServerGoes)
{
    auto server = std::make_unique<FakeOllama>();
    server->setPs(200, twoLoaded);
    OllamaEngine engine(server->url(), 100ms);
    std::mutex mutex;
    std::vector<std::size_t> reports;
    engine.registerOnUpdate([&](const std::vector<OllamaModel>& models) {
        std::lock_guard lock(mutex);
        reports.push_back(models.size());
    });
    engine.startPolling();
    ASSERT_TRUE(waitUntil([&] {
        std::lock_guard lock(mutex);
        return reports.size() >= 2;
    }));
    {
        std::lock_guard lock(mutex);
        EXPECT_TRUE(std::all_of(reports.begin(), reports.end(), [](std::size_t n) { return n == 2; }));
        reports.clear();
    }
    server.reset();
    ASSERT_TRUE(waitUntil([&] {
        std::lock_guard lock(mutex);
        return std::count(reports.begin(), reports.end(), 0u) > 0;
    }));
    std::this_thread::sleep_for(400ms); // several more cycles without a server
    engine.stopPolling();
    std::lock_guard lock(mutex);
    EXPECT_EQ(reports, (std::vector<std::size_t> {0}));
}

TEST(OllamaEnginePolling, StopEndsDeliveryAndRestartKeepsOneLoop)
{
    FakeOllama server;
    OllamaEngine engine(server.url(), 10s);
    engine.stopPolling(); // nothing running: harmless
    std::atomic<int> calls = 0;
    engine.registerOnUpdate([&](const std::vector<OllamaModel>&) { ++calls; });
    engine.startPolling();
    engine.startPolling();
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(calls.load(), 1); // one immediate cycle of the one loop left
    engine.stopPolling();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(calls.load(), 1);
}
