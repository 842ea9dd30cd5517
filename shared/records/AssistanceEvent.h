#pragma once

#include "AssistanceCategory.h"

#include "core/Date.h"
#include "core/JsonCodec.h"
#include "core/Uuid.h"

#include <string>

// One thing the system did for the user, as the assistance history shows it.
struct AssistanceEvent
{
    Uuid id;
    Date timestamp;
    AssistanceCategory category = AssistanceCategory::all;
    std::string title;
    std::string detail;
    // Display text of the effect ("2.5 GB"), shown unchanged.
    std::string impactValue;

    bool operator==(const AssistanceEvent&) const = default;
};

void to_json(Json& j, const AssistanceEvent& e);
void from_json(const Json& j, AssistanceEvent& e);
