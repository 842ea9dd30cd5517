#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

class QVBoxLayout;

// Short texts as chips, three to a row in list order; every row but the last holds three. Row
// membership depends only on an item's position, never on its width: a row too narrow for its chips
// cuts the long ones (each chip elides its own text). No items take no height.
class FlowLayout : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kPerRow = 3;
    static constexpr int kSpacing = 6;

    using Content = std::function<QWidget*(const QString& item)>;

    FlowLayout(const QStringList& items, Content content, QWidget* parent = nullptr);

    QStringList items() const { return m_items; }
    void setItems(const QStringList& items);
    // The chips of each row, for tests and accessibility.
    QList<QList<QWidget*>> rows() const { return m_rows; }

private:
    void rebuild();

    QStringList m_items;
    Content m_content;
    QVBoxLayout* m_column;
    QList<QList<QWidget*>> m_rows;
};
