#include "records/PrivacyMetricsEngine.h"

#include "core/JsonFile.h"
#include "core/NumberFormat.h"
#include "core/UserDefaults.h"
#include "platform/desktop/HelperServiceProbe.h"
#include "platform/desktop/SystemdUnitProperties.h"
#include "records/AssistanceTracker.h"
#include "records/AuditLogger.h"
#include "records/BuildTimeTracker.h"
#include "records/DigestEngine.h"
#include "records/HelperHardening.h"
#include "records/ThemeManager.h"
#include "support/TurkishLocale.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>

#include <gtest/gtest.h>

#include <sys/stat.h>

using Engine = PrivacyMetricsEngine;
using Type = PrivacyMetricsEngine::ClearableDataType;

namespace {

class FakeProbe : public platform::HelperServiceProbe
{
public:
    UnitState state = UnitState::notFound;
    std::optional<std::string> version;
    std::string askedUnit;

    UnitState unitFileState(const std::string& unit) override
    {
        askedUnit = unit;
        return state;
    }
    std::optional<std::string> helperVersion(std::chrono::milliseconds) override { return version; }
    std::optional<std::string> shown; // what `systemctl show` answers; nothing: systemd cannot be asked
    std::optional<std::string> unitProperties(const std::string&, const std::vector<std::string>&) override
    {
        return shown;
    }
};

AuditEvent action(const std::string& description)
{
    return AuditEvent {Uuid::random(), Date::now(), "SIGSTOP", description, "node", 42, true};
}

// Every store in one temporary home, with an engine over them and a clock the test moves.
class PrivacyMetricsEngineTest : public ::testing::Test
{
protected:
    PrivacyMetricsEngineTest()
        : locations(PrivacyLocations::under(m_dir.path() + "/root", m_dir.path() + "/home"))
        , defaults(locations.settingsFile)
        , auditLogger(locations.dataDirectory)
        , assistance(locations.dataDirectory)
        , probe(std::make_shared<FakeProbe>())
        , engine({&auditLogger, &assistance, &defaults}, locations, probe, [this] { return now; })
    {
    }

    QString data(const QString& name) const { return locations.dataDirectory + "/" + name; }
    static std::int64_t sizeOf(const QString& path) { return QFileInfo(path).size(); }

    QTemporaryDir m_dir;
    PrivacyLocations locations;
    UserDefaults defaults;
    AuditLogger auditLogger;
    AssistanceTracker assistance;
    std::shared_ptr<FakeProbe> probe;
    Date now = Date::now();
    Engine engine;
};

} // namespace

TEST_F(PrivacyMetricsEngineTest, HelperActionsKeepTheFiftyNewestAndReachEveryOpenStream)
{
    std::vector<std::string> first;
    std::vector<std::string> second;
    auto early = engine.helperActivityStream([&](const AuditEvent& e) { first.push_back(e.actionDescription); });
    engine.recordHelperAction(action("a"));
    auto late = engine.helperActivityStream([&](const AuditEvent& e) { second.push_back(e.actionDescription); });
    engine.recordHelperAction(action("b"));
    EXPECT_EQ(first, (std::vector<std::string> {"a", "b"}));
    EXPECT_EQ(second, (std::vector<std::string> {"b"})); // nothing is replayed

    early.reset();
    engine.recordHelperAction(action("c"));
    EXPECT_EQ(first.size(), 2u);
    EXPECT_EQ(second, (std::vector<std::string> {"b", "c"}));

    // A listener may end its own stream from inside its callback.
    int heard = 0;
    std::unique_ptr<Engine::HelperActivityStream> once;
    once = engine.helperActivityStream([&](const AuditEvent&) {
        ++heard;
        once->cancel();
    });
    engine.recordHelperAction(action("d"));
    engine.recordHelperAction(action("e"));
    EXPECT_EQ(heard, 1);

    for (int i = 0; i < 45; ++i)
        engine.recordHelperAction(action("n" + std::to_string(i)));
    auto recent = engine.recentHelperActions();
    ASSERT_EQ(recent.size(), 50u);
    EXPECT_EQ(recent.front().actionDescription, "n44");
    EXPECT_EQ(recent.back().actionDescription, "a");
    engine.recordHelperAction(action("last"));
    recent = engine.recentHelperActions();
    ASSERT_EQ(recent.size(), 50u);
    EXPECT_EQ(recent.front().actionDescription, "last");
    EXPECT_EQ(recent.back().actionDescription, "b");
}

TEST_F(PrivacyMetricsEngineTest, StreamOutlivingItsEngineIsHarmless)
{
    auto temporary = std::make_unique<Engine>(Engine::Stores {}, locations, nullptr);
    int heard = 0;
    auto stream = temporary->helperActivityStream([&](const AuditEvent&) { ++heard; });
    temporary->recordHelperAction(action("x"));
    temporary.reset();
    stream->cancel();
    stream.reset();
    EXPECT_EQ(heard, 1);
}

TEST_F(PrivacyMetricsEngineTest, SameDayCallsShareAnEntryAndTheNextDayStartsANewOne)
{
    const QDateTime noon(QDate::currentDate(), QTime(12, 0));
    now = Date::from1970(static_cast<double>(noon.toSecsSinceEpoch()));
    engine.recordOwnNetworkCall("http://127.0.0.1:11434/api/ps", "List the models in memory");
    const Uuid firstId = engine.ownNetworkActivity().front().id;
    now = now.addingTimeInterval(3600);
    engine.recordOwnNetworkCall("http://127.0.0.1:11434/api/ps", "List the models in memory");
    engine.recordOwnNetworkCall("http://127.0.0.1:11434/api/ps", "Another purpose");

    auto ledger = engine.ownNetworkActivity();
    ASSERT_EQ(ledger.size(), 2u);
    EXPECT_EQ(ledger[0].purpose, "Another purpose");
    EXPECT_EQ(ledger[1].id, firstId);
    EXPECT_EQ(ledger[1].callCount, 2);
    EXPECT_EQ(ledger[1].timestamp, now);
    EXPECT_TRUE(ledger[1].isExpected);

    now = Date::from1970(static_cast<double>(QDateTime(noon.date().addDays(1), QTime(0, 0, 1)).toSecsSinceEpoch()));
    engine.recordOwnNetworkCall("http://127.0.0.1:11434/api/ps", "List the models in memory");
    ledger = engine.ownNetworkActivity();
    ASSERT_EQ(ledger.size(), 3u);
    EXPECT_EQ(ledger[0].callCount, 1);
    EXPECT_NE(ledger[0].id, firstId);
}

TEST_F(PrivacyMetricsEngineTest, CallCountsCoverTheLastDayAndLeaveLoopbackOutOfOutbound)
{
    EXPECT_EQ(engine.last24HourCallCount(), 0);
    const Date start = now;
    now = start.addingTimeInterval(-25 * 3600.0);
    engine.recordOwnNetworkCall("https://api.ipify.org/", "Look up the public IP address");
    now = start.addingTimeInterval(-3600);
    engine.recordOwnNetworkCall("http://localhost:11434/api/tags", "List");
    engine.recordOwnNetworkCall("http://127.0.0.1:11434/api/ps", "List");
    engine.recordOwnNetworkCall("https://api.ipify.org/", "Look up the public IP address");
    engine.recordOwnNetworkCall("https://api.ipify.org/", "Look up the public IP address");
    now = start;
    EXPECT_EQ(engine.last24HourCallCount(), 4);
    EXPECT_EQ(engine.outboundNonLocalCallCount(), 2);
    now = start.addingTimeInterval(23 * 3600.0 - 1);
    EXPECT_EQ(engine.last24HourCallCount(), 4);
    now = start.addingTimeInterval(23 * 3600.0);
    EXPECT_EQ(engine.last24HourCallCount(), 0);
}

TEST_F(PrivacyMetricsEngineTest, InventoryMatchesTheStoresOnDisk)
{
    const Engine::DataInventory empty = engine.calculateDataInventory();
    EXPECT_EQ(empty, Engine::DataInventory {});
    EXPECT_EQ(empty.totalSizeFormatted(), "Zero KB");

    auditLogger.log(action("one"));
    auditLogger.log(action("two"));
    assistance.record(
        AssistanceCategory::storage, "Storage Reclaimed", "Archived 1 unused model(s)", "+1.0 GB", 0, 1, 0);
    assistance.record(AssistanceCategory::memory, "Model Unloaded", "Unloaded x", "RAM restored", 0, 0, 0);
    BuildTimeTracker builds(defaults);
    builds.recordBuild(10, true);
    builds.recordBuild(20, false);
    builds.recordBuild(30, false);
    DigestEngine digests(defaults);
    digests.addDigest(WeeklyDigest {});
    defaults.sync();

    const auto inventory = engine.calculateDataInventory();
    EXPECT_EQ(inventory.auditLogEntries, 2);
    EXPECT_EQ(inventory.auditLogSizeBytes, sizeOf(data("audit_log.json")));
    EXPECT_EQ(inventory.memoryHistoryDays, 1);
    EXPECT_EQ(inventory.memoryHistorySizeBytes, sizeOf(data("assistance_history.json")));
    EXPECT_EQ(inventory.buildHistorySessions, 3);
    EXPECT_EQ(inventory.buildHistorySizeBytes,
        static_cast<std::int64_t>(defaults.data(BuildTimeTracker::userDefaultsKey)->size()));
    EXPECT_EQ(inventory.weeklyDigestCount, 1);
    EXPECT_EQ(
        inventory.weeklyDigestSizeBytes, static_cast<std::int64_t>(defaults.data(DigestEngine::digestsKey)->size()));
    EXPECT_EQ(inventory.settingsSizeBytes, sizeOf(locations.settingsFile));
    EXPECT_GT(inventory.settingsSizeBytes, 0);
    // The total is what lies on disk: the build history and digests once (inside the settings file),
    // the lifetime counters, and copies set aside beside the records and the settings.
    const std::int64_t files = sizeOf(data("audit_log.json")) + sizeOf(data("assistance_history.json"))
        + sizeOf(data("saved_you_metrics.json")) + sizeOf(locations.settingsFile);
    EXPECT_EQ(inventory.totalSizeBytes(), files);
    ASSERT_TRUE(jsonfile::writeAtomically(data("audit_log.json.corrupt-1"), "[{"));
    ASSERT_TRUE(jsonfile::writeAtomically(locations.settingsFile + ".corrupt-1", "[General]\nx"));
    EXPECT_EQ(engine.calculateDataInventory().totalSizeBytes(), files + 2 + 11);
}

TEST_F(PrivacyMetricsEngineTest, ErasingOneSettingsCategoryTakesItOutOfSetAsideSettingsToo)
{
    BuildTimeTracker builds(defaults);
    builds.recordBuild(10, true);
    DigestEngine digests(defaults);
    digests.addDigest(WeeklyDigest {});
    defaults.setString(ThemeManager::userDefaultsKey, "Nordic");
    defaults.sync();
    // The settings file as it was when it could not be read, kept aside with all it held.
    QFile settings(locations.settingsFile);
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    const QByteArray kept = settings.readAll();
    const QString aside = locations.settingsFile + ".corrupt-1700000000";
    ASSERT_TRUE(jsonfile::writeAtomically(aside, kept.toStdString() + "[Gen"));
    const auto keyLines = [&] {
        QFile copy(aside);
        EXPECT_TRUE(copy.open(QIODevice::ReadOnly));
        QStringList keys;
        for (const QByteArray& line : copy.readAll().split('\n'))
            keys << QString::fromUtf8(line.split('=').first());
        return keys;
    };
    ASSERT_TRUE(keyLines().contains(BuildTimeTracker::userDefaultsKey));

    EXPECT_TRUE(engine.clearData({Type::buildHistory}).empty());
    EXPECT_FALSE(keyLines().contains(BuildTimeTracker::userDefaultsKey));
    EXPECT_TRUE(keyLines().contains(DigestEngine::digestsKey));
    EXPECT_TRUE(engine.clearData({Type::weeklyDigests}).empty());
    // What else the copy held stays for the user, down to its cut-off end.
    EXPECT_EQ(keyLines(), (QStringList {"[General]", ThemeManager::userDefaultsKey, "[Gen"}));
}

TEST_F(PrivacyMetricsEngineTest, ErasingEverythingEmptiesTheStoresAndRunningEnginesTakeDefaults)
{
    auditLogger.log(action("one"));
    engine.recordHelperAction(action("one"));
    assistance.record(AssistanceCategory::computing, "Process Suspended", "Sent SIGSTOP", "CPU freed", 2, 1, 3);
    BuildTimeTracker builds(defaults);
    builds.recordBuild(10, true);
    DigestEngine digests(defaults);
    digests.addDigest(WeeklyDigest {});
    ThemeManager theme(defaults);
    theme.setCurrentTheme(AppTheme::nordic);
    defaults.setString("com.quorvane.personaconfig", "{}");

    std::set<Type> told;
    engine.setOnErased([&](const std::set<Type>& erased) { told = erased; });
    EXPECT_TRUE(engine.clearAllData().empty());
    EXPECT_EQ(told.size(), 6u);
    QCoreApplication::processEvents();

    EXPECT_TRUE(auditLogger.fetchAllEvents().empty());
    EXPECT_FALSE(QFile::exists(data("audit_log.json")));
    EXPECT_TRUE(engine.recentHelperActions().empty());
    EXPECT_TRUE(assistance.fetchEvents(AssistanceCategory::all, 100).empty());
    EXPECT_EQ(assistance.getMetrics().buildsProtected, 0);
    EXPECT_EQ(assistance.getMetrics().totalHoursSaved, 0);
    AssistanceTracker reread(locations.dataDirectory);
    EXPECT_TRUE(reread.fetchEvents(AssistanceCategory::all, 100).empty());
    EXPECT_EQ(reread.getMetrics().totalGBFreed, 0);
    EXPECT_TRUE(defaults.allKeys().isEmpty());
    EXPECT_EQ(builds.getStats(), BuildTimeTracker::BuildStats {});
    EXPECT_TRUE(digests.getDigests().empty());
    EXPECT_EQ(theme.currentTheme(), AppTheme::standard);
    EXPECT_FALSE(defaults.contains(ThemeManager::userDefaultsKey));

    // The next build is counted alone instead of writing the erased totals back.
    builds.recordBuild(5, false);
    EXPECT_EQ(BuildTimeTracker(defaults).getStats().totalBuilds, 1);
    const auto inventory = engine.calculateDataInventory();
    EXPECT_EQ(inventory.auditLogEntries, 0);
    EXPECT_EQ(inventory.memoryHistoryDays, 0);
    EXPECT_EQ(inventory.buildHistorySessions, 1);
}

TEST_F(PrivacyMetricsEngineTest, ErasureReportsOnlyTheCategoriesThatFailed)
{
    // Nothing stored at all: every erasure succeeds.
    EXPECT_TRUE(engine.clearData({Type::auditLog, Type::memoryHistory, Type::buildHistory}).empty());
    EXPECT_TRUE(engine.clearData({}).empty());

    // A folder where a file belongs can be neither removed as a file nor overwritten.
    QDir().mkpath(data("audit_log.json/keep"));
    QDir().mkpath(data("saved_you_metrics.json/keep"));
    std::set<Type> told;
    engine.setOnErased([&](const std::set<Type>& erased) { told = erased; });
    const auto failed = engine.clearData({Type::savedYouMetrics, Type::auditLog, Type::weeklyDigests});
    EXPECT_EQ(failed, (std::vector<Type> {Type::auditLog, Type::savedYouMetrics}));
    EXPECT_EQ(told, std::set<Type> {Type::weeklyDigests});
}

TEST_F(PrivacyMetricsEngineTest, HelperStatusComesFromSystemdAndARealRoundTrip)
{
    probe->state = platform::HelperServiceProbe::UnitState::enabled;
    probe->version = "1.0.0";
    auto status = engine.helperStatus();
    EXPECT_EQ(probe->askedUnit, "com.quorvane.helper.socket");
    EXPECT_TRUE(status.isInstalled);
    EXPECT_TRUE(status.isConnected);
    EXPECT_EQ(status.version, "1.0.0");
    EXPECT_EQ(status.bundleID, "com.quorvane.helper");

    probe->state = platform::HelperServiceProbe::UnitState::notFound;
    probe->version.reset();
    status = engine.helperStatus();
    EXPECT_FALSE(status.isInstalled);
    EXPECT_FALSE(status.isConnected);
    EXPECT_EQ(status.version, "unknown");
    EXPECT_FALSE(status.isRootOwned); // no binary installed

    // Installed but not answering: installed, not connected.
    probe->state = platform::HelperServiceProbe::UnitState::enabled;
    status = engine.helperStatus();
    EXPECT_TRUE(status.isInstalled);
    EXPECT_FALSE(status.isConnected);
}

TEST_F(PrivacyMetricsEngineTest, EntitlementsAreTheHardeningOfTheInstalledUnit)
{
    // The unit the package ships, as systemd reads it.
    QFile shipped(QStringLiteral(QV_TEST_DATA_DIR "/../../helper/dist/com.quorvane.helper.service.in"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    const QByteArray unit = shipped.readAll();
    const auto place = [&](const QString& folder, const QByteArray& text) {
        QDir().mkpath(folder);
        QFile file(folder + "/com.quorvane.helper.service");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };

    probe->state = platform::HelperServiceProbe::UnitState::enabled;
    EXPECT_TRUE(engine.helperStatus().entitlements.empty()); // enabled, but no unit file to read
    place(locations.packageUnitFolder, unit);
    auto status = engine.helperStatus();
    const auto& settings = status.entitlements;
    const auto has = [&](const std::string& setting) {
        return std::find(settings.begin(), settings.end(), setting) != settings.end();
    };
    EXPECT_TRUE(has("CapabilityBoundingSet=CAP_KILL CAP_SYS_PTRACE"));
    EXPECT_TRUE(has("AmbientCapabilities="));
    EXPECT_TRUE(has("RestrictAddressFamilies=AF_UNIX AF_NETLINK"));
    EXPECT_TRUE(has("ProtectHome=yes"));
    EXPECT_TRUE(has("SystemCallFilter=~@privileged @resources"));
    for (const auto& setting : settings)
        EXPECT_NE(setting.rfind("ExecStart", 0), 0u) << setting; // only what bounds the helper
    const auto described = status.entitlementDescriptions();
    ASSERT_EQ(described.size(), settings.size());
    EXPECT_NE(described.front().second, described.front().first);
    EXPECT_NE(std::find_if(described.begin(), described.end(),
                  [](const auto& d) { return d.second.find("CAP_KILL signals") != std::string::npos; }),
        described.end());

    // A unit in /etc wins over the package's, as it does for systemd; a helper that is not installed
    // lists nothing.
    place(locations.systemUnitFolder,
        "[Unit]\nDescription=x\n[Service]\nNoNewPrivileges=yes\n  # note\n"
        "CapabilityBoundingSet=CAP_KILL \\\n  CAP_SYS_PTRACE\n[Install]\nUser=nobody\n");
    EXPECT_EQ(engine.helperStatus().entitlements,
        (std::vector<std::string> {"NoNewPrivileges=yes", "CapabilityBoundingSet=CAP_KILL CAP_SYS_PTRACE"}));
    probe->state = platform::HelperServiceProbe::UnitState::notFound;
    EXPECT_TRUE(engine.helperStatus().entitlements.empty());
}

TEST_F(PrivacyMetricsEngineTest, EntitlementsAreWhatSystemdAppliesWithItsDropIns)
{
    QDir().mkpath(locations.systemUnitFolder);
    QFile unit(locations.systemUnitFolder + "/com.quorvane.helper.service");
    ASSERT_TRUE(unit.open(QIODevice::WriteOnly));
    unit.write("[Service]\nPrivateNetwork=yes\nCapabilityBoundingSet=CAP_KILL\n");
    unit.close();
    probe->state = platform::HelperServiceProbe::UnitState::enabled;

    // A drop-in (`systemctl edit`) turned the private network off and widened the bounding set.
    probe->shown = "LoadState=loaded\nPrivateNetwork=no\nCapabilityBoundingSet=cap_kill cap_net_admin cap_sys_admin\n"
                   "FragmentPath=/etc/systemd/system/com.quorvane.helper.service\n"
                   "DropInPaths=/etc/systemd/system/com.quorvane.helper.service.d/override.conf\n";
    auto status = engine.helperStatus();
    EXPECT_EQ(status.entitlementSource, HelperStatus::EntitlementSource::systemd);
    EXPECT_EQ(status.entitlements,
        (std::vector<std::string> {"CapabilityBoundingSet=cap_kill cap_net_admin cap_sys_admin", "PrivateNetwork=no"}));
    EXPECT_EQ(status.entitlementFiles,
        (std::vector<std::string> {"/etc/systemd/system/com.quorvane.helper.service",
            "/etc/systemd/system/com.quorvane.helper.service.d/override.conf"}));
    const auto described = status.entitlementDescriptions();
    ASSERT_EQ(described.size(), 2u);
    EXPECT_EQ(described[0].second,
        "The only root privileges it keeps; every other one is dropped; CAP_KILL signals other users' processes; "
        "it also keeps CAP_NET_ADMIN and CAP_SYS_ADMIN, which it does not need");
    EXPECT_EQ(
        described[1].second, "Not cut off from the network: only its other settings keep it from other computers");

    // A unit systemd could not load answers with defaults, not the unit's values: the file is read instead,
    // and says so.
    probe->shown = "LoadState=not-found\nPrivateNetwork=no\n";
    status = engine.helperStatus();
    EXPECT_EQ(status.entitlementSource, HelperStatus::EntitlementSource::unitFile);
    EXPECT_EQ(status.entitlements, (std::vector<std::string> {"PrivateNetwork=yes", "CapabilityBoundingSet=CAP_KILL"}));
    EXPECT_EQ(status.entitlementFiles,
        (std::vector<std::string> {(locations.systemUnitFolder + "/com.quorvane.helper.service").toStdString()}));
    probe->shown.reset();
    EXPECT_EQ(engine.helperStatus().entitlementSource, HelperStatus::EntitlementSource::unitFile);
}

TEST(HelperHardeningTest, DescriptionsFollowTheValueNotOnlyTheKey)
{
    const auto said = [](const char* setting) { return HelperHardening::describe(setting).value_or("(none)"); };
    // As the shipped unit writes them, and as systemd reports the same settings.
    EXPECT_EQ(said("IPAddressDeny=any"), "Every IP address refused");
    EXPECT_EQ(said("IPAddressDeny=0.0.0.0/0 ::/0"), "Every IP address refused");
    EXPECT_EQ(said("IPAddressDeny=10.0.0.0/8"), "Only these IP addresses are refused");
    EXPECT_EQ(said("IPAddressDeny="), "No IP address is refused");
    EXPECT_EQ(said("SystemCallErrorNumber=EPERM"), "A refused system call fails instead of ending the helper");
    EXPECT_EQ(said("SystemCallErrorNumber=kill"), "A refused system call ends the helper");
    EXPECT_EQ(said("RestrictAddressFamilies=AF_UNIX"), "Only local (Unix) sockets");
    EXPECT_EQ(said("RestrictAddressFamilies=~AF_PACKET"), "Every kind of socket but these, network ones included");
    EXPECT_EQ(said("RestrictAddressFamilies="), "Any kind of socket, network ones included");
    EXPECT_EQ(said("ProtectHome=read-only"), "Home folders are read-only to it: it can read your files");
    EXPECT_EQ(said("ProtectSystem=no"), "The system's files are not protected from it");
    EXPECT_EQ(said("UMask=0022"), "Files it creates may be readable by others");
    EXPECT_EQ(said("CapabilityBoundingSet="), "Keeps no root privilege at all");
    EXPECT_EQ(said("User="), "Runs as root: no other account is set");
    EXPECT_EQ(said("ExecStart=/bin/true"), "(none)");
}

TEST(HelperHardeningTest, CapabilitiesAreNamedAlikeInATurkishLocale)
{
    TurkishLocale turkish;
    if (!turkish.active())
        GTEST_SKIP() << turkish.whyNot();
    // systemd writes the bounding set in small letters.
    EXPECT_EQ(HelperHardening::describe("CapabilityBoundingSet=cap_kill cap_sys_ptrace cap_sys_admin"),
        "The only root privileges it keeps; every other one is dropped; CAP_KILL signals other users' processes; "
        "CAP_SYS_PTRACE reads which program a process runs; it also keeps CAP_SYS_ADMIN, which it does not need");
}

TEST(SystemdHelperProbeTest, AnswersOnThisMachineWithinItsTimeOut)
{
    // Whatever this machine has (no system bus, no unit, the helper installed), the probe answers
    // promptly, and a unit that is not installed is never reported enabled.
    platform::SystemdHelperProbe probe;
    const auto start = std::chrono::steady_clock::now();
    const auto state = probe.unitFileState("com.quorvane.helper.socket");
    const auto missing = probe.unitFileState("quorvane-no-such-unit.socket");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    EXPECT_NE(missing, platform::HelperServiceProbe::UnitState::enabled);
    if (!QFileInfo::exists("/etc/systemd/system/com.quorvane.helper.socket")) {
        EXPECT_NE(state, platform::HelperServiceProbe::UnitState::enabled);
    }
}

TEST(SystemdUnitPropertiesTest, AHungOrFailingSystemctlGivesNothingInTime)
{
    QTemporaryDir dir;
    const auto tool = [&](const QString& name, const QByteArray& script) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + script);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return dir.filePath(name).toStdString();
    };
    using namespace std::chrono_literals;
    const std::string echo = tool("echo", "printf 'LoadState=loaded\\n%s\\n' \"$*\"\n");
    EXPECT_EQ(platform::showUnitProperties("x.service", {"LoadState", "User"}, 5000ms, echo),
        "LoadState=loaded\nshow --no-pager --all --property=LoadState --property=User -- x.service\n");
    // Without systemd as init, systemctl fails: no answer rather than its defaults.
    EXPECT_FALSE(platform::showUnitProperties("x.service", {"LoadState"}, 5000ms, tool("fail", "exit 1\n")));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(platform::showUnitProperties("x.service", {"LoadState"}, 300ms, tool("hang", "exec sleep 30\n")));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_FALSE(
        platform::showUnitProperties("x.service", {"LoadState"}, 300ms, dir.filePath("missing").toStdString()));
}

TEST_F(PrivacyMetricsEngineTest, SignatureRowChecksOwnerAndWritePermissionsOfTheHelperBinary)
{
    const auto signedFor = [this](const QString& binary) {
        PrivacyLocations where = locations;
        where.helperBinary = binary;
        return Engine(Engine::Stores {}, where, nullptr).helperStatus().isRootOwned;
    };
    EXPECT_TRUE(signedFor("/usr/bin/env")); // root-owned, mode 0755
    EXPECT_FALSE(signedFor(m_dir.path() + "/missing"));

    const QString binary = m_dir.path() + "/quorvane-helper";
    QFile file(binary);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    ::chmod(binary.toLocal8Bit().constData(), 0775);
    EXPECT_FALSE(signedFor(binary));
    ::chmod(binary.toLocal8Bit().constData(), 0757);
    EXPECT_FALSE(signedFor(binary));
    ::chmod(binary.toLocal8Bit().constData(), 0755);
    EXPECT_EQ(signedFor(binary), ::getuid() == 0);
}

TEST_F(PrivacyMetricsEngineTest, TheHelperCheckedIsThisCopysOwnWhereInstalledElseThePackages)
{
    // A copy built for another prefix with nothing of its own there meets the package's helper.
    const QString root = m_dir.filePath("machine");
    const PrivacyLocations bare = PrivacyLocations::under(root, m_dir.filePath("home"));
    EXPECT_EQ(bare.helperBinary, root + "/usr/libexec/quorvane/quorvane-helper");
    const QString own = bare.helperFolder + "/quorvane-helper";
    ASSERT_TRUE(QDir().mkpath(bare.helperFolder));
    QFile file(own);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(PrivacyLocations::under(root, m_dir.filePath("home")).helperBinary, own);
}

TEST_F(PrivacyMetricsEngineTest, RemovalCheckFindsLeftoversOnATemporaryMachine)
{
    auto result = engine.verifyCompleteRemoval();
    ASSERT_EQ(result.checks.size(), 5u);
    EXPECT_TRUE(result.isClean());
    EXPECT_EQ(result.checks[0].path, (locations.systemUnitFolder + "/com.quorvane.helper.socket").toStdString());
    EXPECT_EQ(result.checks[2].path, locations.dataDirectory.toStdString());
    EXPECT_EQ(result.checks[3].path, QFileInfo(locations.settingsFile).absolutePath().toStdString());
    EXPECT_EQ(result.checks[4].description, "Autostart Entry");
    // The stores made their (empty) data folder; an empty folder is no leftover.
    EXPECT_TRUE(result.checks[2].exists);
    EXPECT_TRUE(result.checks[2].isEmpty);
    for (const auto& check : {result.checks[0], result.checks[1], result.checks[4]}) {
        EXPECT_FALSE(check.exists) << check.path;
        EXPECT_TRUE(check.isEmpty) << check.path;
    }

    // A settings file, an autostart entry or a unit file is.
    QDir().mkpath(QFileInfo(locations.autostartEntry).path());
    QFile(locations.autostartEntry).open(QIODevice::WriteOnly);
    result = engine.verifyCompleteRemoval();
    EXPECT_FALSE(result.isClean());
    EXPECT_TRUE(result.checks[4].exists);
    EXPECT_FALSE(result.checks[4].isEmpty);
    QFile::remove(locations.autostartEntry);

    QDir().mkpath(locations.systemUnitFolder);
    QFile(locations.systemUnitFolder + "/com.quorvane.helper.service").open(QIODevice::WriteOnly);
    result = engine.verifyCompleteRemoval();
    EXPECT_FALSE(result.isClean());
    EXPECT_EQ(result.checks[1].description, "Helper Service Unit (older install)");
    EXPECT_TRUE(result.checks[1].exists);
    defaults.setString("appTheme", "Light");
    EXPECT_FALSE(engine.verifyCompleteRemoval().checks[3].isEmpty);
}

// $XDG_DATA_HOME and $XDG_CONFIG_HOME move the records and the settings: the checks name the folders
// where they are, from "~" only when they lie in the home folder.
TEST_F(PrivacyMetricsEngineTest, RemovalCheckNamesTheUserFoldersWhereTheyAre)
{
    ASSERT_FALSE(m_dir.path().startsWith(QDir::homePath() + "/"));
    auto checks = engine.verifyCompleteRemoval().checks;
    EXPECT_EQ(checks[2].description, "Records (" + locations.dataDirectory.toStdString() + ")");
    EXPECT_EQ(
        checks[3].description, "Settings (" + QFileInfo(locations.settingsFile).absolutePath().toStdString() + ")");

    // Only looked at: nothing is written to the home folder.
    PrivacyLocations inHome = locations;
    inHome.dataDirectory = QDir::homePath() + "/xdg data/Quorvane";
    inHome.settingsFile = QDir::homePath() + "/xdg config/Quorvane/Quorvane Pro.conf";
    const Engine moved({&auditLogger, &assistance, &defaults}, inHome, probe);
    checks = moved.verifyCompleteRemoval().checks;
    EXPECT_EQ(checks[2].description, "Records (~/xdg data/Quorvane)");
    EXPECT_EQ(checks[3].description, "Settings (~/xdg config/Quorvane)");
}

TEST_F(PrivacyMetricsEngineTest, ClearingAllDataOfARealRunVerifiesCleanAndNothingComesBackAfterARestart)
{
    // What a run leaves: every store's file, a history that did not decode and was set aside, a write
    // cut short, launch at login, and a set-aside list of suspended processes.
    QDir().mkpath(locations.dataDirectory);
    QFile bad(data("assistance_history.json"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("[{\"id\": 1}]");
    bad.close();
    {
        AssistanceTracker loadsTheBadFile(locations.dataDirectory);
    }
    assistance.record(AssistanceCategory::computing, "Process Suspended", "Sent SIGSTOP", "CPU freed", 2, 1, 3);
    auditLogger.log(action("Suspended process"));
    BuildTimeTracker builds(defaults);
    builds.recordBuild(10, true);
    DigestEngine digests(defaults);
    digests.addDigest(WeeklyDigest {});
    defaults.setString("appTheme", "Nordic");
    for (const QString& path :
        {data("audit_log.json.Xy12Ab"), data("suspended_processes.json.corrupt-1"), locations.autostartEntry}) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    ASSERT_FALSE(engine.verifyCompleteRemoval().isClean());

    EXPECT_TRUE(engine.clearAllData().empty());
    const auto result = engine.verifyCompleteRemoval();
    EXPECT_TRUE(result.isClean());
    for (const auto& check : result.checks)
        EXPECT_TRUE(check.isEmpty) << check.path;

    // A restart finds nothing of it, and a store writes a file again only for a new record.
    AssistanceTracker tracker(locations.dataDirectory);
    AuditLogger logger(locations.dataDirectory);
    UserDefaults settings(locations.settingsFile);
    EXPECT_TRUE(tracker.fetchEvents(AssistanceCategory::all, 100).empty());
    EXPECT_EQ(tracker.getMetrics().buildsProtected, 0);
    EXPECT_TRUE(logger.fetchAllEvents().empty());
    EXPECT_TRUE(settings.allKeys().isEmpty());
    EXPECT_EQ(BuildTimeTracker(settings).getStats(), BuildTimeTracker::BuildStats {});
    EXPECT_TRUE(DigestEngine(settings).getDigests().empty());
    EXPECT_TRUE(QDir(locations.dataDirectory).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    tracker.record(AssistanceCategory::memory, "Model Unloaded", "Unloaded x", "RAM restored", 0, 0, 0);
    EXPECT_TRUE(QFile::exists(data("assistance_history.json")));
}

TEST(ByteCountTextTest, DecimalUnitsAtTheirBoundaries)
{
    EXPECT_EQ(byteCountText(0), "Zero KB");
    EXPECT_EQ(byteCountText(1), "1 byte");
    EXPECT_EQ(byteCountText(999), "999 bytes");
    EXPECT_EQ(byteCountText(1000), "1 KB");
    EXPECT_EQ(byteCountText(1500000), "1.5 MB");
    EXPECT_EQ(byteCountText(2340000000), "2.34 GB");
}
