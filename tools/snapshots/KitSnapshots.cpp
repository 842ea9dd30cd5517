#include "SampleData.h"
#include "SnapshotRegistry.h"

#include "ui/CardPainter.h"
#include "ui/CopyButton.h"
#include "ui/ElidedLabel.h"
#include "ui/Fonts.h"
#include "ui/NumberText.h"
#include "ui/Spinner.h"
#include "ui/Switch.h"
#include "ui/SymbolIcon.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>

#include <limits>

namespace {

QLabel* caption(const QString& text, const Palette& palette)
{
    auto* label = new QLabel(text);
    label->setFont(Fonts::system(11));
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, palette.secondaryText);
    label->setPalette(pal);
    return label;
}

QImage controls(const SnapshotContext& c)
{
    QWidget page;
    auto* grid = new QGridLayout(&page);
    grid->setContentsMargins(16, 16, 16, 16);
    grid->setSpacing(10);
    int row = 0;

    auto* off = new Switch;
    auto* on = new Switch;
    on->setChecked(true);
    grid->addWidget(caption(QStringLiteral("Switch off / on"), c.palette), row, 0);
    grid->addWidget(off, row, 1);
    grid->addWidget(on, row++, 2);

    auto* spinner = new Spinner(18);
    spinner->setAngle(45);
    grid->addWidget(caption(QStringLiteral("Spinner"), c.palette), row, 0);
    grid->addWidget(spinner, row++, 1);

    const QString longText
        = QStringLiteral("llama-3.1-70b-instruct-q4_K_M is loaded and holds most of the memory the machine can spare");
    auto* one = new ElidedLabel(longText, 1);
    auto* two = new ElidedLabel(longText, 2);
    one->setFont(Fonts::system(13));
    two->setFont(Fonts::system(13));
    one->setFixedWidth(220);
    two->setFixedWidth(220);
    two->setFixedHeight(36);
    grid->addWidget(caption(QStringLiteral("Elided, 1 line"), c.palette), row, 0);
    grid->addWidget(one, row++, 1, 1, 2);
    grid->addWidget(caption(QStringLiteral("Elided, 2 lines"), c.palette), row, 0);
    grid->addWidget(two, row++, 1, 1, 2);

    auto* idle = new CopyButton(
        QStringLiteral("Copy Spec Report"), [] { return QStringLiteral("report"); }, c.data.desktop(), c.data.clock());
    auto* copied = new CopyButton(
        QStringLiteral("Copy Spec Report"), [] { return QStringLiteral("report"); }, c.data.desktop(), c.data.clock());
    idle->setFont(Fonts::system(11, QFont::DemiBold));
    copied->setFont(Fonts::system(11, QFont::DemiBold));
    copied->click();
    grid->addWidget(caption(QStringLiteral("Copy button"), c.palette), row, 0);
    grid->addWidget(idle, row, 1);
    grid->addWidget(copied, row++, 2);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const QString numbers = QStringLiteral("%1 · %2 · %3 · %4")
                                .arg(NumberText::wholeText(41.9), NumberText::wholeText(-3.7),
                                    NumberText::wholeText(nan), NumberText::numberText("%.2f GB", 1e300));
    grid->addWidget(caption(QStringLiteral("Numbers 41.9, -3.7, NaN, 1e300"), c.palette), row, 0);
    auto* numberLabel = new QLabel(numbers);
    QPalette pal = numberLabel->palette();
    pal.setColor(QPalette::WindowText, c.palette.text);
    numberLabel->setPalette(pal);
    grid->addWidget(numberLabel, row++, 1, 1, 2);

    QImage image = grabWidget(page, c.palette, 2);
    c.data.clock().advance(CopyButton::kResetMs);
    return image;
}

QImage shapes(const SnapshotContext& c)
{
    QImage image(QSize(360, 120) * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(c.palette.background);
    QPainter p(&image);
    CardPainter::paintCard(p, QRectF(12, 12, 160, 96), c.palette);
    p.setPen(c.palette.text);
    p.setFont(Fonts::system(13, QFont::DemiBold));
    p.drawText(QRectF(24, 20, 140, 20), QStringLiteral("Card"));
    CardPainter::paintCapsule(p, QRectF(190, 20, 150, 26), withOpacity(c.palette.accent, 0.2));
    p.setPen(c.palette.accent);
    p.drawText(QRectF(190, 20, 150, 26), Qt::AlignCenter, QStringLiteral("Capsule"));
    CardPainter::paintCapsule(p, QRectF(190, 60, 150, 26), withOpacity(Palette::statusRed(), 0.2));
    p.setPen(Palette::statusRed());
    p.drawText(QRectF(190, 60, 150, 26), Qt::AlignCenter, QStringLiteral("Status red"));
    p.setFont(Fonts::emoji(20));
    p.drawText(QRectF(24, 50, 140, 40), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("🦁 🐻 🦊"));
    return image;
}

// Every symbol of the table with its name, and an unknown name's dot at the end.
QImage symbols(const SnapshotContext& c)
{
    QStringList names = SymbolIcon::names();
    names << QStringLiteral("no.such.symbol");
    const int columns = 4;
    const int cellW = 190;
    const int cellH = 26;
    const int rows = (static_cast<int>(names.size()) + columns - 1) / columns;
    QImage image(QSize(columns * cellW, rows * cellH) * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(c.palette.background);
    QPainter p(&image);
    p.setFont(Fonts::system(10));
    for (int i = 0; i < names.size(); ++i) {
        const QRectF cell((i % columns) * cellW, (i / columns) * cellH, cellW, cellH);
        SymbolIcon::paint(p, QRectF(cell.left() + 4, cell.top() + 3, 20, 20), names[i], c.palette.accent, 20);
        p.setPen(c.palette.text);
        p.drawText(cell.adjusted(28, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, names[i]);
    }
    return image;
}

} // namespace

void registerKitSnapshots(SnapshotRegistry& registry)
{
    registry.add(QStringLiteral("kit-controls"), controls);
    registry.add(QStringLiteral("kit-shapes"), shapes);
    registry.add(QStringLiteral("kit-symbols"), symbols);
}
