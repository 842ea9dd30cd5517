#include "platform/desktop/DesktopAppRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using platform::DesktopAppRegistry;

namespace {

// A /proc tree and two application folders (the user's, then the system's).
class DesktopAppRegistryTest : public ::testing::Test
{
protected:
    DesktopAppRegistryTest()
    {
        QDir root(dir.path());
        root.mkpath(QStringLiteral("proc"));
        root.mkpath(QStringLiteral("user"));
        root.mkpath(QStringLiteral("system"));
    }

    void entry(const QString& folder, const QString& id, const QByteArray& body)
    {
        QFile f(dir.filePath(folder + QLatin1Char('/') + id + QStringLiteral(".desktop")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Desktop Entry]\n" + body);
    }

    void process(int pid, const QString& exePath, const QString& comm)
    {
        const QString p = dir.filePath(QStringLiteral("proc/%1").arg(pid));
        QDir().mkpath(p);
        if (!exePath.isEmpty())
            QFile::link(exePath, p + QStringLiteral("/exe"));
        QFile f(p + QStringLiteral("/comm"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(comm.toUtf8() + "\n");
    }

    DesktopAppRegistry registry(std::int32_t self = 1)
    {
        return DesktopAppRegistry(dir.filePath(QStringLiteral("proc")),
            {dir.filePath(QStringLiteral("user")), dir.filePath(QStringLiteral("system"))}, std::nullopt, self);
    }

    QTemporaryDir dir;
};

} // namespace

TEST(DesktopEntryParseTest, KeepsOnlyShownApplicationsWithAnIcon)
{
    const auto app
        = DesktopAppRegistry::parseEntry(QStringLiteral("[Desktop Entry]\nType=Application\nName=Editor\n"
                                                        "Exec=env GDK_BACKEND=x11 /usr/bin/code --new %F\n"
                                                        "Icon=code\nStartupWMClass=Code\nDBusActivatable=true\n"
                                                        "[Desktop Action new]\nExec=other\n"),
            QStringLiteral("code"));
    ASSERT_TRUE(app);
    EXPECT_EQ(app->execName, QStringLiteral("code"));
    EXPECT_EQ(app->wmClass, QStringLiteral("Code"));
    EXPECT_EQ(app->name, QStringLiteral("Editor"));
    EXPECT_TRUE(app->dbusActivatable);

    EXPECT_FALSE(DesktopAppRegistry::parseEntry(
        QStringLiteral("[Desktop Entry]\nType=Application\nExec=a\nIcon=a\nNoDisplay=true\n"), QStringLiteral("a")));
    EXPECT_FALSE(DesktopAppRegistry::parseEntry(
        QStringLiteral("[Desktop Entry]\nType=Application\nExec=a\n"), QStringLiteral("a")));
    EXPECT_FALSE(DesktopAppRegistry::parseEntry(
        QStringLiteral("[Desktop Entry]\nType=Link\nURL=x\nIcon=a\n"), QStringLiteral("a")));
    EXPECT_FALSE(DesktopAppRegistry::parseEntry(QString(), QStringLiteral("a")));
}

TEST_F(DesktopAppRegistryTest, OneEntryPerApplicationOrderedByPidWithoutThisProgram)
{
    entry(QStringLiteral("system"), QStringLiteral("org.example.Editor"),
        "Type=Application\nName=Editor\nExec=code %F\nIcon=code\n");
    entry(QStringLiteral("system"), QStringLiteral("xterm"), "Type=Application\nName=XTerm\nExec=xterm\nIcon=xterm\n");
    entry(QStringLiteral("system"), QStringLiteral("hidden"),
        "Type=Application\nName=Hidden\nExec=hidden\nIcon=h\nNoDisplay=true\n");
    entry(QStringLiteral("system"), QStringLiteral("noicon"), "Type=Application\nName=NoIcon\nExec=noicon\n");
    entry(QStringLiteral("system"), QStringLiteral("browser"),
        "Type=Application\nName=Browser\nExec=/opt/browser/launcher\nIcon=browser\nStartupWMClass=firefox-esr\n");
    entry(QStringLiteral("system"), QStringLiteral("quorvane-pro"),
        "Type=Application\nName=Quorvane Pro\nExec=quorvane-pro\nIcon=quorvane-pro\n");
    // The user's own entry hides the system one of the same id.
    entry(QStringLiteral("user"), QStringLiteral("xterm"),
        "Type=Application\nName=My XTerm\nExec=xterm -fa Mono\nIcon=xterm\n");

    process(900, QStringLiteral("/usr/bin/quorvane-pro"), QStringLiteral("quorvane-pro"));
    process(901, QStringLiteral("/usr/bin/quorvane-pro"), QStringLiteral("quorvane-pro")); // a second copy
    process(1300, QStringLiteral("/usr/bin/xterm"), QStringLiteral("xterm"));
    process(1200, QStringLiteral("/usr/share/code/code"), QStringLiteral("code"));
    process(1201, QStringLiteral("/usr/share/code/code"), QStringLiteral("code"));
    process(1400, QStringLiteral("/usr/bin/hidden"), QStringLiteral("hidden"));
    process(1500, QStringLiteral("/usr/bin/noicon"), QStringLiteral("noicon"));
    process(1600, QStringLiteral("/usr/lib/firefox-esr/firefox-esr"), QStringLiteral("firefox-esr"));
    process(1700, QString(), QStringLiteral("kworker/0:1")); // a kernel thread: no executable
    QDir(dir.path()).mkpath(QStringLiteral("proc/self"));

    const auto reg = registry(900);
    const auto apps = reg.runningApplications();
    QStringList ids;
    QList<std::int32_t> pids;
    for (const auto& a : apps) {
        ids << a.entry.id;
        pids << a.pid;
    }
    EXPECT_EQ(
        ids, (QStringList {QStringLiteral("org.example.Editor"), QStringLiteral("xterm"), QStringLiteral("browser")}));
    EXPECT_EQ(pids, (QList<std::int32_t> {1200, 1300, 1600}));
    EXPECT_EQ(apps[1].entry.name, QStringLiteral("My XTerm"));
    EXPECT_EQ(reg.entryForPid(1201)->id, QStringLiteral("org.example.Editor"));
    EXPECT_FALSE(reg.entryForPid(1500));
    EXPECT_FALSE(reg.entryForPid(1700));
    EXPECT_FALSE(reg.entryForPid(4242));
}

TEST_F(DesktopAppRegistryTest, OtherUsersProcessesAreNotMatched)
{
    entry(QStringLiteral("system"), QStringLiteral("xterm"), "Type=Application\nName=XTerm\nExec=xterm\nIcon=xterm\n");
    process(1300, QStringLiteral("/usr/bin/xterm"), QStringLiteral("xterm"));
    const DesktopAppRegistry other(dir.filePath(QStringLiteral("proc")), {dir.filePath(QStringLiteral("system"))},
        QFileInfo(dir.path()).ownerId() + 1, 1);
    EXPECT_FALSE(other.entryForPid(1300));
    EXPECT_TRUE(other.runningApplications().isEmpty());
}

TEST(DesktopAppActivationTest, NeverStartsAnApplicationThatIsNotActivatable)
{
    platform::DesktopEntry entry;
    entry.id = QStringLiteral("xterm");
    entry.execName = QStringLiteral("xterm");
    EXPECT_FALSE(DesktopAppRegistry::activate(entry));
}
