#include "ModelInventoryView.h"

#include "CachesTab.h"
#include "ModelsTab.h"
#include "StorageStyle.h"
#include "SymbolView.h"
#include "ui/PillButton.h"
#include "ui/RoundedFill.h"

#include "storage/ModelInventoryViewModel.h"

#include "core/NotificationCenter.h"
#include "core/Notifications.h"
#include "core/PoolWork.h"
#include "records/AssistanceTracker.h"
#include "records/ThemeManager.h"
#include "ui/Clock.h"
#include "ui/Spinner.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QThreadPool>
#include <QVBoxLayout>

using namespace StorageStyle;

ModelInventoryView::ModelInventoryView(std::shared_ptr<ModelInventoryEngine> inventoryEngine,
    std::shared_ptr<DeveloperCacheEngine> developerCacheEngine, QWidget* parent)
    : ModelInventoryView(std::move(inventoryEngine), std::move(developerCacheEngine), Clock::system(),
        lifelong(AssistanceTracker::shared()), QThreadPool::globalInstance(), parent)
{
}

ModelInventoryView::ModelInventoryView(std::shared_ptr<ModelInventoryEngine> inventoryEngine,
    std::shared_ptr<DeveloperCacheEngine> developerCacheEngine, Clock& clock,
    std::shared_ptr<AssistanceTracker> tracker, QThreadPool* pool, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(std::make_unique<ModelInventoryViewModel>(
          std::move(inventoryEngine), std::move(developerCacheEngine), std::move(tracker), pool))
    , m_clock(clock)
    , m_palette(Palette::current())
{
    build();
    auto& vm = *m_viewModel;
    connect(&vm, &ModelInventoryViewModel::installedModelsChanged, this, [this] {
        refreshHeader();
        refreshTabBar();
    });
    connect(&vm, &ModelInventoryViewModel::developerCachesChanged, this, [this] {
        refreshHeader();
        refreshTabBar();
    });
    connect(&vm, &ModelInventoryViewModel::isScanningChanged, this, &ModelInventoryView::refreshHeader);
    connect(&vm, &ModelInventoryViewModel::isCleaningChanged, this, &ModelInventoryView::refreshHeader);
    followTheme(ThemeManager::shared(), this, [this](const Palette& p) { applyPalette(p); });
}

// The tabs hold references to the view model; they go first.
ModelInventoryView::~ModelInventoryView()
{
    delete m_body;
}

void ModelInventoryView::build()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(m_header = buildHeader());

    m_body = new QWidget;
    auto* body = new QVBoxLayout(m_body);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(8);
    body->addWidget(buildTabBar());
    body->addWidget(m_banner = buildBanner());
    m_modelsTab = new ModelsTab(*this, *m_viewModel, m_palette);
    m_cachesTab = new CachesTab(*this, *m_viewModel, m_palette);
    body->addWidget(m_modelsTab);
    body->addWidget(m_cachesTab);
    layout->addWidget(m_body);
    layout->addStretch();

    applyPalette(m_palette);
    setSelectedStorageTab(m_selectedTab);
}

void ModelInventoryView::setFillsHeight(bool fills)
{
    auto* column = static_cast<QVBoxLayout*>(layout());
    column->setStretchFactor(m_body, fills ? 1 : 0);
    auto* body = static_cast<QVBoxLayout*>(m_body->layout());
    body->setStretchFactor(m_modelsTab, fills ? 1 : 0);
    body->setStretchFactor(m_cachesTab, fills ? 1 : 0);
    m_modelsTab->setListFillsHeight(fills);
    m_cachesTab->setListFillsHeight(fills);
}

QWidget* ModelInventoryView::buildHeader()
{
    auto* header = new QWidget;
    header->setCursor(Qt::PointingHandCursor);
    header->installEventFilter(this);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addWidget(m_driveIcon = new SymbolView(QStringLiteral("internaldrive.fill"), m_palette.cyan, 14));
    row->addWidget(m_title = label(tr("Storage & Caches"), Fonts::system(13, QFont::Bold), m_palette.text));
    row->addWidget(m_total = label(QString(), Fonts::system(kSmallPixels), m_palette.secondaryText));
    row->addStretch();
    row->addWidget(m_busyText = label(tr("Cleaning…"), Fonts::system(kSmallPixels), m_palette.secondaryText));
    // The small control size at 0.7.
    row->addWidget(m_spinner = new Spinner(11));
    m_rescan = new PillButton(QString());
    m_rescan->setSymbol(QStringLiteral("arrow.clockwise"));
    m_rescan->setFont(Fonts::system(12));
    m_rescan->setPadding(2, 2);
    m_rescan->setToolTip(tr("Rescan models and developer caches"));
    m_rescan->setAccessibleName(m_rescan->toolTip());
    connect(m_rescan, &QAbstractButton::clicked, this, [this] { m_viewModel->scan(); });
    row->addWidget(m_rescan);
    // The chevron also takes the keyboard's presses, which the rest of the header cannot.
    m_chevron = new PillButton(QString());
    m_chevron->setFont(Fonts::system(12, QFont::Bold));
    m_chevron->setPadding(2, 2);
    connect(m_chevron, &QAbstractButton::clicked, this, [this] { setExpanded(!m_expanded); });
    row->addWidget(m_chevron);
    return header;
}

QWidget* ModelInventoryView::buildTabBar()
{
    auto* bar = new QWidget;
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    m_modelsTabButton = new PillButton(QString());
    m_modelsTabButton->setSymbol(QStringLiteral("cpu"));
    m_cachesTabButton = new PillButton(QString());
    m_cachesTabButton->setSymbol(QStringLiteral("hammer.fill"));
    for (auto [button, tab] :
        {std::pair {m_modelsTabButton, StorageTab::models}, {m_cachesTabButton, StorageTab::caches}}) {
        button->setPadding(6, 3);
        button->setCheckable(true);
        connect(button, &QAbstractButton::clicked, this, [this, tab] { setSelectedStorageTab(tab); });
        row->addWidget(button);
    }
    row->addStretch();
    return bar;
}

RoundedFill* ModelInventoryView::buildBanner()
{
    auto* banner = new RoundedFill(QColor(), 6);
    auto* row = new QHBoxLayout(banner);
    row->setContentsMargins(8, 8, 8, 8);
    row->setSpacing(6);
    row->addWidget(
        m_bannerIcon = new SymbolView(QStringLiteral("checkmark.circle.fill"), m_palette.green, 14), 0, Qt::AlignTop);
    m_bannerText = label(QString(), Fonts::system(kSmallPixels + 1), m_palette.text);
    m_bannerText->setWordWrap(true);
    m_bannerText->setTextFormat(Qt::RichText);
    row->addWidget(m_bannerText, 1);
    banner->hide();
    return banner;
}

void ModelInventoryView::applyPalette(const Palette& palette)
{
    m_palette = palette;
    m_driveIcon->setSymbol(m_driveIcon->symbol(), palette.cyan);
    setLabelColor(m_title, palette.text);
    setLabelColor(m_total, palette.secondaryText);
    setLabelColor(m_busyText, palette.secondaryText);
    m_spinner->setColor(palette.secondaryText);
    m_rescan->setColors(palette.secondaryText, QColor());
    m_modelsTab->applyPalette(palette);
    m_cachesTab->applyPalette(palette);
    refreshHeader();
    refreshTabBar();
    refreshBanner();
}

void ModelInventoryView::setSelectedStorageTab(StorageTab tab)
{
    m_selectedTab = tab;
    m_modelsTab->setVisible(tab == StorageTab::models);
    m_cachesTab->setVisible(tab == StorageTab::caches);
    refreshTabBar();
}

void ModelInventoryView::setExpanded(bool expanded)
{
    m_expanded = expanded;
    m_body->setVisible(expanded);
    refreshHeader();
}

QString ModelInventoryView::headerText() const
{
    return m_title->text();
}

QString ModelInventoryView::headerTotalText() const
{
    return m_total->text();
}

bool ModelInventoryView::isBusyShown() const
{
    return !m_spinner->isHidden() && m_rescan->isHidden();
}

QString ModelInventoryView::tabLabel(StorageTab tab) const
{
    return (tab == StorageTab::models ? m_modelsTabButton : m_cachesTabButton)->text();
}

void ModelInventoryView::refreshHeader()
{
    m_total->setText(StorageTexts::headerTotal(m_viewModel->totalStorageGB() + m_viewModel->totalDeveloperCachesGB()));
    m_total->setVisible(!m_total->text().isEmpty());
    // Busy while a scan or a clean runs; the rescan button returns when both are done.
    const bool busy = m_viewModel->isScanning() || m_viewModel->isCleaning();
    m_spinner->setVisible(busy);
    m_rescan->setVisible(!busy);
    m_busyText->setVisible(m_viewModel->isCleaning());
    m_chevron->setSymbol(m_expanded ? QStringLiteral("chevron.up") : QStringLiteral("chevron.down"));
    m_chevron->setColors(m_palette.secondaryText, QColor());
    m_chevron->setAccessibleName(m_expanded ? tr("Collapse") : tr("Expand"));
}

void ModelInventoryView::refreshTabBar()
{
    const struct
    {
        PillButton* button;
        StorageTab tab;
        QString label;
        QColor color;
    } tabs[] = {
        {m_modelsTabButton, StorageTab::models, StorageTexts::modelsTabLabel(m_viewModel->totalStorageGB()),
            m_palette.cyan},
        {m_cachesTabButton, StorageTab::caches, StorageTexts::cachesTabLabel(m_viewModel->totalDeveloperCachesGB()),
            m_palette.orange},
    };
    for (const auto& t : tabs) {
        const bool selected = t.tab == m_selectedTab;
        t.button->setText(t.label);
        t.button->setAccessibleName(t.label);
        t.button->setChecked(selected);
        t.button->setFont(Fonts::system(kSmallPixels + 1, selected ? QFont::Bold : QFont::Medium));
        t.button->setColors(selected ? t.color : m_palette.secondaryText,
            selected ? withOpacity(t.color, 0.2) : withOpacity(controlBackground(m_palette), 0.3));
        t.button->updateGeometry();
    }
}

void ModelInventoryView::refreshBanner()
{
    m_banner->setVisible(m_message.has_value());
    if (!m_message)
        return;
    const QColor tint = m_message->succeeded ? m_palette.green : m_palette.orange;
    m_banner->setFill(withOpacity(tint, 0.12));
    m_banner->setStroke(withOpacity(tint, 0.3));
    m_bannerIcon->setSymbol(m_message->succeeded ? QStringLiteral("checkmark.circle.fill")
                                                 : QStringLiteral("exclamationmark.triangle.fill"),
        tint);
    QString html = m_message->text.toHtmlEscaped();
    if (!m_message->failure.isEmpty())
        html += QStringLiteral("<span style=\"color:%1\">%2</span>")
                    .arg(m_palette.orange.name(), m_message->failure.toHtmlEscaped());
    setLabelColor(m_bannerText, m_palette.text);
    m_bannerText->setText(html);
}

void ModelInventoryView::showResult(const StorageMessage& message)
{
    m_message = message;
    refreshBanner();
    // Each result clears the banner after its own 4 s, also one that a later clean put up meanwhile.
    m_clock.singleShot(kMessageMs, this, [this] {
        m_message.reset();
        refreshBanner();
    });
}

void ModelInventoryView::announceReclaimed()
{
    NotificationCenter::defaultCenter().post(Notifications::didReclaimStorage);
}

void ModelInventoryView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        m_viewModel->scan();
}

bool ModelInventoryView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_header && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        setExpanded(!m_expanded);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
