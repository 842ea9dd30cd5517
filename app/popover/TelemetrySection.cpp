#include "TelemetrySection.h"

#include "PopoverStyle.h"

#include "engines/DashboardViewModel.h"
#include "records/ThemeManager.h"
#include "ui/Fonts.h"
#include "ui/NumberText.h"
#include "views/dashboard/SparklineView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

// The chart's faint rounded backdrop in its own colour.
class ChartFrame : public QWidget
{
public:
    using QWidget::QWidget;
    void setFill(const QColor& fill)
    {
        m_fill = fill;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(rect(), 3, 3);
        p.fillPath(path, m_fill);
    }

private:
    QColor m_fill;
};

} // namespace

TelemetrySection::TelemetrySection(DashboardViewModel& dashboardVM, ThemeManager& themes, QWidget* parent)
    : QWidget(parent)
    , m_dashboardVM(dashboardVM)
    , m_palette(Palette::forTheme(themes.currentTheme()))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    m_heading = PopoverStyle::label(tr("Real-time Telemetry"), Fonts::system(11, QFont::Bold), this);
    column->addWidget(m_heading);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    m_cpu = makeBlock(tr("CPU"));
    m_ram = makeBlock(tr("RAM"));
    m_ai = makeBlock(tr("AI VRAM"));
    for (const Block* b : {&m_cpu, &m_ram, &m_ai})
        row->addWidget(b->frame->parentWidget(), 1);
    column->addLayout(row);

    connect(&m_dashboardVM, &DashboardViewModel::figuresChanged, this, &TelemetrySection::refresh);
    followThemeNow(themes, this, [this](const Palette& p) {
        m_palette = p;
        applyTheme();
        refresh();
    });
}

TelemetrySection::Block TelemetrySection::makeBlock(const QString& caption)
{
    auto* block = new QWidget(this);
    auto* stack = new QVBoxLayout(block);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(3);
    auto* captionRow = new QHBoxLayout;
    captionRow->setSpacing(4);
    Block b;
    b.caption = PopoverStyle::label(caption, Fonts::system(9, QFont::Bold), block);
    b.value = PopoverStyle::label(QString(), Fonts::system(9, QFont::DemiBold), block);
    captionRow->addWidget(b.caption);
    captionRow->addStretch(1);
    captionRow->addWidget(b.value);
    stack->addLayout(captionRow);
    auto* frame = new ChartFrame(block);
    frame->setFixedHeight(24);
    auto* inside = new QVBoxLayout(frame);
    inside->setContentsMargins(0, 0, 0, 0);
    b.chart = new SparklineView({}, QColor(), frame);
    inside->addWidget(b.chart);
    stack->addWidget(frame);
    b.frame = frame;
    return b;
}

QString TelemetrySection::percentText(double percent)
{
    const auto whole = NumberText::whole(percent);
    return whole ? QString::number(*whole) + QStringLiteral("%") : NumberText::dash;
}

QString TelemetrySection::cpuText() const
{
    return m_cpu.value->text();
}

QString TelemetrySection::ramText() const
{
    return m_ram.value->text();
}

QString TelemetrySection::aiText() const
{
    return m_ai.value->text();
}

void TelemetrySection::applyTheme()
{
    PopoverStyle::setLabelColor(m_heading, m_palette.secondaryText);
    const QColor colors[] = {m_palette.orange, m_palette.blue, m_palette.purple};
    int i = 0;
    for (const Block* b : {&m_cpu, &m_ram, &m_ai}) {
        PopoverStyle::setLabelColor(b->caption, m_palette.secondaryText);
        PopoverStyle::setLabelColor(b->value, m_palette.secondaryText);
        b->chart->setColor(colors[i]);
        static_cast<ChartFrame*>(b->frame)->setFill(withOpacity(colors[i], 0.04));
        ++i;
    }
}

void TelemetrySection::refresh()
{
    m_cpu.value->setText(m_dashboardVM.measured().cpuUsage ? percentText(m_dashboardVM.cpuUsage()) : NumberText::dash);
    m_cpu.chart->setData(m_dashboardVM.measuredCpuHistory());
    m_ram.chart->setData(m_dashboardVM.memoryHistory());
    m_ai.chart->setData(m_dashboardVM.aiMemoryHistory());
    const auto& memory = m_dashboardVM.memoryState();
    if (!memory) {
        m_ram.value->clear();
        m_ai.value->clear();
        return;
    }
    const double total = memory->totalGB;
    const double ram = total > 0 ? (memory->systemUsedGB + memory->aiModelsGB) * 100 / total : 0.0;
    const double ai = total > 0 ? memory->aiModelsGB * 100 / total : 0.0;
    m_ram.value->setText(percentText(ram));
    m_ai.value->setText(percentText(ai));
}
