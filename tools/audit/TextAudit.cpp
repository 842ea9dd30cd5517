#include "TextAudit.h"

#include "ui/Contrast.h"
#include "ui/ElidedLabel.h"
#include "ui/PillButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGraphicsOpacityEffect>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTextDocument>

#include <algorithm>
#include <cmath>

namespace TextAudit {

namespace {

// Qt's own buttons, drawn by the style from their palette; our painted subclasses draw what they like.
bool isPlainQtButton(const QWidget& widget)
{
    const QByteArray name = widget.metaObject()->className();
    return name == "QPushButton" || name == "QCheckBox" || name == "QRadioButton";
}

// A button's text as it is drawn: "&x" underlines x, "&&" is one "&".
QString mnemonicFree(QString text)
{
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

QString shownText(const QWidget& widget)
{
    if (auto* label = qobject_cast<const QLabel*>(&widget))
        return label->text();
    if (auto* elided = qobject_cast<const ElidedLabel*>(&widget))
        return elided->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(&widget))
        return mnemonicFree(button->text());
    if (auto* edit = qobject_cast<const QLineEdit*>(&widget))
        return edit->text().isEmpty() ? edit->placeholderText() : edit->text();
    if (auto* combo = qobject_cast<const QComboBox*>(&widget))
        return combo->currentText();
    return {};
}

bool isRichLabel(const QLabel& label)
{
    return label.textFormat() == Qt::RichText || label.textFormat() == Qt::MarkdownText
        || (label.textFormat() == Qt::AutoText && Qt::mightBeRichText(label.text()));
}

QStyleOptionButton buttonOption(const QAbstractButton& button)
{
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    option.icon = button.icon();
    option.iconSize = button.iconSize();
    if (auto* push = qobject_cast<const QPushButton*>(&button); push && push->isFlat())
        option.features |= QStyleOptionButton::Flat;
    return option;
}

} // namespace

QRect textRect(const QWidget& widget)
{
    if (auto* label = qobject_cast<const QLabel*>(&widget)) {
        const int m = label->margin();
        return label->contentsRect().adjusted(m, m, -m, -m);
    }
    if (auto* button = qobject_cast<const QAbstractButton*>(&widget); button && isPlainQtButton(widget)) {
        const QStyleOptionButton option = buttonOption(*button);
        const QStyle::SubElement element = qobject_cast<const QCheckBox*>(button) ? QStyle::SE_CheckBoxContents
            : qobject_cast<const QRadioButton*>(button)                           ? QStyle::SE_RadioButtonContents
                                                                                  : QStyle::SE_PushButtonContents;
        return widget.style()->subElementRect(element, &option, &widget);
    }
    if (auto* combo = qobject_cast<const QComboBox*>(&widget)) {
        QStyleOptionComboBox option;
        option.initFrom(combo);
        option.editable = combo->isEditable();
        option.frame = combo->hasFrame();
        option.currentText = combo->currentText();
        return widget.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &widget);
    }
    return widget.rect();
}

namespace {

QList<Problem> labelFit(const QLabel& label)
{
    QList<Problem> problems;
    const QRect room = textRect(label).adjusted(std::max(0, label.indent()), 0, 0, 0);
    if (label.wordWrap()) {
        const int needed = label.heightForWidth(label.width());
        if (needed > label.height() + 1)
            problems.append({QStringLiteral("text-cut"),
                QStringLiteral("wrapped text needs %1 px of height, has %2").arg(needed).arg(label.height())});
        QTextDocument doc;
        doc.setDefaultFont(label.font());
        doc.setDocumentMargin(0);
        isRichLabel(label) ? doc.setHtml(label.text()) : doc.setPlainText(label.text());
        doc.setTextWidth(room.width());
        const int word = static_cast<int>(std::ceil(doc.idealWidth()));
        if (word > room.width() + 1)
            problems.append({QStringLiteral("text-cut"),
                QStringLiteral("an unbreakable word needs %1 px, has %2").arg(word).arg(room.width())});
        return problems;
    }
    QSize needed;
    if (isRichLabel(label)) {
        QTextDocument doc;
        doc.setDefaultFont(label.font());
        doc.setDocumentMargin(0);
        doc.setHtml(label.text());
        needed = QSize(static_cast<int>(std::ceil(doc.idealWidth())), static_cast<int>(doc.size().height()));
    } else {
        // As QLabel measures its own size hint.
        needed = QFontMetrics(label.font())
                     .boundingRect(QRect(0, 0, 100000, 100000), Qt::AlignLeft | Qt::TextExpandTabs, label.text())
                     .size();
    }
    if (needed.width() > room.width())
        problems.append({QStringLiteral("text-cut"),
            QStringLiteral("text needs %1 px, has %2 and is not elided").arg(needed.width()).arg(room.width())});
    if (needed.height() > room.height() + 2)
        problems.append({QStringLiteral("text-cut"),
            QStringLiteral("text needs %1 px of height, has %2").arg(needed.height()).arg(room.height())});
    return problems;
}

QList<Problem> elidedFit(const ElidedLabel& label)
{
    QList<Problem> problems;
    const QStringList lines = label.lines(label.width());
    QString left = lines.join(QString());
    left.remove(QStringLiteral("…"));
    if (label.text().trimmed().size() > 3 && left.trimmed().size() < 3)
        problems.append({QStringLiteral("text-cut"),
            QStringLiteral("elided to \"%1\" in %2 px").arg(lines.join(QLatin1Char(' '))).arg(label.width())});
    const int needed = QFontMetrics(label.font()).lineSpacing() * static_cast<int>(lines.size());
    if (needed > label.height() + 2)
        problems.append({QStringLiteral("text-cut"),
            QStringLiteral("text needs %1 px of height, has %2").arg(needed).arg(label.height())});
    return problems;
}

QList<Problem> widthFit(int needed, int room)
{
    if (needed <= room)
        return {};
    return {{QStringLiteral("text-cut"), QStringLiteral("text needs %1 px, has %2").arg(needed).arg(room)}};
}

// The colour the text is drawn in, before it is laid over the background.
QColor textColor(const QWidget& widget)
{
    if (auto* elided = qobject_cast<const ElidedLabel*>(&widget))
        return elided->color();
    if (auto* pill = qobject_cast<const PillButton*>(&widget))
        return pill->foreground();
    const QPalette::ColorGroup group = !widget.isEnabled() ? QPalette::Disabled
        : widget.isActiveWindow()                          ? QPalette::Active
                                                           : QPalette::Inactive;
    if (auto* edit = qobject_cast<const QLineEdit*>(&widget))
        return widget.palette().color(group, edit->text().isEmpty() ? QPalette::PlaceholderText : QPalette::Text);
    if (auto* combo = qobject_cast<const QComboBox*>(&widget))
        return widget.palette().color(group, combo->isEditable() ? QPalette::Text : QPalette::ButtonText);
    return widget.palette().color(group, widget.foregroundRole());
}

// The most frequent colour of `rect` (image pixels), where a flat background wins over the text's
// antialiased edges.
QColor dominantColor(const QImage& image, const QRect& rect)
{
    QHash<QRgb, int> counts;
    const int step = rect.width() * rect.height() > 40000 ? 2 : 1;
    for (int y = rect.top(); y <= rect.bottom(); y += step) {
        const QRgb* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = rect.left(); x <= rect.right(); x += step)
            ++counts[row[x] | 0xff000000u];
    }
    QRgb best = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            best = it.key();
        }
    }
    return QColor::fromRgb(best);
}

// Colour emoji are drawn in their own colours, whatever the pen.
bool isEmojiOnly(const QString& text)
{
    const QList<uint> codes = text.toUcs4();
    bool any = false;
    for (qsizetype i = 0; i < codes.size(); ++i) {
        const uint c = codes[i];
        if (QChar::isSpace(c) || c == 0xFE0F || c == 0x200D)
            continue;
        const bool emoji = c >= 0x1F000 || (i + 1 < codes.size() && codes[i + 1] == 0xFE0F);
        if (!emoji)
            return false;
        any = true;
    }
    return any;
}

} // namespace

bool showsText(const QWidget& widget)
{
    if (auto* label = qobject_cast<const QLabel*>(&widget))
        return !label->text().trimmed().isEmpty();
    if (qobject_cast<const ElidedLabel*>(&widget) || qobject_cast<const PillButton*>(&widget)
        || qobject_cast<const QLineEdit*>(&widget) || qobject_cast<const QComboBox*>(&widget)
        || isPlainQtButton(widget))
        return !shownText(widget).trimmed().isEmpty();
    return false;
}

QString excerpt(const QWidget& widget)
{
    QString text = shownText(widget).simplified();
    if (auto* label = qobject_cast<const QLabel*>(&widget); label && isRichLabel(*label)) {
        QTextDocument doc;
        doc.setHtml(text);
        text = doc.toPlainText().simplified();
    }
    return text.size() > 32 ? text.left(31) + QStringLiteral("…") : text;
}

QList<Problem> fit(const QWidget& widget)
{
    if (auto* label = qobject_cast<const QLabel*>(&widget))
        return labelFit(*label);
    if (auto* elided = qobject_cast<const ElidedLabel*>(&widget))
        return elidedFit(*elided);
    if (auto* pill = qobject_cast<const PillButton*>(&widget))
        return widthFit(pill->sizeHint().width(), pill->width());
    if (qobject_cast<const QLineEdit*>(&widget))
        return {}; // scrolls its text
    const QFontMetrics fm(widget.font());
    int needed = fm.horizontalAdvance(shownText(widget));
    if (auto* button = qobject_cast<const QAbstractButton*>(&widget); button && !button->icon().isNull())
        needed += button->iconSize().width() + 4;
    return widthFit(needed, textRect(widget).width());
}

std::optional<Problem> contrast(const QWidget& widget, const QImage& image, const QRect& area)
{
    // Disabled controls may fade (WCAG leaves inactive components out), and emoji bring their own colours.
    if (!widget.isEnabled() || isEmojiOnly(shownText(widget)))
        return std::nullopt;
    QColor text = textColor(widget);
    // An ancestor faded by an opacity effect fades the text with it.
    for (const QWidget* w = &widget; w; w = w->parentWidget()) {
        if (auto* effect = qobject_cast<QGraphicsOpacityEffect*>(w->graphicsEffect()); effect && effect->isEnabled())
            text.setAlphaF(static_cast<float>(text.alphaF() * effect->opacity()));
    }
    if (!text.isValid() || text.alpha() == 0)
        return std::nullopt;
    const qreal dpr = image.devicePixelRatio();
    const QRect pixels = QRect(QPoint(static_cast<int>(area.left() * dpr), static_cast<int>(area.top() * dpr)),
        QSize(static_cast<int>(area.width() * dpr), static_cast<int>(area.height() * dpr)))
                             .intersected(image.rect());
    if (pixels.width() * pixels.height() < 24)
        return std::nullopt;
    const QColor background = dominantColor(image, pixels);
    const QColor drawn = Contrast::over(text, background);
    const double ratio = Contrast::ratio(drawn, background);
    if (ratio >= Contrast::kMinimumTextRatio)
        return std::nullopt;
    return Problem {QStringLiteral("contrast"),
        QStringLiteral("%1 on %2 is %3:1").arg(drawn.name(), background.name(), QString::number(ratio, 'f', 2))};
}

} // namespace TextAudit
