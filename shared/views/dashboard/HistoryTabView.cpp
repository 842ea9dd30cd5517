#include "HistoryTabView.h"

#include "PageStyle.h"
#include "engines/DashboardViewModel.h"
#include "records/ThemeManager.h"
#include "ui/Clock.h"
#include "ui/Desktop.h"
#include "ui/Fonts.h"
#include "ui/SymbolIcon.h"

#include <QHBoxLayout>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

using PageStyle::Tone;

namespace {

void styleExportButton(QPushButton* button, const Palette& palette)
{
    // Text fixed to white stays white here: it sits on the blue fill in every theme.
    button->setIcon(QIcon(SymbolIcon::pixmap(QStringLiteral("square.and.arrow.up"), 14, Qt::white, 2.0)));
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border: none; border-radius: 8px;"
                                         " padding: 8px 14px; }"
                                         "QPushButton:focus { border: 1px solid %2; }")
                              .arg(palette.blue.name(), withOpacity(palette.text, 0.8).name(QColor::HexArgb)));
}

} // namespace

HistoryTabView::HistoryTabView(DashboardViewModel& stats, QWidget* parent)
    : HistoryTabView(stats, Desktop::system(), Clock::system(), parent)
{
}

HistoryTabView::HistoryTabView(DashboardViewModel& stats, Desktop& desktop, Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_stats(stats)
    , m_desktop(desktop)
    , m_clock(clock)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(20);
    column->addWidget(new ToneLabel(tr("System History & DVR"), PageStyle::title2(), Tone::primary, this));
    column->addWidget(new ToneLabel(tr("Scrub back in time to see exactly what processes were running."),
        PageStyle::subheadline(), Tone::secondary, this));

    auto* machine = new QVBoxLayout;
    machine->setSpacing(10);
    machine->addWidget(new ToneLabel(tr("Time Travel"), PageStyle::headline(), Tone::primary, this));
    auto* row = PageStyle::panel(0.05, 8, this);
    auto* rowLayout = new QHBoxLayout(row);
    rowLayout->setContentsMargins(16, 12, 16, 12);
    m_time = new ToneLabel({}, PageStyle::body(), Tone::primary, row);
    m_cpu = new ToneLabel({}, PageStyle::body(), Tone::primary, row);
    rowLayout->addWidget(m_time);
    rowLayout->addStretch();
    rowLayout->addWidget(m_cpu);
    machine->addWidget(row);
    column->addLayout(machine);

    m_export = new QPushButton(tr("Export CSV Report"), this);
    m_export->setFont(Fonts::system(12, QFont::Bold));
    m_export->setCursor(Qt::PointingHandCursor);
    m_export->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    styleExportButton(m_export, Palette::current());
    connect(m_export, &QPushButton::clicked, this, &HistoryTabView::exportReport);
    column->addWidget(m_export, 0, Qt::AlignLeft);
    column->addStretch();

    followTheme(ThemeManager::shared(), this, [this](const Palette& palette) { styleExportButton(m_export, palette); });
    connect(&m_stats, &DashboardViewModel::figuresChanged, this, &HistoryTabView::refresh);
    refresh();
}

void HistoryTabView::refresh()
{
    m_time->setText(QLocale().toString(m_clock.now().time(), QLocale::ShortFormat));
    m_cpu->setText(tr("CPU: ") + PageStyle::figure(m_stats.measured().cpuUsage, "%.1f%%", m_stats.cpuUsage()));
}

void HistoryTabView::setExporting(bool exporting)
{
    m_isExporting = exporting;
    m_export->setText(exporting ? tr("Exporting...") : tr("Export CSV Report"));
}

void HistoryTabView::exportReport()
{
    setExporting(true);
    if (const auto path = m_stats.exportHistoryToCSV())
        m_desktop.revealFile(*path);
    setExporting(false);
}

QString HistoryTabView::timeText() const
{
    return m_time->text();
}

QString HistoryTabView::cpuText() const
{
    return m_cpu->text();
}
