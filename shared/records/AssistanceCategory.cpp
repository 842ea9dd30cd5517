#include "AssistanceCategory.h"

#include "core/SystemColors.h"

QString icon(AssistanceCategory category)
{
    switch (category) {
    case AssistanceCategory::performance:
        return QStringLiteral("bolt.fill");
    case AssistanceCategory::storage:
        return QStringLiteral("internaldrive.fill");
    case AssistanceCategory::computing:
        return QStringLiteral("cpu");
    case AssistanceCategory::memory:
        return QStringLiteral("brain");
    case AssistanceCategory::all:
        break;
    }
    return QStringLiteral("sparkles");
}

QColor themeColor(AssistanceCategory category)
{
    switch (category) {
    case AssistanceCategory::performance:
        return SystemColors::orange;
    case AssistanceCategory::storage:
        return SystemColors::cyan;
    case AssistanceCategory::computing:
        return SystemColors::purple;
    case AssistanceCategory::memory:
        return SystemColors::blue;
    case AssistanceCategory::all:
        break;
    }
    return SystemColors::primaryLabel;
}
