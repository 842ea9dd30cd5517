#include "engines/ThermalEngine.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace std::chrono_literals;
using Level = QVThermalState::Level;
using platform::ThermalZone;

namespace {

ThermalZone zone(double celsius, std::vector<platform::TripPoint> trips)
{
    return ThermalZone {0, "test", celsius, std::move(trips)};
}

std::string machineSys(const std::string& name)
{
    return std::string(QV_TEST_DATA_DIR) + "/machines/" + name + "/sys";
}

// A one-zone sysfs tree whose temperature the test can change.
class ZoneTree
{
public:
    ZoneTree()
    {
        dir = std::filesystem::path(tmp.path().toStdString()) / "class/thermal/thermal_zone0";
        std::filesystem::create_directories(dir);
        write("type", "x86_pkg_temp");
        write("trip_point_0_type", "passive");
        write("trip_point_0_temp", "90000");
        write("trip_point_1_type", "critical");
        write("trip_point_1_temp", "100000");
        setTemp(50);
    }
    void setTemp(double celsius) { write("temp", std::to_string(static_cast<long>(celsius * 1000))); }
    std::string root() const { return tmp.path().toStdString(); }

private:
    // Written aside and renamed, so the poller never reads a half-written file.
    void write(const std::string& name, const std::string& text)
    {
        std::ofstream(dir / (name + ".new")) << text << "\n";
        std::filesystem::rename(dir / (name + ".new"), dir / name);
    }
    QTemporaryDir tmp;
    std::filesystem::path dir;
};

} // namespace

TEST(ThermalLevels, EachZoneAgainstItsOwnTrips)
{
    const std::vector<platform::TripPoint> trips {{"passive", 90}, {"critical", 100}};
    EXPECT_EQ(ThermalEngine::levelForZones({zone(74.9, trips)}), Level::balanced);
    EXPECT_EQ(ThermalEngine::levelForZones({zone(75, trips)}), Level::warm);
    EXPECT_EQ(ThermalEngine::levelForZones({zone(90, trips)}), Level::throttling);
    EXPECT_EQ(ThermalEngine::levelForZones({zone(100, trips)}), Level::critical);
    // "hot" counts as critical; the lowest trip of a kind decides.
    EXPECT_EQ(ThermalEngine::levelForZones({zone(96, {{"hot", 95}, {"critical", 105}})}), Level::critical);
    EXPECT_EQ(ThermalEngine::levelForZones({zone(81, {{"passive", 95}, {"passive", 80}})}), Level::throttling);
}

TEST(ThermalLevels, ZonesWithoutPassiveTripThrottleNearCritical)
{
    const std::vector<platform::TripPoint> trips {{"critical", 105}};
    EXPECT_EQ(ThermalEngine::levelForZones({zone(79.9, trips)}), Level::balanced);
    EXPECT_EQ(ThermalEngine::levelForZones({zone(80, trips)}), Level::warm);
    EXPECT_EQ(ThermalEngine::levelForZones({zone(95, trips)}), Level::throttling);
}

TEST(ThermalLevels, ZonesWithoutLimitsAreNoReading)
{
    // No zones, a zone without trips and one with fan steps only: nothing to judge a temperature by.
    EXPECT_EQ(ThermalEngine::levelForZones({}), Level::unknown);
    EXPECT_EQ(ThermalEngine::levelForZones({zone(40, {})}), Level::unknown);
    EXPECT_EQ(ThermalEngine::levelForZones({zone(99, {{"active", 50}}), zone(120, {})}), Level::unknown);
    // Beside a zone that can be judged they change nothing, whatever their temperature.
    const std::vector<platform::TripPoint> trips {{"passive", 90}, {"critical", 100}};
    EXPECT_EQ(ThermalEngine::levelForZones({zone(120, {}), zone(30, trips)}), Level::balanced);
    EXPECT_EQ(ThermalEngine::levelForZones({zone(30, trips), zone(99, {{"active", 50}})}), Level::balanced);
    EXPECT_EQ(ThermalEngine::levelForZones({zone(120, {}), zone(91, trips)}), Level::throttling);
}

TEST(ThermalLevels, WorstZoneWins)
{
    const std::vector<platform::TripPoint> trips {{"passive", 90}, {"critical", 100}};
    EXPECT_EQ(ThermalEngine::levelForZones({zone(101, trips), zone(30, trips), zone(80, trips)}), Level::critical);
    EXPECT_EQ(ThermalEngine::levelForZones({zone(30, trips), zone(80, trips)}), Level::warm);
}

TEST(ThermalEngineState, FixtureMachines)
{
    EXPECT_EQ(ThermalEngine(machineSys("hybrid-intel")).currentState(), QVThermalState::forLevel(Level::warm));
    EXPECT_EQ(ThermalEngine(machineSys("plain")).currentState().level, Level::balanced);
    const auto arm = ThermalEngine(machineSys("arm")).currentState();
    EXPECT_EQ(arm, (QVThermalState {Level::throttling, "Throttling", "Orange", true, std::nullopt}));
    // No zones: no level, no alert and a dash for its name.
    EXPECT_EQ(ThermalEngine(machineSys("no-thermal")).currentState(),
        (QVThermalState {Level::unknown, "—", "Gray", false, std::nullopt}));
    EXPECT_EQ(ThermalEngine(machineSys("vm")).currentState().level, Level::unknown);
    // This machine: whatever its zones say, a complete record without an offending process.
    const auto here = QVThermalState::fromProcessInfo();
    EXPECT_EQ(here, QVThermalState::forLevel(here.level));
}

TEST(ThermalStateRecord, EveryLevelsRowAndItsRawValue)
{
    using State = QVThermalState;
    EXPECT_EQ(State::forLevel(Level::critical), (State {Level::critical, "Critical", "Red", true, std::nullopt}));
    EXPECT_EQ(
        State::forLevel(Level::throttling), (State {Level::throttling, "Throttling", "Orange", true, std::nullopt}));
    EXPECT_EQ(State::forLevel(Level::warm), (State {Level::warm, "Warm", "Yellow", false, std::nullopt}));
    EXPECT_EQ(State::forLevel(Level::balanced), (State {Level::balanced, "Balanced", "Green", false, std::nullopt}));
    EXPECT_EQ(State::forLevel(Level::unknown), (State {Level::unknown, "—", "Gray", false, std::nullopt}));
    // A record made without a level claims none.
    EXPECT_EQ(State {}.level, Level::unknown);

    // Raw values match exactly: the display name is no level.
    EXPECT_EQ(enumFromRawValue<Level>("critical"), Level::critical);
    EXPECT_FALSE(enumFromRawValue<Level>("Critical"));
    Json stored = State::forLevel(Level::critical);
    EXPECT_EQ(stored.at("level"), "critical");
    stored["level"] = "Critical";
    EXPECT_ANY_THROW(stored.get<State>());
    const Json unknown = State::forLevel(Level::unknown);
    EXPECT_EQ(unknown.at("level"), "unknown");
    EXPECT_EQ(unknown.get<State>(), State::forLevel(Level::unknown));
}

TEST(ThermalStateRecord, OffendingProcessIsOptional)
{
    const QVThermalState plain = QVThermalState::forLevel(Level::throttling);
    QVThermalState blamed = plain;
    blamed.topOffendingProcess = "cc1plus";
    EXPECT_NE(plain, blamed);

    const Json without = plain;
    EXPECT_FALSE(without.contains("topOffendingProcess"));
    EXPECT_EQ(without,
        Json::parse(R"({"level":"throttling","displayName":"Throttling","colorName":"Orange","shouldAlert":true})"));
    EXPECT_EQ(without.get<QVThermalState>(), plain);

    const Json with = blamed;
    EXPECT_EQ(with.at("topOffendingProcess"), "cc1plus");
    EXPECT_EQ(with.get<QVThermalState>(), blamed);
}

TEST(ThermalEngineMonitoring, DeliversOnlyChanges)
{
    ZoneTree tree;
    ThermalEngine engine(tree.root(), 20ms);
    std::mutex mutex;
    std::vector<Level> seen;
    engine.registerOnUpdate([&](const QVThermalState& s) {
        std::lock_guard lock(mutex);
        seen.push_back(s.level);
    });
    engine.startMonitoring();
    engine.startMonitoring(); // still one loop
    std::this_thread::sleep_for(120ms);
    {
        std::lock_guard lock(mutex);
        EXPECT_TRUE(seen.empty()); // nothing at start, nothing without a change
    }
    tree.setTemp(92);
    std::this_thread::sleep_for(120ms);
    tree.setTemp(93); // same level
    std::this_thread::sleep_for(120ms);
    tree.setTemp(40);
    std::this_thread::sleep_for(120ms);
    engine.stopMonitoring();
    EXPECT_FALSE(engine.isMonitoring());
    tree.setTemp(101);
    std::this_thread::sleep_for(100ms);
    std::lock_guard lock(mutex);
    EXPECT_EQ(seen, (std::vector<Level> {Level::throttling, Level::balanced}));
}

TEST(ThermalEngineMonitoring, StopWithoutStartAndPowerMetricsRefusal)
{
    ThermalEngine engine(machineSys("no-thermal"));
    engine.stopMonitoring();
    EXPECT_FALSE(engine.isMonitoring());
    for (int i = 0; i < 2; ++i) {
        const auto result = engine.powerMetrics();
        const auto* error = std::get_if<ThermalEngineError>(&result);
        ASSERT_TRUE(error);
        EXPECT_EQ(error->domain, "QVErrorDomain");
        EXPECT_EQ(error->code, 403);
        EXPECT_EQ(error->localizedDescription, "Power metrics are only available in Quorvane-Pro via XPC helper.");
    }
}
