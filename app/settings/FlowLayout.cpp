#include "FlowLayout.h"

#include "ui/Layouts.h"

#include <QVBoxLayout>

#include <algorithm>

namespace {

// One row of chips, left to right at their own widths. Where the row is too narrow for them all,
// the short chips keep their widths and the long ones share what is left equally, so one long name
// is cut rather than every chip beside it.
class ChipRowLayout : public QLayout
{
public:
    explicit ChipRowLayout(QWidget* parent)
        : QLayout(parent)
    {
        setContentsMargins(0, 0, 0, 0);
    }
    ~ChipRowLayout() override
    {
        while (QLayoutItem* item = takeAt(0))
            delete item;
    }

    void addItem(QLayoutItem* item) override { m_items.append(item); }
    int count() const override { return static_cast<int>(m_items.size()); }
    QLayoutItem* itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem* takeAt(int index) override
    {
        return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
    }
    Qt::Orientations expandingDirections() const override { return Qt::Horizontal; }

    QSize sizeHint() const override
    {
        return total([](QLayoutItem* i) { return i->sizeHint(); });
    }
    QSize minimumSize() const override
    {
        return total([](QLayoutItem* i) { return i->minimumSize(); });
    }

    void setGeometry(const QRect& rect) override
    {
        QLayout::setGeometry(rect);
        const int n = count();
        QList<int> widths(n);
        QList<int> order(n);
        for (int i = 0; i < n; ++i) {
            widths[i] = m_items[i]->sizeHint().width();
            order[i] = i;
        }
        // Narrowest first: each takes its own width while that is no more than an equal share of the rest.
        std::sort(order.begin(), order.end(), [&](int a, int b) { return widths[a] < widths[b]; });
        int room = rect.width() - spacing() * std::max(0, n - 1);
        for (int k = 0; k < n; ++k) {
            const int share = room / (n - k);
            const int i = order[k];
            widths[i] = std::max(std::min(widths[i], share), m_items[i]->minimumSize().width());
            room -= widths[i];
        }
        int x = rect.left();
        for (int i = 0; i < n; ++i) {
            const int height = std::min(rect.height(), m_items[i]->sizeHint().height());
            m_items[i]->setGeometry(QRect(x, rect.top() + (rect.height() - height) / 2, widths[i], height));
            x += widths[i] + spacing();
        }
    }

private:
    template<class Measure> QSize total(Measure measure) const
    {
        int width = spacing() * std::max(0, count() - 1);
        int height = 0;
        for (QLayoutItem* item : m_items) {
            const QSize size = measure(item);
            width += size.width();
            height = std::max(height, size.height());
        }
        return {width, height};
    }

    QList<QLayoutItem*> m_items;
};

} // namespace

FlowLayout::FlowLayout(const QStringList& items, Content content, QWidget* parent)
    : QWidget(parent)
    , m_content(std::move(content))
    , m_column(new QVBoxLayout(this))
{
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(kSpacing);
    setItems(items);
}

void FlowLayout::setItems(const QStringList& items)
{
    m_items = items;
    rebuild();
}

void FlowLayout::rebuild()
{
    Layouts::clear(m_column);
    m_rows.clear();
    const int n = static_cast<int>(m_items.size());
    const int rowCount = (n + kPerRow - 1) / kPerRow;
    for (int r = 0; r < rowCount; ++r) {
        auto* row = new QWidget(this);
        auto* line = new ChipRowLayout(row);
        line->setSpacing(kSpacing);
        QList<QWidget*> chips;
        for (int p = 0; p < kPerRow; ++p) {
            const int i = r * kPerRow + p;
            if (i >= n)
                break;
            QWidget* chip = m_content(m_items[i]);
            line->addWidget(chip);
            chips.append(chip);
        }
        m_column->addWidget(row);
        m_rows.append(chips);
    }
    updateGeometry();
}
