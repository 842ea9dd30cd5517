#pragma once

#include <QColor>
#include <QWidget>

// One named symbol in a square of fixed size, tinted.
class SymbolView : public QWidget
{
    Q_OBJECT
public:
    SymbolView(const QString& symbol, const QColor& color, int size, QWidget* parent = nullptr);

    QString symbol() const { return m_symbol; }
    QColor color() const { return m_color; }
    void setSymbol(const QString& symbol, const QColor& color);
    QSize sizeHint() const override { return {m_size, m_size}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_symbol;
    QColor m_color;
    int m_size;
};
