#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "storage/InventoryModel.h"
#endif

#include "StorageListTab.h"

#include <optional>
#include <string>
#include <vector>

class ModelInventoryView;
class ModelInventoryViewModel;
class ModelRow;
class PillButton;

// The "AI Models" tab: the deletion confirmation, the quick clean of unused models, the filter chips,
// the selection bar and the list of models.
class ModelsTab : public StorageListTab
{
    Q_OBJECT
public:
    ModelsTab(ModelInventoryView& view, ModelInventoryViewModel& viewModel, const Palette& palette,
        QWidget* parent = nullptr);

    void applyPalette(const Palette& palette);

    // The models the open confirmation would delete; none when it is closed.
    const std::optional<std::vector<InventoryModel>>& modelsToClean() const { return m_modelsToClean; }
    void setModelsToClean(std::optional<std::vector<InventoryModel>> models);
    // Deletes the confirmed models (the "Delete" button).
    void confirmDeletion();

    // What the tab shows, for tests.
    QWidget* confirmation() const { return m_confirmation; }
    QWidget* quickCleanBar() const { return m_quickClean; }
    QWidget* selectionBar() const { return m_selectionBar; }
    QList<PillButton*> filterChips() const { return m_chips; }
    const std::vector<ModelRow*>& rows() const { return m_rows; }
    PillButton* quickCleanButton() const { return m_quickCleanButton; }
    PillButton* selectionCleanButton() const { return m_selectionClean; }
    PillButton* deselectButton() const { return m_deselect; }
    PillButton* deleteButton() const { return m_deleteButton; }
    PillButton* cancelButton() const { return m_cancelButton; }

private:
    void refresh();
    void rebuildTop();
    void refreshList();
    QWidget* buildConfirmation();
    QWidget* buildQuickClean();
    QWidget* buildChips();
    QWidget* buildSelectionBar();

    ModelInventoryView& m_view;
    ModelInventoryViewModel& m_viewModel;
    std::optional<std::vector<InventoryModel>> m_modelsToClean;

    QWidget* m_confirmation = nullptr;
    QWidget* m_quickClean = nullptr;
    QWidget* m_selectionBar = nullptr;
    QList<PillButton*> m_chips;
    PillButton* m_quickCleanButton = nullptr;
    PillButton* m_selectionClean = nullptr;
    PillButton* m_deselect = nullptr;
    PillButton* m_deleteButton = nullptr;
    PillButton* m_cancelButton = nullptr;
    std::vector<ModelRow*> m_rows;
};
