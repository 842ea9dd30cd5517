#include "records/PersonaConfiguration.h"

#include <QTemporaryDir>

#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

using Workspace = PersonaConfiguration::WorkspacePersona;
using Flavor = PersonaConfiguration::FlavorPersona;

const QString kConfigurationKey = "com.quorvane.personaconfig";

// A stored configuration as another writer might have left it: any key order, the slash escaped.
const char* kStored = R"({"neverPauseWhitelist":["Slack"],"workspacePersona":"Student \/ Hobbyist",
    "flavorPersona":"Fox","autonomousModeEnabled":true,"aggressivenessLevel":0.2,
    "compileModeTriggers":["make","ninja"],"customFreezeList":["Dropbox"],"headroomWarningThresholdGB":6,
    "ramPressureThresholdPercent":75.5,"autoUnloadOllamaEnabled":false,"ollamaIdleTimeoutMinutes":15})";

struct PersonaConfigurationTest : testing::Test
{
    QTemporaryDir dir;
    UserDefaults defaults {dir.filePath("defaults.conf")};

    void storeWith(const std::function<void(Json&)>& change)
    {
        Json j = Json::parse(kStored);
        change(j);
        defaults.setData(kConfigurationKey, j.dump());
    }
};

} // namespace

TEST_F(PersonaConfigurationTest, NothingStoredGivesTheDefaultConfiguration)
{
    const auto c = PersonaConfiguration::load(defaults);
    EXPECT_EQ(c, PersonaConfiguration::defaultConfiguration());
    EXPECT_EQ(c.workspacePersona, Workspace::softwareEngineer);
    EXPECT_EQ(c.flavorPersona, Flavor::bear);
    EXPECT_FALSE(c.autonomousModeEnabled);
    EXPECT_EQ(c.aggressivenessLevel, 0.5);
    ASSERT_EQ(c.compileModeTriggers.size(), 16u);
    EXPECT_EQ(c.compileModeTriggers.front(), "xcodebuild");
    EXPECT_EQ(c.compileModeTriggers.back(), "dotnet");
    EXPECT_TRUE(c.customFreezeList.empty());
    EXPECT_EQ(c.headroomWarningThresholdGB, 8.0);
    EXPECT_EQ(c.ramPressureThresholdPercent, 80.0);
    EXPECT_TRUE(c.autoUnloadOllamaEnabled);
    EXPECT_EQ(c.ollamaIdleTimeoutMinutes, 0);
    EXPECT_EQ(c.neverPauseWhitelist, (std::vector<std::string> {"Antigravity", "Xcode", "Spotify", "Slack"}));
    EXPECT_FALSE(defaults.data(kConfigurationKey));
}

TEST_F(PersonaConfigurationTest, StoredValueLoadsWithAnyKeyOrderAndEscapedSlash)
{
    defaults.setData(kConfigurationKey, kStored);
    const auto c = PersonaConfiguration::load(defaults);
    EXPECT_EQ(c.workspacePersona, Workspace::student);
    EXPECT_EQ(c.flavorPersona, Flavor::fox);
    EXPECT_EQ(c.headroomWarningThresholdGB, 6.0);
    EXPECT_EQ(c.ollamaIdleTimeoutMinutes, 15);
    EXPECT_EQ(c.customFreezeList, std::vector<std::string> {"Dropbox"});

    PersonaConfiguration::store(c, defaults);
    EXPECT_EQ(Json::parse(*defaults.data(kConfigurationKey)), Json::parse(kStored));
    EXPECT_EQ(PersonaConfiguration::load(defaults), c);

    storeWith([](Json& j) { j["futureSetting"] = 1; });
    EXPECT_EQ(PersonaConfiguration::load(defaults), c);
}

TEST_F(PersonaConfigurationTest, AnyBadFieldFallsBackWholeAndLeavesTheStoredValue)
{
    const std::vector<std::function<void(Json&)>> damages {
        [](Json& j) { j.erase("neverPauseWhitelist"); },
        [](Json& j) { j["flavorPersona"] = "bear"; },
        [](Json& j) { j["workspacePersona"] = "Student / hobbyist"; },
        [](Json& j) { j["ollamaIdleTimeoutMinutes"] = 2.5; },
        [](Json& j) { j["autonomousModeEnabled"] = 1; },
        [](Json& j) {
            j["compileModeTriggers"] = Json::array({"make", 3});
        },
        [](Json& j) { j["aggressivenessLevel"] = "0.5"; },
    };
    for (std::size_t i = 0; i < damages.size(); ++i) {
        storeWith(damages[i]);
        const auto stored = defaults.data(kConfigurationKey);
        EXPECT_EQ(PersonaConfiguration::load(defaults), PersonaConfiguration::defaultConfiguration()) << "case " << i;
        EXPECT_EQ(defaults.data(kConfigurationKey), stored) << "case " << i;
    }
    defaults.setData(kConfigurationKey, "{not json");
    EXPECT_EQ(PersonaConfiguration::load(defaults), PersonaConfiguration::defaultConfiguration());
}

TEST_F(PersonaConfigurationTest, ListsKeepOrderAndEmptyListsSurvive)
{
    auto a = PersonaConfiguration::defaultConfiguration();
    auto b = a;
    std::swap(b.compileModeTriggers[0], b.compileModeTriggers[1]);
    EXPECT_NE(a, b);

    a.compileModeTriggers.clear();
    a.customFreezeList = {"Dropbox", "Dropbox"};
    PersonaConfiguration::store(a, defaults);
    const Json stored = Json::parse(*defaults.data(kConfigurationKey));
    EXPECT_EQ(stored.size(), 11u);
    EXPECT_TRUE(stored["compileModeTriggers"].is_array() && stored["compileModeTriggers"].empty());
    EXPECT_TRUE(stored["ollamaIdleTimeoutMinutes"].is_number_integer());
    EXPECT_EQ(stored["workspacePersona"], "Software Engineer");
    EXPECT_EQ(PersonaConfiguration::load(defaults), a);
}

TEST_F(PersonaConfigurationTest, ConfigurationThatCannotBeEncodedWritesNothing)
{
    const auto good = PersonaConfiguration::defaultConfiguration();
    PersonaConfiguration::store(good, defaults);
    auto bad = good;
    bad.aggressivenessLevel = NAN;
    PersonaConfiguration::store(bad, defaults);
    EXPECT_EQ(PersonaConfiguration::load(defaults), good);
}

TEST_F(PersonaConfigurationTest, FlavourProfileReplacesExactlyFourFields)
{
    auto current = PersonaConfiguration::defaultConfiguration();
    current.autonomousModeEnabled = true;
    current.aggressivenessLevel = 0.9;
    current.customFreezeList = {"Dropbox"};
    current.ollamaIdleTimeoutMinutes = 30;

    const auto fox = current.applyingFlavorProfile(Workspace::mlResearcher, Flavor::fox);
    EXPECT_EQ(fox.workspacePersona, Workspace::mlResearcher);
    EXPECT_EQ(fox.flavorPersona, Flavor::fox);
    EXPECT_FALSE(fox.autonomousModeEnabled);
    EXPECT_EQ(fox.aggressivenessLevel, 0.2);
    auto rest = fox;
    rest.workspacePersona = current.workspacePersona;
    rest.flavorPersona = current.flavorPersona;
    rest.autonomousModeEnabled = current.autonomousModeEnabled;
    rest.aggressivenessLevel = current.aggressivenessLevel;
    EXPECT_EQ(rest, current);

    const auto lion = fox.applyingFlavorProfile(Workspace::aiEngineer, Flavor::lion);
    EXPECT_TRUE(lion.autonomousModeEnabled);
    EXPECT_EQ(lion.aggressivenessLevel, 0.9);
    const auto bear = fox.applyingFlavorProfile(Workspace::student, Flavor::bear);
    EXPECT_TRUE(bear.autonomousModeEnabled);
    EXPECT_EQ(bear.aggressivenessLevel, 0.5);
}
