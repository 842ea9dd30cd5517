#include "PopoverTestSupport.h"

#include "popover/PersonaOverrideSection.h"

#include "core/HelperAccess.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QPromise>
#include <QTest>

#include <memory>
#include <vector>

namespace {

// The persona requests as the block sends them; each finishes when the test says so.
struct FakePersonas
{
    std::vector<std::pair<AutoPersona, std::string>> activated;
    std::vector<AutoPersona> deactivated;
    int resumed = 0;
    std::vector<std::shared_ptr<QPromise<void>>> requests;

    QFuture<void> next()
    {
        requests.push_back(std::make_shared<QPromise<void>>());
        requests.back()->start();
        return requests.back()->future();
    }
    PersonaOverrideSection::Commands commands()
    {
        return {
            [this](AutoPersona p, const std::string& trigger) {
                activated.emplace_back(p, trigger);
                return next();
            },
            [this](AutoPersona p) {
                deactivated.push_back(p);
                return next();
            },
            [this] {
                ++resumed;
                return next();
            },
        };
    }
};

class PersonaOverrideTest : public popovertest::PopoverFixture
{
protected:
    FakePersonas personas;
    std::unique_ptr<PersonaOverrideSection> section
        = std::make_unique<PersonaOverrideSection>(personas.commands(), themes, clock);
};

} // namespace

TEST_F(PersonaOverrideTest, ATapSwitchesByHandAndTheChipWaitsForItsRequest)
{
    section->show();
    EXPECT_EQ(section->modeText(), QStringLiteral("Auto"));
    QAbstractButton* battery = section->chip(AutoPersona::batteryMode);
    EXPECT_EQ(battery->text(), QStringLiteral("Battery"));
    QTest::mouseClick(battery, Qt::LeftButton);
    QTest::mouseClick(battery, Qt::LeftButton);
    ASSERT_EQ(personas.activated.size(), 1u);
    EXPECT_EQ(personas.activated[0], std::make_pair(AutoPersona::batteryMode, std::string("manual override")));
    EXPECT_FALSE(section->showsWarning());
    EXPECT_FALSE(battery->isEnabled());
    EXPECT_TRUE(section->chip(AutoPersona::compileMode)->isEnabled());

    personas.requests[0]->finish();
    QCoreApplication::processEvents();
    EXPECT_TRUE(battery->isEnabled());
    section->setShown({{AutoPersona::batteryMode, AutoPersona::compileMode}, 0, false});
    EXPECT_EQ(section->modeText(), QStringLiteral("Manual"));

    // An active chip deactivates its persona only.
    QTest::mouseClick(battery, Qt::LeftButton);
    EXPECT_EQ(personas.deactivated, (std::vector<AutoPersona> {AutoPersona::batteryMode}));
    EXPECT_EQ(personas.activated.size(), 1u);
}

TEST_F(PersonaOverrideTest, AutonomousModeWarnsForFourSecondsAndStillSwitches)
{
    section->setShown({{}, 0, true});
    section->show();
    QTest::mouseClick(section->chip(AutoPersona::aiFirstMode), Qt::LeftButton);
    EXPECT_TRUE(section->showsWarning());
    EXPECT_EQ(personas.activated.size(), 1u);
    clock.advance(2000);
    // A second tap does not extend the first one's four seconds.
    QTest::mouseClick(section->chip(AutoPersona::compileMode), Qt::LeftButton);
    clock.advance(1999);
    EXPECT_TRUE(section->showsWarning());
    clock.advance(1);
    EXPECT_FALSE(section->showsWarning());
    EXPECT_EQ(personas.activated.size(), 2u);
}

TEST_F(PersonaOverrideTest, RestoreButtonCountsTheFrozenProcesses)
{
    section->show();
    EXPECT_EQ(section->restoreButton(), nullptr);
    section->setShown({{}, 3, false});
    ASSERT_NE(section->restoreButton(), nullptr);
    EXPECT_EQ(section->restoreButton()->text(), QStringLiteral("Restore All Frozen Processes (3)"));
    QTest::mouseClick(section->restoreButton(), Qt::LeftButton);
    EXPECT_EQ(personas.resumed, 1);
    section->setShown({{}, 0, false});
    EXPECT_EQ(section->restoreButton(), nullptr);
}

TEST_F(PersonaOverrideTest, WithoutTheHelperNoWarningOfAnEngineThatDoesNotRun)
{
    PersonaConfiguration on = PersonaConfiguration::defaultConfiguration();
    on.autonomousModeEnabled = true;
    const QFuture<void> stored = personaVM->updateConfiguration(on);
    ASSERT_TRUE(QTest::qWaitFor([&] { return stored.isFinished(); }, 5000));
    QCoreApplication::processEvents();
    ASSERT_TRUE(personaVM->configuration().autonomousModeEnabled);
    personaVM->setHelperAccess(HelperAccess::notInstalled);
    PersonaOverrideSection live(*personaVM, themes, clock);
    live.show();
    // The persona rules run only where the helper acts for this copy: nothing will undo a manual choice.
    QTest::mouseClick(live.chip(AutoPersona::batteryMode), Qt::LeftButton);
    EXPECT_FALSE(live.showsWarning());
    personaVM->setHelperAccess(HelperAccess::available);
    ASSERT_TRUE(QTest::qWaitFor([&] { return live.chip(AutoPersona::compileMode)->isEnabled(); }, 5000));
    QTest::mouseClick(live.chip(AutoPersona::compileMode), Qt::LeftButton);
    EXPECT_TRUE(live.showsWarning());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return live.chip(AutoPersona::compileMode)->isEnabled() && live.chip(AutoPersona::batteryMode)->isEnabled();
        },
        5000));
}
