#include "SettingsTestSupport.h"

#include "settings/AboutSection.h"
#include "settings/AutomationSection.h"
#include "settings/FlowLayout.h"
#include "settings/PersonasSection.h"
#include "settings/SettingsButton.h"
#include "settings/StorageSection.h"
#include "storage/StorageRoots.h"
#include "ui/ElidedLabel.h"
#include "ui/Palette.h"
#include "ui/Switch.h"
#include "views/dashboard/SensorsTabView.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

using namespace settingstest;

namespace {

QStringList chipTexts(const ConfigurationPage::ListEditor& editor)
{
    QStringList texts;
    for (const auto& row : editor.chips->rows())
        for (QWidget* chip : row)
            texts.append(chip->accessibleName());
    return texts;
}

void removeChip(const ConfigurationPage::ListEditor& editor, const QString& text)
{
    for (const auto& row : editor.chips->rows())
        for (QWidget* chip : row)
            if (chip->accessibleName() == text) {
                chip->findChild<SettingsButton*>(QStringLiteral("removeChip"))->click();
                return;
            }
    ADD_FAILURE() << "no chip " << text.toStdString();
}

class SettingsPagesTest : public SettingsFixture
{
};

TEST_F(SettingsPagesTest, PersonasPageShowsTheDefaultConfiguration)
{
    makeView().setActiveTab(1);
    auto* personas = page<PersonasSection>();
    ASSERT_NE(personas, nullptr);
    EXPECT_FALSE(personas->autonomousSwitch()->isChecked());
    EXPECT_EQ(personas->flavorPicker()->currentText(), "Bear (Balanced Warnings & Freeze)");
    EXPECT_EQ(personas->headroomValue()->text(), "8 GB");
    EXPECT_EQ(personas->headroomSlider()->value(), 8);
    EXPECT_EQ(chipTexts(personas->triggers()),
        QStringList({"xcodebuild", "clang", "swiftc", "ld", "cargo", "rustc", "tsc", "webpack", "esbuild", "gradle",
            "make", "cmake", "bazel", "ninja", "go", "dotnet"}));
}

TEST_F(SettingsPagesTest, WithoutTheHelperThePersonaAndSensorPagesSayNothingIsPaused)
{
    PersonaConfiguration on = PersonaConfiguration::defaultConfiguration();
    on.autonomousModeEnabled = true;
    SettingsView& view = makeView(on);
    view.setActiveTab(1);
    auto* personas = page<PersonasSection>();
    ASSERT_NE(personas, nullptr);
    EXPECT_TRUE(personas->helperNote().isEmpty());

    // The delegate finds no helper for this copy while the page is open: switching stays on, and the page says why
    // it pauses nothing, in the words the program tells the user.
    m_viewModel->setHelperAccess(HelperAccess::notInstalledProgram);
    EXPECT_TRUE(personas->autonomousSwitch()->isChecked());
    EXPECT_EQ(personas->helperNote(), helperAccessMessage(HelperAccess::notInstalledProgram));
    view.setActiveTab(5);
    view.setActiveTab(1);
    EXPECT_EQ(page<PersonasSection>()->helperNote(), helperAccessMessage(HelperAccess::notInstalledProgram));

    // The sensor page's tips, built and while shown.
    view.setActiveTab(5);
    auto* sensors = page<SensorsTabView>();
    ASSERT_NE(sensors, nullptr);
    EXPECT_TRUE(sensors->tipTexts().first().contains("without its helper"));
    m_viewModel->setHelperAccess(HelperAccess::available);
    EXPECT_FALSE(sensors->tipTexts().first().contains("without its helper"));
}

TEST_F(SettingsPagesTest, TriggersAreAddedAsTypedAndRemovedWithEveryEqualEntry)
{
    makeView().setActiveTab(1);
    auto* personas = page<PersonasSection>();
    const auto& triggers = personas->triggers();

    // An empty field writes nothing.
    const auto before = m_viewModel->configuration();
    triggers.add->click();
    EXPECT_FALSE(m_viewModel->configCommitter().isBusy());
    settle();
    EXPECT_EQ(m_viewModel->configuration(), before);

    triggers.field->setText(" zig");
    triggers.add->click();
    EXPECT_TRUE(triggers.field->text().isEmpty());
    triggers.field->setText(" zig");
    triggers.add->click();
    settle();
    auto list = m_viewModel->configuration().compileModeTriggers;
    ASSERT_EQ(list.size(), 18u);
    EXPECT_EQ(list[16], " zig");
    EXPECT_EQ(list[17], " zig");
    EXPECT_EQ(chipTexts(triggers).count(" zig"), 2);

    removeChip(triggers, " zig");
    settle();
    list = m_viewModel->configuration().compileModeTriggers;
    EXPECT_EQ(list.size(), 16u);
    EXPECT_EQ(std::count(list.begin(), list.end(), " zig"), 0);
    EXPECT_EQ(PersonaConfiguration::load(m_defaults).compileModeTriggers, list);
    EXPECT_EQ(chipTexts(triggers).size(), 16);
}

TEST_F(SettingsPagesTest, TypedTextSurvivesLeavingThePage)
{
    SettingsView& view = makeView();
    view.setActiveTab(1);
    page<PersonasSection>()->triggers().field->setText("rus");
    view.setActiveTab(2);
    page<AutomationSection>()->whitelist().field->setText("Fire");
    view.setActiveTab(0);
    view.setActiveTab(1);
    EXPECT_EQ(page<PersonasSection>()->triggers().field->text(), "rus");
    view.setActiveTab(2);
    EXPECT_EQ(page<AutomationSection>()->whitelist().field->text(), "Fire");
}

TEST_F(SettingsPagesTest, AggressivenessStepStoresTheFractionAndShowsThePercentage)
{
    makeView().setActiveTab(2);
    auto* automation = page<AutomationSection>();
    EXPECT_EQ(automation->ramValue()->text(), "80%");
    EXPECT_EQ(automation->ramSlider()->value() - automation->ramSlider()->minimum(), 4); // the fifth of eight
    EXPECT_EQ(automation->aggressivenessValue()->text(), "50%");

    automation->aggressivenessSlider()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    settle();
    EXPECT_DOUBLE_EQ(m_viewModel->configuration().aggressivenessLevel, 0.55);
    EXPECT_DOUBLE_EQ(PersonaConfiguration::load(m_defaults).aggressivenessLevel, 0.55);
    EXPECT_EQ(automation->aggressivenessValue()->text(), "55%");

    // The engine unloads the models when Compile Mode starts, and at no memory pressure: the box says when.
    EXPECT_TRUE(automation->autoUnload()->text().contains("Compile Mode"))
        << automation->autoUnload()->text().toStdString();
    // Unticking the checkbox changes that one field.
    auto before = m_viewModel->configuration();
    automation->autoUnload()->click();
    settle();
    before.autoUnloadOllamaEnabled = false;
    EXPECT_EQ(m_viewModel->configuration(), before);
}

TEST_F(SettingsPagesTest, QuickEditsOnBothPagesAllSurvive)
{
    SettingsView& view = makeView();
    view.setActiveTab(1);
    auto* personas = page<PersonasSection>();
    // A drag over several steps and a switch flipped before any write has come back.
    for (int gb = 9; gb <= 12; ++gb)
        personas->headroomSlider()->setValue(gb);
    personas->autonomousSwitch()->click();
    settle();
    EXPECT_EQ(m_viewModel->configuration().headroomWarningThresholdGB, 12);
    EXPECT_TRUE(m_viewModel->configuration().autonomousModeEnabled);
    EXPECT_EQ(personas->headroomValue()->text(), "12 GB");
    const auto stored = PersonaConfiguration::load(m_defaults);
    EXPECT_EQ(stored.headroomWarningThresholdGB, 12);
    EXPECT_TRUE(stored.autonomousModeEnabled);
}

TEST_F(SettingsPagesTest, EmptiedWhitelistIsStoredEmpty)
{
    makeView().setActiveTab(2);
    const auto& whitelist = page<AutomationSection>()->whitelist();
    EXPECT_EQ(chipTexts(whitelist), QStringList({"Antigravity", "Xcode", "Spotify", "Slack"}));
    for (const QString& name : chipTexts(whitelist)) {
        removeChip(whitelist, name);
        settle();
    }
    EXPECT_TRUE(m_viewModel->configuration().neverPauseWhitelist.empty());
    EXPECT_TRUE(PersonaConfiguration::load(m_defaults).neverPauseWhitelist.empty());
    EXPECT_TRUE(whitelist.chips->rows().isEmpty());
}

TEST_F(SettingsPagesTest, ALongEntryIsCutInItsChipAndNeverWidensThePage)
{
    PersonaConfiguration configuration = PersonaConfiguration::defaultConfiguration();
    const QString name = QStringLiteral("com.example.SomeVeryLongApplicationNameThatGoesOnAndOn.helper-process");
    configuration.neverPauseWhitelist.push_back(name.toStdString());
    SettingsView& view = makeView(configuration);
    view.setActiveTab(2);
    view.show();
    settle();
    const auto& whitelist = page<AutomationSection>()->whitelist();
    EXPECT_LE(whitelist.add->mapTo(&view, QPoint(whitelist.add->width(), 0)).x(), SettingsView::kWidth);
    ElidedLabel* text = nullptr;
    for (const auto& row : whitelist.chips->rows())
        for (QWidget* chip : row) {
            EXPECT_LE(chip->mapTo(&view, QPoint(chip->width(), 0)).x(), SettingsView::kWidth);
            auto* label = chip->findChild<ElidedLabel*>(QStringLiteral("chipText"));
            if (chip->accessibleName() == name)
                text = label;
            else // the short names beside it keep their whole text
                EXPECT_FALSE(label->isElided()) << label->text().toStdString();
        }
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->isElided());
    EXPECT_EQ(text->toolTip(), name);
}

TEST_F(SettingsPagesTest, StoragePageListsTheScannedFoldersAndRefusesExtraOnes)
{
    makeView().setActiveTab(3);
    auto* storage = page<StorageSection>();
    EXPECT_FALSE(storage->addPathButton()->isEnabled());
    EXPECT_TRUE(storage->addPathButton()->toolTip().contains("fixed"));
    EXPECT_EQ(storage->shownPaths(), StorageSection::scannedFolders(StorageRoots::fromEnvironment()));
    storage->unloadChoices()->button(60)->click();
    EXPECT_EQ(storage->unloadChoices()->checkedId(), 15);
    // The refused button looks refused, and the checked choice stands out, also on a dark theme.
    const QPalette add = storage->addPathButton()->palette();
    EXPECT_NE(add.color(QPalette::Disabled, QPalette::ButtonText), add.color(QPalette::Active, QPalette::ButtonText));
    const QColor accent = Palette::forTheme(m_theme.currentTheme()).accent;
    EXPECT_EQ(storage->unloadChoices()->button(15)->palette().color(QPalette::Button), accent);
    EXPECT_NE(storage->unloadChoices()->button(60)->palette().color(QPalette::Button), accent);

    StorageRoots roots = StorageRoots::forHome("/home/dev");
    roots.ollamaModels.push_back(StorageRoots::systemOllamaModels);
    roots.huggingFaceHub = "/data/hf/hub"; // as HF_HUB_CACHE selects
    EXPECT_EQ(StorageSection::scannedFolders(roots),
        QStringList({"~/.ollama/models", "/usr/share/ollama/.ollama/models", "/data/hf/hub",
            "~/.cache/lm-studio/models", "~/.lmstudio/models"}));
    // A folder that merely starts with the home folder's name is not below it.
    roots = StorageRoots::forHome("/home/dev");
    roots.huggingFaceHub = "/home/developer/hub";
    EXPECT_TRUE(StorageSection::scannedFolders(roots).contains("/home/developer/hub"));
}

TEST_F(SettingsPagesTest, AboutShowsThePersistedLifetimeCounters)
{
    EXPECT_EQ(AboutSection::buildsText(SavedYouMetrics::fresh()), "• Builds protected: 0");
    EXPECT_EQ(AboutSection::hoursText(SavedYouMetrics::fresh()), "• Active time saved: 0.0 hours");

    // Counted in an earlier run of the program: only the file holds them.
    m_tracker.record(AssistanceCategory::computing, "Build Protected", "d", "~1s saved", 12.96, 0, 3);
    makeView().setActiveTab(10);
    auto* about = page<AboutSection>();
    EXPECT_EQ(about->hoursLabel()->text(), "• Active time saved: 13.0 hours");
    EXPECT_EQ(about->buildsLabel()->text(), "• Builds protected: 3");

    m_tracker.record(AssistanceCategory::computing, "Build Protected", "d", "~1s saved", 1.0, 0, 1);
    QTest::qWait(20);
    EXPECT_EQ(about->buildsLabel()->text(), "• Builds protected: 4");
}

} // namespace
