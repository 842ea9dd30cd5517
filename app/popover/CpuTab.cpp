#include "CpuTab.h"

#include "CoreRingGrid.h"
#include "CpuFigures.h"
#include "LargeRingGauge.h"
#include "PopoverStyle.h"
#include "ProcessListView.h"

#include "engines/DashboardViewModel.h"
#include "records/ThemeManager.h"
#include "ui/ColorDot.h"
#include "ui/Fonts.h"
#include "ui/RoundedFill.h"
#include "views/dashboard/SparklineView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QThread>
#include <QVBoxLayout>

namespace {

QVBoxLayout* sectionLayout(QWidget* section)
{
    auto* column = new QVBoxLayout(section);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    return column;
}

QFont rounded(int size, QFont::Weight weight)
{
    // The desktop has no rounded design of its font; the system font at the weight stands in.
    return Fonts::system(size, weight);
}

} // namespace

CpuTab::CpuTab(DashboardViewModel& dashboardVM, ThemeManager& themes, AppDirectory* apps, PersonaViewModel* personaVM,
    QWidget* parent)
    : QWidget(parent)
    , m_dashboardVM(dashboardVM)
    , m_palette(Palette::forTheme(themes.currentTheme()))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(cpuSection());
    column->addWidget(PopoverStyle::divider(themes, this));
    column->addWidget(gpuSection());
    column->addWidget(PopoverStyle::divider(themes, this));
    m_processes = new ProcessListView(dashboardVM, apps, themes, personaVM, this);
    column->addWidget(m_processes);

    connect(&m_dashboardVM, &DashboardViewModel::figuresChanged, this, &CpuTab::refresh);
    followThemeNow(themes, this, [this](const Palette& p) {
        m_palette = p;
        applyTheme();
        refresh();
    });
}

CpuTab::ValueRow CpuTab::valueRow(QWidget* parent, QLayout* into, const QString& label, bool spacerInside)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(5);
    ValueRow r;
    r.dot = new ColorDot(QSize(5, 5), QRectF(0, 0, 5, 5), parent);
    r.label = PopoverStyle::label(label, Fonts::system(10, QFont::Medium), parent);
    r.value = PopoverStyle::label(QString(), rounded(10, QFont::Bold), parent);
    row->addWidget(r.dot);
    row->addWidget(r.label);
    if (spacerInside)
        row->addStretch(1);
    row->addWidget(r.value);
    if (auto* box = qobject_cast<QBoxLayout*>(into))
        box->addLayout(row);
    return r;
}

QWidget* CpuTab::cpuSection()
{
    auto* section = new QWidget(this);
    auto* column = sectionLayout(section);

    auto* header = new QHBoxLayout;
    m_cpuLabel = PopoverStyle::label(tr("CPU"), Fonts::system(11, QFont::Bold), section);
    m_header = PopoverStyle::label(QString(), rounded(11, QFont::DemiBold), section);
    header->addWidget(m_cpuLabel);
    header->addStretch(1);
    header->addWidget(m_header);
    column->addLayout(header);

    m_historyFrame = new RoundedFill(QColor(), 4, section);
    m_historyFrame->setFixedHeight(24);
    auto* inside = new QVBoxLayout(m_historyFrame);
    inside->setContentsMargins(0, 0, 0, 0);
    m_history = new SparklineView({}, QColor(), m_historyFrame);
    inside->addWidget(m_history);
    column->addWidget(m_historyFrame);

    auto* split = new QHBoxLayout;
    split->setContentsMargins(0, 1, 0, 1);
    m_rows << valueRow(section, split, tr("User"), false);
    split->addStretch(1);
    m_rows << valueRow(section, split, tr("System"), false);
    column->addLayout(split);

    m_cores = new CoreRingGrid(section);
    column->addWidget(m_cores, 0, Qt::AlignLeft);

    auto* clusters = new QVBoxLayout;
    clusters->setSpacing(3);
    m_rows << valueRow(section, clusters, tr("Efficiency Cores"), true);
    m_rows << valueRow(section, clusters, tr("Performance Cores"), true);
    column->addLayout(clusters);
    return section;
}

QWidget* CpuTab::gpuSection()
{
    auto* section = new QWidget(this);
    auto* column = sectionLayout(section);
    auto* header = new QHBoxLayout;
    m_gpuLabel = PopoverStyle::label(tr("GPU"), Fonts::system(11, QFont::Bold), section);
    m_fps = PopoverStyle::label(QString(), rounded(11, QFont::DemiBold), section);
    header->addWidget(m_gpuLabel);
    header->addStretch(1);
    header->addWidget(m_fps);
    column->addLayout(header);

    auto* gauges = new QHBoxLayout;
    gauges->setContentsMargins(0, 4, 0, 4);
    gauges->setSpacing(8);
    // A bare "12%" says nothing: each gauge names its figure.
    const QString captions[] = {tr("GPU Load"), tr("AI Memory"), tr("Chip Temp"), tr("Power")};
    for (const QString& caption : captions) {
        m_gauges << new LargeRingGauge(QString(), std::nullopt, m_palette.accent, m_palette.text, section);
        m_gauges.last()->setCaption(caption);
        gauges->addWidget(m_gauges.last(), 1);
    }
    column->addLayout(gauges);
    return section;
}

QString CpuTab::headerText() const
{
    return m_header->text();
}

QString CpuTab::fpsText() const
{
    return m_fps->text();
}

QStringList CpuTab::shareTexts() const
{
    QStringList out;
    for (const ValueRow& r : m_rows)
        out << r.value->text();
    return out;
}

void CpuTab::applyTheme()
{
    const QColor text = m_palette.text;
    for (QLabel* l : {m_cpuLabel, m_gpuLabel})
        PopoverStyle::setLabelColor(l, text);
    PopoverStyle::setLabelColor(m_header, withOpacity(text, 0.85));
    PopoverStyle::setLabelColor(m_fps, withOpacity(text, 0.85));
    m_history->setColor(m_palette.accent);
    static_cast<RoundedFill*>(m_historyFrame)->setFill(withOpacity(text, 0.03));
    for (const ValueRow& r : std::as_const(m_rows)) {
        r.dot->setColor(withOpacity(text, 0.8));
        PopoverStyle::setLabelColor(r.label, m_palette.secondaryText);
        PopoverStyle::setLabelColor(r.value, text);
    }
    m_cores->setColors(m_palette.accent, text);
    for (LargeRingGauge* g : std::as_const(m_gauges))
        g->setColors(m_palette.accent, text, m_palette.secondaryText);
}

void CpuTab::refresh()
{
    const CpuFigures f = CpuFigures::from(m_dashboardVM);
    m_header->setText(f.header);
    m_history->setData(m_dashboardVM.measuredCpuHistory());
    const QString shares[] = {f.user, f.system, f.efficiency, f.performance};
    for (int i = 0; i < m_rows.size(); ++i)
        m_rows[i].value->setText(shares[i]);
    m_cores->setCores(f.cores, QThread::idealThreadCount());
    m_fps->setText(f.fps);
    const CpuFigures::Gauge gauges[] = {f.gpu, f.aiMemory, f.temperature, f.power};
    for (int i = 0; i < 4; ++i)
        m_gauges[i]->setValue(gauges[i].text, gauges[i].fraction);
}
