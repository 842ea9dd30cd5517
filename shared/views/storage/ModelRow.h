#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "ui/RoundedFill.h"

#include "storage/InventoryModel.h"

#include "ui/Palette.h"
#endif

#include <functional>

class SymbolView;
class PillButton;

// One model of the list: the selection square, name, source, size, last use, the "Unused" and
// "Duplicate" badges, and the delete button.
class ModelRow : public RoundedFill
{
    Q_OBJECT
public:
    ModelRow(const InventoryModel& model, const Palette& palette, bool selected, Date now, std::function<void()> toggle,
        std::function<void()> remove, QWidget* parent = nullptr);

    const InventoryModel& model() const { return m_model; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);
    PillButton* selectButton() const { return m_select; }
    PillButton* deleteButton() const { return m_delete; }

private:
    InventoryModel m_model;
    Palette m_palette;
    bool m_selected = false;
    PillButton* m_select = nullptr;
    PillButton* m_delete = nullptr;
};
