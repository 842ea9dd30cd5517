#pragma once

#include <QList>
#include <QWidget>

class DigestViewModel;
class QVBoxLayout;
class ToneLabel;
struct WeeklyDigest;

// The stored weekly digests, one card per week in the digest model's order (newest first).
class WeeklyDigestView : public QWidget
{
    Q_OBJECT
public:
    explicit WeeklyDigestView(DigestViewModel& digestVM, QWidget* parent = nullptr);

    // The six lines of one digest's card.
    static QStringList cardLines(const WeeklyDigest& digest);

    int cardCount() const { return static_cast<int>(m_cards.size()); }
    bool isEmptyTextShown() const;
    // The lines of every card, in order.
    QList<QStringList> shownLines() const;

private:
    void rebuild();

    DigestViewModel& m_digestVM;
    ToneLabel* m_empty = nullptr;
    QVBoxLayout* m_cardColumn = nullptr;
    QList<QWidget*> m_cards;
    QList<QStringList> m_lines;
};
