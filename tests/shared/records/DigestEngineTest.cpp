#include "records/DigestEngine.h"
#include "records/DigestViewModel.h"
#include "support/AllocationPause.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kDigestsKey = "com.quorvane.digestengine.digests";

const char* kDigestJson = R"({"id":"3C1D5E7F-9A2B-4C6D-8E0F-1A3B5C7D9E2F","weekOf":757382400.0,
    "peakMemoryPressureEvents":4,"worstThermalState":"Warm","mostUsedModel":"llama3:8b","mostUsedModelAvgGB":5.5,
    "totalTimeInCompileMode":7200.0,"totalTimeInAIFirstMode":3600.5,"totalTimeInBatteryMode":0.0,
    "throttleEventsPrevented":2,"estimatedHoursSaved":1.25,"gbFreedTotal":10.0,"buildsProtected":11})";

WeeklyDigest digestNumber(std::int64_t n)
{
    WeeklyDigest d = *jsoncodec::decodeText<WeeklyDigest>(kDigestJson);
    d.id = Uuid::random();
    d.buildsProtected = n;
    return d;
}

std::vector<std::int64_t> numbers(const std::vector<WeeklyDigest>& digests)
{
    std::vector<std::int64_t> out;
    for (const auto& d : digests)
        out.push_back(d.buildsProtected);
    return out;
}

struct DigestEngineTest : testing::Test
{
    QTemporaryDir dir;
    UserDefaults defaults {dir.filePath("defaults.conf")};
};

} // namespace

TEST(WeeklyDigestTest, StoredFormRoundTripsAndEveryKeyIsRequired)
{
    const auto digest = jsoncodec::decodeText<WeeklyDigest>(kDigestJson);
    ASSERT_TRUE(digest);
    EXPECT_EQ(digest->mostUsedModel, "llama3:8b");
    EXPECT_EQ(digest->weekOf, Date::fromReferenceDate(757382400.0));
    EXPECT_EQ(Json::parse(*jsoncodec::encodeText(*digest)), Json::parse(kDigestJson));
    Json missing = Json::parse(kDigestJson);
    missing.erase("buildsProtected");
    EXPECT_FALSE(jsoncodec::decodeText<WeeklyDigest>(missing.dump()));
}

TEST_F(DigestEngineTest, KeepsTheTwelveNewestAlsoInTheStoredValue)
{
    DigestEngine engine(defaults);
    EXPECT_TRUE(engine.getDigests().empty());
    for (int n = 1; n <= 13; ++n)
        engine.addDigest(digestNumber(n));
    const std::vector<std::int64_t> expected {13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2};
    EXPECT_EQ(numbers(engine.getDigests()), expected);
    EXPECT_EQ(Json::parse(*defaults.data(kDigestsKey)).size(), 12u);
    EXPECT_EQ(DigestEngine(defaults).getDigests(), engine.getDigests());
}

TEST_F(DigestEngineTest, DuplicateIdsAreBothKept)
{
    DigestEngine engine(defaults);
    const auto d = digestNumber(1);
    engine.addDigest(d);
    engine.addDigest(d);
    EXPECT_EQ(engine.getDigests().size(), 2u);
}

TEST_F(DigestEngineTest, UndecodableStoredListLoadsEmptyUntilTheNextAdd)
{
    Json bad = Json::array({Json::parse(kDigestJson), Json::parse(kDigestJson)});
    bad[1].erase("buildsProtected");
    defaults.setData(kDigestsKey, bad.dump());
    DigestEngine engine(defaults);
    EXPECT_TRUE(engine.getDigests().empty());
    EXPECT_EQ(defaults.data(kDigestsKey), bad.dump());

    engine.addDigest(digestNumber(5));
    EXPECT_EQ(numbers(DigestEngine(defaults).getDigests()), std::vector<std::int64_t> {5});
}

TEST_F(DigestEngineTest, ViewModelShowsTheEngineListOnlyAfterReload)
{
    auto engine = std::make_shared<DigestEngine>(defaults);
    for (int n = 1; n <= 3; ++n)
        engine->addDigest(digestNumber(n));
    DigestViewModel model(engine);
    EXPECT_TRUE(model.weeklyDigests().empty());

    QSignalSpy changed(&model, &DigestViewModel::weeklyDigestsChanged);
    model.reload();
    EXPECT_TRUE(model.weeklyDigests().empty()); // assigned later, on the GUI thread
    ASSERT_TRUE(changed.wait(2000));
    EXPECT_EQ(numbers(model.weeklyDigests()), (std::vector<std::int64_t> {3, 2, 1}));

    engine->addDigest(digestNumber(4));
    EXPECT_EQ(model.weeklyDigests().size(), 3u);
}

TEST_F(DigestEngineTest, ReloadAfterTheViewModelIsGoneTouchesNothing)
{
    auto engine = std::make_shared<DigestEngine>(defaults);
    engine->addDigest(digestNumber(1));
    QFuture<void> pending;
    {
        DigestViewModel model(engine);
        pending = model.reload();
    }
    pending.waitForFinished();
    QCoreApplication::processEvents();

    // In the sanitizer build the read is held at each of its allocations in turn while the view model goes.
    for (int allowed = 0; allocationpause::available(); ++allowed) {
        auto model = std::make_unique<DigestViewModel>(engine);
        if (!allocationpause::releasedWhileHeld(
                allowed, [&] { model->reload(); }, [&] { model.reset(); }))
            break;
    }
}
