// Renders every view to PNG with fixed sample figures, in the five themes, or audits their layout:
//   qv-snapshots <folder>             writes <folder>/<theme>/<name>.png and <folder>/<theme>/no-sensors/<name>.png
//   qv-snapshots --audit [<theme>...] renders every view in the themes named (all five when none) and checks
//                                     its layout (LayoutAudit.h); fails on a finding that is not a known one
//                                     (tools/audit/ExpectedLayoutFindings.cpp) and on a known one that no longer
//                                     occurs
//   qv-snapshots --help               prints the usage
// Any other argument that starts with "-" is refused (a folder of that name can be given as ./-name).
#include "ExpectedLayoutFindings.h"
#include "LayoutAudit.h"
#include "SampleData.h"
#include "SnapshotRegistry.h"

#include "records/ThemeManager.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

void registerKitSnapshots(SnapshotRegistry& registry);
void registerMenuBarSnapshots(SnapshotRegistry& registry);
void registerStorageSnapshots(SnapshotRegistry& registry);
void registerPopoverSnapshots(SnapshotRegistry& registry);
void registerDashboardPageSnapshots(SnapshotRegistry& registry);
void registerAdvisorSnapshots(SnapshotRegistry& registry);
void registerFrameSnapshots(SnapshotRegistry& registry);
void registerPrivacySnapshots(SnapshotRegistry& registry);
void registerSettingsSnapshots(SnapshotRegistry& registry);
void registerActionsSnapshots(SnapshotRegistry& registry);
void registerTourSnapshots(SnapshotRegistry& registry);
void registerSetupFailureSnapshots(SnapshotRegistry& registry);

namespace {

constexpr const char* kUsage
    = "usage: qv-snapshots <folder>              render every view into <folder>/<theme>/\n"
      "       qv-snapshots --audit [<theme>...]  check every view's layout (in all five themes when none is named)\n"
      "       qv-snapshots --help                print this\n";

int writeAll(const SnapshotRegistry& registry, const QString& folder)
{
    int failures = 0;
    for (AppTheme theme : allCases<AppTheme>()) {
        ThemeManager::shared().setCurrentTheme(theme);
        for (auto kind : {SampleData::Kind::sample, SampleData::Kind::noSensors}) {
            SampleData data(kind);
            QString dir = folder + QLatin1Char('/') + QString::fromStdString(rawValue(theme));
            if (kind == SampleData::Kind::noSensors)
                dir += QStringLiteral("/no-sensors");
            QDir().mkpath(dir);
            const SnapshotContext context {theme, Palette::forTheme(theme), data};
            for (const auto& entry : registry.entries()) {
                const QString path = dir + QLatin1Char('/') + entry.name + QStringLiteral(".png");
                if (!entry.render(context).save(path)) {
                    std::fprintf(stderr, "qv-snapshots: cannot write %s\n", qPrintable(path));
                    ++failures;
                }
            }
        }
    }
    return failures;
}

// Renders every picture of `themes` with and without sensors, the audit watching each grab.
int runAudit(const SnapshotRegistry& registry, const QStringList& themes)
{
    QElapsedTimer timer;
    timer.start();
    LayoutAudit audit;
    for (const QString& name : themes) {
        const AppTheme theme = *enumFromRawValue<AppTheme>(name.toStdString());
        ThemeManager::shared().setCurrentTheme(theme);
        for (auto kind : {SampleData::Kind::sample, SampleData::Kind::noSensors}) {
            SampleData data(kind);
            const SnapshotContext context {theme, Palette::forTheme(theme), data};
            const QString prefix = kind == SampleData::Kind::noSensors ? QStringLiteral("no-sensors/") : QString();
            for (const auto& entry : registry.entries()) {
                audit.beginView(prefix + entry.name, name);
                entry.render(context);
            }
        }
    }
    const LayoutAuditVerdict verdict = judgeLayoutFindings(audit.findings(), themes);
    for (const LayoutFinding& finding : verdict.unexpected)
        std::printf("layout-audit: FAULT %s\n", qPrintable(finding.line()));
    for (const QString& stale : verdict.stale)
        std::printf("layout-audit: MENDED %s: take it off the list in tools/audit/ExpectedLayoutFindings.cpp\n",
            qPrintable(stale));
    for (const LayoutFinding& finding : verdict.expected)
        std::printf("layout-audit: known %s\n", qPrintable(finding.line()));
    std::printf("layout-audit: %d grabs, %d widgets in %s: %lld faults, %lld mended, %lld known, %.1f s\n",
        audit.viewCount(), audit.widgetCount(), qPrintable(themes.join(QStringLiteral(", "))),
        static_cast<long long>(verdict.unexpected.size()), static_cast<long long>(verdict.stale.size()),
        static_cast<long long>(verdict.expected.size()), timer.elapsed() / 1000.0);
    return verdict.passed() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--help") == 0 || qstrcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    const bool auditing = argc >= 2 && qstrcmp(argv[1], "--audit") == 0;
    for (int i = auditing ? 2 : 1; i < argc; ++i) {
        if (argv[i][0] == '-') {
            std::fprintf(stderr, "qv-snapshots: unknown option %s\n%s", argv[i], kUsage);
            return 2;
        }
    }
    QStringList themes;
    for (int i = 2; auditing && i < argc; ++i)
        themes << QString::fromLocal8Bit(argv[i]);
    for (const QString& theme : themes) {
        if (!enumFromRawValue<AppTheme>(theme.toStdString())) {
            std::fprintf(stderr, "qv-snapshots: no theme %s\n", qPrintable(theme));
            return 2;
        }
    }
    if (!auditing && argc != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    // Offscreen unless asked otherwise, and with settings in a folder of their own, so a run never
    // touches the user's configuration.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        QDir().mkpath(home.filePath(QStringLiteral("runtime")));
        QFile::setPermissions(
            home.filePath(QStringLiteral("runtime")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", home.filePath(QStringLiteral("runtime")).toLocal8Bit());
    }
    QApplication app(argc, argv);

    SnapshotRegistry registry;
    registerKitSnapshots(registry);
    registerMenuBarSnapshots(registry);
    registerStorageSnapshots(registry);
    registerPopoverSnapshots(registry);
    registerDashboardPageSnapshots(registry);
    registerAdvisorSnapshots(registry);
    registerFrameSnapshots(registry);
    registerPrivacySnapshots(registry);
    registerSettingsSnapshots(registry);
    registerActionsSnapshots(registry);
    registerTourSnapshots(registry);
    registerSetupFailureSnapshots(registry);

    if (auditing) {
        if (themes.isEmpty()) {
            for (AppTheme theme : allCases<AppTheme>())
                themes << QString::fromStdString(rawValue(theme));
        }
        return runAudit(registry, themes);
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int failures = writeAll(registry, folder);
    std::printf("qv-snapshots: %lld pictures per theme and sample in %s\n",
        static_cast<long long>(registry.entries().size()), qPrintable(QDir(folder).absolutePath()));
    return failures == 0 ? 0 : 1;
}
