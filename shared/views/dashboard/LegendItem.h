#pragma once

#include <QWidget>

// A colour legend line: a dot, the label in the secondary colour and the value at the trailing edge.
class LegendItem : public QWidget
{
    Q_OBJECT
public:
    LegendItem(const QColor& color, const QString& label, const QString& value, QWidget* parent = nullptr);

    void setValue(const QString& value);
    QString value() const { return m_value; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
    QString m_label;
    QString m_value;
};
