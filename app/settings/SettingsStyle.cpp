#include "SettingsStyle.h"

#include "SettingsButton.h"

#include "ui/ElidedLabel.h"
#include "ui/Fonts.h"
#include "ui/Labels.h"
#include "ui/Palette.h"
#include "ui/RoundedFill.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

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

QVBoxLayout* sliderBlock(
    const QString& text, QLabel*& value, QSlider* slider, const Palette& palette, const QMargins& margins)
{
    auto* block = new QVBoxLayout;
    block->setSpacing(4);
    block->setContentsMargins(margins);
    auto* row = new QHBoxLayout;
    row->addWidget(label(text, palette));
    row->addStretch(1);
    value = label({}, palette, 12, true);
    row->addWidget(value);
    block->addLayout(row);
    block->addWidget(slider);
    return block;
}

void markWhenChecked(QAbstractButton* button, const Palette& palette)
{
    const QPalette plain = button->palette();
    const auto show = [button, plain, palette](bool checked) {
        QPalette pal = plain;
        if (checked) {
            for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
                pal.setColor(group, QPalette::Button, palette.accent);
                // The style draws a button's fill lighter than its colour: the text is picked for that.
                pal.setColor(group, QPalette::ButtonText, palette.onTint(palette.accent.lighter(115)));
            }
        }
        button->setPalette(pal);
    };
    QObject::connect(button, &QAbstractButton::toggled, button, show);
    show(button->isChecked());
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
    // A long name is cut with "…" (the whole name in its tool tip) rather than widening the page.
    auto* name = new ElidedLabel(text);
    name->setObjectName(QStringLiteral("chipText"));
    name->setFont(Fonts::system(12));
    name->setColor(palette.text);
    name->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    row->addWidget(name, 1);
    auto* close = new SettingsButton({}, QStringLiteral("xmark.circle.fill"));
    close->setObjectName(QStringLiteral("removeChip"));
    close->setAccessibleName(QObject::tr("Remove %1").arg(text));
    close->setColors(palette.secondaryText);
    close->setSymbolSize(12);
    QObject::connect(close, &QAbstractButton::clicked, chip, [remove = std::move(remove)] { remove(); });
    row->addWidget(close);
    chip->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    return chip;
}
