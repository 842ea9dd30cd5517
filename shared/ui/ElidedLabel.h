#pragma once

#include "ui/ThemeColor.h"

#include <QColor>
#include <QWidget>

// Text on one or more lines that ends in "…" where it does not fit, with the full text as its tool tip
// when cut. Word-wrapped on up to `maxLines` lines; the last one carries the ellipsis.
class ElidedLabel : public QWidget
{
    Q_OBJECT
public:
    explicit ElidedLabel(const QString& text = {}, int maxLines = 1, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString& text);
    void setColor(const QColor& color);
    // The colour the text is drawn in: the theme colour or the one set, else the current theme's text colour.
    QColor color() const;
    // A colour of the current theme, looked up each time the text is drawn; redrawn on a theme change.
    void setThemeColor(ThemeColor color);
    void setAlignment(Qt::Alignment alignment);
    // The lines as they are drawn at `width` with the widget's font.
    QStringList lines(int width) const;
    bool isElided() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void relayout();

    QString m_text;
    int m_maxLines;
    QColor m_color;
    ThemeColor m_themeColor;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
};
