#pragma once

#include "core/JsonCodec.h"
#include "core/RawEnum.h"
#include "core/UserDefaults.h"

#include <cstdint>
#include <string>
#include <vector>

// The user's choices for persona automation, stored as JSON under "com.quorvane.personaconfig".
struct PersonaConfiguration
{
    enum class WorkspacePersona { aiEngineer, softwareEngineer, mlResearcher, student };
    enum class FlavorPersona { lion, bear, fox };

    static inline const QString userDefaultsKey = QStringLiteral("com.quorvane.personaconfig");

    WorkspacePersona workspacePersona = WorkspacePersona::aiEngineer;
    FlavorPersona flavorPersona = FlavorPersona::lion;
    bool autonomousModeEnabled = false;
    // Throttling aggressiveness as a fraction.
    double aggressivenessLevel = 0;
    std::vector<std::string> compileModeTriggers;
    // Added to the built-in suspension candidates of Compile Mode.
    std::vector<std::string> customFreezeList;
    double headroomWarningThresholdGB = 0;
    double ramPressureThresholdPercent = 0;
    bool autoUnloadOllamaEnabled = false;
    std::int64_t ollamaIdleTimeoutMinutes = 0;
    // Names protected from suspension.
    std::vector<std::string> neverPauseWhitelist;

    bool operator==(const PersonaConfiguration&) const = default;

    // Used when nothing usable is stored, and by the persona view model until its first refresh.
    static PersonaConfiguration defaultConfiguration();

    // The configuration that finishing the first-run flow produces: the chosen workspace and flavour,
    // with the flavour's aggressiveness and autonomous mode; every other field as it is now.
    PersonaConfiguration applyingFlavorProfile(WorkspacePersona workspace, FlavorPersona flavor) const;

    // The stored configuration, or the default one when nothing is stored or it does not decode.
    // A bad stored value is left in place until the next store replaces it.
    static PersonaConfiguration load(const UserDefaults& defaults = UserDefaults::standard());
    // Writes the configuration; a value that cannot be encoded (a non-finite number) writes nothing.
    static void store(const PersonaConfiguration& configuration, UserDefaults& defaults = UserDefaults::standard());
};

template<> struct RawEnumTable<PersonaConfiguration::WorkspacePersona>
{
    using W = PersonaConfiguration::WorkspacePersona;
    static constexpr std::array cases {
        std::pair {W::aiEngineer, std::string_view("AI Engineer")},
        std::pair {W::softwareEngineer, std::string_view("Software Engineer")},
        std::pair {W::mlResearcher, std::string_view("ML Researcher")},
        std::pair {W::student, std::string_view("Student / Hobbyist")},
    };
};

template<> struct RawEnumTable<PersonaConfiguration::FlavorPersona>
{
    using F = PersonaConfiguration::FlavorPersona;
    static constexpr std::array cases {
        std::pair {F::lion, std::string_view("Lion")},
        std::pair {F::bear, std::string_view("Bear")},
        std::pair {F::fox, std::string_view("Fox")},
    };
};

void to_json(Json& j, const PersonaConfiguration& c);
void from_json(const Json& j, PersonaConfiguration& c);
