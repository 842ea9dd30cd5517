#pragma once

#include <QWidget>

// A round sensor tile, 54 x 54: a blue ring with the title over the value.
class SensorCircle : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kSide = 54;

    SensorCircle(const QString& title, const QString& value, QWidget* parent = nullptr);

    void setValue(const QString& value);
    QString title() const { return m_title; }
    QString value() const { return m_value; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_title;
    QString m_value;
};
