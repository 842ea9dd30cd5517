#include "PopoverView.h"

#include "AppDirectory.h"
#include "PopoverHeader.h"
#include "PopoverState.h"
#include "PopoverStyle.h"
#include "PopoverTabPanel.h"
#include "RunningAppsStrip.h"
#include "TabDock.h"
#include "TourOverlay.h"

#include "records/ThemeManager.h"
#include "ui/Clock.h"
#include "ui/ViewSettings.h"

#include <QAction>
#include <QPainter>
#include <QVBoxLayout>

PopoverView::PopoverView(DashboardViewModel& dashboardVM, PersonaViewModel& personaVM, PopoverHooks hooks,
    PopoverEngines engines, QWidget* parent)
    : PopoverView(dashboardVM, personaVM, std::move(hooks), std::move(engines), ViewSettings::shared(),
        ThemeManager::shared(), Clock::system(), new AppDirectory, parent)
{
    // The directory made above belongs to this popover.
    m_apps->setParent(this);
}

PopoverView::PopoverView(DashboardViewModel& dashboardVM, PersonaViewModel& personaVM, PopoverHooks hooks,
    PopoverEngines engines, ViewSettings& settings, ThemeManager& themes, Clock& clock, AppDirectory* apps,
    QWidget* parent)
    : QWidget(parent)
    , m_palette(Palette::forTheme(themes.currentTheme()))
    , m_engines(std::move(engines))
    , m_state(new PopoverState(settings, clock, this))
    , m_actions(new PopoverActions(this, std::move(hooks)))
    , m_apps(apps)
{
    setFixedSize(kSize);
    setAutoFillBackground(false);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(10);
    m_header = new PopoverHeader(*m_state, personaVM, themes, *m_actions, this);
    column->addWidget(m_header);
    column->addWidget(PopoverStyle::divider(themes, this));
    m_panel = new PopoverTabPanel(*m_state, dashboardVM, themes, apps, &personaVM, this);
    column->addWidget(m_panel, 1);
    column->addWidget(PopoverStyle::divider(themes, this));
    m_dock = new TabDock(*m_state, themes, *m_actions, this);
    m_dock->setContentsMargins(0, 4, 0, 0);
    column->addWidget(m_dock);
    if (apps) {
        m_strip = new RunningAppsStrip(*apps, dashboardVM, this);
        column->addWidget(m_strip);
    }
    followTheme(themes, this, [this](const Palette& p) { applyTheme(p); });
    applyTheme(m_palette);

    // The tour covers the whole column while it runs and hands over to the settings window at its end.
    m_tour = new TourOverlay(*m_state, themes, this);
    m_tour->setGeometry(QRect(QPoint(), kSize));
    connect(m_state, &PopoverState::settingsWindowRequested, m_actions->settings(), &QAction::trigger);
}

PopoverView::~PopoverView() = default;

void PopoverView::applyTheme(const Palette& palette)
{
    m_palette = palette;
    QPalette pal = QWidget::palette();
    pal.setColor(QPalette::WindowText, PopoverStyle::foreground(palette.theme));
    pal.setColor(QPalette::Window, PopoverStyle::background(palette.theme));
    setPalette(pal);
    update();
}

void PopoverView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), PopoverStyle::background(m_palette.theme));
}

void PopoverView::hideEvent(QHideEvent* event)
{
    // Closing the popover ends a running tour at once.
    m_state->setTourActive(false);
    QWidget::hideEvent(event);
}
