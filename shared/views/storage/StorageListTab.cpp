#include "StorageListTab.h"

#include "StorageStyle.h"

using namespace StorageStyle;

StorageListTab::StorageListTab(
    const Palette& palette, const QString& emptyText, const QMargins& emptyMargins, QWidget* parent)
    : QWidget(parent)
    , m_palette(palette)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    m_topLayout = new QVBoxLayout;
    m_topLayout->setSpacing(6);
    layout->addLayout(m_topLayout);
    m_emptyText = label(emptyText, Fonts::system(kSmallPixels + 1), palette.secondaryText);
    m_emptyText->setContentsMargins(emptyMargins);
    layout->addWidget(m_emptyText);
    m_scroll = listArea(m_listLayout);
    styleList(m_scroll, palette);
    layout->addWidget(m_scroll);
    // Room the list does not need stays below it.
    layout->addStretch();
}

void StorageListTab::setListFillsHeight(bool fills)
{
    m_listFills = fills;
    if (auto* column = qobject_cast<QBoxLayout*>(layout()))
        column->setStretchFactor(m_scroll, fills ? 1 : 0);
    fitList();
}

void StorageListTab::restyleList(const Palette& palette)
{
    m_palette = palette;
    setLabelColor(m_emptyText, palette.secondaryText);
    styleList(m_scroll, palette);
}

void StorageListTab::fitList()
{
    fitListHeight(m_scroll, m_listFills);
}
