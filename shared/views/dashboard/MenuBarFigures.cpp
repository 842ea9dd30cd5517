#include "MenuBarFigures.h"

#include <limits>

namespace {

bool anyOf(const QSet<QString>& names, std::initializer_list<const char*> candidates)
{
    for (const char* c : candidates) {
        if (names.contains(QString::fromLatin1(c)))
            return true;
    }
    return false;
}

} // namespace

std::optional<StateIndicator> MenuBarFigures::stateIndicator() const
{
    using Level = QVThermalState::Level;
    using Tone = StateIndicator::Tone;
    if (thermalLevel == Level::throttling || thermalLevel == Level::critical)
        return StateIndicator {.symbol = QStringLiteral("flame.fill"), .tone = Tone::red};
    if (anyOf(activePersonas, {"compileMode", "Compile Mode"}))
        return StateIndicator {.symbol = QStringLiteral("snowflake"), .tone = Tone::blue};
    // The persona automation stores the personas' display names ("AI First Mode", "Battery Mode"),
    // so those are accepted beside the short names, or these two states could never show.
    if (anyOf(activePersonas, {"aiFirstMode", "AI-First Mode", "AI First Mode"}))
        return StateIndicator {.symbol = QStringLiteral("brain.fill"), .tone = Tone::purple};
    if (anyOf(activePersonas, {"batteryMode", "Battery Saver", "Battery Mode"}))
        return StateIndicator {.symbol = QStringLiteral("leaf.fill"), .tone = Tone::green};
    if (memoryWarning())
        return StateIndicator {.symbol = QStringLiteral("exclamationmark.triangle.fill"), .tone = Tone::orange};
    return std::nullopt;
}

double MenuBarFigures::headroomOf(const SystemMemoryState& memory)
{
    return memory.totalGB > 0 ? memory.headroomGB() : std::numeric_limits<double>::quiet_NaN();
}

QString stateTag(const QString& symbol)
{
    struct Row
    {
        QString symbol;
        QString tag;
    };
    static const QList<Row> rows {
        {.symbol = QStringLiteral("flame.fill"), .tag = QStringLiteral("HOT")},
        {.symbol = QStringLiteral("snowflake"), .tag = QStringLiteral("BUILD")},
        {.symbol = QStringLiteral("brain.fill"), .tag = QStringLiteral("AI")},
        {.symbol = QStringLiteral("leaf.fill"), .tag = QStringLiteral("ECO")},
        {.symbol = QStringLiteral("exclamationmark.triangle.fill"), .tag = QStringLiteral("MEM")},
    };
    for (const Row& row : rows) {
        if (row.symbol == symbol)
            return row.tag;
    }
    return {};
}
