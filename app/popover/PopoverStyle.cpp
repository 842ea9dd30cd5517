#include "PopoverStyle.h"

#include "records/ThemeManager.h"
#include "ui/Palette.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>

namespace PopoverStyle {

namespace {

// Follows the theme by itself, so every divider of the popover stays right after a theme change.
class Divider : public QWidget
{
public:
    Divider(ThemeManager& themes, QWidget* parent)
        : QWidget(parent)
        , m_color(Palette::forTheme(themes.currentTheme()).divider)
    {
        setFixedHeight(1);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        followTheme(themes, this, [this](const Palette& p) {
            m_color = p.divider;
            update();
        });
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), m_color);
    }

private:
    QColor m_color;
};

} // namespace

QColor background(AppTheme theme)
{
    return theme == AppTheme::light ? QColor::fromRgbF(0.98f, 0.98f, 1.0f) : QColor::fromRgbF(0.06f, 0.07f, 0.10f);
}

QColor foreground(AppTheme theme)
{
    return theme == AppTheme::light ? QColor(Qt::black) : QColor(Qt::white);
}

QLabel* label(const QString& text, const QFont& font, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setFont(font);
    l->setTextFormat(Qt::PlainText);
    return l;
}

QLabel* spacedLabel(const QFont& font, QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setFont(font);
    l->setTextFormat(Qt::RichText);
    l->setWordWrap(true);
    l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    return l;
}

void setSpacedText(QLabel* label, const QString& text, double lineSpacing)
{
    // Rich text takes the spacing as a share of the font's line height.
    const double line = QFontMetricsF(label->font()).lineSpacing();
    const int percent = qRound(100 * (line + lineSpacing) / line);
    label->setText(QStringLiteral("<div align=\"center\" style=\"line-height: %1%;\">%2</div>")
                       .arg(percent)
                       .arg(text.toHtmlEscaped()));
}

QPixmap logo()
{
    // Drawn from the program's vector logo, large enough to stay sharp at the welcome card's 48 points
    // on a screen of twice the density and more.
    QSvgRenderer svg(QStringLiteral(":/logo.svg"));
    if (!svg.isValid())
        return {};
    QImage image(256, 256, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    svg.render(&painter);
    painter.end();
    return QPixmap::fromImage(image);
}

QWidget* divider(ThemeManager& themes, QWidget* parent)
{
    return new Divider(themes, parent);
}

} // namespace PopoverStyle
