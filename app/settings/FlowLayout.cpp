#include "FlowLayout.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

FlowLayout::FlowLayout(const QStringList& items, Content content, QWidget* parent)
    : QWidget(parent)
    , m_content(std::move(content))
    , m_column(new QVBoxLayout(this))
{
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(kSpacing);
    setItems(items);
}

void FlowLayout::setItems(const QStringList& items)
{
    m_items = items;
    rebuild();
}

void FlowLayout::rebuild()
{
    while (QLayoutItem* item = m_column->takeAt(0)) {
        if (QWidget* row = item->widget())
            delete row;
        delete item;
    }
    m_rows.clear();
    const int n = static_cast<int>(m_items.size());
    const int rowCount = (n + kPerRow - 1) / kPerRow;
    for (int r = 0; r < rowCount; ++r) {
        auto* row = new QWidget(this);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(kSpacing);
        QList<QWidget*> chips;
        for (int p = 0; p < kPerRow; ++p) {
            const int i = r * kPerRow + p;
            if (i >= n)
                break;
            QWidget* chip = m_content(m_items[i]);
            line->addWidget(chip, 0, Qt::AlignVCenter);
            chips.append(chip);
        }
        line->addStretch(1);
        m_column->addWidget(row);
        m_rows.append(chips);
    }
    updateGeometry();
}
