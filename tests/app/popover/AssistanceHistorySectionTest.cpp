#include "PopoverTestSupport.h"

#include "popover/AssistanceHistorySection.h"
#include "support/Unowned.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QPromise>
#include <QTest>

#include <map>
#include <memory>

namespace {

using Category = AssistanceCategory;

class AssistanceHistoryTest : public popovertest::PopoverFixture
{
protected:
    std::unique_ptr<AssistanceHistorySection> makeSection(AssistanceHistorySection::Loader loader)
    {
        auto section = std::make_unique<AssistanceHistorySection>(std::move(loader), themes);
        section->show();
        section->setExpanded(true);
        return section;
    }
    // Waits for the worker threads of the real tracker's loads.
    static void settle(const std::function<bool()>& done)
    {
        for (int i = 0; i < 200 && !done(); ++i)
            QTest::qWait(5);
    }
    void record(Category category, const std::string& title)
    {
        tracker.record(category, title, "detail", "1 GB", 0, 0, 0);
    }
};

} // namespace

TEST_F(AssistanceHistoryTest, TilesAndChipsShowTheChosenCategoryNewestFirst)
{
    tracker.record(Category::storage, "Archived llama", "", "12 GB", 0.04, 12.345, 3);
    for (int i = 1; i <= 6; ++i)
        record(Category::performance, "perf " + std::to_string(i));
    record(Category::memory, "memory flush");
    auto section = makeSection(AssistanceHistorySection::loaderFor(unowned(tracker)));
    settle([&] { return section->rowTitles().size() == 4; });
    EXPECT_EQ(section->tileTexts(), (QStringList {"12.3GB", "0.0h", "3 builds"}));
    // Eight stored: five fetched, four shown, the memory event under "All".
    EXPECT_EQ(section->rowTitles(), (QStringList {"memory flush", "perf 6", "perf 5", "perf 4"}));

    QTest::mouseClick(section->chip(Category::storage), Qt::LeftButton);
    settle([&] { return section->rowTitles().size() == 1; });
    EXPECT_EQ(section->selectedCategory(), Category::storage);
    EXPECT_EQ(section->rowTitles(), (QStringList {"Archived llama"}));

    QTest::mouseClick(section->chip(Category::computing), Qt::LeftButton);
    settle([&] { return section->showsEmptyText(); });
    EXPECT_TRUE(section->rowTitles().isEmpty());
    EXPECT_EQ(section->chip(Category::memory), nullptr);
}

TEST_F(AssistanceHistoryTest, EmptyStoreAndANewEventWhileOpen)
{
    auto section = makeSection(AssistanceHistorySection::loaderFor(unowned(tracker)));
    settle([] { return false; });
    EXPECT_TRUE(section->showsEmptyText());
    EXPECT_EQ(section->tileTexts(), (QStringList {"0.0GB", "0.0h", "0 builds"}));

    // The tracker's notification reloads the list without the user doing anything.
    record(Category::computing, "GPU job shielded");
    settle([&] { return !section->rowTitles().isEmpty(); });
    EXPECT_EQ(section->rowTitles(), (QStringList {"GPU job shielded"}));
}

TEST_F(AssistanceHistoryTest, AStaleLoadNeverReplacesTheSelectedChipsRows)
{
    std::map<Category, std::shared_ptr<QPromise<AssistanceHistorySection::Data>>> pending;
    auto section = makeSection([&](Category category) {
        auto p = std::make_shared<QPromise<AssistanceHistorySection::Data>>();
        p->start();
        pending[category] = p;
        return p->future();
    });
    auto answer = [&](Category category, const std::string& title) {
        AssistanceEvent e;
        e.id = Uuid::random();
        e.category = category;
        e.title = title;
        pending[category]->addResult(AssistanceHistorySection::Data {{e}, SavedYouMetrics::fresh()});
        pending[category]->finish();
        QCoreApplication::processEvents();
    };
    section->selectCategory(Category::storage);
    section->selectCategory(Category::performance);
    // The newer load comes back first; the storage answer arriving after it is dropped.
    answer(Category::performance, "performance row");
    answer(Category::storage, "storage row");
    EXPECT_EQ(section->selectedCategory(), Category::performance);
    EXPECT_EQ(section->rowTitles(), (QStringList {"performance row"}));
    // The load started on show (category "All") is older still.
    answer(Category::all, "all row");
    EXPECT_EQ(section->rowTitles(), (QStringList {"performance row"}));
}
