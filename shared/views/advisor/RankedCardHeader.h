#pragma once

#include "ui/Palette.h"

#include <QWidget>

class QLabel;

// The always-visible head of a recommendation card: the rank in a tinted circle, the name with an
// optional badge, one line of figures and a chevron. A click anywhere on it, or Space or Return when it
// has focus, asks the card to open or close.
class RankedCardHeader : public QWidget
{
    Q_OBJECT
public:
    RankedCardHeader(
        long long rank, const QString& name, const QString& badge, const QString& subtitle, QWidget* parent = nullptr);

    void setExpanded(bool expanded);
    QString badgeText() const { return m_badge; }
    QColor rankColor() const { return m_rankColor; }

signals:
    void toggled();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    Palette m_palette;
    QColor m_rankColor;
    QString m_badge;
    QLabel* m_chevron = nullptr;
};

// The "#1" circle: 36 points wide, the rank colour at 15 % under the number in the rank colour.
class RankCircle : public QWidget
{
    Q_OBJECT
public:
    RankCircle(long long rank, const QColor& color, QWidget* parent = nullptr);
    QSize sizeHint() const override { return {36, 36}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QColor m_color;
};

// A small capsule of text in a colour, on the same colour at 15 %.
class BadgePill : public QWidget
{
    Q_OBJECT
public:
    BadgePill(const QString& text, const QColor& color, QWidget* parent = nullptr);
    QString text() const { return m_text; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QColor m_color;
};
