#include "CleanOfferBar.h"

#include "StorageStyle.h"
#include "ui/PillButton.h"
#include "ui/RoundedFill.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace StorageStyle;

CleanOfferBar::CleanOfferBar(const Palette& palette, const Look& look)
{
    auto* fill = new RoundedFill(withOpacity(look.tint, 0.12), 6);
    fill->setStroke(withOpacity(look.tint, look.strokeOpacity));
    box = fill;
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(8, 8, 8, 8);
    row->setSpacing(8);
    auto* column = new QVBoxLayout;
    column->setSpacing(2);
    auto* line = new QHBoxLayout;
    line->setSpacing(4);
    line->addWidget(label(look.title, Fonts::system(kBodyPixels, QFont::Bold), palette.text));
    line->addWidget(label(QCoreApplication::translate("CleanOfferBar", "Reclaim ") + look.amount,
        Fonts::system(kBodyPixels, QFont::Bold), look.tint));
    line->addStretch();
    column->addLayout(line);
    auto* detail = label(look.detail, Fonts::system(kSmallPixels), palette.secondaryText);
    detail->setWordWrap(true);
    column->addWidget(detail);
    row->addLayout(column, 1);
    button = new PillButton(QCoreApplication::translate("CleanOfferBar", "Clean"));
    button->setFont(Fonts::system(kSmallPixels + 1, QFont::Bold));
    button->setPadding(8, 4);
    button->setColors(look.buttonForeground, look.tint);
    row->addWidget(button);
}
