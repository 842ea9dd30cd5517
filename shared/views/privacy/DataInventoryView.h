#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "records/PrivacyMetricsEngine.h"
#endif

#include "PrivacyServices.h"

#include <QWidget>

#include <optional>

class CopyButton;
class InventoryRefresh;
class PillButton;
class QGridLayout;
class Spinner;
class ThemedLabel;

// "Data Stored On This Computer": what the program keeps, store by store, where it lives, and two
// actions: open the data folder and export everything as one JSON file. The amounts are measured when the
// card is shown and every few seconds while it stays on screen, after an export, and after every erasure
// told to the page state.
class DataInventoryView : public QWidget
{
    Q_OBJECT
public:
    explicit DataInventoryView(const PrivacyServices& services, QWidget* parent = nullptr);

    const std::optional<PrivacyMetricsEngine::DataInventory>& inventory() const { return m_inventory; }
    bool isExporting() const { return m_isExporting; }
    // The rows as shown: title, middle text, size text (empty while loading).
    QList<QStringList> rowTexts() const;
    QString statusText() const;
    bool offersPathToCopy() const;

    void openInFileManager();
    void exportAllData();

signals:
    void inventoryLoaded();
    void folderOpenAnswered();
    void exportFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void setInventory(const PrivacyMetricsEngine::DataInventory& inventory);
    void writeExport(const QString& path);
    void setExporting(bool exporting);

    PrivacyServices m_services;
    std::optional<PrivacyMetricsEngine::DataInventory> m_inventory;
    bool m_isExporting = false;
    InventoryRefresh* m_refresh;
    Spinner* m_spinner;
    QWidget* m_rows;
    QGridLayout* m_grid;
    PillButton* m_exportButton;
    ThemedLabel* m_status;
    CopyButton* m_copyPathButton;
};
