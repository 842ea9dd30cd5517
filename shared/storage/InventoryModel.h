#pragma once

#include "core/Date.h"
#include "core/JsonCodec.h"
#include "core/RawEnum.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The three model stores; the raw value is also the display text.
enum class ModelSource {
    ollama,
    huggingFace,
    lmStudio,
};

template<> struct RawEnumTable<ModelSource>
{
    static constexpr std::array cases {
        std::pair {ModelSource::ollama, std::string_view("Ollama")},
        std::pair {ModelSource::huggingFace, std::string_view("Hugging Face")},
        std::pair {ModelSource::lmStudio, std::string_view("LM Studio")},
    };
};

// One model found on disk. Its identity is its path: the Ollama manifest file, the Hugging Face
// model folder or the LM Studio file, which is also what a deletion removes.
struct InventoryModel
{
    std::string name;
    double sizeGB = 0;
    Date lastAccessed;
    ModelSource source = ModelSource::ollama;
    std::string path;
    bool isArchiveCandidate = false;
    bool isDuplicate = false;
    std::optional<std::string> duplicateGroup;

    const std::string& id() const { return path; }
    // Whole days from lastAccessed to now; 0 for a date in the future.
    int daysSinceLastAccessed(Date now = Date::now()) const;

    bool operator==(const InventoryModel&) const = default;
};

void to_json(Json& j, const InventoryModel& m);
void from_json(const Json& j, InventoryModel& m);

template<> struct std::hash<InventoryModel>
{
    std::size_t operator()(const InventoryModel& m) const noexcept;
};
