#pragma once

#include "core/Date.h"
#include "core/JsonCodec.h"

#include <optional>
#include <string>

// A model known to the local Ollama server; id is its content digest.
struct OllamaModel
{
    std::string id;
    std::string name;
    double sizeGB = 0;
    bool isLoaded = false;
    std::optional<Date> lastUsed;
    double estimatedRAMFootprintGB = 0;

    bool operator==(const OllamaModel&) const = default;
};

void to_json(Json& j, const OllamaModel& m);
void from_json(const Json& j, OllamaModel& m);
