#include "AutoPersona.h"

#include "core/SystemColors.h"

int priority(AutoPersona persona)
{
    switch (persona) {
    case AutoPersona::compileMode:
        return 3;
    case AutoPersona::aiFirstMode:
        return 1;
    case AutoPersona::batteryMode:
        break;
    }
    return 2;
}

QString menubarOverlay(AutoPersona persona)
{
    switch (persona) {
    case AutoPersona::compileMode:
        return QStringLiteral("snowflake");
    case AutoPersona::aiFirstMode:
        return QStringLiteral("brain");
    case AutoPersona::batteryMode:
        break;
    }
    return QStringLiteral("leaf");
}

QColor notificationColor(AutoPersona persona)
{
    switch (persona) {
    case AutoPersona::compileMode:
        return SystemColors::blue;
    case AutoPersona::aiFirstMode:
        return SystemColors::purple;
    case AutoPersona::batteryMode:
        break;
    }
    return SystemColors::green;
}
