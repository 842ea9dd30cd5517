#include "SystemInfoView.h"

#include "MachineDescription.h"
#include "PageStyle.h"
#include "engines/DashboardViewModel.h"
#include "engines/MachineFactsModel.h"
#include "ui/CardPainter.h"
#include "ui/Clock.h"
#include "ui/CopyButton.h"
#include "ui/Desktop.h"
#include "ui/ElidedLabel.h"
#include "ui/Fonts.h"
#include "ui/NumberText.h"
#include "ui/SymbolIcon.h"

#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

using PageStyle::Tone;
namespace md = MachineDescription;

namespace {

constexpr double kBytesPerGiB = 1024.0 * 1024.0 * 1024.0;

// The 72 x 72 tile behind the machine symbol, both in the theme's accent.
class MachineTile : public QWidget
{
public:
    explicit MachineTile(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(72, 72);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        const Palette palette = Palette::current();
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient back(rect().topLeft(), rect().bottomRight());
        back.setColorAt(0, withOpacity(palette.accent, 0.18));
        back.setColorAt(1, withOpacity(palette.accent, 0.04));
        p.setPen(Qt::NoPen);
        p.setBrush(back);
        p.drawRoundedRect(QRectF(rect()), 16, 16);

        // The symbol drawn opaque, then coloured with the accent gradient through its own shape.
        const qreal dpr = devicePixelRatioF();
        QImage glyph(size() * dpr, QImage::Format_ARGB32_Premultiplied);
        glyph.setDevicePixelRatio(dpr);
        glyph.fill(Qt::transparent);
        {
            QPainter g(&glyph);
            g.setRenderHint(QPainter::Antialiasing);
            SymbolIcon::paint(g, QRectF(rect()), QStringLiteral("macbook"), Qt::white, 36);
            g.setCompositionMode(QPainter::CompositionMode_SourceIn);
            QLinearGradient fill(QPointF(18, 18), QPointF(54, 54));
            fill.setColorAt(0, palette.accent);
            fill.setColorAt(1, palette.secondaryAccent);
            g.fillRect(QRectF(rect()), fill);
        }
        p.drawImage(QRectF(rect()), glyph);
    }
};

// A block's look: faint fill with circular corners and a faint outline.
class BlockPanel : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        const Palette palette = Palette::current();
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        CardPainter::paintRounded(p, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12,
            withOpacity(palette.text, 0.015), withOpacity(palette.text, 0.04));
    }
};

class Divider : public QWidget
{
public:
    explicit Divider(QWidget* parent)
        : QWidget(parent)
    {
        setFixedHeight(1);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).fillRect(rect(), withOpacity(Palette::current().text, 0.05));
    }
};

} // namespace

SystemInfoView::SystemInfoView(DashboardViewModel& dashboardVM, MachineFactsModel& machineFacts, QWidget* parent)
    : SystemInfoView(dashboardVM, machineFacts, Desktop::system(), Clock::system(), parent)
{
}

SystemInfoView::SystemInfoView(
    DashboardViewModel& dashboardVM, MachineFactsModel& machineFacts, Desktop& desktop, Clock& clock, QWidget* parent)
    : QWidget(parent)
    , m_dashboardVM(dashboardVM)
    , m_machineFacts(machineFacts)
    , m_desktop(desktop)
    , m_clock(clock)
{
    build();
    repaintOnThemeChange(this);
    connect(&m_dashboardVM, &DashboardViewModel::figuresChanged, this, &SystemInfoView::refresh);
    connect(&m_machineFacts, &MachineFactsModel::factsChanged, this, &SystemInfoView::showFacts);
    refresh();
    showFacts();
}

void SystemInfoView::build()
{
    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 20);
    column->setSpacing(20);
    column->addWidget(new ToneLabel(tr("System Info"), Fonts::system(24, QFont::Bold), Tone::primary, content));

    column->addWidget(buildHeader(content));
    column->addLayout(buildBlocks());
    column->addStretch();
    QScrollArea* scroll = PageStyle::scrollingPage(this, content);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

QWidget* SystemInfoView::buildHeader(QWidget* parent)
{
    auto* header = PageStyle::panel(0.02, 14, parent);
    header->setStroke(PageStyle::tone(Tone::primary, 0.06));
    auto* headerRow = new QHBoxLayout(header);
    headerRow->setContentsMargins(16, 16, 16, 16);
    headerRow->setSpacing(16);
    headerRow->addWidget(new MachineTile(header));
    auto* names = new QVBoxLayout;
    names->setSpacing(4);
    auto* nameRow = new QHBoxLayout;
    // Long names of other makers end in "…" rather than pushing the button out of the card.
    m_name = new ElidedLabel(NumberText::dash, 1, header);
    m_name->setFont(Fonts::system(22, QFont::Bold));
    m_name->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    m_badge = PageStyle::panel(0.1, 4, header);
    auto* badgeLayout = new QHBoxLayout(m_badge);
    badgeLayout->setContentsMargins(6, 2, 6, 2);
    m_identifier = new ToneLabel(NumberText::dash, Fonts::monospaced(10), Tone::secondary, m_badge);
    badgeLayout->addWidget(m_identifier);
    nameRow->addWidget(m_name);
    nameRow->addWidget(m_badge, 0, Qt::AlignVCenter);
    nameRow->addStretch();
    names->addLayout(nameRow);
    m_brand = new ToneLabel(NumberText::dash, Fonts::system(13, QFont::DemiBold), Tone::accent, header);
    m_version = new ToneLabel(NumberText::dash, Fonts::system(11), Tone::secondary, header);
    names->addWidget(m_brand);
    names->addWidget(m_version);
    headerRow->addLayout(names, 1);
    m_copy = new CopyButton(
        tr("Copy Spec Report"), [this] { return specReport(); }, m_desktop, m_clock, header);
    m_copy->setFont(Fonts::system(11, QFont::DemiBold));
    m_copy->setPadding(12, 7);
    m_copy->setCornerRadius(8);
    headerRow->addWidget(m_copy, 0, Qt::AlignVCenter);
    return header;
}

QLayout* SystemInfoView::buildBlocks()
{
    auto* blocks = new QHBoxLayout;
    blocks->setSpacing(20);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    left->setSpacing(16);
    right->setSpacing(16);
    left->addWidget(block(tr("Processor & Architecture"), QStringLiteral("cpu"),
        {tr("Chipset"), tr("Total CPU Cores"), tr("Performance Cores"), tr("Efficiency Cores")}));
    left->addWidget(block(tr("Graphics & Neural Compute"), QStringLiteral("brain.head.profile"),
        {tr("GPU Core Count"), tr("Graphics Driver"), tr("Neural Coprocessor")}));
    left->addWidget(block(tr("System Identifiers"), QStringLiteral("lock.shield"),
        {tr("System Serial ID"), tr("Host UUID"), tr("Platform Type")}));
    right->addWidget(block(tr("Memory & Bus Width"), QStringLiteral("memorychip"),
        {tr("Physical Memory"), tr("Memory Bandwidth"), tr("VRAM Allocation Limit")}));
    right->addWidget(block(tr("Thermal & Cooling Design"), QStringLiteral("fanblades.fill"),
        {tr("SoC Core Temp"), tr("Active Fan Configuration"), tr("Thermal Throttling")}));
    right->addWidget(block(tr("Power Profile"), QStringLiteral("bolt.fill"),
        {tr("Power Draw"), tr("Battery Charge"), tr("Charging Status")}));
    left->addStretch();
    right->addStretch();
    blocks->addLayout(left, 1);
    blocks->addLayout(right, 1);
    return blocks;
}

QWidget* SystemInfoView::block(const QString& title, const QString& icon, const QStringList& labels)
{
    auto* panel = new BlockPanel(this);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);
    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(new ToneSymbol(icon, Tone::accent, 13, panel));
    header->addWidget(new ToneLabel(title, Fonts::system(13, QFont::Bold), Tone::primary, panel), 1);
    column->addLayout(header);
    column->addWidget(new Divider(panel));
    auto* rows = new QVBoxLayout;
    rows->setSpacing(8);
    for (const QString& label : labels) {
        auto* row = new QHBoxLayout;
        auto* name = new ToneLabel(label, Fonts::system(11), Tone::secondary, panel);
        auto* value = new ElidedLabel(NumberText::dash, 1, panel);
        value->setFont(Fonts::monospaced(11, QFont::Medium));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        row->addWidget(name);
        row->addWidget(value, 1);
        rows->addLayout(row);
        m_rows.insert(label, value);
    }
    column->addLayout(rows);
    return panel;
}

void SystemInfoView::setRow(const QString& label, const QString& value)
{
    if (ElidedLabel* row = m_rows.value(label))
        row->setText(value);
}

void SystemInfoView::showFacts()
{
    // Until the facts are in there is no report to copy.
    m_copy->setEnabled(m_machineFacts.facts().has_value());
    if (!m_machineFacts.facts())
        return;
    const platform::MachineFacts& facts = *m_machineFacts.facts();
    const QString id = md::modelIdentifier(facts);
    const QString brand = md::cpuBrandString(facts);
    const QString name = md::machineName(facts);
    m_name->setText(name);
    m_identifier->setText(id);
    // Most makers' model identifier is the machine's name itself: the badge would only repeat the title
    // and take the room it needs.
    m_badge->setVisible(id != name);
    m_brand->setText(brand);
    m_version->setText(md::osVersionString(facts));
    setRow(tr("Chipset"), brand);
    const auto cores = [](int n) { return n > 0 ? QString::number(n) + QStringLiteral(" Cores") : NumberText::dash; };
    setRow(tr("Total CPU Cores"), cores(facts.logicalCpus));
    setRow(tr("Performance Cores"), cores(facts.performanceCpus));
    // A CPU of one core kind has no efficiency figure to give: "—", as the popover's cluster row shows.
    setRow(tr("Efficiency Cores"), cores(facts.efficiencyCpus));
    const QString driver = QString::fromStdString(facts.gpuDriver);
    setRow(tr("Graphics Driver"), driver.isEmpty() ? NumberText::dash : driver);
    setRow(tr("Neural Coprocessor"), md::neuralEngineDescription(brand));
    setRow(tr("System Serial ID"), md::serialIdentifier(facts));
    const QString host = md::hostIdentifier(QString::fromStdString(facts.machineId));
    setRow(tr("Host UUID"), host == NumberText::dash ? host : host + QStringLiteral("..."));
    setRow(tr("Platform Type"), md::platformType(facts));
    // Whole gigabytes with the fraction dropped, as the advisor writes the same memory.
    setRow(tr("Physical Memory"),
        PageStyle::wholeFigure(facts.memoryBytes > 0, static_cast<double>(facts.memoryBytes) / kBytesPerGiB,
            QStringLiteral(" GB System Memory")));
    setRow(tr("Memory Bandwidth"), md::memoryBandwidthDescription(brand));
    // The GPU's own memory where its driver reports it; a share of system memory would be a guess.
    setRow(tr("VRAM Allocation Limit"),
        PageStyle::figure(
            facts.gpuMemoryBytes > 0, "%.1f GB Max VRAM", static_cast<double>(facts.gpuMemoryBytes) / kBytesPerGiB));
}

void SystemInfoView::refresh()
{
    const DashboardViewModel& vm = m_dashboardVM;
    const MeasuredFigures& measured = vm.measured();
    // The GPU core count is derived from the CPU's cores, not read from the GPU: not shown as a fact.
    setRow(tr("GPU Core Count"), NumberText::dash);
    setRow(tr("SoC Core Temp"), PageStyle::figure(measured.socTemperature, "%.1f°C", vm.socTemperature()));
    const QList<double> fans = vm.fanRPMs();
    QString fan = NumberText::dash;
    if (measured.fans && !fans.isEmpty())
        fan = fans.first() > 0 ? NumberText::numberText("%.0f RPM", fans.first()) : tr("0 RPM (Silent Mode)");
    setRow(tr("Active Fan Configuration"), fan);
    // The processor's own throttle counters, where it keeps them; a temperature alone proves nothing.
    QString throttling = NumberText::dash;
    if (measured.throttling)
        throttling = vm.throttleEvents() == 0 ? tr("None since boot")
            : vm.throttleEvents() == 1        ? tr("1 event since boot")
                                              : tr("%1 events since boot").arg(QString::number(vm.throttleEvents()));
    setRow(tr("Thermal Throttling"), throttling);
    setRow(tr("Power Draw"), PageStyle::figure(measured.powerDraw, "%.2f Watts", vm.powerDraw()));
    setRow(tr("Battery Charge"),
        measured.battery ? QString::number(vm.batteryPercentage()) + QStringLiteral("%") : NumberText::dash);
    setRow(tr("Charging Status"),
        measured.battery ? (vm.batteryIsCharging() ? tr("Charging") : tr("Discharging")) : tr("No battery"));
}

QString SystemInfoView::specReport() const
{
    const platform::MachineFacts facts = m_machineFacts.facts().value_or(platform::MachineFacts {});
    md::ReportFigures figures;
    figures.logicalCpus = facts.logicalCpus;
    figures.physicalMemoryGB = static_cast<double>(facts.memoryBytes) / kBytesPerGiB;
    return md::specReport(facts, figures);
}

QString SystemInfoView::rowValue(const QString& label) const
{
    const ElidedLabel* row = m_rows.value(label);
    return row ? row->text() : QString();
}

QString SystemInfoView::headerName() const
{
    return m_name->text();
}

QString SystemInfoView::headerIdentifier() const
{
    return m_badge->isHidden() ? QString() : m_identifier->text();
}

QString SystemInfoView::headerBrand() const
{
    return m_brand->text();
}

QString SystemInfoView::headerVersion() const
{
    return m_version->text();
}

bool SystemInfoView::copiedReport() const
{
    return m_copy->isConfirming();
}
