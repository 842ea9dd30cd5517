#include "ProcessRow.h"

#include "PageStyle.h"
#include "records/ThemeManager.h"
#include "ui/Fonts.h"
#include "ui/SymbolIcon.h"

#include <QPainter>
#include <QToolButton>

namespace {

constexpr int kPadV = 3;
constexpr int kIcon = 16;
constexpr int kSpacing = 8;
constexpr int kButton = 24; // a target a pointer can hit
constexpr int kButtonTrailing = 6;

QFont nameFont()
{
    return Fonts::system(12, QFont::Medium);
}

QFont valueFont()
{
    return Fonts::monospaced(11, QFont::DemiBold);
}

} // namespace

ProcessRow::ProcessRow(const QString& icon, const QPixmap& image, const QString& name, const QString& value,
    const QColor& color, bool isSuspended, std::function<void()> onToggleSuspend, QWidget* parent)
    : QWidget(parent)
    , m_icon(icon)
    , m_image(image)
    , m_name(name)
    , m_value(value)
    , m_color(color)
    , m_suspended(isSuspended)
    , m_onToggle(std::move(onToggleSuspend))
{
    setAccessibleName(name);
    // "FROZEN", shares up to 999.9% and the first figure in the same room, so a button stays put.
    const QFontMetricsF metrics(valueFont());
    m_valueColumn = std::max({metrics.horizontalAdvance(QStringLiteral("FROZEN")),
        metrics.horizontalAdvance(QStringLiteral("888.8%")), metrics.horizontalAdvance(value)});
    if (m_onToggle) {
        m_button = new QToolButton(this);
        m_button->setAutoRaise(true);
        m_button->setFocusPolicy(Qt::StrongFocus);
        m_button->setFixedSize(kButton, kButton);
        connect(m_button, &QToolButton::clicked, this, [this] {
            if (m_onToggle)
                m_onToggle();
        });
        refreshButton();
        followTheme(ThemeManager::shared(), this, [this](const Palette&) { refreshButton(); });
    }
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ProcessRow::setProcess(const QString& name, const QString& value)
{
    if (name == m_name && value == m_value)
        return;
    m_name = name;
    m_value = value;
    setAccessibleName(name);
    // The column only widens, so the button stays put while the figure changes.
    if (const double needed = QFontMetricsF(valueFont()).horizontalAdvance(value); needed > m_valueColumn) {
        m_valueColumn = needed;
        placeButton();
    }
    update();
}

void ProcessRow::setSuspended(bool suspended)
{
    if (suspended == m_suspended)
        return;
    m_suspended = suspended;
    refreshButton();
    update();
}

QString ProcessRow::valueText() const
{
    return m_suspended ? QStringLiteral("FROZEN") : m_value;
}

QColor ProcessRow::nameColor() const
{
    const Palette palette = Palette::current();
    return m_suspended ? palette.blue : palette.text;
}

QColor ProcessRow::valueColor() const
{
    const Palette palette = Palette::current();
    return m_suspended ? palette.cyan : withOpacity(palette.text, 0.8);
}

QString ProcessRow::toggleSymbol() const
{
    if (!m_button)
        return {};
    return m_suspended ? QStringLiteral("play.fill") : QStringLiteral("snowflake");
}

void ProcessRow::refreshButton()
{
    if (!m_button)
        return;
    const Palette palette = Palette::current();
    const QColor tint = m_suspended ? palette.green : palette.cyan;
    m_button->setIcon(QIcon(SymbolIcon::pixmap(toggleSymbol(), 12, tint, devicePixelRatioF())));
    m_button->setToolTip(m_suspended ? tr("Resume Process") : tr("Freeze Process"));
    m_button->setAccessibleName(m_button->toolTip());
}

double ProcessRow::valueColumn() const
{
    // Without a button nothing needs to stay put: the name takes what the figure leaves.
    return m_button ? m_valueColumn : QFontMetricsF(valueFont()).horizontalAdvance(valueText());
}

QRectF ProcessRow::nameRect() const
{
    double right = width() - valueColumn() - kSpacing;
    if (m_button)
        right -= kButton + kButtonTrailing + kSpacing;
    const double left = kIcon + kSpacing;
    return QRectF(left, 0, std::max(0.0, right - left), height());
}

QString ProcessRow::drawnName() const
{
    return QFontMetricsF(nameFont()).elidedText(m_name, Qt::ElideRight, nameRect().width());
}

QSize ProcessRow::sizeHint() const
{
    const int line = std::max({kIcon, QFontMetrics(nameFont()).height(), m_button ? kButton : 0});
    return {200, line + 2 * kPadV};
}

QSize ProcessRow::minimumSizeHint() const
{
    return {kIcon + 40, sizeHint().height()};
}

void ProcessRow::resizeEvent(QResizeEvent*)
{
    placeButton();
}

void ProcessRow::placeButton()
{
    if (m_button) {
        const int x = static_cast<int>(width() - m_valueColumn - kSpacing - kButtonTrailing - kButton);
        m_button->move(x, (height() - kButton) / 2);
    }
}

void ProcessRow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF iconRect(0, (height() - kIcon) / 2.0, kIcon, kIcon);
    if (!m_image.isNull()) {
        const QPixmap scaled
            = m_image.scaled(QSize(kIcon, kIcon) * devicePixelRatioF(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        const QSizeF logical = QSizeF(scaled.size()) / devicePixelRatioF();
        p.drawPixmap(QRectF(iconRect.center() - QPointF(logical.width() / 2, logical.height() / 2), logical), scaled,
            QRectF(scaled.rect()));
    } else {
        SymbolIcon::paint(p, iconRect, m_icon, m_color, 13);
    }
    p.setFont(nameFont());
    p.setPen(nameColor());
    p.drawText(nameRect(), Qt::AlignLeft | Qt::AlignVCenter, drawnName());
    p.setFont(valueFont());
    p.setPen(valueColor());
    p.drawText(QRectF(0, 0, width(), height()), Qt::AlignRight | Qt::AlignVCenter, valueText());
}
