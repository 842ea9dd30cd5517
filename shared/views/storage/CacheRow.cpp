#include "CacheRow.h"

#include "StorageStyle.h"
#include "SymbolView.h"
#include "ui/PillButton.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

CacheRow::CacheRow(const DeveloperCacheItem& item, const Palette& palette, const QString& note,
    std::function<void()> purge, QWidget* parent)
    : RoundedFill(QColor(), 5, parent)
    , m_item(item)
{
    using namespace StorageStyle;
    const bool safe = item.safetyTier == CacheSafetyTier::safeToPurge;
    const QColor tier = safe ? palette.green : palette.orange;
    setFill(withOpacity(textBackground(palette), 0.4));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(6, 4, 6, 4);
    row->setSpacing(6);
    row->addWidget(new SymbolView(QString::fromStdString(iconName(item.category)), tier, 16));

    auto* column = new QVBoxLayout;
    column->setSpacing(1);
    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    top->addWidget(label(QString::fromStdString(item.name), Fonts::system(kBodyPixels), palette.text));
    auto* badge = new PillButton(safe ? tr("Safe") : tr("Review"));
    badge->setFont(Fonts::system(9, QFont::Bold));
    badge->setColors(tier, withOpacity(tier, 0.15));
    badge->setPadding(3, 1);
    badge->setCornerRadius(3);
    badge->setBadge(true);
    top->addWidget(badge);
    top->addStretch();
    column->addLayout(top);
    auto* details = label(QString::fromStdString(item.details), Fonts::system(kSmallPixels), palette.secondaryText);
    details->setWordWrap(true);
    column->addWidget(details);
    if (!note.isEmpty()) {
        auto* noteLabel = label(note, Fonts::system(kSmallPixels), palette.secondaryText);
        noteLabel->setWordWrap(true);
        column->addWidget(noteLabel);
    }
    row->addLayout(column, 1);

    row->addWidget(
        label(QString::fromStdString(item.formattedSize()), Fonts::system(kBodyPixels, QFont::Bold), palette.text));
    m_purge = new PillButton(QString());
    m_purge->setSymbol(QStringLiteral("trash"));
    m_purge->setFont(Fonts::system(13));
    m_purge->setPadding(2, 2);
    m_purge->setColors(palette.secondaryText, QColor());
    m_purge->setToolTip(tr("Purge ") + QString::fromStdString(item.name));
    m_purge->setAccessibleName(m_purge->toolTip());
    connect(m_purge, &QAbstractButton::clicked, this, [purge] { purge(); });
    row->addWidget(m_purge);
}
