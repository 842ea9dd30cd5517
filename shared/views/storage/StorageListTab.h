#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "ui/Palette.h"
#endif

#include <QMargins>
#include <QWidget>

class QLabel;
class QScrollArea;
class QVBoxLayout;

// What the storage tabs share: a column of boxes on top (confirmations, offers), a text shown while
// the list is empty, and the list of rows, at most StorageStyle::kListMaxHeight tall unless it fills
// the tab.
class StorageListTab : public QWidget
{
public:
    // Lets the list take the height the tab is given in place of its usual limit.
    void setListFillsHeight(bool fills);
    QLabel* emptyText() const { return m_emptyText; }

protected:
    StorageListTab(const Palette& palette, const QString& emptyText, const QMargins& emptyMargins, QWidget* parent);

    // Takes `palette` for the empty text, the list's scroll bar and what the tab builds next.
    void restyleList(const Palette& palette);
    // Fits the list's height to its rows.
    void fitList();

    Palette m_palette;
    QVBoxLayout* m_topLayout;
    QLabel* m_emptyText;
    QScrollArea* m_scroll;
    QVBoxLayout* m_listLayout = nullptr;

private:
    bool m_listFills = false;
};
