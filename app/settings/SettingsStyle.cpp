#include "SettingsStyle.h"

#include "SettingsButton.h"

#include "ui/CardPainter.h"

#include "ui/Fonts.h"
#include "ui/Palette.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace SettingsStyle {

namespace {
QLabel* colored(const QString& text, const QFont& font, const QColor& color)
{
    auto* label = new QLabel(text);
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, color);
    label->setPalette(pal);
    return label;
}
} // namespace

QLabel* title(const QString& text, const Palette& palette)
{
    return colored(text, Fonts::system(16, QFont::Bold), palette.light ? palette.text : QColor(Qt::white));
}

QLabel* header(const QString& text, const Palette& palette)
{
    return colored(text, Fonts::system(11, QFont::Bold), palette.text);
}

QLabel* note(const QString& text, const Palette& palette, int pixelSize)
{
    QLabel* label = colored(text, Fonts::system(pixelSize), palette.secondaryText);
    label->setWordWrap(true);
    return label;
}

QLabel* label(const QString& text, const Palette& palette, int pixelSize, bool bold)
{
    return colored(text, Fonts::system(pixelSize, bold ? QFont::Bold : QFont::Normal), palette.text);
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

namespace {

class Chip : public QWidget
{
public:
    Chip(QColor fill, QWidget* parent = nullptr)
        : QWidget(parent)
        , m_fill(fill)
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        CardPainter::paintRounded(painter, QRectF(rect()), 4, m_fill);
    }

private:
    QColor m_fill;
};

} // namespace

QWidget* SettingsStyle::chip(
    const QString& text, double fillOpacity, const Palette& palette, std::function<void()> remove)
{
    auto* chip = new Chip(withOpacity(palette.blue, fillOpacity));
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
