#pragma once

#include "core/JsonCodec.h"
#include "core/RawEnum.h"

#include <optional>
#include <string>

// The machine's heat reduced to four levels, with the texts and colour name that show it; `unknown` when
// the machine gives no reading to judge it by.
struct QVThermalState
{
    enum class Level { balanced, warm, throttling, critical, unknown };

    Level level = Level::unknown;
    std::string displayName;
    std::string colorName;
    bool shouldAlert = false;
    std::optional<std::string> topOffendingProcess;

    // The record for a level: Balanced/Green, Warm/Yellow, Throttling/Orange (alert), Critical/Red (alert),
    // and for no reading "—"/Gray without an alert.
    static QVThermalState forLevel(Level level);
    // The machine's thermal state now, from its thermal zones (ThermalEngine.cpp). Never fails.
    static QVThermalState fromProcessInfo();

    bool operator==(const QVThermalState&) const = default;
};

template<> struct RawEnumTable<QVThermalState::Level>
{
    static constexpr std::array cases {
        std::pair {QVThermalState::Level::balanced, std::string_view("balanced")},
        std::pair {QVThermalState::Level::warm, std::string_view("warm")},
        std::pair {QVThermalState::Level::throttling, std::string_view("throttling")},
        std::pair {QVThermalState::Level::critical, std::string_view("critical")},
        std::pair {QVThermalState::Level::unknown, std::string_view("unknown")},
    };
};

void to_json(Json& j, const QVThermalState& s);
void from_json(const Json& j, QVThermalState& s);
