#include "PopoverTabPanel.h"

#include "AssistanceHistorySection.h"
#include "CpuTab.h"
#include "PersonaOverrideSection.h"
#include "PopoverState.h"
#include "PopoverStyle.h"
#include "RecommendedActionsSection.h"
#include "ScrollIndicator.h"
#include "TelemetrySection.h"

#include "core/PoolWork.h"
#include "engines/DashboardViewModel.h"
#include "records/AssistanceTracker.h"
#include "records/ThemeManager.h"
#include "ui/Spinner.h"
#include "ui/ViewSettings.h"
#include "views/advisor/PopoverRecommendationView.h"
#include "views/dashboard/MemorySplitView.h"
#include "views/dashboard/NetworkTabView.h"
#include "views/dashboard/ThermalIndicatorView.h"
#include "views/storage/ModelInventoryView.h"

#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr double kCornerRadius = 8;
constexpr double kOutlineWidth = 2.5;

// The tour's outline and glow around the panel. It lies in the popover's padding, outside the
// panel, so it never covers the panel's content, and it lets every click through.
class HighlightOverlay : public QWidget
{
public:
    explicit HighlightOverlay(QWidget* parent)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
    }
    void setStroke(const QColor& color, double width)
    {
        m_color = color;
        m_width = width;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (m_width <= 0)
            return;
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        // The panel with the clear space around it: the strokes start beyond it.
        const int inset = PopoverTabPanel::kHighlightMargin - PopoverTabPanel::kOutlineGap;
        const QRectF panel = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
        // A soft glow of faint widening strokes, then the outline, each wholly outside the panel.
        for (int i = 3; i >= 1; --i) {
            const double glow = std::min<double>(inset, 2.0 * i);
            outline(p, panel, glow, withOpacity(m_color, 0.4 / (i + 1)));
        }
        outline(p, panel, m_width, m_color);
    }

private:
    static void outline(QPainter& p, const QRectF& panel, double width, const QColor& color)
    {
        const double out = width / 2;
        QPainterPath path;
        path.addRoundedRect(panel.adjusted(-out, -out, out, out), kCornerRadius + out, kCornerRadius + out);
        p.strokePath(path, QPen(color, width));
    }

    QColor m_color;
    double m_width = 0;
};

// A slot whose content belongs to another part of the program: empty until that part fills it.
QWidget* emptySlot(QWidget* parent)
{
    auto* w = new QWidget(parent);
    w->setFixedHeight(0);
    return w;
}

bool fillsPanel(PopoverTabPanel::Page page)
{
    return page == PopoverTabPanel::Page::network || page == PopoverTabPanel::Page::storage;
}

} // namespace

PopoverTabPanel::PopoverTabPanel(PopoverState& state, DashboardViewModel& dashboardVM, ThemeManager& themes,
    AppDirectory* apps, PersonaViewModel* personaVM, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_dashboardVM(dashboardVM)
    , m_themes(themes)
    , m_apps(apps)
    , m_personaVM(personaVM)
    , m_settings(state.settings())
    , m_palette(Palette::forTheme(themes.currentTheme()))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->viewport()->setAutoFillBackground(false);
    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    m_column = new QVBoxLayout(content);
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(10);
    m_column->addStretch(1);
    m_scroll->setWidget(content);
    layout->addWidget(m_scroll);
    m_overlay = new HighlightOverlay(this);
    m_indicator = new ScrollIndicator(*m_scroll, this);
    m_indicator->setHandleColor(withOpacity(m_palette.secondaryText, 0.45));

    connect(&m_state, &PopoverState::selectedTabChanged, this, &PopoverTabPanel::showPage);
    connect(&m_state, &PopoverState::tourChanged, this, &PopoverTabPanel::updateHighlight);
    connect(&m_settings, &ViewSettings::valueChanged, this, [this](const QString& key) {
        if (key == ViewSettings::useTelemetryChartsKey)
            showPage();
    });
    connect(&m_dashboardVM, &DashboardViewModel::memoryStateChanged, this, &PopoverTabPanel::updateMemory);
    connect(&m_dashboardVM, &DashboardViewModel::loadedModelsChanged, this, &PopoverTabPanel::updateMemory);
    connect(&m_dashboardVM, &DashboardViewModel::thermalStateChanged, this, &PopoverTabPanel::updateThermal);
    followTheme(themes, this, [this](const Palette& p) {
        m_palette = p;
        m_indicator->setHandleColor(withOpacity(p.secondaryText, 0.45));
        updateHighlight();
    });
    showPage();
    updateHighlight();
}

// The outline and the scroll indicator live beside the panel, in the popover; they go with the panel.
PopoverTabPanel::~PopoverTabPanel()
{
    delete m_overlay;
    delete m_indicator;
}

PopoverTabPanel::Page PopoverTabPanel::pageFor(int selectedTab, bool useTelemetryCharts, bool hasMemorySample)
{
    switch (selectedTab) {
    case 0:
        if (useTelemetryCharts)
            return Page::telemetry;
        return hasMemorySample ? Page::memorySplit : Page::memoryLoading;
    case 2:
        return Page::actions;
    case 3:
        return Page::storage;
    case 4:
        return Page::network;
    default:
        return Page::cpu;
    }
}

void PopoverTabPanel::setStorageEngines(
    std::shared_ptr<ModelInventoryEngine> inventoryEngine, std::shared_ptr<DeveloperCacheEngine> cacheEngine)
{
    m_inventoryEngine = std::move(inventoryEngine);
    m_cacheEngine = std::move(cacheEngine);
    // A storage page built before the engines came is built again with them.
    if (QWidget* old = m_pages.take(int(Page::storage))) {
        old->hide();
        old->deleteLater();
        showPage();
    }
}

void PopoverTabPanel::setEngines(const PopoverEngines& engines)
{
    m_engines = engines;
    // A suggestion card built before the engines were known is built again by their maker.
    if (m_suggestion && m_engines.suggestionCard) {
        delete m_suggestion;
        m_suggestion = nullptr;
        placeSuggestionCard();
    }
    // An actions page built before the engines were known is built again with them.
    if (QWidget* actions = m_pages.take(int(Page::actions))) {
        m_thermalSlot = nullptr;
        m_thermal = nullptr;
        delete actions;
        showPage();
    }
}

ThermalIndicatorView* PopoverTabPanel::thermalIndicator() const
{
    return m_thermal && m_thermalSlot && !m_thermalSlot->isHidden() ? m_thermal : nullptr;
}

void PopoverTabPanel::showPage()
{
    m_current
        = pageFor(m_state.selectedTab(), m_settings.useTelemetryCharts(), m_dashboardVM.memoryState().has_value());
    QWidget* wanted = m_pages.value(int(m_current));
    if (!wanted) {
        wanted = build(m_current);
        m_pages.insert(int(m_current), wanted);
        // The network and storage pages scroll their own lists and fill the panel; every other page
        // sits at the top.
        m_column->insertWidget(m_column->count() - 1, wanted, fillsPanel(m_current) ? 1 : 0,
            m_current == Page::memoryLoading ? Qt::AlignLeft : Qt::Alignment());
    }
    for (QWidget* w : std::as_const(m_pages))
        w->setVisible(w == wanted);
    m_column->setStretch(m_column->count() - 1, fillsPanel(m_current) ? 0 : 1);
    placeSuggestionCard();
    if (m_current == Page::memorySplit)
        updateMemory();
}

void PopoverTabPanel::placeSuggestionCard()
{
    // The card sits under the split bar, where the loaded models are listed, and comes on screen with it:
    // each appearance ranks again, a tick only redraws the bar.
    const bool wanted = m_current == Page::memorySplit;
    if (!m_suggestion && wanted) {
        QWidget* content = m_scroll->widget();
        m_suggestion = m_engines.suggestionCard ? m_engines.suggestionCard(m_dashboardVM, content)
                                                : new PopoverRecommendationView(m_dashboardVM, content);
        m_column->insertWidget(m_column->indexOf(m_pages.value(int(Page::memorySplit))) + 1, m_suggestion);
    }
    if (m_suggestion)
        m_suggestion->setVisible(wanted);
}

QWidget* PopoverTabPanel::build(Page page)
{
    QWidget* content = m_scroll->widget();
    switch (page) {
    case Page::memorySplit: {
        const auto& state = m_dashboardVM.memoryState();
        return new MemorySplitView(
            state.value_or(SystemMemoryState {}), m_dashboardVM.loadedModels(), m_themes, content);
    }
    case Page::memoryLoading: {
        auto* spinner = new Spinner(16, content);
        spinner->setColor(m_palette.secondaryText);
        return spinner;
    }
    case Page::telemetry:
        return new TelemetrySection(m_dashboardVM, m_themes, content);
    case Page::cpu:
        return new CpuTab(m_dashboardVM, m_themes, m_apps, m_personaVM, content);
    case Page::actions:
        return buildActions();
    case Page::storage:
        if (!m_inventoryEngine || !m_cacheEngine)
            return emptySlot(content);
        {
            auto* storage = new ModelInventoryView(m_inventoryEngine, m_cacheEngine, content);
            storage->setFillsHeight(true);
            return storage;
        }
    case Page::network:
        return new NetworkTabView(m_dashboardVM, m_themes, content);
    }
    return emptySlot(content);
}

QWidget* PopoverTabPanel::buildActions()
{
    auto* page = new QWidget(m_scroll->widget());
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    Clock& clock = m_state.clock();
    column->addWidget(new RecommendedActionsSection(
        m_dashboardVM, ActionRunner::on(m_engines.actionEngine, m_engines.pool), m_themes, clock, page));
    column->addWidget(PopoverStyle::divider(m_themes, page));
    std::shared_ptr<AssistanceTracker> tracker
        = m_engines.assistanceTracker ? m_engines.assistanceTracker : lifelong(AssistanceTracker::shared());
    column->addWidget(
        new AssistanceHistorySection(AssistanceHistorySection::loaderFor(std::move(tracker)), m_themes, page));
    column->addWidget(PopoverStyle::divider(m_themes, page));
    m_thermalSlot = new QWidget(page);
    auto* thermal = new QVBoxLayout(m_thermalSlot);
    thermal->setContentsMargins(0, 0, 0, 0);
    thermal->setSpacing(10);
    m_thermal
        = new ThermalIndicatorView(m_dashboardVM.thermalState().value_or(QVThermalState {}), m_themes, m_thermalSlot);
    thermal->addWidget(m_thermal);
    thermal->addWidget(PopoverStyle::divider(m_themes, m_thermalSlot));
    column->addWidget(m_thermalSlot);
    if (m_personaVM)
        column->addWidget(new PersonaOverrideSection(*m_personaVM, m_themes, clock, page));
    updateThermal();
    return page;
}

void PopoverTabPanel::updateMemory()
{
    const bool hasSample = m_dashboardVM.memoryState().has_value();
    // The first sample turns the loading indicator into the split bar.
    if (m_current == Page::memoryLoading && hasSample) {
        showPage();
        return;
    }
    if (auto* split = static_cast<MemorySplitView*>(m_pages.value(int(Page::memorySplit))); split && hasSample)
        split->setState(*m_dashboardVM.memoryState(), m_dashboardVM.loadedModels());
}

void PopoverTabPanel::updateThermal()
{
    if (!m_thermalSlot)
        return;
    const auto& state = m_dashboardVM.thermalState();
    m_thermalSlot->setVisible(state.has_value());
    if (state)
        m_thermal->setState(*state);
}

void PopoverTabPanel::updateHighlight()
{
    m_highlighted = m_state.tourActive() && m_state.tourStep() > 2;
    placeOverlay();
    static_cast<HighlightOverlay*>(m_overlay.data())->setStroke(m_palette.accent, m_highlighted ? kOutlineWidth : 0);
    update();
}

void PopoverTabPanel::placeOverlay()
{
    // The overlay sits beside the panel in the popover, so it can draw outside the panel's edges.
    QWidget* host = parentWidget() ? parentWidget() : this;
    if (m_overlay->parentWidget() != host) {
        // Directly above the panel; what the popover adds later (the dock, the tour's cards) stays above.
        m_overlay->setParent(host);
        m_overlay->raise();
    }
    const QRect panel = host == this ? rect() : geometry();
    const int m = kHighlightMargin;
    m_overlay->setGeometry(panel.adjusted(-m, -m, m, m));
    m_overlay->setVisible(m_highlighted && isVisible());
    // On a short screen the page is cut at the panel's bottom; the indicator beside the panel, clear of
    // its content, says that it scrolls. The tour's outline takes its place while it is drawn.
    if (m_indicator->parentWidget() != host) {
        m_indicator->setParent(host);
        m_indicator->raise();
    }
    const int x = host == this ? width() - ScrollIndicator::kWidth : panel.right() + 1 + kIndicatorGap;
    m_indicator->setGeometry(x, panel.top(), ScrollIndicator::kWidth, panel.height());
    m_indicator->setAllowed(!m_highlighted && isVisible());
}

void PopoverTabPanel::paintEvent(QPaintEvent*)
{
    if (!m_highlighted)
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    p.fillPath(path, withOpacity(m_palette.accent, 0.03));
}

void PopoverTabPanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeOverlay();
}

void PopoverTabPanel::moveEvent(QMoveEvent* event)
{
    QWidget::moveEvent(event);
    placeOverlay();
}

void PopoverTabPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    placeOverlay();
}

void PopoverTabPanel::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_overlay->hide();
    m_indicator->setAllowed(false);
}
