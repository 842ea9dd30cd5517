#pragma once

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A stand-in for the model server on a free loopback port, answering with the real server's shapes.
// It refuses to generate for an empty or unknown model name, as the real server does.
class FakeOllama
{
public:
    FakeOllama()
    {
        m_server.Get("/", [this](const httplib::Request&, httplib::Response& res) { res.status = rootStatus; });
        m_server.Get("/api/ps", [this](const httplib::Request&, httplib::Response& res) {
            std::lock_guard lock(m_mutex);
            ++psRequests;
            res.status = psStatus;
            res.set_content(psBody, "application/json");
        });
        m_server.Get("/api/tags", [this](const httplib::Request&, httplib::Response& res) {
            std::lock_guard lock(m_mutex);
            res.status = tagsStatus;
            res.set_content(tagsBody, "application/json");
        });
        m_server.Post("/api/generate", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(m_mutex);
            generateBodies.push_back(req.body);
            generateContentType = req.get_header_value("Content-Type");
            res.status = generateStatus;
            // As the real server: a request must name a model it has.
            const auto body = nlohmann::json::parse(req.body, nullptr, false);
            const std::string model = body.is_object() ? body.value("model", std::string()) : std::string();
            if (model.empty()) {
                res.status = 400;
                res.set_content(R"({"error":"model is required"})", "application/json");
            } else if (!knowsLocked(model)) {
                res.status = 404;
                res.set_content(R"({"error":"model ')" + model + R"(' not found"})", "application/json");
            }
        });
        m_port = m_server.bind_to_any_port("127.0.0.1");
        m_thread = std::thread([this] { m_server.listen_after_bind(); });
        while (!m_server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~FakeOllama() { stop(); }

    void stop()
    {
        m_server.stop();
        if (m_thread.joinable())
            m_thread.join();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port); }
    void setPs(int status, std::string body)
    {
        std::lock_guard lock(m_mutex);
        psStatus = status;
        psBody = std::move(body);
    }
    void setTags(int status, std::string body)
    {
        std::lock_guard lock(m_mutex);
        tagsStatus = status;
        tagsBody = std::move(body);
    }
    std::vector<std::string> generated()
    {
        std::lock_guard lock(m_mutex);
        return generateBodies;
    }

    std::atomic<int> rootStatus = 200;
    std::atomic<int> generateStatus = 200;
    int psRequests = 0;
    std::string generateContentType;

private:
    // A model the loaded or installed list names, by its "name" or its "model".
    bool knowsLocked(const std::string& model) const
    {
        for (const std::string* list : {&psBody, &tagsBody}) {
            const auto parsed = nlohmann::json::parse(*list, nullptr, false);
            if (!parsed.is_object() || !parsed.contains("models") || !parsed["models"].is_array())
                continue;
            for (const auto& entry : parsed["models"]) {
                if (entry.is_object()
                    && (entry.value("name", std::string()) == model || entry.value("model", std::string()) == model))
                    return true;
            }
        }
        return false;
    }

    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    std::mutex m_mutex;
    int psStatus = 200;
    std::string psBody = R"({"models":[]})";
    int tagsStatus = 200;
    std::string tagsBody = R"({"models":[]})";
    std::vector<std::string> generateBodies;
};
