#include "WeeklyDigestView.h"

#include "PageStyle.h"
#include "records/DigestViewModel.h"
#include "ui/Fonts.h"
#include "ui/NumberText.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QVBoxLayout>

using PageStyle::Tone;

WeeklyDigestView::WeeklyDigestView(DigestViewModel& digestVM, QWidget* parent)
    : QWidget(parent)
    , m_digestVM(digestVM)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);
    column->addWidget(new ToneLabel(tr("Weekly Digest"), Fonts::system(16, QFont::Bold), Tone::primary, this));
    m_empty = new ToneLabel(tr("No digests available yet."), Fonts::system(12), Tone::secondary, this);
    column->addWidget(m_empty);
    m_cardColumn = new QVBoxLayout;
    m_cardColumn->setSpacing(12);
    column->addLayout(m_cardColumn);
    column->addStretch();
    repaintOnThemeChange(this);
    connect(&m_digestVM, &DigestViewModel::weeklyDigestsChanged, this, &WeeklyDigestView::rebuild);
    rebuild();
}

namespace {

// The locale's long date without the weekday and with the month abbreviated: "Dec 7, 2026" in English.
QString abbreviatedDate(const QDate& date)
{
    const QLocale locale;
    QString format = locale.dateFormat(QLocale::LongFormat);
    static const QRegularExpression weekday(QStringLiteral("d{4}[,.]?\\s*"));
    format.remove(weekday);
    format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
    return locale.toString(date, format.trimmed());
}

} // namespace

QStringList WeeklyDigestView::cardLines(const WeeklyDigest& d)
{
    const QDate week
        = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(d.weekOf.timeIntervalSince1970() * 1000.0)).date();
    return {tr("Week of %1").arg(abbreviatedDate(week)),
        tr("• Peak Memory Pressure Events: %1").arg(d.peakMemoryPressureEvents),
        tr("• Worst Thermal State: %1")
            .arg(d.worstThermalState.empty() ? NumberText::dash : QString::fromStdString(d.worstThermalState)),
        tr("• Most Used Model: %1 (%2 GB)")
            .arg(QString::fromStdString(d.mostUsedModel), NumberText::numberText("%.1f", d.mostUsedModelAvgGB)),
        tr("• Throttle Events Prevented: %1").arg(d.throttleEventsPrevented),
        tr("• Estimated Hours Saved: %1").arg(NumberText::numberText("%.1f", d.estimatedHoursSaved))};
}

void WeeklyDigestView::rebuild()
{
    // Digests change once a week at most: the cards are made anew rather than updated.
    qDeleteAll(m_cards);
    m_cards.clear();
    m_lines.clear();
    const auto& digests = m_digestVM.weeklyDigests();
    m_empty->setVisible(digests.empty());
    for (const WeeklyDigest& digest : digests) {
        auto* card = PageStyle::panel(0.05, 8, this);
        auto* lines = new QVBoxLayout(card);
        lines->setContentsMargins(16, 16, 16, 16);
        lines->setSpacing(8);
        const QStringList texts = cardLines(digest);
        for (int i = 0; i < texts.size(); ++i)
            lines->addWidget(new ToneLabel(
                texts[i], Fonts::system(i == 0 ? 14 : 12, i == 0 ? QFont::Bold : QFont::Normal), Tone::primary, card));
        m_cardColumn->addWidget(card);
        m_cards << card;
        m_lines << texts;
    }
}

bool WeeklyDigestView::isEmptyTextShown() const
{
    return !m_empty->isHidden();
}

QList<QStringList> WeeklyDigestView::shownLines() const
{
    return m_lines;
}
