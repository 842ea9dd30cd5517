#include "shared/storage/StorageViewFixture.h"

#include "ui/ElidedLabel.h"
#include "ui/PillButton.h"
#include "views/storage/CacheRow.h"
#include "views/storage/CachesTab.h"
#include "views/storage/ModelInventoryView.h"
#include "views/storage/ModelRow.h"
#include "views/storage/ModelsTab.h"

#include "core/NotificationCenter.h"
#include "core/Notifications.h"
#include "storage/ModelInventoryViewModel.h"
#include "support/QtWarnings.h"
#include "support/doubles/ui/FakeClock.h"

#include <QLabel>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

using testing::HasSubstr;
using testing::Not;

namespace {

constexpr std::size_t kMiB = 1048576;
constexpr std::size_t kGiB = 1073741824;

class StorageViewTest : public testing::Test
{
protected:
    StorageViewTest()
    {
        NotificationCenter::defaultCenter().observe(
            Notifications::didReclaimStorage, &m_observer, [this](const QVariantMap&) { ++reclaimedPosts; });
    }

    // The panel, shown offscreen, after its first scan.
    ModelInventoryView& view()
    {
        if (!m_view) {
            m_view = std::make_unique<ModelInventoryView>(f.inventory, f.caches, clock, unowned(f.tracker), &f.pool);
            m_view->setAttribute(Qt::WA_DontShowOnScreen);
            m_view->resize(340, 600);
            m_view->show();
            settle();
        }
        return *m_view;
    }
    ModelInventoryViewModel& vm() { return view().viewModel(); }
    void settle()
    {
        EXPECT_TRUE(StorageViewFixture::waitFor(
            [this] { return m_view && !m_view->viewModel().isScanning() && !m_view->viewModel().isCleaning(); }));
        QCoreApplication::processEvents();
    }
    void click(QAbstractButton* button)
    {
        ASSERT_NE(button, nullptr);
        button->click();
        QCoreApplication::processEvents();
    }
    QString banner() const
    {
        const auto& m = m_view->successMessage();
        return m ? m->text + m->failure : QString();
    }
    ModelRow* row(const std::string& name)
    {
        for (ModelRow* r : view().modelsTab().rows())
            if (r->model().name == name)
                return r;
        return nullptr;
    }
    // The texts of a widget's labels, joined by "|".
    static std::string labelTexts(QWidget* widget)
    {
        QStringList texts;
        for (QLabel* l : widget->findChildren<QLabel*>())
            texts << l->text();
        return texts.join('|').toStdString();
    }
    CacheRow* cacheRow(const std::string& name)
    {
        for (CacheRow* r : view().cachesTab().rows())
            if (r->item().name == name)
                return r;
        return nullptr;
    }

    StorageViewFixture f;
    FakeClock clock;
    int reclaimedPosts = 0;
    std::unique_ptr<ModelInventoryView> m_view;

private:
    QObject m_observer;
};

} // namespace

TEST(StorageTextsTest, BannersCountModelsAndNameFailures)
{
    EXPECT_EQ(StorageTexts::modelsDeleted(ModelDeletionResult(1, kGiB + kGiB / 2, {})).text,
        "Freed 1.5 GB (1 model deleted)");
    EXPECT_EQ(StorageTexts::modelsDeleted(ModelDeletionResult(0, 0, {})).text, "Freed 0.0 GB (0 models deleted)");
    EXPECT_EQ(StorageTexts::modelsDeleted(ModelDeletionResult(2, 0, {})).text, "Freed 0.0 GB (2 models deleted)");

    const StorageMessage partial = StorageTexts::modelsDeleted(ModelDeletionResult(1, kGiB, {"a", "b", "c", "d"}));
    EXPECT_EQ(partial.text, "Freed 1.0 GB (1 model deleted)");
    EXPECT_EQ(partial.failure, " — 4 failed: a, b, c +1 more");
    EXPECT_FALSE(partial.succeeded); // anything left takes the warning colour
    EXPECT_FALSE(StorageTexts::modelsDeleted(ModelDeletionResult(0, 0, {"a"})).succeeded);

    DeveloperCacheItem npm {"npm Cache", DeveloperCacheCategory::npmCache, "/x", 5, CacheSafetyTier::safeToPurge, "d"};
    EXPECT_EQ(StorageTexts::cachePurged(npm, {kGiB / 2, std::nullopt, std::nullopt}, false).text,
        "Purged npm Cache (Freed 0.5 GB)");
    EXPECT_EQ(StorageTexts::cachePurged(npm, {kGiB / 2, std::nullopt, std::nullopt}, true).text,
        "Purged npm Cache (0.5 GB freed)");
    const StorageMessage refused
        = StorageTexts::cachePurged(npm, {0, "The cache folder is a link: /x", std::nullopt}, false);
    EXPECT_EQ(refused.text + refused.failure, "Could not purge npm Cache: The cache folder is a link: /x");
    EXPECT_FALSE(refused.succeeded);
    // A purge that left part of the folder is partial, never a plain success, and names what stayed.
    for (const bool confirmed : {false, true}) {
        const StorageMessage part = StorageTexts::cachePurged(
            npm, {kGiB / 2, std::nullopt, "left a mount point in place: mounted"}, confirmed);
        EXPECT_EQ(part.text + part.failure,
            confirmed ? "Partly purged npm Cache (0.5 GB freed) — left a mount point in place: mounted"
                      : "Partly purged npm Cache (Freed 0.5 GB) — left a mount point in place: mounted");
        EXPECT_FALSE(part.succeeded);
    }
    EXPECT_EQ(StorageTexts::safeCachesPurged({}).text, "Freed 0.0 GB in developer caches");

    // A safe clean that freed nothing but failed, or left caches in part, is never a plain success.
    DeveloperCacheEngine::SafePurge purge;
    purge.failures = {{"npm Cache", "The cache folder is a link: /x"}};
    StorageMessage cleaned = StorageTexts::safeCachesPurged(purge);
    EXPECT_EQ(cleaned.text + cleaned.failure, "Freed 0.0 GB in developer caches — could not clean npm Cache");
    EXPECT_FALSE(cleaned.succeeded);
    purge = {kGiB, {"uv Cache"}, {"uv Cache", "pip Cache"}, {}};
    cleaned = StorageTexts::safeCachesPurged(purge);
    EXPECT_EQ(cleaned.text + cleaned.failure, "Freed 1.0 GB in developer caches — partly left: uv Cache, pip Cache");
    EXPECT_FALSE(cleaned.succeeded);
}

TEST(StorageTextsTest, AFileWhoseOtherLinkNoModelHoldsIsRemovedWhileItsBytesStay)
{
    StorageFootprint footprint;
    const StorageFootprint::FileKey weights {1, 2};
    footprint.addFile(weights, static_cast<std::int64_t>(600 * kMiB), 2); // its other name is no model's
    StorageFootprint::ModelFiles files;
    files.name = "a";
    files.names = {{weights, 1}};
    footprint.addModel("/models/a.gguf", files);
    InventoryModel model;
    model.path = "/models/a.gguf";
    EXPECT_EQ(StorageTexts::keptFiles(footprint.reclaim({model})),
        "1 file is removed, but its 0.6 GB stay on disk through another link.");
}

TEST(StorageTextsTest, RelativeDatesUseTheLargestWholeUnit)
{
    const Date now = Date::from1970(2'000'000'000);
    EXPECT_EQ(StorageTexts::relativeDate(now.addingTimeInterval(-3 * 86400 - 5), now), "3 days ago");
    EXPECT_EQ(StorageTexts::relativeDate(now.addingTimeInterval(-86400), now), "1 day ago");
    EXPECT_EQ(StorageTexts::relativeDate(now.addingTimeInterval(-45 * 86400), now), "1 mo. ago");
    EXPECT_EQ(StorageTexts::relativeDate(now.addingTimeInterval(-2 * 3600), now), "2 hr. ago");
    EXPECT_EQ(StorageTexts::relativeDate(now.addingTimeInterval(300), now), "in 5 min.");
    EXPECT_EQ(StorageTexts::relativeDate(now, now), "0 sec. ago");
}

TEST_F(StorageViewTest, TabLabelsAndTheHeaderShowSizesInGigabytes)
{
    f.lmModel("p/a/a.gguf", kGiB + kGiB / 2);
    f.file(f.path(".npm/_cacache/x"), 2 * kGiB);
    EXPECT_EQ(view().tabLabel(StorageTab::models), "AI Models (1.5G)");
    EXPECT_EQ(view().tabLabel(StorageTab::caches), "Dev Caches (2.0G)");
    EXPECT_EQ(view().headerText(), "Storage & Caches");
    EXPECT_EQ(view().headerTotalText(), "(3.5 GB)");
    EXPECT_FALSE(view().isBusyShown());
}

// "0.0 GB" reads as nothing: below a tenth of a gigabyte a size is written in megabytes, as the cache rows
// write theirs, and "Dev Caches" stands over the same figure its rows add up to.
TEST_F(StorageViewTest, SizesBelowATenthOfAGigabyteReadInMegabytes)
{
    f.lmModel("p/small/small.gguf", 40'000'000);
    f.file(f.path(".npm/_cacache/x"), 40'000'000);
    EXPECT_EQ(view().tabLabel(StorageTab::models), "AI Models (38.1M)");
    EXPECT_EQ(view().tabLabel(StorageTab::caches), "Dev Caches (38.1M)");
    EXPECT_EQ(view().headerTotalText(), "(76.3 MB)");
    const auto* detail = row("small/small.gguf")->findChild<ElidedLabel*>(QStringLiteral("detail"));
    ASSERT_NE(detail, nullptr);
    EXPECT_TRUE(detail->text().startsWith("38.1 MB · ")) << detail->text().toStdString();
}

TEST_F(StorageViewTest, AnEmptyHomeShowsTheEmptyTextOfEachFilterAndNoTotal)
{
    EXPECT_EQ(view().headerTotalText(), "");
    EXPECT_EQ(view().tabLabel(StorageTab::models), "AI Models (0.0G)");
    ModelsTab& tab = view().modelsTab();
    EXPECT_TRUE(tab.emptyText()->isVisible());
    EXPECT_EQ(tab.emptyText()->text(), "No models found in Ollama, Hugging Face, or LM Studio.");
    click(tab.filterChips().at(1));
    EXPECT_EQ(vm().activeFilter(), InventoryFilter::archiveCandidates);
    EXPECT_EQ(tab.emptyText()->text(), "No archive candidates. All models have been used recently!");
    click(tab.filterChips().at(2));
    EXPECT_EQ(tab.emptyText()->text(), "No duplicate models detected across frameworks.");
    EXPECT_EQ(tab.quickCleanBar(), nullptr);

    view().setSelectedStorageTab(StorageTab::caches);
    EXPECT_TRUE(view().cachesTab().emptyText()->isVisible());
    EXPECT_EQ(view().cachesTab().emptyText()->text(), "No developer caches detected.");
    EXPECT_EQ(view().cachesTab().safeCleanBar(), nullptr);
}

TEST_F(StorageViewTest, FiltersSelectionAndTheQuickCleanBar)
{
    f.lmModel("p/old/old.gguf", 3 * kMiB, 45);
    f.lmModel("p/q-gguf/q.gguf", 2 * kMiB);
    f.file(f.path(".cache/lm-studio/models/p/q-gguf/q.gguf"), kMiB);
    ModelsTab& tab = view().modelsTab();
    QStringList chips;
    for (PillButton* chip : tab.filterChips())
        chips << chip->text();
    EXPECT_EQ(chips, QStringList({"All (3)", "Unused >30d (1)", "Duplicates (2)"}));
    EXPECT_EQ(tab.rows().size(), 3u);
    ASSERT_NE(tab.quickCleanBar(), nullptr);
    click(tab.filterChips().at(2));
    EXPECT_EQ(tab.rows().size(), 2u);
    click(tab.filterChips().at(0));

    // Selecting shows the bar; "Deselect" empties the selection and hides it.
    click(row("old/old.gguf")->selectButton());
    EXPECT_TRUE(row("old/old.gguf")->isSelected());
    ASSERT_NE(tab.selectionBar(), nullptr);
    EXPECT_EQ(tab.selectionCleanButton()->text(), "Clean (3.0MB)");
    click(tab.deselectButton());
    EXPECT_TRUE(vm().selectedModelIds().empty());
    EXPECT_EQ(tab.selectionBar(), nullptr);

    // The quick clean opens the confirmation for the unused models and hides itself meanwhile.
    click(tab.quickCleanButton());
    ASSERT_TRUE(tab.modelsToClean().has_value());
    EXPECT_EQ(tab.modelsToClean()->size(), 1u);
    EXPECT_EQ(tab.quickCleanBar(), nullptr);
    ASSERT_NE(tab.confirmation(), nullptr);
    click(tab.cancelButton());
    EXPECT_FALSE(tab.modelsToClean().has_value());
    EXPECT_NE(tab.quickCleanBar(), nullptr);
    EXPECT_TRUE(StoreFixture::exists(f.path(".lmstudio/models/p/old/old.gguf")));
}

TEST_F(StorageViewTest, DeletingAModelShowsItsResultForFourSecondsAndAnnouncesIt)
{
    f.lmModel("p/a/a.gguf", kGiB / 2);
    f.lmModel("p/b/b.gguf", kGiB / 4);
    ModelsTab& tab = view().modelsTab();
    click(row("a/a.gguf")->deleteButton());
    ASSERT_TRUE(tab.modelsToClean().has_value());
    const auto labels = tab.confirmation()->findChildren<QLabel*>();
    QStringList texts;
    for (QLabel* l : labels)
        texts << l->text();
    EXPECT_THAT(texts.join('|').toStdString(),
        HasSubstr("Permanently delete 1 model(s) (0.5 GB)? Model weight files and cached blobs will be removed from "
                  "this computer.|a/a.gguf"));
    EXPECT_EQ(tab.deleteButton()->text(), "Delete (0.5 GB)");

    f.hold();
    click(tab.deleteButton());
    EXPECT_FALSE(tab.modelsToClean().has_value()); // closes at once
    EXPECT_TRUE(view().isBusyShown());
    f.release();
    settle();
    EXPECT_EQ(banner(), "Freed 0.5 GB (1 model deleted)");
    EXPECT_EQ(reclaimedPosts, 1);
    EXPECT_FALSE(StoreFixture::exists(f.path(".lmstudio/models/p/a/a.gguf")));
    EXPECT_EQ(tab.rows().size(), 1u);

    // A second clean within the 4 s: the first one's timer clears the second message early.
    clock.advance(3000);
    click(row("b/b.gguf")->deleteButton());
    click(tab.deleteButton());
    settle();
    EXPECT_EQ(banner(), "Freed 0.2 GB (1 model deleted)");
    clock.advance(1000);
    EXPECT_FALSE(view().successMessage().has_value());
    EXPECT_EQ(reclaimedPosts, 2);
}

TEST_F(StorageViewTest, AFailedDeletionIsShownInOrange)
{
    f.lmModel("p/a/a.gguf", kMiB);
    f.lmModel("p/b/b.gguf", 2 * kMiB);
    view();
    // b's file becomes a folder after the scan: the engine refuses to delete something of another kind.
    const std::string b = f.path(".lmstudio/models/p/b/b.gguf");
    std::filesystem::remove(b);
    std::filesystem::create_directories(b + "/inner");
    click(view().modelsTab().rows().at(0)->selectButton());
    click(view().modelsTab().rows().at(1)->selectButton());
    click(view().modelsTab().selectionCleanButton());
    click(view().modelsTab().deleteButton());
    settle();
    EXPECT_EQ(banner(), "Freed 1.0 MB (1 model deleted) — 1 failed: b/b.gguf");
    EXPECT_TRUE(StoreFixture::exists(b));
    EXPECT_EQ(reclaimedPosts, 1);
}

TEST_F(StorageViewTest, ClosingThePanelMidDeletionLetsTheDeletionFinish)
{
    const std::string file = f.lmModel("p/a/a.gguf", 2 * kMiB);
    click(row("a/a.gguf")->deleteButton());
    f.hold();
    click(view().modelsTab().deleteButton());
    m_view.reset();
    f.release();
    f.pool.waitForDone();
    QCoreApplication::processEvents();
    EXPECT_FALSE(StoreFixture::exists(file));
    EXPECT_EQ(f.tracker.fetchEvents(AssistanceCategory::storage, 10).size(), 1u);
}

TEST_F(StorageViewTest, ReviewTierCachesAskFirstAndSafeOnesPurgeAtOnce)
{
    f.file(f.hub("models--org--m/blobs/w"), 3 * kMiB);
    f.file(f.path(".npm/_cacache/x"), 2 * kMiB);
    view().setSelectedStorageTab(StorageTab::caches);
    CachesTab& tab = view().cachesTab();
    EXPECT_EQ(tab.safeCleanBar(), nullptr); // 2 MiB of safe caches is too little to offer

    click(cacheRow("Hugging Face Hub")->purgeButton());
    ASSERT_TRUE(tab.cacheToClean().has_value());
    QStringList texts;
    for (QLabel* l : tab.confirmation()->findChildren<QLabel*>())
        texts << l->text();
    EXPECT_THAT(texts.join('|').toStdString(),
        HasSubstr("Purge Hugging Face Hub (3.0 MB)? Raw FP16/BF16 checkpoints and model weights. It holds 1 model."));
    click(tab.cancelButton());
    EXPECT_FALSE(tab.cacheToClean().has_value());
    click(cacheRow("Hugging Face Hub")->purgeButton());
    view().setSelectedStorageTab(StorageTab::models); // survives switching tabs
    view().setSelectedStorageTab(StorageTab::caches);
    click(tab.closeButton());
    EXPECT_FALSE(tab.cacheToClean().has_value());
    settle();
    EXPECT_TRUE(StoreFixture::exists(f.hub("models--org--m/blobs/w")));
    EXPECT_EQ(reclaimedPosts, 0);

    click(cacheRow("npm Cache")->purgeButton());
    EXPECT_FALSE(tab.cacheToClean().has_value());
    settle();
    EXPECT_EQ(banner(), "Purged npm Cache (Freed 2.0 MB)");
    EXPECT_FALSE(StoreFixture::exists(f.path(".npm/_cacache/x")));

    click(cacheRow("Hugging Face Hub")->purgeButton());
    click(tab.purgeButton());
    settle();
    EXPECT_EQ(banner(), "Purged Hugging Face Hub (3.0 MB freed)");
    EXPECT_FALSE(StoreFixture::exists(f.hub("models--org--m")));
    EXPECT_EQ(reclaimedPosts, 2);
}

TEST_F(StorageViewTest, ThePurgeOfACacheThatTurnedIntoALinkFailsVisibly)
{
    f.file(f.path(".npm/_cacache/x"), 2 * kMiB);
    view().setSelectedStorageTab(StorageTab::caches);
    std::filesystem::rename(f.path(".npm/_cacache"), f.path("elsewhere"));
    f.link(f.path("elsewhere"), f.path(".npm/_cacache"));
    // The refusal is also logged to the console.
    const ExpectedQtWarning logged(QStringLiteral("Failed to purge cache npm Cache: "));
    click(cacheRow("npm Cache")->purgeButton());
    settle();
    EXPECT_EQ(logged.count(), 1);
    EXPECT_THAT(banner().toStdString(), HasSubstr("Could not purge npm Cache: "));
    EXPECT_FALSE(view().successMessage()->succeeded);
    EXPECT_TRUE(StoreFixture::exists(f.path("elsewhere/x")));
    EXPECT_EQ(reclaimedPosts, 1);
}

TEST_F(StorageViewTest, TheSafeCleanShowsAboveFiveHundredthsOfAGigabyteAndAnnouncesEvenNothing)
{
    f.file(f.path(".cache/pip/x"), 53687091); // just under 0.05 GB
    view().setSelectedStorageTab(StorageTab::caches);
    EXPECT_EQ(view().cachesTab().safeCleanBar(), nullptr);
    f.file(f.path(".cache/pip/y"), 1);
    vm().scan();
    settle();
    ASSERT_NE(view().cachesTab().safeCleanBar(), nullptr);
    for (const QLabel* l : view().cachesTab().safeCleanBar()->findChildren<QLabel*>())
        EXPECT_FALSE(l->text().contains("DerivedData")) << l->text().toStdString(); // Xcode's, not Linux's
    click(view().cachesTab().safeCleanButton());
    settle();
    EXPECT_EQ(banner(), "Freed 51.2 MB in developer caches");
    EXPECT_EQ(view().cachesTab().safeCleanBar(), nullptr);
    view().cachesTab().cleanSafeCaches();
    settle();
    EXPECT_EQ(banner(), "Freed 0.0 GB in developer caches");
    EXPECT_EQ(reclaimedPosts, 2);
    EXPECT_EQ(f.tracker.fetchEvents(AssistanceCategory::storage, 10).size(), 1u);
}

TEST_F(StorageViewTest, TheHeaderShowsTheSpinnerWhileAScanRunsAndCollapses)
{
    view();
    f.hold();
    vm().scan();
    EXPECT_TRUE(view().isBusyShown());
    f.release();
    settle();
    EXPECT_FALSE(view().isBusyShown());
    view().setExpanded(false);
    EXPECT_FALSE(view().modelsTab().isVisible());
    view().setExpanded(true);
    EXPECT_TRUE(view().modelsTab().isVisible());
}

TEST_F(StorageViewTest, TheConfirmationSaysWhatADeletionFreesAndWhichModelKeepsItsBlobs)
{
    f.ollamaModel("registry.ollama.ai/library/llama3.2/latest", {{2, kGiB}});
    f.ollamaModel("registry.ollama.ai/library/llama3.2/3b", {{2, kGiB}});
    f.ollamaModel("registry.ollama.ai/library/mistral/latest", {{1, kGiB / 2}}, "", 1001);
    f.ollamaModel("registry.ollama.ai/library/mistral/7b", {{1, kGiB / 2}}, "", 1001);
    ModelsTab& tab = view().modelsTab();
    EXPECT_EQ(view().tabLabel(StorageTab::models), "AI Models (1.5G)");

    click(row("llama3.2:latest")->deleteButton());
    EXPECT_THAT(labelTexts(tab.confirmation()),
        HasSubstr("Permanently delete 1 model(s) (0.0 GB)? Model files that nothing else uses will be removed from "
                  "this computer.|llama3.2:latest|2 blobs (1.0 GB) are kept: llama3.2:3b still uses them."));
    EXPECT_EQ(tab.deleteButton()->text(), "Delete (0.0 GB)");
    click(tab.cancelButton());

    click(row("mistral:latest")->selectButton());
    click(row("mistral:7b")->selectButton());
    EXPECT_EQ(tab.selectionCleanButton()->text(), "Clean (0.5GB)");
    click(tab.selectionCleanButton());
    EXPECT_THAT(labelTexts(tab.confirmation()),
        HasSubstr("Permanently delete 2 model(s) (0.5 GB)? Model weight files and cached blobs will be removed"));
    EXPECT_THAT(labelTexts(tab.confirmation()), Not(HasSubstr("kept")));
    click(tab.deleteButton());
    settle();
    EXPECT_EQ(banner(), "Freed 0.5 GB (2 models deleted)");
}

TEST_F(StorageViewTest, TheHubIsCountedUnderModelsAndItsRowSaysSo)
{
    f.file(f.hub("models--org--model/blobs/w"), 2 * kGiB);
    f.file(f.path(".npm/_cacache/x"), kGiB);
    EXPECT_EQ(view().headerTotalText(), "(3.0 GB)");
    EXPECT_EQ(view().tabLabel(StorageTab::caches), "Dev Caches (1.0G)");
    view().setSelectedStorageTab(StorageTab::caches);
    ASSERT_NE(cacheRow("Hugging Face Hub"), nullptr);
    EXPECT_THAT(labelTexts(cacheRow("Hugging Face Hub")), HasSubstr("The models in it are counted under AI Models."));
    EXPECT_THAT(labelTexts(cacheRow("npm Cache")), Not(HasSubstr("counted under")));
}
