#pragma once

#include "core/RawEnum.h"

#include <QColor>
#include <QString>

// The personas that can be active, several at once. The raw value is also the persona's name
// wherever it is shown or compared.
enum class AutoPersona { compileMode, aiFirstMode, batteryMode };

template<> struct RawEnumTable<AutoPersona>
{
    static constexpr std::array cases {
        std::pair {AutoPersona::compileMode, std::string_view("Compile Mode")},
        std::pair {AutoPersona::aiFirstMode, std::string_view("AI First Mode")},
        std::pair {AutoPersona::batteryMode, std::string_view("Battery Mode")},
    };
};

int priority(AutoPersona persona);
// Symbol name of the persona: the badge drawn over the menu-bar icon and the override chip's symbol.
QString menubarOverlay(AutoPersona persona);
QColor notificationColor(AutoPersona persona);
