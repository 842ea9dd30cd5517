#include "TourButtonRow.h"

#include "ui/Buttons.h"
#include "ui/Fonts.h"
#include "ui/StyleSheets.h"

#include <QHBoxLayout>
#include <QPushButton>

using StyleSheets::rgba;

TourButtonRow::TourButtonRow(const Palette& palette, QWidget* parent)
    : QWidget(parent)
    , m_back(Buttons::plain(tr("Back"), Fonts::system(11, QFont::DemiBold), this))
    , m_skip(Buttons::plain(tr("Skip"), Fonts::system(11), this))
    , m_next(Buttons::plain(tr("Next"), Fonts::system(11, QFont::Bold), this))
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
    const QColor onBlue = palette.onTint();
    m_next->setStyleSheet(QStringLiteral("QPushButton { color: %1; background: %2; border: none; border-radius: 6px;"
                                         " padding: 5px 12px; }")
                              .arg(rgba(onBlue), rgba(palette.blue))
        + focus.arg(rgba(onBlue)));
}
