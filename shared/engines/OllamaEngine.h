#pragma once

#include "EngineLoop.h"
#include "OllamaModel.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// Why a request to the model server failed.
struct OllamaError
{
    enum class Kind {
        transport, // no answer: refused, timed out, connection lost
        badServerResponse, // an answer with a status outside 200..299
        decoding, // a body that is not the expected JSON
    };
    Kind kind = Kind::transport;
    std::string message;

    bool operator==(const OllamaError&) const = default;
};

struct OllamaModelsResult
{
    std::vector<OllamaModel> models;
    std::optional<OllamaError> error;

    bool ok() const { return !error; }
};

// The client of the local Ollama server. Operations block for at most their time-out and are safe
// from any thread; the update handler runs on the polling thread.
class OllamaEngine
{
public:
    using UpdateHandler = std::function<void(const std::vector<OllamaModel>&)>;

    static constexpr const char* defaultBaseURL = "http://127.0.0.1:11434";
    static constexpr std::chrono::seconds defaultPollInterval {10};

    explicit OllamaEngine(
        std::string baseURL = defaultBaseURL, std::chrono::milliseconds pollInterval = defaultPollInterval);
    ~OllamaEngine();

    void registerOnUpdate(UpdateHandler handler);
    // True when the base address answers with a status of 200..399; never fails.
    bool isRunning();
    // The models in memory now ("/api/ps"); replaces the cache on success.
    OllamaModelsResult loadedModels();
    // The models on disk ("/api/tags"), marked loaded when "/api/ps" lists their digest.
    OllamaModelsResult installedModels();
    // Asks the server to drop the model from memory ("keep_alive" 0); nullopt on success.
    std::optional<OllamaError> unloadModel(const std::string& name);
    void startPolling();
    void stopPolling();

    std::string baseURL() const { return m_baseURL; }
    std::vector<OllamaModel> cachedLoadedModels() const;

private:
    void pollOnce(const std::stop_token& stop);

    const std::string m_baseURL;
    const std::chrono::milliseconds m_pollInterval;
    mutable std::mutex m_mutex;
    std::vector<OllamaModel> m_loadedModelsCache;
    UpdateHandler m_onUpdate;
    EngineLoop m_loop; // last: the loop ends before the state it uses goes away
};
