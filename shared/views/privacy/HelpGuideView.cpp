#include "HelpGuideView.h"

#include "engines/DashboardViewModel.h"
#include "records/ThemeManager.h"
#include "ui/CardPainter.h"
#include "ui/Fonts.h"
#include "ui/Palette.h"
#include "ui/SymbolIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace {

// One section: its symbol and title over its body, on the accent at 3 % with an 8 % outline.
class GuideCard : public QWidget
{
public:
    GuideCard(const HelpGuideView::GuideSection& section, const Palette& palette)
        : m_tint(palette.accent)
    {
        auto* column = new QVBoxLayout(this);
        column->setContentsMargins(12, 12, 12, 12);
        column->setSpacing(8);
        auto* head = new QHBoxLayout;
        head->setSpacing(8);
        auto* icon = new QLabel;
        icon->setPixmap(SymbolIcon::pixmap(section.icon, 16, section.iconColor, devicePixelRatioF()));
        auto* title = new QLabel(section.title);
        title->setFont(Fonts::system(13, QFont::Bold));
        QPalette text = title->palette();
        text.setColor(QPalette::WindowText, palette.text);
        title->setPalette(text);
        head->addWidget(icon);
        head->addWidget(title, 1);
        column->addLayout(head);
        auto* body = new QLabel(section.body);
        body->setObjectName(QStringLiteral("guideBody"));
        body->setTextFormat(Qt::PlainText);
        body->setWordWrap(true);
        body->setFont(Fonts::system(12));
        text.setColor(QPalette::WindowText, palette.secondaryText);
        body->setPalette(text);
        column->addWidget(body);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        CardPainter::paintRounded(painter, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, withOpacity(m_tint, 0.03),
            withOpacity(m_tint, 0.08));
    }

private:
    QColor m_tint;
};

} // namespace

QList<HelpGuideView::GuideSection> HelpGuideView::sections(const Palette& p)
{
    return {
        {QStringLiteral("brain"), p.purple, tr("1. Local AI Monitor & Telemetry"),
            tr("Quorvane watches the local AI tools on your machine: the Ollama server (port 11434) and the "
               "models it holds in memory, and the model files of Ollama, LM Studio, and Hugging Face. It "
               "measures the memory loaded models hold, CPU usage, and memory footprint, and reports on active "
               "model loadings so your local inference stays smooth.")},
        {QStringLiteral("snowflake"), p.blue, tr("2. Persona Modes & Smart Freeze"),
            tr("With the helper, personas automatically pause chosen background processes based on your work "
               "context:\n"
               "• Compile Mode: Suspends background AI to give your compilers (cargo, make, ninja) all CPU cores.\n"
               "• AI First Mode: Reserves maximum VRAM and memory headroom for local models.\n"
               "• Battery Mode: Suspends resource-heavy services when you're on battery.\n\n"
               "These modes appear as badges in your tray icon.")},
        {QStringLiteral("memorychip"), p.cyan, tr("3. Memory Headroom Management"),
            tr("The memory dashboard tracks:\n"
               "• System RAM used by the system and apps\n"
               "• AI VRAM consumed by loaded models\n"
               "• Free headroom available for new model loads\n\n"
               "Watch the sparkline graphs in the popover to spot memory pressure before it causes slowdowns.")},
        {QStringLiteral("chart.xyaxis.line"), p.green, tr("4. Real-Time Charts & Sparklines"),
            tr("The popover's telemetry charts and the CPU tab's history show the last %1 samples of CPU load, "
               "total memory, and AI model memory, one taken each second, so about the last minute.\n\n"
               "The buttons in the popover header: Tour plays the guided tour; the list button switches to the "
               "assistance history and back; the gear opens Settings and Quit; the palette picks the theme; "
               "the power button quits Quorvane.")
                .arg(DashboardViewModel::kHistoryLength)},
        {QStringLiteral("paintpalette.fill"), p.orange, tr("5. Themes"),
            tr("Switch between the Standard, Cyberpunk, Nordic, Ink, and Light themes from the General tab in "
               "Settings. The entire interface — sidebar highlights, charts, headers, and status bar icons — "
               "instantly adapts to your selected theme.")},
        {QStringLiteral("bell.badge.fill"), p.red, tr("6. Tray Icon & Badge States"),
            tr("The tray icon shows your system at a glance:\n"
               "• CPU ring: current CPU utilization\n"
               "• Badge 🔥: thermal throttling active\n"
               "• Badge ❄️: Compile Mode persona active\n"
               "• Badge 🧠: AI First Mode active\n"
               "• Badge 🍃: Battery Mode active\n"
               "• Badge ⚠️: memory pressure high\n\n"
               "The AI VRAM sparkline and headroom text update every second.")},
        {QStringLiteral("gear.badge.questionmark"), p.secondaryText, tr("7. Settings Overview"),
            tr("Use the sidebar in Settings to navigate:\n"
               "• General: launch at login, notifications, polling interval, theme\n"
               "• Personas: configure automated persona trigger apps\n"
               "• Automation: freeze/unfreeze rules and trigger lists\n"
               "• Storage & Caches: view local models and developer caches\n"
               "• Privacy: see, export and erase what is stored locally\n"
               "• About: version info and lifetime stats")},
    };
}

HelpGuideView::HelpGuideView(QWidget* parent)
    : HelpGuideView(ThemeManager::shared(), parent)
{
}

HelpGuideView::HelpGuideView(ThemeManager& themeManager, QWidget* parent)
    : QScrollArea(parent)
    , m_themeManager(themeManager)
{
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAutoFillBackground(false);
    followTheme(themeManager, this, [this](const Palette& palette) { build(palette); });
    build(Palette::forTheme(themeManager.currentTheme()));
}

void HelpGuideView::build(const Palette& palette)
{
    m_tint = palette.accent;
    m_sections = sections(palette);
    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 20);
    column->setSpacing(20);

    auto* header = new QHBoxLayout;
    header->setContentsMargins(0, 0, 0, 4);
    header->setSpacing(12);
    auto* icon = new QLabel;
    icon->setPixmap(SymbolIcon::pixmap(QStringLiteral("bolt.shield.fill"), 28, palette.accent, devicePixelRatioF()));
    header->addWidget(icon);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    auto* title = new QLabel(tr("Quorvane Help Guide"));
    title->setFont(Fonts::system(20, QFont::Bold));
    auto* subtitle = new QLabel(tr("Your AI-first co-pilot"));
    subtitle->setFont(Fonts::system(11));
    QPalette text = title->palette();
    text.setColor(QPalette::WindowText, palette.text);
    title->setPalette(text);
    text.setColor(QPalette::WindowText, palette.secondaryText);
    subtitle->setPalette(text);
    titles->addWidget(title);
    titles->addWidget(subtitle);
    header->addLayout(titles, 1);
    column->addLayout(header);

    auto* divider = new QWidget;
    divider->setFixedHeight(1);
    divider->setAutoFillBackground(true);
    QPalette line = divider->palette();
    line.setColor(QPalette::Window, palette.divider);
    divider->setPalette(line);
    column->addWidget(divider);

    for (const GuideSection& section : m_sections)
        column->addWidget(new GuideCard(section, palette));
    column->addStretch(1);
    delete takeWidget();
    setWidget(content);
    updateGeometry();
}

QSize HelpGuideView::sizeHint() const
{
    return widget() ? widget()->sizeHint() : QScrollArea::sizeHint();
}

QSize HelpGuideView::minimumSizeHint() const
{
    return {200, 100};
}

bool HelpGuideView::hasHeightForWidth() const
{
    return widget() && widget()->hasHeightForWidth();
}

int HelpGuideView::heightForWidth(int width) const
{
    return widget() ? widget()->heightForWidth(width) : -1;
}
