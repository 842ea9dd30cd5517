#pragma once

#include "engines/QVThermalState.h"
#include "engines/SystemMemoryState.h"

#include <QList>
#include <QSet>
#include <QString>

#include <optional>

// The symbol and colour the label shows for the machine's state.
struct StateIndicator
{
    enum class Tone { red, blue, purple, green, orange };

    QString symbol;
    Tone tone = Tone::red;

    bool operator==(const StateIndicator&) const = default;
};

// Everything the menu-bar label draws, read from the dashboard model, the active personas and the
// view settings at one moment.
struct MenuBarFigures
{
    std::optional<QVThermalState::Level> thermalLevel;
    // freeGB + inactiveGB of the memory snapshot, when there is one; NaN when that sample could not
    // read memory, which the readout shows as "—" and which never warns.
    std::optional<double> headroomGB;
    double cpuUsage = 0; // percent
    QList<double> aiMemoryHistory; // percent, oldest first
    QSet<QString> activePersonas;

    bool showSparkline = true;
    bool showCPURing = true;
    bool showTextReadouts = true;
    // The edition whose label never shows the CPU ring, whatever showCPURing says.
    bool hideCpuRing = false;

    // The first rule that holds: heat (throttling or critical), then Compile, AI First and Battery
    // personas, then low memory (headroom under 2.0 GB); nothing otherwise.
    std::optional<StateIndicator> stateIndicator() const;
    bool ringShown() const { return showCPURing && !hideCpuRing; }
    bool memoryWarning() const { return headroomGB && *headroomGB < 2.0; }

    // The headroom of a snapshot as the label shows it. A sample without a total is one that failed
    // (no readable /proc/meminfo): its zeros are not "no memory left".
    static double headroomOf(const SystemMemoryState& memory);
};

// The pill's tag for an indicator symbol ("flame.fill" is "HOT"); empty when the symbol has none.
QString stateTag(const QString& symbol);
