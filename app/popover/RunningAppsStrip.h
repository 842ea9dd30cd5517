#pragma once

#include <QList>
#include <QWidget>

class AppDirectory;
class DashboardViewModel;
class SymbolButton;

// The row of running applications under the dock: the first seven, each its icon; a click brings
// that application forward where the desktop allows it (never starting a second copy).
class RunningAppsStrip : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kMaxApps = 7;

    RunningAppsStrip(AppDirectory& apps, DashboardViewModel& dashboardVM, QWidget* parent = nullptr);

    int appCount() const;
    QStringList toolTips() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    class AppButton;
    void rebuild();

    AppDirectory& m_apps;
    QList<AppButton*> m_buttons;
};
