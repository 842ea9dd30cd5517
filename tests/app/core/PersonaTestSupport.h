#pragma once

// What the persona engine's tests share: stand-ins for the desktop services and the model server,
// and a fixture that builds an engine over the recording helper client with a fake process snapshot.

#include "core/PersonaEngine.h"
#include "core/ProcessWatcher.h"
#include "core/XPCConnection.h"

#include "core/UserDefaults.h"
#include "engines/MemoryEngine.h"
#include "engines/OllamaEngine.h"
#include "records/AssistanceTracker.h"

#include "platform/desktop/SleepInhibitor.h"
#include "platform/desktop/UserNotifier.h"
#include "support/doubles/RecordingXPCConnection.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <csignal>
#include <fstream>
#include <mutex>
#include <thread>

namespace personatest {

using namespace std::chrono_literals;

class FakeInhibitor : public platform::SleepInhibitor
{
public:
    bool acquire() override
    {
        ++acquired;
        held = grant.load();
        return grant;
    }
    void release() override
    {
        ++released;
        held = false;
    }
    std::atomic<bool> grant {true};
    std::atomic<bool> held {false};
    std::atomic<int> acquired {0};
    std::atomic<int> released {0};
};

class FakeNotifier : public platform::UserNotifier
{
public:
    void post(const std::string& title, const std::string& body) override
    {
        std::lock_guard lock(m_mutex);
        m_posts.emplace_back(title, body);
    }
    std::vector<std::pair<std::string, std::string>> posts() const
    {
        std::lock_guard lock(m_mutex);
        return m_posts;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<std::string, std::string>> m_posts;
};

// The model server on a free loopback port: the loaded models, and each unload with the number of
// signals the helper client had been asked for when it arrived.
class FakeModelServer
{
public:
    explicit FakeModelServer(std::function<std::size_t()> signalsSoFar = {})
        : m_signalsSoFar(std::move(signalsSoFar))
    {
        m_server.Get("/api/ps", [this](const httplib::Request&, httplib::Response& res) {
            ++psRequests;
            std::this_thread::sleep_for(std::chrono::milliseconds(psDelayMs.load()));
            std::lock_guard lock(m_mutex);
            std::string body = R"({"models":[)";
            for (std::size_t i = 0; i < m_loaded.size(); ++i)
                body += std::string(i ? "," : "") + R"({"name":")" + m_loaded[i] + R"(","model":")" + m_loaded[i]
                    + R"(","size":1073741824,"digest":"d)" + std::to_string(i) + R"("})";
            res.set_content(body + "]}", "application/json");
        });
        m_server.Post("/api/generate", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(m_mutex);
            m_unloads.emplace_back(req.body, m_signalsSoFar ? m_signalsSoFar() : 0);
            res.set_content("{}", "application/json");
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::sleep_for(1ms);
    }
    ~FakeModelServer()
    {
        m_server.stop();
        m_thread.join();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    void setLoaded(std::vector<std::string> names)
    {
        std::lock_guard lock(m_mutex);
        m_loaded = std::move(names);
    }
    std::vector<std::pair<std::string, std::size_t>> unloads()
    {
        std::lock_guard lock(m_mutex);
        return m_unloads;
    }
    std::atomic<int> psDelayMs {0};
    std::atomic<int> psRequests {0};

private:
    std::function<std::size_t()> m_signalsSoFar;
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    std::mutex m_mutex;
    std::vector<std::string> m_loaded;
    std::vector<std::pair<std::string, std::size_t>> m_unloads;
};

inline RunningProcess proc(std::int32_t pid, std::string name, double cpu = 0, std::int64_t memoryMB = 0)
{
    return RunningProcess {pid, std::move(name), memoryMB, cpu, Date()};
}

// Writes /proc/<pid>/stat and status below root, enough for the process table to read the process.
inline void writeFakeProcess(const QString& root, int pid, int ppid, unsigned uid, char state = 'S',
    std::uint64_t startTicks = 1000, const std::string& comm = "worker")
{
    const QString dir = root + "/" + QString::number(pid);
    QDir().mkpath(dir);
    std::ofstream((dir + "/stat").toStdString())
        << pid << " (" << comm << ") " << state << " " << ppid << " " << pid << " " << pid
        << " 0 -1 4194304 100 0 0 0 10 5 0 0 20 0 1 0 " << startTicks << " 1000000 250 18446744073709551615\n";
    std::ofstream((dir + "/status").toStdString())
        << "Name:\t" << comm << "\nUid:\t" << uid << "\t" << uid << "\t" << uid << "\t" << uid << "\n";
}

// The rules on, and no model unloaded: nothing the tests do reaches a model server they did not start.
inline PersonaConfiguration testConfiguration()
{
    auto c = PersonaConfiguration::defaultConfiguration();
    c.autonomousModeEnabled = true;
    c.autoUnloadOllamaEnabled = false;
    return c;
}

class PersonaEngineFixture : public ::testing::Test
{
protected:
    PersonaEngineFixture()
        : m_defaults(m_dir.filePath("settings.conf"))
        , m_tracker(m_dir.path())
    {
        QDir().mkpath(m_dir.filePath("proc"));
    }

    QString procRoot() const { return m_procRoot.isEmpty() ? m_dir.filePath("proc") : m_procRoot; }
    QString stateFile() const { return m_dir.filePath("suspended.json"); }

    PersonaEngine::Options options()
    {
        PersonaEngine::Options o;
        o.stateFilePath = stateFile();
        o.userDefaults = &m_defaults;
        o.assistanceTracker = &m_tracker;
        o.sleepInhibitor = m_inhibitor;
        o.notifier = m_notifier;
        o.procRoot = procRoot().toStdString();
        o.session = m_session;
        o.sysRoot = m_dir.filePath("sys").toStdString();
        o.clock = [this] { return Date::fromReferenceDate(m_now.load()); };
        o.updatesPersonaTracker = false;
        return o;
    }

    static PersonaConfiguration config() { return testConfiguration(); }

    std::unique_ptr<PersonaEngine> makeEngine(
        PersonaConfiguration configuration = config(), XPCConnection* xpc = nullptr, OllamaEngine* ollama = nullptr)
    {
        auto engine = std::make_unique<PersonaEngine>(xpc ? *xpc : m_xpc, m_watcher, ollama ? *ollama : m_ollama,
            m_memory, configuration, SavedYouMetrics::fresh(), options());
        engine->setMockIsOnBattery(false);
        return engine;
    }

    void setProcesses(std::vector<RunningProcess> processes) { m_watcher.setMockProcesses(std::move(processes)); }

    // Signals asked of the helper, as (pid, signal).
    std::vector<std::pair<std::int32_t, std::int32_t>> sentSignals() const { return m_xpc.mockSignalsSent(); }

    std::vector<AssistanceEvent> assistance() const { return m_tracker.fetchEvents(AssistanceCategory::all, 100); }

    QTemporaryDir m_dir;
    UserDefaults m_defaults;
    AssistanceTracker m_tracker;
    RecordingXPCConnection m_xpc;
    ProcessWatcher m_watcher;
    // Nothing listens on the discard port: every model query fails at once.
    OllamaEngine m_ollama {"http://127.0.0.1:9"};
    MemoryEngine m_memory;
    std::shared_ptr<FakeInhibitor> m_inhibitor = std::make_shared<FakeInhibitor>();
    std::shared_ptr<FakeNotifier> m_notifier = std::make_shared<FakeNotifier>();
    std::atomic<double> m_now {700000000.0};
    QString m_procRoot; // empty: a fixture folder with no processes
    platform::SessionEnvironment m_session; // no display: nothing of the test machine's desktop is spared
};

} // namespace personatest
