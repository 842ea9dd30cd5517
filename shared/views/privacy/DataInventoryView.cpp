#include "DataInventoryView.h"

#include "InventoryRefresh.h"
#include "PrivacyExports.h"
#include "PrivacyPageState.h"
#include "PrivacyStyle.h"
#include "UninstallGuideView.h"

#include "core/HomeRelativePath.h"
#include "core/PoolWork.h"
#include "records/AuditLogger.h"
#include "ui/Clock.h"
#include "ui/Desktop.h"
#include "ui/Dialogs.h"
#include "ui/Fonts.h"
#include "ui/Layouts.h"
#include "ui/NumberText.h"
#include "ui/Spinner.h"

#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPointer>

namespace {

struct RowText
{
    QString title;
    QString middle;
    QString size;
};

std::vector<RowText> rowsOf(const PrivacyMetricsEngine::DataInventory& i)
{
    return {
        {QObject::tr("Audit Log"), QString::number(i.auditLogEntries) + QObject::tr(" entries"),
            NumberText::byteText(i.auditLogSizeBytes)},
        {QObject::tr("Assistance History"),
            QString::number(i.memoryHistoryDays)
                + (i.memoryHistoryDays == 1 ? QObject::tr(" day") : QObject::tr(" days")),
            NumberText::byteText(i.memoryHistorySizeBytes)},
        {QObject::tr("Build History"), QString::number(i.buildHistorySessions) + QObject::tr(" sessions"),
            NumberText::byteText(i.buildHistorySizeBytes)},
        {QObject::tr("Weekly Digests"), QString::number(i.weeklyDigestCount) + QObject::tr(" weeks"),
            NumberText::byteText(i.weeklyDigestSizeBytes)},
        {QObject::tr("Suspended Processes"), QString::number(i.suspendedProcessCount) + QObject::tr(" processes"),
            NumberText::byteText(i.suspendedProcessesSizeBytes)},
        {QObject::tr("Preferences / Settings"), QObject::tr("Configurations"),
            NumberText::byteText(i.settingsSizeBytes)},
    };
}

// Shows the data folder the way a user would type it.
QString displayPath(const QString& path)
{
    const QString shown = homeRelativePath(path);
    return shown.endsWith(QLatin1Char('/')) ? shown : shown + QLatin1Char('/');
}

} // namespace

DataInventoryView::DataInventoryView(const PrivacyServices& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_refresh(new InventoryRefresh(services, this, [this](const auto& inventory) { setInventory(inventory); }))
{
    auto* layout = fillWithCard(this);

    layout->addWidget(cardTitle(tr("Data Stored On This Computer")));

    auto* box = new RoundedBox(Qt::Vertical, 12, 8, 10);
    box->setFill(ColorRole::shade, 0.03);
    m_spinner = new Spinner(16);
    box->box()->addWidget(m_spinner, 0, Qt::AlignLeft);
    m_rows = new QWidget;
    m_grid = new QGridLayout(m_rows);
    m_grid->setContentsMargins(0, 0, 0, 0);
    m_grid->setVerticalSpacing(8);
    m_rows->hide();
    box->box()->addWidget(m_rows);
    layout->addWidget(box);

    auto* location = new QVBoxLayout;
    location->setSpacing(4);
    location->addWidget(new ThemedLabel(tr("Stored at:"), Fonts::system(10, QFont::DemiBold), ColorRole::secondary));
    location->addWidget(
        new ThemedLabel(displayPath(m_services.dataDirectory), Fonts::monospaced(11, QFont::Bold), ColorRole::cyan));
    layout->addLayout(location);

    auto* actions = new QHBoxLayout;
    actions->setSpacing(12);
    auto* open
        = privacyButton(tr("Open in File Manager"), QStringLiteral("folder.fill"), Fonts::system(11, QFont::Bold));
    open->setColors(roleColor(ColorRole::text), roleColor(ColorRole::blue));
    connect(open, &QAbstractButton::clicked, this, &DataInventoryView::openInFileManager);
    m_exportButton = privacyButton(
        tr("Export all data as JSON"), QStringLiteral("square.and.arrow.up"), Fonts::system(11, QFont::Bold));
    m_exportButton->setColors(roleColor(ColorRole::text), roleColor(ColorRole::shade, 0.08));
    connect(m_exportButton, &QAbstractButton::clicked, this, &DataInventoryView::exportAllData);
    actions->addWidget(open);
    actions->addWidget(m_exportButton);
    actions->addStretch();
    layout->addLayout(actions);

    m_status = new ThemedLabel(QString(), Fonts::system(11, QFont::Medium), ColorRole::orange);
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status->hide();
    layout->addWidget(m_status);
    m_copyPathButton = commandCopyButton([folder = m_services.dataDirectory] { return folder; }, m_services);
    m_copyPathButton->hide();
    layout->addWidget(m_copyPathButton, 0, Qt::AlignLeft);

    auto* policy = new RoundedBox(Qt::Vertical, 10, 4, 8);
    policy->setFill(ColorRole::green, 0.05);
    auto* policyTitle = new QHBoxLayout;
    policyTitle->setSpacing(6);
    policyTitle->addWidget(new SymbolLabel(QStringLiteral("lock.shield.fill"), ColorRole::green, 13));
    policyTitle->addWidget(
        new ThemedLabel(tr("100% Localized Storage Policy"), Fonts::system(11, QFont::Bold), ColorRole::text));
    policyTitle->addStretch();
    policy->box()->addLayout(policyTitle);
    auto* policyText = new ThemedLabel(tr("No data is stored outside this computer. No cloud sync. No cloud backup. "
                                          "Quorvane cannot access your local telemetry data remotely."),
        Fonts::system(10), ColorRole::secondary);
    policyText->setWordWrap(true);
    policy->box()->addWidget(policyText);
    layout->addWidget(policy);

    // Erasures elsewhere on the page change what is stored: the amounts follow at once.
    if (PrivacyPageState* state = m_services.pageState) {
        connect(state, &PrivacyPageState::erased, this, [this, state] {
            if (const auto& measured = state->erasure().inventory) {
                m_refresh->took(*measured);
                setInventory(*measured);
            } else {
                m_refresh->measure();
            }
        });
        connect(state, &PrivacyPageState::uninstallStepFinished, this, [this](int step) {
            if (step == UninstallGuideView::kClearData)
                m_refresh->measure();
        });
    }
}

void DataInventoryView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_refresh->shown();
}

void DataInventoryView::hideEvent(QHideEvent* event)
{
    m_refresh->hidden();
    QWidget::hideEvent(event);
}

void DataInventoryView::setInventory(const PrivacyMetricsEngine::DataInventory& inventory)
{
    m_inventory = inventory;
    Layouts::clear(m_grid);
    int row = 0;
    for (const auto& text : rowsOf(inventory)) {
        auto* title = new ThemedLabel(text.title, Fonts::system(11, QFont::Medium), ColorRole::text);
        auto* middle = new ThemedLabel(text.middle, Fonts::system(10), ColorRole::secondary);
        auto* size = new ThemedLabel(text.size, Fonts::monospaced(10, QFont::DemiBold), ColorRole::text);
        size->setRole(ColorRole::text, 0.8);
        middle->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        size->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        middle->setMinimumWidth(100);
        size->setMinimumWidth(70);
        title->setContentsMargins(8, 4, 0, 4);
        size->setContentsMargins(0, 4, 8, 4);
        m_grid->addWidget(title, row, 0);
        m_grid->addWidget(middle, row, 2);
        m_grid->addWidget(size, row, 3);
        ++row;
    }
    m_grid->addWidget(makeDivider(0.1), row++, 0, 1, 4);
    auto* total = new ThemedLabel(tr("Total Local Storage"), Fonts::system(12, QFont::Bold), ColorRole::text);
    auto* totalSize = new ThemedLabel(
        NumberText::byteText(inventory.totalSizeBytes()), Fonts::monospaced(12, QFont::Bold), ColorRole::cyan);
    totalSize->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    total->setContentsMargins(10, 4, 0, 4);
    totalSize->setContentsMargins(0, 4, 10, 4);
    m_grid->addWidget(total, row, 0, 1, 2);
    m_grid->addWidget(totalSize, row, 2, 1, 2);
    m_grid->setColumnStretch(1, 1);
    m_spinner->hide();
    m_rows->show();
    emit inventoryLoaded();
}

QList<QStringList> DataInventoryView::rowTexts() const
{
    QList<QStringList> out;
    if (!m_inventory)
        return out;
    for (const auto& text : rowsOf(*m_inventory))
        out.append({text.title, text.middle, text.size});
    return out;
}

QString DataInventoryView::statusText() const
{
    return m_status->isHidden() ? QString() : m_status->text();
}

bool DataInventoryView::offersPathToCopy() const
{
    return !m_copyPathButton->isHidden();
}

void DataInventoryView::openInFileManager()
{
    Desktop* desktop = m_services.desktop;
    const QString folder = m_services.dataDirectory;
    // A first run has no data folder yet; the user still gets the (empty) folder.
    runOnPool(
        m_services.pool, this, [folder] { return QDir().mkpath(folder); },
        [this, desktop, folder](const bool&) {
            desktop->openFolder(folder, this, [this, folder](bool opened) {
                m_status->setVisible(!opened);
                m_copyPathButton->setVisible(!opened);
                if (!opened)
                    m_status->setText(
                        tr("No file manager answered, so the folder was not opened. It is %1").arg(folder));
                emit folderOpenAnswered();
            });
        });
}

void DataInventoryView::exportAllData()
{
    if (m_isExporting)
        return;
    setExporting(true);
    m_status->hide();
    m_copyPathButton->hide();
    const QString name = PrivacyExports::fileName(
        QStringLiteral("FullDataExport"), QStringLiteral("json"), PrivacyExports::dateOf(m_services.clock->now()));
    m_services.dialogs->chooseSaveFile(this, tr("Export all data as JSON"), QDir::home().filePath(name),
        [guard = QPointer<DataInventoryView>(this)](const QString& path) {
            if (!guard)
                return;
            if (path.isEmpty())
                guard->setExporting(false);
            else
                guard->writeExport(path);
        });
}

void DataInventoryView::writeExport(const QString& path)
{
    PrivacyMetricsEngine* engine = m_services.engine;
    AuditLogger* logger = m_services.auditLogger;
    const Date now = PrivacyExports::dateOf(m_services.clock->now());
    runOnPool(
        m_services.pool, this,
        [engine, logger, path, now] {
            const auto events = logger->fetchAllEvents();
            const auto inventory = engine->calculateDataInventory();
            return PrivacyExports::writeAtomically(path, PrivacyExports::fullDataExport(now, inventory, events));
        },
        [this](const QString& error) {
            if (!error.isEmpty()) {
                m_status->setText(tr("Export failed: %1").arg(error));
                m_status->show();
            }
            setExporting(false);
            m_refresh->measure();
            emit exportFinished();
        });
}

void DataInventoryView::setExporting(bool exporting)
{
    m_isExporting = exporting;
    m_exportButton->setLabel(
        exporting ? tr("Exporting...") : tr("Export all data as JSON"), QStringLiteral("square.and.arrow.up"));
    m_exportButton->setEnabled(!exporting);
    // Disabling the button while the dialog and the write run moved the focus on to the next control
    // (and scrolled the page there); it comes back to the button the user pressed.
    if (!exporting)
        m_exportButton->setFocus(Qt::OtherFocusReason);
}
