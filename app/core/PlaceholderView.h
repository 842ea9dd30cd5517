#pragma once

#include "ui/Palette.h"

#include <QWidget>

class DashboardViewModel;

// What a host window shows until its own view is built: the window's name and the live menu-bar
// label over the dashboard model, on the theme's background.
class PlaceholderView : public QWidget
{
    Q_OBJECT
public:
    PlaceholderView(const QString& title, DashboardViewModel& dashboardVM, QWidget* parent = nullptr);

    const QString& title() const { return m_title; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_title;
    Palette m_palette;
};
