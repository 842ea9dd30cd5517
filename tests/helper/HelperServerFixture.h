#pragma once

// A HelperServer run on a thread of the test program, with scripts in place of the system tools and
// every path inside a temporary folder.

#include "HelperTestSupport.h"

#include "helper/src/HelperServer.h"

#include <nlohmann/json.hpp>

#include <QTemporaryDir>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace helpertest {

class HelperServerFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_config.socketPath = path("helper.sock");
        m_config.auditLogPath = path("log/quorvane/audit.log");
        m_config.trustedExecutables = {"/nonexistent/quorvane-pro", trustedTestProgram()};
        m_config.indexerTool = writeScript(path("indexer"), "echo \"$@\" > " + path("indexer.args") + "\nexit 0");
        m_config.powerTool = writeScript(path("power"), "echo 'CPU Power: 2450 mW'\necho 'GPU Power: 120 mW' >&2");
        m_config.dropCachesPath = path("drop_caches");
        m_config.unitFolders = {path("units")};
        m_config.runtimeFolder = path("run");
        m_config.sessions = std::make_shared<platform::FixedLocalSessions>(true);
        m_config.clock = [this] { return m_now.load(); };
        // The clock stands still here, so a minute's share of the log would never renew; what the
        // share does is the audit log's own test's to show.
        m_config.auditBytesPerMinute = std::uint64_t(1) << 40;
    }

    void TearDown() override
    {
        if (m_server) {
            m_server->stop();
            if (m_thread.joinable())
                m_thread.join();
        }
    }

    std::string path(const std::string& name) const
    {
        return m_dir.filePath(QString::fromStdString(name)).toStdString();
    }

    void start()
    {
        bind();
        serve();
    }
    // The socket takes connections into its queue from here; serve() accepts them.
    void bind()
    {
        m_server = std::make_unique<helper::HelperServer>(m_config);
        ASSERT_TRUE(m_server->listen().ok());
    }
    void serve()
    {
        m_thread = std::thread([this] { m_server->run(); });
    }

    std::vector<nlohmann::json> auditRecords() const
    {
        std::vector<nlohmann::json> records;
        for (const auto& line : readLines(m_config.auditLogPath))
            records.push_back(nlohmann::json::parse(line));
        return records;
    }

    static void expectError(const std::optional<platform::HelperReply>& reply, std::optional<std::int64_t> id,
        const std::string& domain, int code, const std::string& message = {})
    {
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ(reply->id, id);
        EXPECT_FALSE(reply->ok);
        ASSERT_TRUE(reply->error.has_value());
        EXPECT_EQ(reply->error->domain, domain);
        EXPECT_EQ(reply->error->code, code);
        if (!message.empty()) {
            EXPECT_EQ(reply->error->message, message);
        }
    }

    QTemporaryDir m_dir;
    helper::HelperConfig m_config;
    std::atomic<double> m_now {1000.0};
    std::unique_ptr<helper::HelperServer> m_server;
    std::thread m_thread;
};

} // namespace helpertest
