#include "ActionCard.h"

#include <array>

using jsoncodec::require;

namespace {

constexpr std::array<const char*, 6> kCaseNames {"flushInactiveMemory", "freezeProcess", "unloadOllamaModel",
    "clearOllamaKVCache", "archiveModel", "cleanDeveloperCaches"};

template<class... Ts> struct Overloaded : Ts...
{
    using Ts::operator()...;
};

ActionType::Payload decodePayload(const std::string& name, const Json& v)
{
    if (!v.is_object())
        throw JsonDecodeError("expected an object");
    if (name == "flushInactiveMemory")
        return ActionType::FlushInactiveMemory {};
    if (name == "freezeProcess")
        return ActionType::FreezeProcess {require<std::int32_t>(v, "pid"), require<std::string>(v, "name"),
            jsoncodec::optional<std::uint64_t>(v, "startTicks")};
    if (name == "unloadOllamaModel")
        return ActionType::UnloadOllamaModel {require<std::string>(v, "name")};
    if (name == "clearOllamaKVCache")
        return ActionType::ClearOllamaKVCache {};
    if (name == "archiveModel") {
        return ActionType::ArchiveModel {require<std::string>(v, "path"), require<std::string>(v, "name"),
            require<double>(v, "sizeGB"),
            jsoncodec::optional<std::vector<std::string>>(v, "paths").value_or(std::vector<std::string> {})};
    }
    return ActionType::CleanDeveloperCaches {require<double>(v, "reclaimableGB")};
}

} // namespace

std::string ActionType::caseName() const
{
    return kCaseNames[m_payload.index()];
}

void to_json(Json& j, const ActionType& a)
{
    const Json payload = std::visit(Overloaded {
                                        [](const ActionType::FreezeProcess& p) {
                                            Json o {{"pid", p.pid}, {"name", p.name}};
                                            if (p.startTicks)
                                                o["startTicks"] = *p.startTicks;
                                            return o;
                                        },
                                        [](const ActionType::UnloadOllamaModel& p) {
                                            return Json {{"name", p.name}};
                                        },
                                        [](const ActionType::ArchiveModel& p) {
                                            Json o {{"path", p.path}, {"name", p.name}, {"sizeGB", p.sizeGB}};
                                            if (!p.paths.empty())
                                                o["paths"] = p.paths;
                                            return o;
                                        },
                                        [](const ActionType::CleanDeveloperCaches& p) {
                                            return Json {{"reclaimableGB", p.reclaimableGB}};
                                        },
                                        [](const auto&) { return Json::object(); },
                                    },
        a.payload());
    j = Json {{a.caseName(), payload}};
}

void from_json(const Json& j, ActionType& a)
{
    if (!j.is_object())
        throw JsonDecodeError("expected an object");
    const char* found = nullptr;
    int count = 0;
    for (const char* name : kCaseNames) {
        if (j.contains(name)) {
            found = name;
            ++count;
        }
    }
    if (count != 1)
        throw JsonDecodeError("Invalid number of keys found, expected one.");
    a = ActionType(decodePayload(found, j.at(found)));
}

void to_json(Json& j, const ActionCard& c)
{
    j = Json {{"id", c.id}, {"title", c.title}, {"description", c.description}, {"action", c.action},
        {"estimatedImpact", c.estimatedImpact}, {"urgency", c.urgency}};
    jsoncodec::putOptional(j, "unavailableReason", c.unavailableReason);
}

void from_json(const Json& j, ActionCard& c)
{
    c.id = require<Uuid>(j, "id");
    c.title = require<std::string>(j, "title");
    c.description = require<std::string>(j, "description");
    c.action = require<ActionType>(j, "action");
    c.estimatedImpact = require<std::string>(j, "estimatedImpact");
    c.urgency = require<Urgency>(j, "urgency");
    c.unavailableReason = jsoncodec::optional<std::string>(j, "unavailableReason");
}

void to_json(Json& j, const ActionResult& r)
{
    j = Json {{"success", r.success}, {"message", r.message}};
}

void from_json(const Json& j, ActionResult& r)
{
    r.success = require<bool>(j, "success");
    r.message = require<std::string>(j, "message");
}
