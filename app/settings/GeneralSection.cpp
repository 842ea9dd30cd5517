#include "GeneralSection.h"

#include "IndicatorStyle.h"
#include "LoginItem.h"
#include "SettingsStyle.h"
#include "SettingsView.h"

#include "records/ThemeManager.h"
#include "ui/Fonts.h"
#include "ui/NumberText.h"
#include "ui/Palette.h"
#include "ui/ViewSettings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

namespace {

QCheckBox* checkBox(const QString& text)
{
    auto* box = new QCheckBox(text);
    box->setFont(Fonts::system(12));
    box->setStyle(IndicatorStyle::shared());
    return box;
}

// A labelled group of radio buttons, one per (label, id).
QWidget* radioGroup(
    const QString& title, const QList<QPair<QString, int>>& options, QButtonGroup* group, const Palette& palette)
{
    auto* box = new QWidget;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 4, 0, 4);
    row->setSpacing(12);
    QLabel* label = SettingsStyle::label(title, palette);
    label->setFixedWidth(130);
    row->addWidget(label, 0, Qt::AlignTop);
    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    for (const auto& [text, id] : options) {
        auto* button = new QRadioButton(text);
        button->setFont(Fonts::system(12));
        button->setStyle(IndicatorStyle::shared());
        group->addButton(button, id);
        column->addWidget(button);
    }
    row->addLayout(column);
    row->addStretch(1);
    return box;
}

} // namespace

GeneralSection::GeneralSection(SettingsView& view, QWidget* parent)
    : QWidget(parent)
    , m_view(view)
    , m_launchAtLogin(checkBox(tr("Launch at Login")))
    , m_notifications(checkBox(tr("Enable Resource Notifications")))
    , m_cpuRing(checkBox(tr("Show CPU Meter Ring")))
    , m_textReadouts(checkBox(tr("Show Numeric Text Readouts")))
    , m_sparkline(checkBox(tr("Show AI VRAM Sparkline")))
    , m_styles(new QButtonGroup(this))
    , m_themes(new QButtonGroup(this))
    , m_polling(new QSlider(Qt::Horizontal))
    , m_pollingValue(nullptr)
{
    const Palette palette = Palette::forTheme(view.themeManager().currentTheme());
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(SettingsStyle::title(tr("General Preferences"), palette));

    // The autostart entry is the source of truth: the box shows whether it exists.
    m_launchAtLogin->setChecked(view.loginItem().isEnabled());
    connect(m_launchAtLogin, &QCheckBox::toggled, this, [this](bool on) {
        if (!m_view.loginItem().setEnabled(on)) {
            const QSignalBlocker block(m_launchAtLogin);
            m_launchAtLogin->setChecked(m_view.loginItem().isEnabled());
        }
    });
    column->addWidget(m_launchAtLogin);

    buildStyleChoices(column, palette);

    m_notifications->setChecked(view.notificationsEnabled());
    connect(m_notifications, &QCheckBox::toggled, this, [this](bool on) { m_view.setNotificationsEnabled(on); });
    column->addWidget(m_notifications);

    column->addLayout(buildMenuBarContent(palette));
    column->addLayout(buildPolling(palette));
}

void GeneralSection::buildStyleChoices(QVBoxLayout* column, const Palette& palette)
{
    column->addWidget(radioGroup(tr("Tray Icon Style"),
        {{tr("Standard (Contextual Warnings)"), 0}, {tr("Minimalist (Monochrome Static)"), 1}}, m_styles, palette));
    m_styles->button(m_view.menubarIconStyle == SettingsView::minimalMenuBarStyle ? 1 : 0)->setChecked(true);
    connect(m_styles, &QButtonGroup::idClicked, this, [this](int id) {
        m_view.menubarIconStyle = id == 1 ? SettingsView::minimalMenuBarStyle : SettingsView::standardMenuBarStyle;
    });

    QList<QPair<QString, int>> themes;
    for (const auto& [theme, raw] : RawEnumTable<AppTheme>::cases)
        themes.append({QString::fromUtf8(raw.data(), static_cast<int>(raw.size())), static_cast<int>(theme)});
    column->addWidget(radioGroup(tr("App Theme Style"), themes, m_themes, palette));
    m_themes->button(static_cast<int>(m_view.themeManager().currentTheme()))->setChecked(true);
    connect(m_themes, &QButtonGroup::idClicked, this,
        [this](int id) { m_view.themeManager().setCurrentTheme(static_cast<AppTheme>(id)); });
}

QLayout* GeneralSection::buildMenuBarContent(const Palette& palette)
{
    auto* menuBar = new QVBoxLayout;
    menuBar->setContentsMargins(0, 4, 0, 4);
    menuBar->setSpacing(4);
    QLabel* menuBarHeader = SettingsStyle::label(tr("Tray Item Content"), palette, 11, true);
    QPalette gray = menuBarHeader->palette();
    gray.setColor(QPalette::WindowText, palette.secondaryText);
    menuBarHeader->setPalette(gray);
    menuBar->addWidget(menuBarHeader);
    menuBar->addWidget(m_cpuRing);
    menuBar->addWidget(m_textReadouts);
    menuBar->addWidget(m_sparkline);
    ViewSettings& settings = m_view.viewSettings();
    connect(m_cpuRing, &QCheckBox::toggled, &settings, &ViewSettings::setShowMenuBarCPURing);
    connect(m_textReadouts, &QCheckBox::toggled, &settings, &ViewSettings::setShowMenuBarTextReadouts);
    connect(m_sparkline, &QCheckBox::toggled, &settings, &ViewSettings::setShowMenuBarSparkline);
    connect(&settings, &ViewSettings::menuBarSettingsChanged, this, &GeneralSection::showMenuBarSettings);
    showMenuBarSettings();
    return menuBar;
}

QLayout* GeneralSection::buildPolling(const Palette& palette)
{
    // 1 to 10 s in steps of 0.5 s, as half-seconds.
    m_polling->setRange(2, 20);
    m_polling->setValue(static_cast<int>(m_view.pollingInterval * 2 + 0.5));
    m_polling->setAccessibleName(tr("Metrics Polling Interval"));
    auto* block = SettingsStyle::sliderBlock(
        tr("Metrics Polling Interval:"), m_pollingValue, m_polling, palette, QMargins(0, 8, 0, 0));
    auto showPolling = [this] { m_pollingValue->setText(NumberText::numberText("%.1fs", m_view.pollingInterval)); };
    connect(m_polling, &QSlider::valueChanged, this, [this, showPolling](int halves) {
        m_view.pollingInterval = halves / 2.0;
        showPolling();
    });
    showPolling();
    return block;
}

void GeneralSection::showMenuBarSettings()
{
    const ViewSettings& settings = m_view.viewSettings();
    const QSignalBlocker a(m_cpuRing), b(m_textReadouts), c(m_sparkline);
    m_cpuRing->setChecked(settings.showMenuBarCPURing());
    m_textReadouts->setChecked(settings.showMenuBarTextReadouts());
    m_sparkline->setChecked(settings.showMenuBarSparkline());
}
