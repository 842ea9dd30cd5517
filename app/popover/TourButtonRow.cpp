#include "TourButtonRow.h"

#include "ui/Fonts.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace {

QString rgba(const QColor& c)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alphaF());
}

QPushButton* button(const QString& text, const QFont& font, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setFont(font);
    b->setCursor(Qt::PointingHandCursor);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

} // namespace

TourButtonRow::TourButtonRow(const Palette& palette, QWidget* parent)
    : QWidget(parent)
    , m_back(button(tr("Back"), Fonts::system(11, QFont::DemiBold), this))
    , m_skip(button(tr("Skip"), Fonts::system(11), this))
    , m_next(button(tr("Next"), Fonts::system(11, QFont::Bold), this))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(m_back);
    row->addWidget(m_skip);
    row->addStretch(1);
    row->addWidget(m_next);
    applyPalette(palette);
}

void TourButtonRow::applyPalette(const Palette& palette)
{
    const QColor text = palette.text;
    const QString focus = QStringLiteral("QPushButton:focus { outline: none; border: 1px dotted %1; }");
    m_back->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; background: %2; border: none; border-radius: 6px;"
                       " padding: 5px 12px; }"
                       "QPushButton:disabled { color: %3; }")
            .arg(rgba(text), rgba(withOpacity(palette.secondaryText, 0.12)), rgba(withOpacity(text, 0.35)))
        + focus.arg(rgba(text)));
    m_skip->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; background: transparent; border: none; padding: 0px; }")
            .arg(rgba(palette.secondaryText))
        + focus.arg(rgba(palette.secondaryText)));
    // White on blue, in the theme's own text colour on the light theme.
    const QColor onBlue = palette.light ? palette.text : QColor(Qt::white);
    m_next->setStyleSheet(QStringLiteral("QPushButton { color: %1; background: %2; border: none; border-radius: 6px;"
                                         " padding: 5px 12px; }")
                              .arg(rgba(onBlue), rgba(palette.blue))
        + focus.arg(rgba(onBlue)));
}
