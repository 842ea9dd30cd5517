#include "OllamaEngine.h"

#include "core/Units.h"
#include "records/PrivacyMetricsEngine.h"

#include <httplib.h>

#include <algorithm>
#include <regex>
#include <variant>

namespace {

constexpr double runningTimeout = 1.5;
constexpr double listTimeout = 2.0;
constexpr double unloadTimeout = 5.0;

struct Address
{
    std::string origin; // scheme://host[:port]
    std::string path;
};

// Request paths are appended to the base address as text; the result must be an http(s) URL.
std::optional<Address> parseAddress(const std::string& url)
{
    static const std::regex pattern(R"(^(https?://(\[[0-9A-Fa-f:.]+\]|[A-Za-z0-9.-]+)(:[0-9]{1,5})?)(/[^\s?#]*)?$)");
    std::smatch m;
    if (!std::regex_match(url, m, pattern))
        return std::nullopt;
    Address a {m[1].str(), m[4].str()};
    if (a.path.empty())
        a.path = "/";
    return a;
}

struct Response
{
    int status = 0;
    std::string body;
    std::optional<OllamaError> error;
};

// Every request goes into the privacy ledger of the program's own network calls, answered or not.
Response send(const Address& address, const char* purpose, double timeout, const std::string* jsonBody = nullptr)
{
    PrivacyMetricsEngine::shared().recordOwnNetworkCall(address.origin + address.path, purpose);
    httplib::Client client(address.origin);
    const auto seconds = static_cast<time_t>(timeout);
    const auto micros = static_cast<time_t>((timeout - static_cast<double>(seconds)) * 1e6);
    client.set_connection_timeout(seconds, micros);
    client.set_read_timeout(seconds, micros);
    client.set_write_timeout(seconds, micros);
    // The server does not redirect, and following would turn a final 304 into a failed redirect.
    client.set_follow_location(false);

    const auto result = jsonBody ? client.Post(address.path, *jsonBody, "application/json") : client.Get(address.path);
    Response r;
    if (!result) {
        r.error = OllamaError {OllamaError::Kind::transport, httplib::to_string(result.error())};
        PrivacyMetricsEngine::shared().recordModelServerReply(false);
        return r;
    }
    r.status = result->status;
    r.body = result->body;
    PrivacyMetricsEngine::shared().recordModelServerReply(r.status >= 200 && r.status <= 399);
    return r;
}

OllamaError badServerResponse(int status)
{
    return {OllamaError::Kind::badServerResponse, "status " + std::to_string(status)};
}

struct WireModel
{
    std::string name;
    std::string digest;
    std::int64_t size = 0;
    std::optional<std::int64_t> sizeVram;
};

// The list response of "/api/ps" and "/api/tags": {"models": [...]}, a missing list read as empty.
std::variant<std::vector<WireModel>, OllamaError> decodeList(const std::string& body)
{
    try {
        const Json j = Json::parse(body);
        std::vector<WireModel> models;
        const auto entries = jsoncodec::optional<std::vector<Json>>(j, "models");
        for (const auto& e : entries.value_or(std::vector<Json> {})) {
            models.push_back({jsoncodec::require<std::string>(e, "name"), jsoncodec::require<std::string>(e, "digest"),
                jsoncodec::require<std::int64_t>(e, "size"), jsoncodec::optional<std::int64_t>(e, "size_vram")});
        }
        return models;
    } catch (const std::exception& e) {
        return OllamaError {OllamaError::Kind::decoding, e.what()};
    }
}

// GET of a list endpoint: the decoded entries, or the error that ends the call. An address that
// does not parse is an empty list, not an error.
std::variant<std::vector<WireModel>, OllamaError> fetchList(const std::string& url, const char* purpose)
{
    const auto address = parseAddress(url);
    if (!address)
        return std::vector<WireModel> {};
    const Response r = send(*address, purpose, listTimeout);
    if (r.error)
        return *r.error;
    if (r.status < 200 || r.status > 299)
        return badServerResponse(r.status);
    return decodeList(r.body);
}

} // namespace

OllamaEngine::OllamaEngine(std::string baseURL, std::chrono::milliseconds pollInterval)
    : m_baseURL(std::move(baseURL))
    , m_pollInterval(pollInterval)
{
}

OllamaEngine::~OllamaEngine()
{
    m_loop.stop();
}

void OllamaEngine::registerOnUpdate(UpdateHandler handler)
{
    std::lock_guard lock(m_mutex);
    m_onUpdate = std::move(handler);
}

bool OllamaEngine::isRunning()
{
    const auto address = parseAddress(m_baseURL);
    if (!address)
        return false;
    const Response r = send(*address, "Check that the local model server is running", runningTimeout);
    return !r.error && r.status >= 200 && r.status < 400;
}

OllamaModelsResult OllamaEngine::loadedModels()
{
    auto decoded = fetchList(m_baseURL + "/api/ps", "List the models in memory");
    if (auto* error = std::get_if<OllamaError>(&decoded))
        return {{}, *error};

    std::vector<OllamaModel> models;
    for (const auto& w : std::get<std::vector<WireModel>>(decoded)) {
        const double sizeGB = static_cast<double>(w.size) / kBytesPerGB;
        const double residentGB = static_cast<double>(w.sizeVram.value_or(w.size)) / kBytesPerGB;
        models.push_back({w.digest, w.name, residentGB, true, Date::now(), sizeGB});
    }
    std::lock_guard lock(m_mutex);
    m_loadedModelsCache = models;
    return {std::move(models), std::nullopt};
}

OllamaModelsResult OllamaEngine::installedModels()
{
    auto decoded = fetchList(m_baseURL + "/api/tags", "List the installed models");
    if (auto* error = std::get_if<OllamaError>(&decoded))
        return {{}, *error};

    // A failing "/api/ps" only means no installed model counts as loaded.
    const OllamaModelsResult loaded = loadedModels();
    std::vector<OllamaModel> models;
    for (const auto& w : std::get<std::vector<WireModel>>(decoded)) {
        const double sizeGB = static_cast<double>(w.size) / kBytesPerGB;
        const bool isLoaded = std::any_of(
            loaded.models.begin(), loaded.models.end(), [&](const OllamaModel& m) { return m.id == w.digest; });
        models.push_back(
            {w.digest, w.name, sizeGB, isLoaded, isLoaded ? std::optional(Date::now()) : std::nullopt, sizeGB});
    }
    return {std::move(models), std::nullopt};
}

std::optional<OllamaError> OllamaEngine::unloadModel(const std::string& name)
{
    const auto address = parseAddress(m_baseURL + "/api/generate");
    if (!address)
        return std::nullopt;
    const std::string body = Json {{"model", name}, {"keep_alive", 0}}.dump();
    const Response r = send(*address, "Unload a model from memory", unloadTimeout, &body);
    if (r.error)
        return r.error;
    if (r.status < 200 || r.status > 299)
        return badServerResponse(r.status);
    loadedModels();
    return std::nullopt;
}

void OllamaEngine::pollOnce(const std::stop_token& stop)
{
    std::optional<std::vector<OllamaModel>> report;
    if (isRunning()) {
        auto loaded = loadedModels();
        if (loaded.ok())
            report = std::move(loaded.models);
    } else {
        // Not running: report the empty list once, when the server disappears with models loaded.
        std::lock_guard lock(m_mutex);
        if (!m_loadedModelsCache.empty()) {
            m_loadedModelsCache.clear();
            report.emplace();
        }
    }
    if (!report || stop.stop_requested())
        return;
    UpdateHandler handler;
    {
        std::lock_guard lock(m_mutex);
        handler = m_onUpdate;
    }
    if (handler)
        handler(*report);
}

void OllamaEngine::startPolling()
{
    m_loop.start([this](std::stop_token stop) {
        while (!stop.stop_requested()) {
            pollOnce(stop);
            if (!EngineLoop::sleepFor(stop, m_pollInterval))
                return;
        }
    });
}

void OllamaEngine::stopPolling()
{
    m_loop.stop();
}

std::vector<OllamaModel> OllamaEngine::cachedLoadedModels() const
{
    std::lock_guard lock(m_mutex);
    return m_loadedModelsCache;
}
