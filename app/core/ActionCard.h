#pragma once

#include "core/JsonCodec.h"
#include "core/RawEnum.h"
#include "core/Uuid.h"

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

// What a recommended-action card's button runs. Equal when the case and every payload value are.
class ActionType
{
public:
    struct FlushInactiveMemory
    {
        bool operator==(const FlushInactiveMemory&) const = default;
    };
    struct FreezeProcess
    {
        std::int32_t pid = 0;
        std::string name;
        // When the process started (clock ticks after boot) as it was chosen: a later process given the
        // same pid is then never the one stopped.
        std::optional<std::uint64_t> startTicks = std::nullopt;
        bool operator==(const FreezeProcess&) const = default;
    };
    struct UnloadOllamaModel
    {
        std::string name; // as the model server reports it
        bool operator==(const UnloadOllamaModel&) const = default;
    };
    struct ClearOllamaKVCache
    {
        bool operator==(const ClearOllamaKVCache&) const = default;
    };
    struct ArchiveModel
    {
        static inline const std::string archiveAll = "archive_all";
        std::string path; // a model's path, or archiveAll for the models in `paths`
        std::string name;
        double sizeGB = 0;
        // With archiveAll: the paths of the models the card showed; only these are ever removed.
        std::vector<std::string> paths;
        bool operator==(const ArchiveModel&) const = default;
    };
    struct CleanDeveloperCaches
    {
        double reclaimableGB = 0;
        bool operator==(const CleanDeveloperCaches&) const = default;
    };
    using Payload = std::variant<FlushInactiveMemory, FreezeProcess, UnloadOllamaModel, ClearOllamaKVCache,
        ArchiveModel, CleanDeveloperCaches>;

    ActionType() = default;
    // Any one case's payload converts to the action itself.
    template<class Case>
    requires(!std::is_same_v<std::remove_cvref_t<Case>, ActionType> && std::is_constructible_v<Payload, Case&&>)
        ActionType(Case&& payload)
        : m_payload(std::forward<Case>(payload))
    {
    }

    const Payload& payload() const { return m_payload; }
    template<class T> const T* as() const { return std::get_if<T>(&m_payload); }
    // "flushInactiveMemory", "freezeProcess", ... as the JSON form names the case.
    std::string caseName() const;

    bool operator==(const ActionType&) const = default;

private:
    Payload m_payload;
};

enum class Urgency { info, warning, critical };

template<> struct RawEnumTable<Urgency>
{
    static constexpr std::array cases {
        std::pair {Urgency::info, std::string_view("info")},
        std::pair {Urgency::warning, std::string_view("warning")},
        std::pair {Urgency::critical, std::string_view("critical")},
    };
};

// One recommended action as the popover shows it. A rebuilt list has new ids.
struct ActionCard
{
    Uuid id;
    std::string title;
    std::string description;
    ActionType action;
    std::string estimatedImpact;
    Urgency urgency = Urgency::info;
    // Why the action cannot run on this machine, said on the card before anyone presses it; absent
    // when it can run.
    std::optional<std::string> unavailableReason = std::nullopt;

    bool operator==(const ActionCard&) const = default;
};

// What running an action did, in a sentence for the user.
struct ActionResult
{
    bool success = false;
    std::string message;

    bool operator==(const ActionResult&) const = default;
};

// ActionType is an object with exactly one key, the case name, holding the payload's values.
void to_json(Json& j, const ActionType& a);
void from_json(const Json& j, ActionType& a);
void to_json(Json& j, const ActionCard& c);
void from_json(const Json& j, ActionCard& c);
void to_json(Json& j, const ActionResult& r);
void from_json(const Json& j, ActionResult& r);
