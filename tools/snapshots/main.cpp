// Renders every view to PNG with fixed sample figures, in the Standard and Light themes:
//   qv-snapshots <folder>  writes <folder>/<theme>/<name>.png and <folder>/<theme>/no-sensors/<name>.png
#include "SampleData.h"
#include "SnapshotRegistry.h"

#include "records/ThemeManager.h"

#include <QApplication>
#include <QDir>
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

namespace {

int writeAll(const SnapshotRegistry& registry, const QString& folder)
{
    int failures = 0;
    for (AppTheme theme : {AppTheme::standard, AppTheme::light}) {
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

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: qv-snapshots <folder>\n");
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

    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int failures = writeAll(registry, folder);
    std::printf("qv-snapshots: %lld pictures per theme and sample in %s\n",
        static_cast<long long>(registry.entries().size()), qPrintable(QDir(folder).absolutePath()));
    return failures == 0 ? 0 : 1;
}
