#include "SettingsStyle.h"

#include "SettingsButton.h"

#include "ui/Fonts.h"
#include "ui/Labels.h"
#include "ui/Palette.h"
#include "ui/RoundedFill.h"

#include <QHBoxLayout>
#include <QLabel>

namespace SettingsStyle {

QLabel* title(const QString& text, const Palette& palette)
{
    return Labels::label(text, Fonts::system(16, QFont::Bold), palette.onTint());
}

QLabel* header(const QString& text, const Palette& palette)
{
    return Labels::label(text, Fonts::system(11, QFont::Bold), palette.text);
}

QLabel* note(const QString& text, const Palette& palette, int pixelSize)
{
    QLabel* label = Labels::label(text, Fonts::system(pixelSize), palette.secondaryText);
    label->setWordWrap(true);
    return label;
}

QLabel* label(const QString& text, const Palette& palette, int pixelSize, bool bold)
{
    return Labels::label(text, Fonts::system(pixelSize, bold ? QFont::Bold : QFont::Normal), palette.text);
}

QWidget* divider(const Palette& palette)
{
    auto* line = new QWidget;
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette pal = line->palette();
    pal.setColor(QPalette::Window, palette.divider);
    line->setPalette(pal);
    return line;
}

} // namespace SettingsStyle

QWidget* SettingsStyle::chip(
    const QString& text, double fillOpacity, const Palette& palette, std::function<void()> remove)
{
    auto* chip = new RoundedFill(withOpacity(palette.blue, fillOpacity), 4);
    chip->setObjectName(QStringLiteral("chip"));
    chip->setAccessibleName(text);
    auto* row = new QHBoxLayout(chip);
    row->setContentsMargins(6, 3, 6, 3);
    row->setSpacing(4);
    row->addWidget(label(text, palette, 12));
    auto* close = new SettingsButton({}, QStringLiteral("xmark.circle.fill"));
    close->setObjectName(QStringLiteral("removeChip"));
    close->setAccessibleName(QObject::tr("Remove %1").arg(text));
    close->setColors(palette.secondaryText);
    close->setSymbolSize(12);
    QObject::connect(close, &QAbstractButton::clicked, chip, [remove = std::move(remove)] { remove(); });
    row->addWidget(close);
    chip->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    return chip;
}
