#include "AutomationSection.h"

#include "FlowLayout.h"
#include "IndicatorStyle.h"
#include "SettingsStyle.h"
#include "SettingsView.h"

#include "records/ThemeManager.h"
#include "ui/Fonts.h"
#include "ui/NumberText.h"
#include "ui/Palette.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

AutomationSection::AutomationSection(SettingsView& view, QWidget* parent)
    : ConfigurationPage(view, parent)
    , m_ram(new QSlider(Qt::Horizontal))
    , m_ramValue(nullptr)
    , m_autoUnload(new QCheckBox(tr("Auto-Unload Local Ollama Models When Compile Mode Starts")))
    , m_aggressiveness(new QSlider(Qt::Horizontal))
    , m_aggressivenessValue(nullptr)
{
    m_autoUnload->setStyle(IndicatorStyle::shared());
    const Palette palette = Palette::forTheme(view.themeManager().currentTheme());
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(SettingsStyle::title(tr("Autonomous Actions & Whitelists"), palette));

    // 60 to 95 % in steps of 5, as steps.
    m_ram->setRange(12, 19);
    m_ram->setAccessibleName(tr("RAM Pressure Action Threshold:"));
    column->addLayout(SettingsStyle::sliderBlock(
        tr("RAM Pressure Action Threshold:"), m_ramValue, m_ram, palette, QMargins(0, 0, 0, 8)));
    connect(m_ram, &QSlider::valueChanged, this,
        [this](int step) { edit([step](PersonaConfiguration& c) { c.ramPressureThresholdPercent = step * 5.0; }); });

    m_autoUnload->setFont(Fonts::system(12));
    auto* unload = new QVBoxLayout;
    unload->setContentsMargins(0, 0, 0, 8);
    unload->addWidget(m_autoUnload);
    column->addLayout(unload);
    connect(m_autoUnload, &QCheckBox::toggled, this,
        [this](bool on) { edit([on](PersonaConfiguration& c) { c.autoUnloadOllamaEnabled = on; }); });

    // 0 to 1 in steps of 0.05, as twentieths; the fraction itself is stored.
    m_aggressiveness->setRange(0, 20);
    m_aggressiveness->setAccessibleName(tr("Throttling Aggressiveness Profile:"));
    column->addLayout(SettingsStyle::sliderBlock(tr("Throttling Aggressiveness Profile:"), m_aggressivenessValue,
        m_aggressiveness, palette, QMargins(0, 0, 0, 12)));
    connect(m_aggressiveness, &QSlider::valueChanged, this,
        [this](int step) { edit([step](PersonaConfiguration& c) { c.aggressivenessLevel = step * 5 / 100.0; }); });

    auto* whitelist = new QVBoxLayout;
    whitelist->setSpacing(6);
    whitelist->addWidget(SettingsStyle::header(tr("Never-Pause App Whitelist (Protected from SIGSTOP)"), palette));
    m_whitelist = makeListEditor(tr("e.g. Antigravity, code, Spotify"), view.newWhitelistApp,
        &PersonaConfiguration::neverPauseWhitelist, 0.2, palette);
    auto* entry = new QHBoxLayout;
    entry->addWidget(m_whitelist.field, 1);
    entry->addWidget(m_whitelist.add);
    whitelist->addLayout(entry);
    whitelist->addWidget(m_whitelist.chips);
    column->addLayout(whitelist);

    showConfiguration(shown());
}

void AutomationSection::showConfiguration(const PersonaConfiguration& c)
{
    const QSignalBlocker a(m_ram), b(m_autoUnload), d(m_aggressiveness);
    if (!m_ram->isSliderDown())
        m_ram->setValue(static_cast<int>(std::lround(c.ramPressureThresholdPercent / 5.0)));
    m_ramValue->setText(NumberText::numberText("%.0f%%", c.ramPressureThresholdPercent));
    m_autoUnload->setChecked(c.autoUnloadOllamaEnabled);
    if (!m_aggressiveness->isSliderDown())
        m_aggressiveness->setValue(static_cast<int>(std::lround(c.aggressivenessLevel * 20.0)));
    m_aggressivenessValue->setText(NumberText::numberText("%.0f%%", c.aggressivenessLevel * 100.0));
    showList(m_whitelist, c.neverPauseWhitelist);
}
