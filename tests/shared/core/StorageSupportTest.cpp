#include "core/AppSupport.h"
#include "core/JsonFile.h"
#include "core/NotificationCenter.h"
#include "core/NumberFormat.h"
#include "core/UserDefaults.h"
#include "records/AuditLogger.h"
#include "support/FifoOpen.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <gtest/gtest.h>
#include <thread>

#include <sys/stat.h>

TEST(NumberFormatTest, PointWhateverTheLocale)
{
    // A German locale writes decimal commas through plain printf; ours must not.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    EXPECT_EQ(cformat("%.1f GB", 12.345), "12.3 GB");
    EXPECT_EQ(qformat("%.2f%%", 3.14159), QStringLiteral("3.14%"));
    std::setlocale(LC_NUMERIC, saved.c_str());
    if (!german)
        GTEST_LOG_(INFO) << "de_DE.UTF-8 not installed; checked under the C locale only";
}

TEST(NumberFormatTest, ShortestDecimalKeepsAFractionAndPlainNotation)
{
    EXPECT_EQ(shortestDecimal(1700000000.0), "1700000000.0");
    EXPECT_EQ(shortestDecimal(1733700000.25), "1733700000.25");
    EXPECT_EQ(shortestDecimal(0.1), "0.1");
    EXPECT_EQ(shortestDecimal(0.0), "0.0");
}

TEST(JsonFileTest, CorruptFileIsSetAsideAndMissingFileIsEmpty)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("records.json");
    EXPECT_FALSE(jsonfile::load<std::vector<int>>(path));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());

    ASSERT_TRUE(jsonfile::writeAtomically(path, "[1,2,"));
    EXPECT_FALSE(jsonfile::load<std::vector<int>>(path));
    EXPECT_FALSE(QFile::exists(path));
    const QStringList aside = QDir(dir.path()).entryList({"records.json.corrupt-*"}, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    QFile kept(dir.filePath(aside.first()));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("[1,2,"));

    ASSERT_TRUE(jsonfile::save(path, std::vector<int> {1, 2}));
    EXPECT_EQ(jsonfile::load<std::vector<int>>(path), (std::vector<int> {1, 2}));
}

TEST(JsonFileTest, WriteIntoMissingFolderFailsWithAnError)
{
    QString error;
    EXPECT_FALSE(jsonfile::writeAtomically("/nonexistent-folder/x/y.json", "[]", &error));
    EXPECT_FALSE(error.isEmpty());
}

namespace {

QStringList setAside(const QDir& dir, const QString& name)
{
    return dir.entryList({name + ".corrupt-*"}, QDir::Files | QDir::System);
}

} // namespace

TEST(JsonFileTest, AFifoInPlaceOfTheSettingsOrARecordIsSetAsideWithoutWaiting)
{
    QTemporaryDir dir;
    const QString settings = dir.filePath("test.conf");
    const QString log = dir.filePath("audit_log.json");
    for (const QString& path : {settings, log})
        ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);

    std::unique_ptr<UserDefaults> defaults;
    EXPECT_TRUE(returnsPromptly(settings, [&] { defaults = std::make_unique<UserDefaults>(settings); }));
    std::unique_ptr<AuditLogger> logger;
    EXPECT_TRUE(returnsPromptly(log, [&] { logger = std::make_unique<AuditLogger>(dir.path()); }));

    // Each FIFO is kept aside like a damaged file, and the stores write regular files in their place.
    EXPECT_EQ(setAside(QDir(dir.path()), "test.conf").size(), 1);
    EXPECT_EQ(setAside(QDir(dir.path()), "audit_log.json").size(), 1);
    defaults->setBool("showMenuBarSparkline", false);
    EXPECT_TRUE(QFileInfo(settings).isFile());
    EXPECT_FALSE(UserDefaults(settings).boolValue("showMenuBarSparkline", true));
    EXPECT_TRUE(logger->fetchAllEvents().empty());
}

TEST(AppSupportTest, FolderUnderXdgDataHomeIsCreated)
{
    const QString dir = appSupportDirectory();
    EXPECT_TRUE(dir.endsWith("/Quorvane"));
    EXPECT_TRUE(dir.startsWith(QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"))));
    EXPECT_TRUE(QDir(dir).exists());
}

TEST(UserDefaultsTest, ValuesPersistAcrossInstancesAndSignalEachKey)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("test.conf");
    {
        UserDefaults defaults(path);
        QSignalSpy spy(&defaults, &UserDefaults::valueChanged);
        defaults.setData("com.quorvane.example", R"({"a":"x/y","b":[1,2]})");
        defaults.setBool("showMenuBarSparkline", false);
        defaults.setString("appTheme", "Nordic");
        ASSERT_EQ(spy.count(), 3);
        EXPECT_EQ(spy.at(0).at(0).toString(), "com.quorvane.example");
    }
    UserDefaults again(path);
    EXPECT_EQ(again.data("com.quorvane.example"), R"({"a":"x/y","b":[1,2]})");
    EXPECT_FALSE(again.boolValue("showMenuBarSparkline", true));
    EXPECT_TRUE(again.boolValue("showMenuBarCPURing", true));
    EXPECT_EQ(again.string("appTheme"), QStringLiteral("Nordic"));
    EXPECT_FALSE(again.data("absent"));
    again.removeAll();
    EXPECT_TRUE(again.allKeys().isEmpty());
}

TEST(UserDefaultsTest, AFileThatCannotBeReadIsKeptAsideNotOverwritten)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("test.conf");
    // A cut-off file whose first lines still hold the user's configuration, a link to a file of the
    // user's that is no settings file at all, and a good file with junk appended beyond every real size.
    const QByteArray cut = "[General]\ncom.quorvane.personaconfig={\\\"customFreezeList\\\":[]}\n[Gen";
    const QString notes = dir.filePath("notes.txt");
    const QByteArray text = "shopping list\nmilk\n";
    const QByteArray padded
        = "[General]\ncom.quorvane.personaconfig={}\njunk=" + QByteArray(UserDefaults::kMaxFileBytes, 'x');
    for (const std::string kind : {"cut", "link", "padded"}) {
        const bool link = kind == "link";
        QFile::remove(path);
        if (kind == "padded") {
            QFile out(path);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(padded);
        } else if (link) {
            QFile out(notes);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(text);
            out.close();
            ASSERT_TRUE(QFile::link(notes, path));
        } else {
            QFile out(path);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(cut);
        }
        {
            UserDefaults defaults(path);
            EXPECT_FALSE(defaults.contains("com.quorvane.personaconfig"));
            defaults.setBool("showMenuBarSparkline", false);
        }
        const QStringList aside = QDir(dir.path()).entryList({"test.conf.corrupt-*"}, QDir::System | QDir::Files);
        ASSERT_EQ(aside.size(), 1) << kind;
        QFile kept(dir.filePath(aside.first()));
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), kind == "padded" ? padded : link ? text : cut);
        EXPECT_TRUE(UserDefaults(path).contains("showMenuBarSparkline"));
        QFile::remove(dir.filePath(aside.first()));
    }
}

TEST(UserDefaultsTest, ConcurrentWritersLoseNothing)
{
    QTemporaryDir dir;
    UserDefaults defaults(dir.filePath("threads.conf"));
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&defaults, t] {
            for (int i = 0; i < 25; ++i)
                defaults.setValue(QStringLiteral("k%1_%2").arg(t).arg(i), i);
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(defaults.allKeys().size(), 200);
}

TEST(NotificationCenterTest, PostFromAnotherThreadArrivesOnTheGuiThread)
{
    QObject context;
    int calls = 0;
    Qt::HANDLE observedOn = nullptr;
    NotificationCenter::defaultCenter().observe("QuorvaneDidReclaimStorage", &context, [&](const QVariantMap&) {
        ++calls;
        observedOn = QThread::currentThreadId();
    });
    std::thread poster([] {
        NotificationCenter::defaultCenter().post("QuorvaneDidReclaimStorage");
        NotificationCenter::defaultCenter().post("SomethingElse");
    });
    poster.join();
    EXPECT_EQ(calls, 0); // delivery is never synchronous
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls == 1; }, 2000));
    EXPECT_EQ(observedOn, QCoreApplication::instance()->thread()->currentThreadId());
}
