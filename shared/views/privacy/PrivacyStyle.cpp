#include "PrivacyStyle.h"

#include "records/ThemeManager.h"
#include "ui/CardPainter.h"
#include "ui/SymbolIcon.h"

#include <QBoxLayout>
#include <QPainter>

QColor resolveColor(ColorRole role, const Palette& p, double opacity)
{
    QColor c;
    switch (role) {
    case ColorRole::text:
        c = p.text;
        break;
    case ColorRole::secondary:
        c = p.secondaryText;
        break;
    case ColorRole::shade:
        c = p.light ? QColor(Qt::black) : QColor(Qt::white);
        break;
    case ColorRole::black:
        // The dark command boxes would hide their text on a light page; there they are a faint tint.
        c = QColor(Qt::black);
        if (p.light)
            opacity *= 0.15;
        break;
    case ColorRole::red:
        c = p.red;
        break;
    case ColorRole::orange:
        c = p.orange;
        break;
    case ColorRole::green:
        c = p.green;
        break;
    case ColorRole::cyan:
        c = p.cyan;
        break;
    case ColorRole::blue:
        c = p.blue;
        break;
    case ColorRole::purple:
        c = p.purple;
        break;
    case ColorRole::grey:
        c = QColor(142, 142, 147);
        break;
    }
    return withOpacity(c, opacity);
}

ThemedLabel::ThemedLabel(const QString& text, const QFont& font, ColorRole role, QWidget* parent)
    : QLabel(text, parent)
    , m_role(role)
{
    setFont(font);
    setTextFormat(Qt::PlainText);
    apply();
    followTheme(ThemeManager::shared(), this, [this](const Palette&) { apply(); });
}

void ThemedLabel::setRole(ColorRole role, double opacity)
{
    m_role = role;
    m_opacity = opacity;
    apply();
}

void ThemedLabel::apply()
{
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, resolveColor(m_role, Palette::current(), m_opacity));
    setPalette(pal);
}

RoundedBox::RoundedBox(Qt::Orientation orientation, int padding, int spacing, double radius, QWidget* parent)
    : QWidget(parent)
    , m_box(new QBoxLayout(orientation == Qt::Vertical ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight, this))
    , m_radius(radius)
{
    m_box->setContentsMargins(padding, padding, padding, padding);
    m_box->setSpacing(spacing);
    followTheme(ThemeManager::shared(), this, [this](const Palette&) { update(); });
}

void RoundedBox::setFill(ColorRole role, double opacity)
{
    m_fill = role;
    m_fillOpacity = opacity;
    update();
}

void RoundedBox::setStroke(ColorRole role, double opacity)
{
    m_stroke = role;
    m_strokeOpacity = opacity;
    update();
}

void RoundedBox::paintEvent(QPaintEvent*)
{
    if (m_fillOpacity <= 0 && m_strokeOpacity <= 0)
        return;
    QPainter painter(this);
    const Palette p = Palette::current();
    CardPainter::paintRounded(painter, QRectF(rect()), m_radius, resolveColor(m_fill, p, m_fillOpacity),
        m_strokeOpacity > 0 ? resolveColor(m_stroke, p, m_strokeOpacity) : QColor());
}

PrivacyCard::PrivacyCard(int spacing, QWidget* parent)
    : RoundedBox(Qt::Vertical, 16, spacing, 12, parent)
{
    setFill(ColorRole::shade, 0.03);
    setStroke(ColorRole::shade, 0.06);
}

PrivacyButton::PrivacyButton(const QString& text, const QString& symbol, const QFont& font, QWidget* parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
{
    setText(text);
    setFont(font);
    setAccessibleName(text);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    followTheme(ThemeManager::shared(), this, [this](const Palette&) { update(); });
}

void PrivacyButton::setColors(
    ColorRole foreground, ColorRole background, double backgroundOpacity, double foregroundOpacity)
{
    m_fg = foreground;
    m_bg = background;
    m_bgOpacity = backgroundOpacity;
    m_fgOpacity = foregroundOpacity;
    update();
}

void PrivacyButton::setLabel(const QString& text, const QString& symbol)
{
    setText(text);
    m_symbol = symbol;
    setAccessibleName(text);
    updateGeometry();
    update();
}

void PrivacyButton::setPadding(int horizontal, int vertical)
{
    m_padH = horizontal;
    m_padV = vertical;
    updateGeometry();
}

QSize PrivacyButton::sizeHint() const
{
    const QFontMetrics fm(font());
    const int icon = m_symbol.isEmpty() ? 0 : fm.height() + 4;
    return {fm.horizontalAdvance(text()) + icon + 2 * m_padH, fm.height() + 2 * m_padV};
}

void PrivacyButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Palette p = Palette::current();
    CardPainter::paintRounded(painter, QRectF(rect()), m_radius, resolveColor(m_bg, p, m_bgOpacity));
    const QColor fg = resolveColor(m_fg, p, m_fgOpacity);
    const QFontMetrics fm(font());
    const int iconSize = m_symbol.isEmpty() ? 0 : fm.height();
    const int contentWidth = fm.horizontalAdvance(text()) + (iconSize ? iconSize + 4 : 0);
    double x = (width() - contentWidth) / 2.0;
    if (iconSize) {
        SymbolIcon::paint(painter, QRectF(x, (height() - iconSize) / 2.0, iconSize, iconSize), m_symbol, fg, iconSize);
        x += iconSize + 4;
    }
    painter.setPen(fg);
    painter.setFont(font());
    painter.drawText(QRectF(x, 0, width() - x, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    if (hasFocus()) {
        painter.setPen(QPen(withOpacity(p.accent, 0.6), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), m_radius, m_radius);
    }
}

SymbolLabel::SymbolLabel(const QString& symbol, ColorRole role, int size, int boxWidth, QWidget* parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_role(role)
    , m_size(size)
    , m_boxWidth(boxWidth > 0 ? boxWidth : size)
{
    setFixedSize(sizeHint());
    followTheme(ThemeManager::shared(), this, [this](const Palette&) { update(); });
}

void SymbolLabel::setSymbol(const QString& symbol, ColorRole role)
{
    m_symbol = symbol;
    m_role = role;
    update();
}

QSize SymbolLabel::sizeHint() const
{
    return {m_boxWidth, m_size + 2};
}

void SymbolLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    SymbolIcon::paint(painter, QRectF(rect()), m_symbol, resolveColor(m_role, Palette::current()), m_size);
}

namespace {

class Divider : public QWidget
{
public:
    Divider(double opacity, QWidget* parent)
        : QWidget(parent)
        , m_opacity(opacity)
    {
        setFixedHeight(1);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), resolveColor(ColorRole::shade, Palette::current(), m_opacity));
    }

private:
    double m_opacity;
};

} // namespace

QWidget* makeDivider(double opacity, QWidget* parent)
{
    return new Divider(opacity, parent);
}

QString shellQuoted(const QString& text)
{
    QString out = text;
    out.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + out + QLatin1Char('\'');
}
