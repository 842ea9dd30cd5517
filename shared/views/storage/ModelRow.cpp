#include "ModelRow.h"

#include "StorageStyle.h"
#include "StorageTexts.h"
#include "ui/PillButton.h"

#include "core/NumberFormat.h"
#include "ui/ElidedLabel.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

QColor sourceColor(ModelSource source, const Palette& p)
{
    switch (source) {
    case ModelSource::ollama:
        return p.purple;
    case ModelSource::huggingFace:
        return p.blue;
    case ModelSource::lmStudio:
        break;
    }
    return p.cyan;
}

PillButton* badge(const QString& text, const QColor& color, int padH, int padV, double radius)
{
    auto* b = new PillButton(text);
    b->setFont(Fonts::system(9, QFont::Bold));
    b->setColors(color, withOpacity(color, 0.15));
    b->setPadding(padH, padV);
    b->setCornerRadius(radius);
    b->setBadge(true);
    return b;
}

} // namespace

ModelRow::ModelRow(const InventoryModel& model, const Palette& palette, bool selected, Date now,
    std::function<void()> toggle, std::function<void()> remove, QWidget* parent)
    : RoundedFill(QColor(), 5, parent)
    , m_model(model)
    , m_palette(palette)
{
    using namespace StorageStyle;
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 4, 6, 4);
    row->setSpacing(6);

    m_select = new PillButton(QString());
    m_select->setPadding(0, 0);
    m_select->setFont(Fonts::system(14));
    connect(m_select, &QAbstractButton::clicked, this, [toggle] { toggle(); });
    row->addWidget(m_select);

    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    auto* name = new ElidedLabel(QString::fromStdString(model.name));
    name->setFont(Fonts::system(kBodyPixels, QFont::DemiBold));
    name->setColor(palette.text);
    column->addWidget(name);

    auto* facts = new QHBoxLayout;
    facts->setSpacing(4);
    const QColor source = sourceColor(model.source, palette);
    facts->addWidget(badge(QString::fromStdString(rawValue(model.source)), source, 4, 1, 3));
    // Size and last use give way first where the row is narrow (the popover), cut with "…".
    auto* detail = new ElidedLabel(QString::fromStdString(gigabyteSizeText(model.sizeGB)) + QStringLiteral(" · ")
        + StorageTexts::relativeDate(model.lastAccessed, now));
    detail->setObjectName(QStringLiteral("detail"));
    detail->setFont(Fonts::system(kSmallPixels));
    detail->setColor(palette.secondaryText);
    detail->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    facts->addWidget(detail);
    if (model.isArchiveCandidate)
        facts->addWidget(badge(tr("Unused ") + QString::number(model.daysSinceLastAccessed(now)) + QStringLiteral("d"),
            palette.orange, 3, 1, 3));
    if (model.isDuplicate)
        facts->addWidget(badge(tr("Duplicate"), palette.yellow, 3, 1, 3));
    facts->addStretch();
    column->addLayout(facts);
    row->addLayout(column, 1);

    m_delete = new PillButton(QString());
    m_delete->setSymbol(QStringLiteral("trash"));
    m_delete->setPadding(2, 2);
    m_delete->setFont(Fonts::system(13));
    m_delete->setColors(withOpacity(palette.red, 0.8), QColor());
    m_delete->setToolTip(tr("Delete ") + QString::fromStdString(model.name));
    m_delete->setAccessibleName(m_delete->toolTip());
    connect(m_delete, &QAbstractButton::clicked, this, [remove] { remove(); });
    row->addWidget(m_delete);

    setStroke(model.isArchiveCandidate ? withOpacity(palette.orange, 0.3) : QColor(), 1);
    setSelected(selected);
}

void ModelRow::setSelected(bool selected)
{
    m_selected = selected;
    m_select->setSymbol(selected ? QStringLiteral("checkmark.square.fill") : QStringLiteral("square"));
    m_select->setColors(selected ? m_palette.blue : withOpacity(m_palette.secondaryText, 0.6), QColor());
    m_select->setAccessibleName(selected ? tr("Deselect ") + QString::fromStdString(m_model.name)
                                         : tr("Select ") + QString::fromStdString(m_model.name));
    setFill(selected ? withOpacity(m_palette.blue, 0.12) : withOpacity(StorageStyle::textBackground(m_palette), 0.4));
}
