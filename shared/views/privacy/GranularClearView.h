#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "records/PrivacyMetricsEngine.h"
#endif

#include "PrivacyServices.h"

#include <QWidget>

#include <optional>
#include <set>

class InventoryRefresh;
class PillButton;
class PrivacyPageState;
class RoundedBox;
class SymbolLabel;
class ThemedLabel;

// "Granular Data Erasure": the six kinds of stored data with their amounts, erased by selection or
// all at once, each behind a confirmation. After an erasure the amounts are measured again and a
// status line names what was cleared and what could not be; both are kept in the page state, so a
// card built anew meanwhile shows them too. While the card is shown its amounts follow what is on disk.
class GranularClearView : public QWidget
{
    Q_OBJECT
public:
    using Type = PrivacyMetricsEngine::ClearableDataType;
    static constexpr int kStatusMs = 4000;

    explicit GranularClearView(const PrivacyServices& services, QWidget* parent = nullptr);

    const std::set<Type>& selectedTypes() const { return m_selected; }
    void toggle(Type type);
    QString amountText(Type type) const;
    bool isWarningShown(Type type) const;
    QString clearSelectedLabel() const;
    bool canClearSelected() const;
    QString statusText() const;
    QString failureText() const;

    void requestClearSelected();
    void requestClearEverything();

    // The confirmation text of "Clear Everything", naming the records folder; shared with the uninstall guide.
    static QString clearEverythingMessage(const QString& dataDirectory);
    // A category as the privacy pages name it.
    static QString labelOf(Type type);
    static QString joinedLabels(const std::vector<Type>& types);

signals:
    void inventoryLoaded();
    void cleared();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct Row
    {
        Type type;
        RoundedBox* box;
        PillButton* check;
        ThemedLabel* amount;
        ThemedLabel* warning;
    };

    void refreshRows();
    void clear(const std::set<Type>& types, bool everything);
    // Takes the amounts an erasure measured, empties the selection.
    void takeErasure();
    void showStatusLines();

    PrivacyServices m_services;
    PrivacyPageState* m_state;
    InventoryRefresh* m_refresh;
    std::set<Type> m_selected;
    std::optional<PrivacyMetricsEngine::DataInventory> m_inventory;
    std::vector<Row> m_rows;
    RoundedBox* m_status;
    ThemedLabel* m_statusLabel;
    RoundedBox* m_failure;
    ThemedLabel* m_failureLabel;
    PillButton* m_clearSelected;
};
