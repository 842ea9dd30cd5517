#include "PersonasSection.h"

#include "FlowLayout.h"
#include "SettingsStyle.h"
#include "SettingsView.h"

#include "core/PersonaViewModel.h"
#include "records/ThemeManager.h"
#include "ui/Fonts.h"
#include "ui/NumberText.h"
#include "ui/Palette.h"
#include "ui/Switch.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

PersonasSection::PersonasSection(SettingsView& view, QWidget* parent)
    : ConfigurationPage(view, parent)
    , m_autonomous(new Switch)
    , m_flavor(new QComboBox)
    , m_headroom(new QSlider(Qt::Horizontal))
    , m_headroomValue(nullptr)
{
    const Palette palette = Palette::forTheme(view.themeManager().currentTheme());
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    column->addWidget(SettingsStyle::title(tr("Auto Personas Settings"), palette));

    auto* autonomousRow = new QHBoxLayout;
    autonomousRow->addWidget(SettingsStyle::label(tr("Enable Automatic Persona Switching"), palette));
    autonomousRow->addStretch(1);
    m_autonomous->setOnColor(palette.accent);
    m_autonomous->setAccessibleName(tr("Enable Automatic Persona Switching"));
    autonomousRow->addWidget(m_autonomous);
    column->addLayout(autonomousRow);
    connect(m_autonomous, &Switch::toggled, this,
        [this](bool on) { edit([on](PersonaConfiguration& c) { c.autonomousModeEnabled = on; }); });
    // The switch stays the user's choice; without the helper the page says that it pauses nothing.
    m_helperNote = SettingsStyle::note(QString(), palette, 11);
    QPalette warning = m_helperNote->palette();
    warning.setColor(QPalette::WindowText, palette.orange);
    m_helperNote->setPalette(warning);
    column->addWidget(m_helperNote);
    connect(&view.personaVM(), &PersonaViewModel::helperAccessChanged, this, &PersonasSection::showHelperAccess);
    showHelperAccess();

    auto* flavorRow = new QHBoxLayout;
    flavorRow->addWidget(SettingsStyle::label(tr("Conflict Resolution Style"), palette));
    m_flavor->addItem(tr("Lion (Aggressive Freeze)"));
    m_flavor->addItem(tr("Bear (Balanced Warnings & Freeze)"));
    m_flavor->addItem(tr("Fox (Caution Suggestions Only)"));
    m_flavor->setFont(Fonts::system(12));
    flavorRow->addWidget(m_flavor, 1);
    column->addLayout(flavorRow);
    connect(m_flavor, &QComboBox::activated, this, [this](int index) {
        edit([index](PersonaConfiguration& c) {
            c.flavorPersona = static_cast<PersonaConfiguration::FlavorPersona>(index);
        });
    });

    m_headroom->setRange(2, 32);
    m_headroom->setAccessibleName(tr("Headroom Warning Threshold"));
    column->addLayout(
        SettingsStyle::sliderBlock(tr("Headroom Warning Threshold:"), m_headroomValue, m_headroom, palette));
    // Every step the slider passes is written.
    connect(m_headroom, &QSlider::valueChanged, this,
        [this](int gb) { edit([gb](PersonaConfiguration& c) { c.headroomWarningThresholdGB = gb; }); });

    column->addWidget(SettingsStyle::divider(palette));

    auto* triggers = new QVBoxLayout;
    triggers->setSpacing(6);
    triggers->addWidget(SettingsStyle::header(tr("Compile Mode Active Process Triggers"), palette));
    m_triggers = makeListEditor(
        tr("e.g. rustc, cmake"), view.newTrigger, &PersonaConfiguration::compileModeTriggers, 0.15, palette);
    auto* entry = new QHBoxLayout;
    entry->addWidget(m_triggers.field, 1);
    entry->addWidget(m_triggers.add);
    triggers->addLayout(entry);
    triggers->addWidget(m_triggers.chips);
    column->addLayout(triggers);

    showConfiguration(shown());
}

void PersonasSection::showConfiguration(const PersonaConfiguration& c)
{
    const QSignalBlocker a(m_autonomous), b(m_flavor), d(m_headroom);
    m_autonomous->setChecked(c.autonomousModeEnabled);
    m_flavor->setCurrentIndex(static_cast<int>(c.flavorPersona));
    if (!m_headroom->isSliderDown())
        m_headroom->setValue(static_cast<int>(std::lround(c.headroomWarningThresholdGB)));
    m_headroomValue->setText(NumberText::numberText("%.0f GB", c.headroomWarningThresholdGB));
    showList(m_triggers, c.compileModeTriggers);
}

void PersonasSection::showHelperAccess()
{
    const HelperAccess access = m_view.personaVM().helperAccess();
    m_helperNote->setText(helperAccessMessage(access));
    m_helperNote->setVisible(access != HelperAccess::available);
}

QString PersonasSection::helperNote() const
{
    return m_helperNote->isHidden() ? QString() : m_helperNote->text();
}
