#pragma once

#include "AutoPersona.h"

#include "core/Date.h"
#include "core/JsonCodec.h"
#include "core/Uuid.h"

#include <cstdint>
#include <string>

// A process the system suspended and has not resumed yet. Each suspension has its own id, so two
// suspensions of the same pid are different records.
struct FrozenProcess
{
    Uuid id;
    std::int32_t pid = 0;
    // The name as seen when the process was suspended.
    std::string name;
    // The persona the suspension is recorded under: the persona that froze it, or Compile Mode for a
    // manual or watchdog freeze. Stored as "frozenByPersona".
    AutoPersona frozenBy = AutoPersona::compileMode;
    Date frozenAt;
    std::int64_t estimatedMemoryMB = 0;
    double estimatedCPUPercent = 0;

    bool operator==(const FrozenProcess&) const = default;
};

void to_json(Json& j, const FrozenProcess& p);
void from_json(const Json& j, FrozenProcess& p);
