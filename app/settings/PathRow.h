#pragma once

#include <QWidget>

// One scanned folder as a read-only row: the path in a fixed-width font and a lock at the trailing edge.
class PathRow : public QWidget
{
    Q_OBJECT
public:
    explicit PathRow(const QString& path, QWidget* parent = nullptr);

    QString path() const { return m_path; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_path;
};
