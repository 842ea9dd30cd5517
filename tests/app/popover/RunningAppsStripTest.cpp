#include "PopoverTestSupport.h"

#include "popover/AppDirectory.h"
#include "popover/ProcessListView.h"
#include "popover/RunningAppsStrip.h"

#include <QFile>
#include <QImage>
#include <QTest>

using popovertest::PopoverFixture;

namespace {

// Installed applications with image icons and the user's processes that run them.
class RunningAppsStripTest : public PopoverFixture
{
protected:
    RunningAppsStripTest()
    {
        QDir(apps.path()).mkpath(QStringLiteral("applications"));
        QDir(apps.path()).mkpath(QStringLiteral("proc"));
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(Qt::red);
        image.save(apps.filePath(QStringLiteral("icon.png")));
    }

    void install(const QString& id, const QString& exec, const QString& name)
    {
        QFile f(apps.filePath(QStringLiteral("applications/") + id + QStringLiteral(".desktop")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray body = "[Desktop Entry]\nType=Application\nExec=" + exec.toUtf8()
            + "\nIcon=" + apps.filePath(QStringLiteral("icon.png")).toUtf8() + "\n";
        if (!name.isEmpty())
            body += "Name=" + name.toUtf8() + "\n";
        f.write(body);
    }

    void run(int pid, const QString& exe)
    {
        const QString dir = apps.filePath(QStringLiteral("proc/%1").arg(pid));
        QDir().mkpath(dir);
        QFile::link(QStringLiteral("/usr/bin/") + exe, dir + QStringLiteral("/exe"));
    }

    std::unique_ptr<AppDirectory> directory()
    {
        const QString root = apps.path();
        auto d = std::make_unique<AppDirectory>([root] {
            return std::make_shared<platform::DesktopAppRegistry>(
                root + QStringLiteral("/proc"), QStringList {root + QStringLiteral("/applications")}, std::nullopt, 1);
        });
        d->waitForIdle();
        return d;
    }

    QTemporaryDir apps;
};

} // namespace

TEST_F(RunningAppsStripTest, ShowsTheFirstSevenApplicationsAndNamesTheNameless)
{
    for (int i = 0; i < 9; ++i) {
        install(QStringLiteral("app%1").arg(i), QStringLiteral("prog%1").arg(i),
            i == 0 ? QString() : QStringLiteral("App %1").arg(i));
        run(2000 + i, QStringLiteral("prog%1").arg(i));
    }
    auto apps = directory();
    RunningAppsStrip strip(*apps, *dashboard);
    strip.show();
    // A failed QTRY_ macro would only return, unseen by the test.
    ASSERT_TRUE(QTest::qWaitFor([&] { return strip.appCount() == RunningAppsStrip::kMaxApps; }, 5000))
        << strip.appCount();
    const QStringList tips = strip.toolTips();
    EXPECT_EQ(tips.value(0), QStringLiteral("Application"));
    EXPECT_EQ(tips.value(6), QStringLiteral("App 6"));
}

TEST_F(RunningAppsStripTest, ProcessRowsOfInstalledApplicationsDrawTheirIcon)
{
    install(QStringLiteral("editor"), QStringLiteral("code %F"), QStringLiteral("Editor"));
    run(3000, QStringLiteral("code"));
    auto apps = directory();
    ProcessListView list(*dashboard, apps.get(), themes);
    auto s = sample();
    s.processes = std::vector<RunningProcess> {{3000, "code", 10, 40, {}}, {3001, "make", 10, 20, {}}};
    dashboard->publishSample(s);
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_TRUE(list.rowHasAppIcon(0));
    // A command-line tool of no application keeps the cpu symbol.
    EXPECT_FALSE(list.rowHasAppIcon(1));
}
