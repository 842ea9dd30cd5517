#include "HistoryTabView.h"

#include "PageStyle.h"
#include "core/HomeRelativePath.h"
#include "engines/DashboardViewModel.h"
#include "records/ThemeManager.h"
#include "ui/Clock.h"
#include "ui/Desktop.h"
#include "ui/Dialogs.h"
#include "ui/Fonts.h"
#include "ui/SymbolIcon.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
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
    : HistoryTabView(stats, Desktop::system(), Clock::system(), Dialogs::system(), parent)
{
}

HistoryTabView::HistoryTabView(DashboardViewModel& stats, Desktop& desktop, Clock& clock, QWidget* parent)
    : HistoryTabView(stats, desktop, clock, Dialogs::system(), parent)
{
}

HistoryTabView::HistoryTabView(
    DashboardViewModel& stats, Desktop& desktop, Clock& clock, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent)
    , m_stats(stats)
    , m_desktop(desktop)
    , m_clock(clock)
    , m_dialogs(dialogs)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(20);
    column->addWidget(new ToneLabel(tr("System History & DVR"), PageStyle::title2(), Tone::primary, this));
    // The page shows the moment now; the report holds the recent CPU load, not the processes.
    m_subtitle = new ToneLabel(tr("See the time and CPU load right now, and export the recent CPU history as CSV."),
        PageStyle::subheadline(), Tone::secondary, this);
    m_subtitle->setWordWrap(true);
    column->addWidget(m_subtitle);

    auto* machine = new QVBoxLayout;
    machine->setSpacing(10);
    machine->addWidget(new ToneLabel(tr("Right Now"), PageStyle::headline(), Tone::primary, this));
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
    m_status = new ToneLabel({}, PageStyle::subheadline(), Tone::secondary, this);
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status->hide();
    column->addWidget(m_status);
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
    if (m_isExporting)
        return;
    setExporting(true);
    const QString suggested = QDir(exportFolder()).filePath(DashboardViewModel::historyFileName(Date::now()));
    QPointer<HistoryTabView> self(this);
    m_dialogs.chooseSaveFile(this, tr("Export CSV Report"), suggested, [self](const QString& path) {
        if (!self)
            return;
        if (!path.isEmpty())
            self->writeReport(path);
        self->setExporting(false);
    });
}

void HistoryTabView::writeReport(const QString& path)
{
    const QString shown = homeRelativePath(path);
    if (const auto written = m_stats.exportHistoryToCSV(path)) {
        m_status->setText(tr("Saved to %1").arg(shown));
        m_status->setTone(Tone::secondary);
        reveal(*written, shown);
    } else {
        m_status->setText(tr("Could not save the report to %1.").arg(shown));
        m_status->setTone(Tone::red);
    }
    m_status->show();
}

void HistoryTabView::reveal(const QString& file, const QString& shown)
{
    // The file manager may take seconds to answer, or never: the GUI thread does not wait for it.
    const int report = ++m_reports;
    m_desktop.revealFile(file, this, [this, report, shown](bool revealed) {
        // A later report says where it went instead.
        if (revealed || report != m_reports)
            return;
        m_status->setText(tr("Saved to %1. No file manager answered, so it is not shown.").arg(shown));
    });
}

QString HistoryTabView::exportFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString HistoryTabView::statusText() const
{
    return m_status->isHidden() ? QString() : m_status->text();
}

QString HistoryTabView::subtitleText() const
{
    return m_subtitle->text();
}

QString HistoryTabView::timeText() const
{
    return m_time->text();
}

QString HistoryTabView::cpuText() const
{
    return m_cpu->text();
}
