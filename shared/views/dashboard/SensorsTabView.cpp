#include "SensorsTabView.h"

#include "ActionTipsView.h"
#include "PageStyle.h"
#include "ProcessRow.h"
#include "SensorCircle.h"
#include "SensorRow.h"
#include "SparklineView.h"
#include "engines/DashboardViewModel.h"
#include "records/ThemeManager.h"
#include "ui/Fonts.h"
#include "ui/NumberText.h"

#include <QHBoxLayout>
#include <QScrollArea>
#include <QVBoxLayout>

using PageStyle::Tone;

namespace {

std::optional<double> when(bool measured, double value)
{
    return measured ? std::optional<double>(value) : std::nullopt;
}

QString whole(const std::optional<double>& value, const QString& suffix)
{
    return PageStyle::wholeFigure(value.has_value(), value.value_or(0), suffix);
}

QWidget* socCard(QWidget* parent, ToneLabel*& value)
{
    auto* card = PageStyle::panel(0.05, 10, parent);
    auto* row = new QHBoxLayout(card);
    row->setContentsMargins(12, 10, 12, 10);
    row->addWidget(new ToneSymbol(QStringLiteral("cpu"), Tone::blue, 18, card));
    row->addStretch();
    auto* middle = new QVBoxLayout;
    middle->setSpacing(2);
    auto* title = new ToneLabel(QStringLiteral("SOC"), Fonts::system(8, QFont::Bold), Tone::primary, card);
    title->setAlignment(Qt::AlignCenter);
    value = new ToneLabel(NumberText::dash, Fonts::system(12, QFont::Bold), Tone::primary, card);
    value->setAlignment(Qt::AlignCenter);
    middle->addWidget(title);
    middle->addWidget(value);
    row->addLayout(middle);
    row->addStretch();
    row->addWidget(new ToneSymbol(QStringLiteral("thermometer.medium"), Tone::red, 18, card));
    return card;
}

QStringList tips(bool canPause)
{
    // Nothing in the program changes a priority: with the helper, personas pause chosen processes.
    if (canPause) {
        return {SensorsTabView::tr(
                    "❄️ Freeze Model: Suspend heavy background processes to instantly reclaim CPU cores."),
            SensorsTabView::tr(
                "🚀 Proactive Optimization ('PO'): with automatic personas on, Quorvane pauses non-essential tasks.")};
    }
    return {
        SensorsTabView::tr("❄️ Freeze Model: without its helper, Quorvane cannot suspend background processes."),
        SensorsTabView::tr("🚀 Proactive Optimization ('PO'): without its helper, personas pause no background tasks.")};
}

} // namespace

SensorsTabView::Figures SensorsTabView::Figures::of(const DashboardViewModel& stats)
{
    const MeasuredFigures& m = stats.measured();
    Figures f;
    f.socTemperature = when(m.socTemperature, stats.socTemperature());
    f.cpuUsage = when(m.cpuUsage, stats.cpuUsage());
    f.aneUsage = when(m.aneUsage, stats.aneUsage());
    f.pClusterUsage = when(m.performanceCluster, stats.pClusterUsage());
    f.eClusterUsage = when(m.efficiencyCluster, stats.eClusterUsage());
    f.powerDraw = when(m.powerDraw, stats.powerDraw());
    f.cpuHistory = stats.measuredCpuHistory();
    f.topProcesses = stats.topProcesses();
    return f;
}

SensorsTabView::SensorsTabView(DashboardViewModel& stats, bool canPause, QWidget* parent)
    : QWidget(parent)
    , m_stats(stats)
{
    auto* page = new QHBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(20);
    page->setAlignment(Qt::AlignTop);

    page->addWidget(buildSensors(), 1, Qt::AlignTop);
    page->addWidget(buildProcesses(), 0, Qt::AlignTop);

    followTheme(ThemeManager::shared(), this, [this](const Palette& palette) {
        m_sparkline->setColor(palette.blue);
        update();
    });
    connect(&m_stats, &DashboardViewModel::figuresChanged, this, [this] { showFigures(Figures::of(m_stats)); });
    showFigures(Figures::of(m_stats));
    setCanPause(canPause);
}

void SensorsTabView::setCanPause(bool canPause)
{
    m_tips->setTips(tips(canPause));
}

QWidget* SensorsTabView::buildSensors()
{
    auto* left = PageStyle::panel(0.02, 16, this);
    auto* leftColumn = new QVBoxLayout(left);
    leftColumn->setContentsMargins(16, 16, 16, 16);
    leftColumn->setSpacing(16);
    leftColumn->addWidget(socCard(left, m_socValue));
    auto* circles = new QHBoxLayout;
    circles->setSpacing(12);
    circles->addStretch();
    for (const char* title : {"CPU", "TEMP", "ANE"}) {
        m_circles << new SensorCircle(QString::fromLatin1(title), NumberText::dash, left);
        circles->addWidget(m_circles.last());
    }
    circles->addStretch();
    leftColumn->addLayout(circles);
    auto* rows = new QVBoxLayout;
    rows->setSpacing(10);
    const QList<QPair<QString, QString>> rowTitles {{QStringLiteral("TEMPERATURE"), QStringLiteral("Average SoC")},
        {QStringLiteral("EFFICIENCY"), QStringLiteral("P/W Ratio")},
        {QStringLiteral("POWER DRAW"), QStringLiteral("Total SoC")},
        {QStringLiteral("CLUSTERS"), QStringLiteral("P-Core Avg")},
        {QStringLiteral("CLUSTERS"), QStringLiteral("E-Core Avg")}};
    for (const auto& [title, subtitle] : rowTitles) {
        m_rows << new SensorRow(title, subtitle, NumberText::dash, left);
        rows->addWidget(m_rows.last());
    }
    leftColumn->addLayout(rows);
    auto* status = PageStyle::panel(0.1, 8, left);
    status->setFill(PageStyle::tone(Tone::purple, 0.1));
    auto* statusRow = new QHBoxLayout(status);
    statusRow->setContentsMargins(8, 8, 8, 8);
    statusRow->setSpacing(6);
    statusRow->addWidget(new ToneSymbol(QStringLiteral("sparkles"), Tone::purple, 12, status));
    m_thermal = new ToneLabel(QString(), Fonts::system(10), Tone::secondary, status);
    m_thermal->setWordWrap(true);
    statusRow->addWidget(m_thermal, 1);
    leftColumn->addWidget(status);
    leftColumn->addStretch();
    return left;
}

QWidget* SensorsTabView::buildProcesses()
{
    auto* right = new QWidget(this);
    right->setFixedWidth(280);
    auto* rightColumn = new QVBoxLayout(right);
    rightColumn->setContentsMargins(0, 0, 0, 0);
    rightColumn->setSpacing(10);
    rightColumn->addWidget(new ToneLabel(tr("CPU Usage History"), PageStyle::headline(), Tone::primary, right));
    m_sparkline = new SparklineView({}, Palette::current().blue, right);
    m_sparkline->setFixedHeight(40);
    rightColumn->addWidget(m_sparkline);
    rightColumn->addWidget(new ToneLabel(tr("Top Processes"), PageStyle::headline(), Tone::primary, right));
    auto* scroll = new QScrollArea(right);
    scroll->setFixedHeight(140);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll->viewport()->setAutoFillBackground(false);
    auto* list = new QWidget;
    list->setAutoFillBackground(false);
    auto* listColumn = new QVBoxLayout(list);
    listColumn->setContentsMargins(0, 0, 0, 0);
    listColumn->setSpacing(8);
    for (int i = 0; i < kProcessRows; ++i) {
        m_processes << new ProcessRow(QStringLiteral("app.fill"), {}, {}, {}, Palette::current().blue, false, {}, list);
        listColumn->addWidget(m_processes.last());
    }
    listColumn->addStretch();
    scroll->setWidget(list);
    list->setAutoFillBackground(false); // setWidget() turns it on; the list shows the page's background
    rightColumn->addWidget(scroll);
    m_tips = new ActionTipsView(tr("Active Optimization Tips"), tips(true), right);
    rightColumn->addWidget(m_tips);
    rightColumn->addStretch();
    return right;
}

QString SensorsTabView::efficiencyText(std::optional<double> cpuUsage, std::optional<double> powerDraw)
{
    if (!cpuUsage || !powerDraw)
        return NumberText::dash;
    return NumberText::numberText("%.2f", *cpuUsage / std::max(*powerDraw, 1.0));
}

void SensorsTabView::showFigures(const Figures& f)
{
    const QString degrees = QStringLiteral("°");
    const QString percent = QStringLiteral("%");
    m_socValue->setText(whole(f.socTemperature, degrees));
    m_circles[0]->setValue(whole(f.cpuUsage, percent));
    m_circles[1]->setValue(whole(f.socTemperature, degrees));
    m_circles[2]->setValue(whole(f.aneUsage, percent));
    m_rows[0]->setValue(whole(f.socTemperature, QStringLiteral("°C")));
    m_rows[1]->setValue(efficiencyText(f.cpuUsage, f.powerDraw));
    m_rows[2]->setValue(PageStyle::figure(f.powerDraw.has_value(), "%.2f W", f.powerDraw.value_or(0)));
    m_rows[3]->setValue(whole(f.pClusterUsage, percent));
    m_rows[4]->setValue(whole(f.eClusterUsage, percent));
    // Without a chip sensor nothing is known about the thermals either way.
    if (!f.socTemperature)
        m_thermal->setText(tr("No temperature sensor found on this machine."));
    else if (*f.socTemperature > kWarningTemperature)
        m_thermal->setText(tr("Thermals warning: high system temperature"));
    else
        m_thermal->setText(tr("Thermals optimal. Passive cooling sufficient."));
    m_sparkline->setData(f.cpuHistory);
    for (int i = 0; i < kProcessRows; ++i) {
        ProcessRow* row = m_processes[i];
        const bool shown = i < static_cast<int>(f.topProcesses.size());
        row->setVisible(shown);
        if (shown) {
            const RunningProcess& process = f.topProcesses[static_cast<std::size_t>(i)];
            row->setProcess(QString::fromStdString(process.name), NumberText::numberText("%.1f%%", process.cpuPercent));
        }
    }
}

QString SensorsTabView::socText() const
{
    return m_socValue->text();
}

QStringList SensorsTabView::circleValues() const
{
    QStringList out;
    for (const SensorCircle* circle : m_circles)
        out << circle->value();
    return out;
}

QStringList SensorsTabView::rowValues() const
{
    QStringList out;
    for (const SensorRow* row : m_rows)
        out << row->value();
    return out;
}

QString SensorsTabView::thermalText() const
{
    return m_thermal->text();
}

QStringList SensorsTabView::tipTexts() const
{
    return m_tips->tips();
}

QStringList SensorsTabView::processNames() const
{
    QStringList out;
    for (const ProcessRow* row : m_processes)
        if (!row->isHidden())
            out << row->name();
    return out;
}
