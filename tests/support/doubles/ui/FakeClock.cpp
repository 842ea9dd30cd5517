#include "FakeClock.h"

#include <algorithm>

FakeClock::FakeClock(QDateTime start)
    : m_now(std::move(start))
{
}

void FakeClock::singleShot(int ms, QObject* context, std::function<void()> work)
{
    m_queue.push_back({m_now.toMSecsSinceEpoch() + std::max(0, ms), m_next++, context, std::move(work)});
}

void FakeClock::advance(int ms)
{
    const qint64 end = m_now.toMSecsSinceEpoch() + std::max(0, ms);
    for (;;) {
        const auto due = std::min_element(m_queue.begin(), m_queue.end(),
            [](const Item& a, const Item& b) { return a.due != b.due ? a.due < b.due : a.order < b.order; });
        if (due == m_queue.end() || due->due > end)
            break;
        Item item = std::move(*due);
        m_queue.erase(due);
        m_now = QDateTime::fromMSecsSinceEpoch(item.due);
        // Work whose receiver is gone is dropped, as a timer bound to a destroyed object never fires.
        if (item.context)
            item.work();
    }
    m_now = QDateTime::fromMSecsSinceEpoch(end);
}
