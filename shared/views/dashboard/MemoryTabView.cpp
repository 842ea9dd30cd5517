#include "MemoryTabView.h"

#include "PageStyle.h"
#include "ProcessRow.h"
#include "engines/DashboardViewModel.h"
#include "ui/CardPainter.h"
#include "ui/Fonts.h"
#include "ui/NumberText.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using PageStyle::Tone;

// The 8-high pressure bar: a faint track and a fill of the pressure's share, red above 80 %.
class PressureBar : public QWidget
{
public:
    explicit PressureBar(QWidget* parent)
        : QWidget(parent)
    {
        setFixedHeight(8);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

    void setPercent(double percent)
    {
        m_percent = percent;
        update();
    }
    double fraction() const { return std::clamp(m_percent / 100.0, 0.0, 1.0); }
    bool isRed() const { return m_percent > 80; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const Palette palette = Palette::current();
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        CardPainter::paintRounded(p, rect(), 4, withOpacity(palette.text, 0.1));
        const double w = fraction() * width();
        if (w > 0)
            CardPainter::paintRounded(p, QRectF(0, 0, w, height()), 4, isRed() ? palette.red : palette.green);
    }

private:
    double m_percent = 0;
};

namespace {

struct Tile
{
    const char* title;
    Tone tone;
};
constexpr Tile kTiles[] = {{"App Memory", Tone::blue}, {"Wired", Tone::orange}, {"Compressed", Tone::purple}};

constexpr double kBytesPerGiB = 1024.0 * 1024.0 * 1024.0;

QString gigabytes(std::optional<std::uint64_t> bytes)
{
    return PageStyle::figure(bytes.has_value(), "%.2f GB", static_cast<double>(bytes.value_or(0)) / kBytesPerGiB);
}

} // namespace

MemoryTabView::MemoryTabView(DashboardViewModel& stats, QWidget* parent)
    : QWidget(parent)
    , m_stats(stats)
{
    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(20);
    column->addWidget(new ToneLabel(tr("Memory Allocation Overview"), PageStyle::title2(), Tone::primary, content));

    column->addLayout(buildTiles(content));
    column->addWidget(buildPressure(content));
    column->addWidget(buildProcesses(content));
    column->addStretch();
    PageStyle::scrollingPage(this, content);

    repaintOnThemeChange(this);
    connect(&m_stats, &DashboardViewModel::figuresChanged, this, &MemoryTabView::refresh);
    refresh();
}

QLayout* MemoryTabView::buildTiles(QWidget* content)
{
    auto* tiles = new QHBoxLayout;
    tiles->setSpacing(12);
    for (const Tile& tile : kTiles) {
        auto* card = PageStyle::panel(0.04, 10, content);
        auto* cardColumn = new QVBoxLayout(card);
        cardColumn->setContentsMargins(16, 16, 16, 16);
        cardColumn->setSpacing(8);
        cardColumn->addWidget(new ToneLabel(tr(tile.title), Fonts::system(10, QFont::Bold), Tone::secondary, card));
        m_tiles << new ToneLabel(NumberText::dash, Fonts::system(18, QFont::Bold), tile.tone, card);
        cardColumn->addWidget(m_tiles.last());
        tiles->addWidget(card, 1);
    }
    return tiles;
}

QWidget* MemoryTabView::buildPressure(QWidget* content)
{
    QVBoxLayout* pressureColumn = nullptr;
    auto* section = PageStyle::sectionPanel(content, pressureColumn, 12, 10);
    pressureColumn->addWidget(new ToneLabel(tr("Memory Pressure"), PageStyle::headline(), Tone::primary, content));
    m_pressureBody = new QWidget(content);
    auto* body = new QVBoxLayout(m_pressureBody);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(10);
    m_bar = new PressureBar(m_pressureBody);
    body->addWidget(m_bar);
    auto* captions = new QHBoxLayout;
    m_pressurePercent = new ToneLabel({}, PageStyle::caption(), Tone::secondary, m_pressureBody);
    m_pressureTotals = new ToneLabel({}, PageStyle::caption(), Tone::secondary, m_pressureBody);
    captions->addWidget(m_pressurePercent);
    captions->addStretch();
    captions->addWidget(m_pressureTotals);
    body->addLayout(captions);
    pressureColumn->addWidget(m_pressureBody);

    return section;
}

QWidget* MemoryTabView::buildProcesses(QWidget* content)
{
    QVBoxLayout* processColumn = nullptr;
    auto* section = PageStyle::sectionPanel(content, processColumn, 12, 12);
    processColumn->addWidget(
        new ToneLabel(tr("Memory Intensive Processes"), PageStyle::headline(), Tone::primary, content));
    for (int i = 0; i < kProcessRows; ++i) {
        m_processes << new ProcessRow(
            QStringLiteral("memorychip"), {}, {}, {}, Palette::current().blue, false, {}, content);
        processColumn->addWidget(m_processes.last());
    }
    return section;
}

std::optional<double> MemoryTabView::pressurePercent(const SystemMemoryState& state)
{
    const double total = std::max(state.totalGB, 1.0);
    const double percent = (state.systemUsedGB + state.aiModelsGB) / total * 100.0;
    if (!std::isfinite(percent))
        return std::nullopt;
    return std::min(percent, 100.0);
}

std::vector<RunningProcess> MemoryTabView::memoryIntensive(const std::vector<RunningProcess>& processes)
{
    std::vector<RunningProcess> sorted = processes;
    std::stable_sort(sorted.begin(), sorted.end(),
        [](const RunningProcess& a, const RunningProcess& b) { return a.memoryMB > b.memoryMB; });
    if (sorted.size() > kProcessRows)
        sorted.resize(kProcessRows);
    return sorted;
}

void MemoryTabView::refresh()
{
    const auto& state = m_stats.memoryState();
    const bool measured = state.has_value() && m_stats.measured().memory;
    const auto& use = m_stats.memoryUse();
    m_tiles[0]->setText(gigabytes(use ? std::optional(use->programBytes) : std::nullopt));
    m_tiles[1]->setText(gigabytes(use ? std::optional(use->wiredBytes) : std::nullopt));
    m_tiles[2]->setText(gigabytes(use ? use->compressedBytes : std::nullopt));

    const auto pressure = measured ? pressurePercent(*state) : std::nullopt;
    m_pressureBody->setVisible(measured);
    if (measured) {
        m_bar->setPercent(pressure.value_or(0));
        m_pressurePercent->setText(
            PageStyle::wholeFigure(pressure.has_value(), pressure.value_or(0), QStringLiteral("%")));
        m_pressureTotals->setText(NumberText::numberText("%.1f GB", state->systemUsedGB + state->aiModelsGB)
            + QStringLiteral(" / ") + NumberText::numberText("%.1f GB", state->totalGB));
    }

    const auto processes = memoryIntensive(m_stats.topMemoryProcesses());
    for (int i = 0; i < kProcessRows; ++i) {
        const bool shown = i < static_cast<int>(processes.size());
        m_processes[i]->setVisible(shown);
        if (shown) {
            const RunningProcess& process = processes[static_cast<std::size_t>(i)];
            m_processes[i]->setProcess(QString::fromStdString(process.name), memoryText(process.memoryMB));
        }
    }
}

QString MemoryTabView::memoryText(std::int64_t megabytes)
{
    if (megabytes < 1024)
        return QString::number(std::max<std::int64_t>(megabytes, 0)) + QStringLiteral(" MB");
    return NumberText::numberText("%.1f GB", static_cast<double>(megabytes) / 1024.0);
}

QStringList MemoryTabView::tileValues() const
{
    QStringList out;
    for (const ToneLabel* tile : m_tiles)
        out << tile->text();
    return out;
}

bool MemoryTabView::isPressureShown() const
{
    return !m_pressureBody->isHidden();
}

double MemoryTabView::pressureFraction() const
{
    return m_bar->fraction();
}

QColor MemoryTabView::pressureColor() const
{
    const Palette palette = Palette::current();
    return m_bar->isRed() ? palette.red : palette.green;
}

QString MemoryTabView::pressureText() const
{
    return m_pressurePercent->text();
}

QString MemoryTabView::pressureTotalsText() const
{
    return m_pressureTotals->text();
}

QStringList MemoryTabView::processNames() const
{
    QStringList out;
    for (const ProcessRow* row : m_processes)
        if (!row->isHidden())
            out << row->name();
    return out;
}

QStringList MemoryTabView::processValues() const
{
    QStringList out;
    for (const ProcessRow* row : m_processes)
        if (!row->isHidden())
            out << row->valueText();
    return out;
}
