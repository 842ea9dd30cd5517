#include "AssistanceEvent.h"

using jsoncodec::require;

void to_json(Json& j, const AssistanceEvent& e)
{
    j = Json {{"id", e.id}, {"timestamp", e.timestamp}, {"category", e.category}, {"title", e.title},
        {"detail", e.detail}, {"impactValue", e.impactValue}};
}

void from_json(const Json& j, AssistanceEvent& e)
{
    e.id = require<Uuid>(j, "id");
    e.timestamp = require<Date>(j, "timestamp");
    e.category = require<AssistanceCategory>(j, "category");
    e.title = require<std::string>(j, "title");
    e.detail = require<std::string>(j, "detail");
    e.impactValue = require<std::string>(j, "impactValue");
}
