#pragma once

#include "ui/Palette.h"

#include <QList>
#include <QScrollArea>

class DashboardViewModel;
class ElidedLabel;
class QLabel;
class QLayout;
class QVBoxLayout;
class ThemeManager;

// Download and upload rates and the active connections with their processes. Updated in place on each
// tick: the connection rows are reused, added or removed as the list grows or shrinks. While shown it holds
// the model's demands for the connection list and the public address.
class NetworkTabView : public QScrollArea
{
    Q_OBJECT
public:
    NetworkTabView(DashboardViewModel& stats, ThemeManager& themes, QWidget* parent = nullptr);
    ~NetworkTabView() override;

    QString downloadText() const;
    QString uploadText() const;
    QString publicAddressText() const;
    int rowCount() const { return m_visibleRows; }
    // The texts of row `index`: remote, "process (PID: n)", status.
    QStringList rowTexts(int index) const;
    QColor statusColor(int index) const;
    // "No external connections" once a listing found none; empty while nothing is shown in its place.
    QString emptyText() const;

protected:
    // The model lists connections and looks the public address up only while a view that shows them is open.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Row;
    // The download and upload cards, the public address and the connections' section.
    QLayout* buildRateCards();
    QWidget* buildAddressCard();
    QLayout* buildConnections();
    void refresh();
    void applyTheme();
    Row& row(int index);

    DashboardViewModel& m_stats;
    Palette m_palette;
    QWidget* m_page;
    QLabel* m_title;
    QWidget* m_downloadCard;
    QWidget* m_uploadCard;
    QLabel* m_downloadCaption;
    QLabel* m_uploadCaption;
    QLabel* m_download;
    QLabel* m_upload;
    QWidget* m_addressCard;
    QLabel* m_addressCaption;
    ElidedLabel* m_address;
    QLabel* m_connectionsTitle;
    QLabel* m_empty;
    QVBoxLayout* m_rows;
    QList<Row*> m_rowWidgets;
    int m_visibleRows = 0;
    bool m_holdsDemands = false;
};
