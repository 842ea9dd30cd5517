#include "ConfirmationBox.h"

#include "StorageStyle.h"
#include "SymbolView.h"
#include "ui/PillButton.h"
#include "ui/RoundedFill.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

using namespace StorageStyle;

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ConfirmationBox", text);
}

} // namespace

ConfirmationBox::ConfirmationBox(const Palette& palette, const Look& look, const QList<QLabel*>& lines)
{
    auto* fill = new RoundedFill(withOpacity(look.tint, 0.12), 6);
    fill->setStroke(withOpacity(look.tint, 0.35));
    box = fill;
    auto* column = new QVBoxLayout(box);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(8);

    auto* top = new QHBoxLayout;
    top->setSpacing(6);
    top->addWidget(new SymbolView(QStringLiteral("exclamationmark.triangle.fill"), look.tint, 14));
    top->addWidget(label(look.title, Fonts::system(kBodyPixels, QFont::Bold), palette.text));
    top->addStretch();
    close = new PillButton(QString());
    close->setSymbol(QStringLiteral("xmark"));
    close->setFont(Fonts::system(12));
    close->setPadding(2, 2);
    close->setColors(palette.secondaryText, QColor());
    close->setAccessibleName(tr("Close"));
    top->addWidget(close);
    column->addLayout(top);

    for (QLabel* line : lines) {
        line->setWordWrap(true);
        column->addWidget(line);
    }

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    cancel = new PillButton(tr("Cancel"));
    cancel->setFont(Fonts::system(kSmallPixels + 1));
    cancel->setPadding(8, 4);
    cancel->setColors(palette.text, controlBackground(palette));
    buttons->addWidget(cancel);
    confirm = new PillButton(look.confirmText);
    confirm->setSymbol(QStringLiteral("trash.fill"));
    confirm->setFont(Fonts::system(kSmallPixels + 1, QFont::Bold));
    confirm->setPadding(10, 4);
    confirm->setColors(look.confirmForeground, look.tint);
    buttons->addWidget(confirm);
    buttons->addStretch();
    column->addLayout(buttons);
}
