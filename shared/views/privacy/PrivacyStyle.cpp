#include "PrivacyStyle.h"

#include "PrivacyServices.h"

#include "ui/CardPainter.h"
#include "ui/Fonts.h"
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
    : PaletteLabel(text, font, roleColor(role), parent)
    , m_role(role)
{
}

void ThemedLabel::setRole(ColorRole role, double opacity)
{
    m_role = role;
    setColor(roleColor(role, opacity));
}

ThemeColor roleColor(ColorRole role, double opacity)
{
    return [role, opacity](const Palette& palette) { return resolveColor(role, palette, opacity); };
}

RoundedBox::RoundedBox(Qt::Orientation orientation, int padding, int spacing, double radius, QWidget* parent)
    : RoundedFill(QColor(Qt::transparent), radius, parent)
    , m_box(new QBoxLayout(orientation == Qt::Vertical ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight, this))
{
    m_box->setContentsMargins(padding, padding, padding, padding);
    m_box->setSpacing(spacing);
}

void RoundedBox::setStroke(ColorRole role, double opacity)
{
    RoundedFill::setStroke(opacity > 0 ? roleColor(role, opacity) : fixedColor(QColor()));
}

PrivacyCard::PrivacyCard(int spacing, QWidget* parent)
    : RoundedBox(Qt::Vertical, 16, spacing, 12, parent)
{
    setFill(ColorRole::shade, 0.03);
    setStroke(ColorRole::shade, 0.06);
}

QBoxLayout* fillWithCard(QWidget* page, int spacing)
{
    auto* outer = new QVBoxLayout(page);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* card = new PrivacyCard(spacing);
    outer->addWidget(card);
    return card->box();
}

ThemedLabel* cardTitle(const QString& text)
{
    return new ThemedLabel(text, Fonts::system(13, QFont::DemiBold), ColorRole::text);
}

PillButton* privacyButton(const QString& text, const QString& symbol, const QFont& font, QWidget* parent)
{
    auto* button = new PillButton(text, PillButton::Variant::centred, parent);
    button->setFont(font);
    button->setSymbol(symbol);
    button->setPadding(12, 6);
    button->setCornerRadius(6);
    button->setColors(roleColor(ColorRole::text), roleColor(ColorRole::blue));
    return button;
}

PillButton* linkButton(const QString& text, const QFont& font, ColorRole role, const QString& symbol)
{
    auto* button = privacyButton(text, symbol, font);
    button->setColors(roleColor(role), roleColor(ColorRole::shade, 0));
    button->setPadding(0, 0);
    return button;
}

CopyButton* commandCopyButton(std::function<QString()> command, const PrivacyServices& services)
{
    auto* copy = new CopyButton(QObject::tr("Copy"), std::move(command), *services.desktop, *services.clock);
    copy->setCopiedText(QObject::tr("Copied"));
    copy->setFont(Fonts::system(10, QFont::Bold));
    copy->setColors(Qt::white, Palette::current().blue);
    copy->setPadding(8, 4);
    copy->setCornerRadius(4);
    return copy;
}

SymbolLabel::SymbolLabel(const QString& symbol, ColorRole role, int size, int boxWidth, QWidget* parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_role(role)
    , m_size(size)
    , m_boxWidth(boxWidth > 0 ? boxWidth : size)
{
    setFixedSize(sizeHint());
    repaintOnThemeChange(this);
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
