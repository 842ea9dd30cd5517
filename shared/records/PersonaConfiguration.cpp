#include "PersonaConfiguration.h"

using jsoncodec::require;
using Strings = std::vector<std::string>;

PersonaConfiguration PersonaConfiguration::defaultConfiguration()
{
    PersonaConfiguration c;
    c.workspacePersona = WorkspacePersona::softwareEngineer;
    c.flavorPersona = FlavorPersona::bear;
    c.autonomousModeEnabled = false;
    c.aggressivenessLevel = 0.5;
    c.compileModeTriggers = {"xcodebuild", "clang", "swiftc", "ld", "cargo", "rustc", "tsc", "webpack", "esbuild",
        "gradle", "make", "cmake", "bazel", "ninja", "go", "dotnet"};
    c.customFreezeList = {};
    c.headroomWarningThresholdGB = 8.0;
    c.ramPressureThresholdPercent = 80.0;
    c.autoUnloadOllamaEnabled = true;
    c.ollamaIdleTimeoutMinutes = 0;
    c.neverPauseWhitelist = {"Antigravity", "Xcode", "Spotify", "Slack"};
    return c;
}

PersonaConfiguration PersonaConfiguration::applyingFlavorProfile(WorkspacePersona workspace, FlavorPersona flavor) const
{
    PersonaConfiguration c = *this;
    c.workspacePersona = workspace;
    c.flavorPersona = flavor;
    switch (flavor) {
    case FlavorPersona::lion:
        c.aggressivenessLevel = 0.9;
        c.autonomousModeEnabled = true;
        break;
    case FlavorPersona::bear:
        c.aggressivenessLevel = 0.5;
        c.autonomousModeEnabled = true;
        break;
    case FlavorPersona::fox:
        c.aggressivenessLevel = 0.2;
        c.autonomousModeEnabled = false;
        break;
    }
    return c;
}

PersonaConfiguration PersonaConfiguration::load(const UserDefaults& defaults)
{
    if (const auto stored = defaults.data(userDefaultsKey)) {
        if (auto configuration = jsoncodec::decodeText<PersonaConfiguration>(*stored))
            return *configuration;
    }
    return defaultConfiguration();
}

void PersonaConfiguration::store(const PersonaConfiguration& configuration, UserDefaults& defaults)
{
    if (const auto text = jsoncodec::encodeText(configuration))
        defaults.setData(userDefaultsKey, *text);
}

void to_json(Json& j, const PersonaConfiguration& c)
{
    j = Json {{"workspacePersona", c.workspacePersona}, {"flavorPersona", c.flavorPersona},
        {"autonomousModeEnabled", c.autonomousModeEnabled}, {"aggressivenessLevel", c.aggressivenessLevel},
        {"compileModeTriggers", c.compileModeTriggers}, {"customFreezeList", c.customFreezeList},
        {"headroomWarningThresholdGB", c.headroomWarningThresholdGB},
        {"ramPressureThresholdPercent", c.ramPressureThresholdPercent},
        {"autoUnloadOllamaEnabled", c.autoUnloadOllamaEnabled},
        {"ollamaIdleTimeoutMinutes", c.ollamaIdleTimeoutMinutes}, {"neverPauseWhitelist", c.neverPauseWhitelist}};
}

void from_json(const Json& j, PersonaConfiguration& c)
{
    c.workspacePersona = require<PersonaConfiguration::WorkspacePersona>(j, "workspacePersona");
    c.flavorPersona = require<PersonaConfiguration::FlavorPersona>(j, "flavorPersona");
    c.autonomousModeEnabled = require<bool>(j, "autonomousModeEnabled");
    c.aggressivenessLevel = require<double>(j, "aggressivenessLevel");
    c.compileModeTriggers = require<Strings>(j, "compileModeTriggers");
    c.customFreezeList = require<Strings>(j, "customFreezeList");
    c.headroomWarningThresholdGB = require<double>(j, "headroomWarningThresholdGB");
    c.ramPressureThresholdPercent = require<double>(j, "ramPressureThresholdPercent");
    c.autoUnloadOllamaEnabled = require<bool>(j, "autoUnloadOllamaEnabled");
    c.ollamaIdleTimeoutMinutes = require<std::int64_t>(j, "ollamaIdleTimeoutMinutes");
    c.neverPauseWhitelist = require<Strings>(j, "neverPauseWhitelist");
}
