#include "MenuBarView.h"

#include "MenuBarDrawing.h"
#include "MenuBarFigures.h"
#include "engines/DashboardViewModel.h"
#include "records/ActivePersonaTracker.h"
#include "records/ThemeManager.h"
#include "ui/ViewSettings.h"

#include <QPainter>

MenuBarView::MenuBarView(DashboardViewModel& dashboardVM, bool hideCpuRing, QWidget* parent)
    : MenuBarView(dashboardVM, hideCpuRing, ViewSettings::shared(), ActivePersonaTracker::shared(),
        ThemeManager::shared(), parent)
{
}

MenuBarView::MenuBarView(DashboardViewModel& dashboardVM, bool hideCpuRing, ViewSettings& settings,
    ActivePersonaTracker& personaTracker, ThemeManager& themes, QWidget* parent)
    : QWidget(parent)
    , m_dashboardVM(dashboardVM)
    , m_settings(settings)
    , m_personaTracker(personaTracker)
    , m_hideCpuRing(hideCpuRing)
    , m_figures(std::make_unique<MenuBarFigures>())
    , m_palette(Palette::forTheme(themes.currentTheme()))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(tr("Quorvane Pro status"));

    // SwiftUI's ease-in-out timing curve.
    QEasingCurve easeInOut(QEasingCurve::BezierSpline);
    easeInOut.addCubicBezierSegment(QPointF(0.42, 0.0), QPointF(0.58, 1.0), QPointF(1.0, 1.0));
    m_ringAnimation.setEasingCurve(easeInOut);
    m_ringAnimation.setDuration(kRingAnimationMs);
    connect(&m_ringAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_ringFraction = v.toDouble();
        update();
    });

    connect(&m_dashboardVM, &DashboardViewModel::cpuUsageChanged, this, &MenuBarView::readFigures);
    connect(&m_dashboardVM, &DashboardViewModel::memoryStateChanged, this, &MenuBarView::readFigures);
    connect(&m_dashboardVM, &DashboardViewModel::thermalStateChanged, this, &MenuBarView::readFigures);
    connect(&m_dashboardVM, &DashboardViewModel::aiMemoryHistoryChanged, this, &MenuBarView::readFigures);
    connect(&m_personaTracker, &ActivePersonaTracker::activePersonasChanged, this, &MenuBarView::readFigures);
    connect(&m_settings, &ViewSettings::menuBarSettingsChanged, this, &MenuBarView::readFigures);
    followTheme(themes, this, [this](const Palette& palette) {
        m_palette = palette;
        update();
        emit drawingChanged();
    });

    readFigures();
    m_ringAnimation.stop();
    m_ringFraction = MenuBarDrawing::ringFraction(m_figures->cpuUsage);
}

MenuBarView::~MenuBarView() = default;

void MenuBarView::readFigures()
{
    MenuBarFigures f;
    if (const auto& thermal = m_dashboardVM.thermalState())
        f.thermalLevel = thermal->level;
    if (const auto& memory = m_dashboardVM.memoryState())
        f.headroomGB = MenuBarFigures::headroomOf(*memory);
    f.cpuUsage = m_dashboardVM.cpuUsage();
    f.aiMemoryHistory = m_dashboardVM.aiMemoryHistory();
    f.activePersonas = m_personaTracker.activePersonas();
    f.showSparkline = m_settings.showMenuBarSparkline();
    f.showCPURing = m_settings.showMenuBarCPURing();
    f.showTextReadouts = m_settings.showMenuBarTextReadouts();
    f.hideCpuRing = m_hideCpuRing;

    const double target = MenuBarDrawing::ringFraction(f.cpuUsage);
    const bool ringMoves = target != MenuBarDrawing::ringFraction(m_figures->cpuUsage);
    const bool resized = MenuBarDrawing::layout(f).size != MenuBarDrawing::layout(*m_figures).size;
    *m_figures = std::move(f);
    if (ringMoves && !isVisible()) {
        // A label that is not on screen (the tray paints from the figures) spends no frames on easing.
        m_ringAnimation.stop();
        m_ringFraction = target;
    } else if (ringMoves) {
        m_ringAnimation.stop();
        m_ringAnimation.setStartValue(m_ringFraction);
        m_ringAnimation.setEndValue(target);
        m_ringAnimation.start();
    }
    if (resized)
        updateGeometry();
    setToolTip(trayToolTip());
    update();
    emit drawingChanged();
}

QPixmap MenuBarView::trayPixmap(int size, qreal devicePixelRatio) const
{
    return MenuBarDrawing::trayPixmap(*m_figures, size, devicePixelRatio);
}

QIcon MenuBarView::trayIcon() const
{
    return MenuBarDrawing::trayIcon(*m_figures);
}

QString MenuBarView::trayToolTip() const
{
    return MenuBarDrawing::toolTip(*m_figures);
}

QSize MenuBarView::sizeHint() const
{
    return MenuBarDrawing::layout(*m_figures).size.toSize();
}

void MenuBarView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QSizeF natural = MenuBarDrawing::layout(*m_figures).size;
    // A host shorter or narrower than the strip gets the strip shrunk to fit, never cut off.
    const double scale = std::min({1.0, width() / natural.width(), height() / natural.height()});
    p.translate((width() - natural.width() * scale) / 2, (height() - natural.height() * scale) / 2);
    p.scale(scale, scale);
    MenuBarDrawing::paint(p, *m_figures, m_palette, m_ringFraction);
}
