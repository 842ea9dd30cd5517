#pragma once

#include "ui/Palette.h"

#include <QVariantAnimation>
#include <QWidget>

#include <memory>

class ActivePersonaTracker;
class DashboardViewModel;
struct MenuBarFigures;
class ThemeManager;
class ViewSettings;

// The live label of the tray: state symbol, CPU ring, readouts, AI memory sparkline and state pill,
// redrawn whenever the dashboard model publishes, the active personas change, a view setting changes
// or the theme changes. Its width is that of the pieces shown; it writes no setting.
class MenuBarView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kRingAnimationMs = 400;

    // `hideCpuRing`: an edition whose label never shows the CPU ring (the program passes false).
    explicit MenuBarView(DashboardViewModel& dashboardVM, bool hideCpuRing = false, QWidget* parent = nullptr);
    MenuBarView(DashboardViewModel& dashboardVM, bool hideCpuRing, ViewSettings& settings,
        ActivePersonaTracker& personaTracker, ThemeManager& themes, QWidget* parent = nullptr);
    ~MenuBarView() override;

    const MenuBarFigures& figures() const { return *m_figures; }
    const Palette& palette() const { return m_palette; }
    // The arc's share of the circle as drawn now (animated toward cpuUsage / 100).
    double ringFraction() const { return m_ringFraction; }

    QPixmap trayPixmap(int size, qreal devicePixelRatio = 1.0) const;
    QIcon trayIcon() const;
    QString trayToolTip() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

signals:
    // The drawing changed (figures, settings or theme): the tray icon repaints from it.
    void drawingChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void readFigures();

    DashboardViewModel& m_dashboardVM;
    ViewSettings& m_settings;
    ActivePersonaTracker& m_personaTracker;
    bool m_hideCpuRing;
    // Held apart so the header stays light for the meta-object compiler.
    std::unique_ptr<MenuBarFigures> m_figures;
    Palette m_palette;
    double m_ringFraction = 0;
    QVariantAnimation m_ringAnimation;
};
