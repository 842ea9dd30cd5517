#pragma once

#include <QWidget>

// A labelled sensor line: a small blue title, the subtitle with the value at the trailing edge, and a
// faint divider under them.
class SensorRow : public QWidget
{
    Q_OBJECT
public:
    SensorRow(const QString& title, const QString& subtitle, const QString& value, QWidget* parent = nullptr);

    void setValue(const QString& value);
    QString title() const { return m_title; }
    QString subtitle() const { return m_subtitle; }
    QString value() const { return m_value; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_title;
    QString m_subtitle;
    QString m_value;
};
