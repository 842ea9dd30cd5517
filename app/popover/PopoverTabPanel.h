#pragma once

#include "PopoverEngines.h"

#include "ui/Palette.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <memory>

class AppDirectory;
class DeveloperCacheEngine;
class ModelInventoryEngine;
class DashboardViewModel;
class PersonaViewModel;
class PopoverState;
class QScrollArea;
class ScrollIndicator;
class QVBoxLayout;
class ThemeManager;
class ThermalIndicatorView;
class ViewSettings;

// The scrolling panel in the middle of the popover: shows the content of the selected tab. Pages are
// built when first shown and then kept, each updating itself in place.
class PopoverTabPanel : public QWidget
{
    Q_OBJECT
public:
    enum class Page { memorySplit, memoryLoading, telemetry, cpu, actions, storage, network };

    PopoverTabPanel(PopoverState& state, DashboardViewModel& dashboardVM, ThemeManager& themes,
        AppDirectory* apps = nullptr, PersonaViewModel* personaVM = nullptr, QWidget* parent = nullptr);

    // What a tab shows: 0 memory (split bar, its loading indicator, or the telemetry charts), 2 actions,
    // 3 storage, 4 network; 1 and every other value the CPU tab.
    static Page pageFor(int selectedTab, bool useTelemetryCharts, bool hasMemorySample);
    ~PopoverTabPanel() override;

    // How far the tour's outline reaches outside the panel (into the popover's padding), and the clear
    // space it keeps from the panel's edge, so it never touches text laid at that edge.
    static constexpr int kHighlightMargin = 8;
    static constexpr int kOutlineGap = 3;
    // The clear space between the panel and its scroll indicator in the popover's padding.
    static constexpr int kIndicatorGap = 3;

    Page currentPage() const { return m_current; }
    QWidget* currentWidget() const { return m_pages.value(int(m_current)); }
    QWidget* page(Page page) const { return m_pages.value(int(page)); }
    // The engines the storage tab scans and cleans through; without both it shows nothing.
    void setStorageEngines(
        std::shared_ptr<ModelInventoryEngine> inventoryEngine, std::shared_ptr<DeveloperCacheEngine> cacheEngine);
    // The engines the actions tab acts through; set before the tab is first shown.
    void setEngines(const PopoverEngines& engines);

    // The model suggestion card below the memory split bar, once the split bar has been shown.
    QWidget* suggestionCard() const { return m_suggestion; }

    // The actions tab's thermal strip, or null while the model has no thermal state.
    ThermalIndicatorView* thermalIndicator() const;

    // The tour's outline around the panel while the tour highlights it, else null.
    QWidget* highlight() const { return m_highlighted ? m_overlay : nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void showPage();
    QWidget* build(Page page);
    QWidget* buildActions();
    void placeSuggestionCard();
    void updateMemory();
    void updateThermal();
    void updateHighlight();
    void placeOverlay();

    PopoverState& m_state;
    DashboardViewModel& m_dashboardVM;
    ThemeManager& m_themes;
    AppDirectory* m_apps;
    PersonaViewModel* m_personaVM;
    ViewSettings& m_settings;
    std::shared_ptr<ModelInventoryEngine> m_inventoryEngine;
    std::shared_ptr<DeveloperCacheEngine> m_cacheEngine;
    PopoverEngines m_engines;
    Palette m_palette;
    QScrollArea* m_scroll;
    QVBoxLayout* m_column;
    QHash<int, QWidget*> m_pages;
    Page m_current = Page::cpu;
    QWidget* m_suggestion = nullptr;
    QWidget* m_thermalSlot = nullptr;
    ThermalIndicatorView* m_thermal = nullptr;
    QPointer<QWidget> m_overlay;
    QPointer<ScrollIndicator> m_indicator;
    bool m_highlighted = false;
};
