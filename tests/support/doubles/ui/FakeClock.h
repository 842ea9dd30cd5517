#pragma once

#include "ui/Clock.h"

#include <QPointer>

#include <vector>

// A clock that stands still until advance() moves it, running the delayed work that falls due, in order.
class FakeClock : public Clock
{
public:
    explicit FakeClock(QDateTime start = QDateTime::fromSecsSinceEpoch(1'800'000'000));

    QDateTime now() const override { return m_now; }
    void singleShot(int ms, QObject* context, std::function<void()> work) override;

    void advance(int ms);
    int pending() const { return static_cast<int>(m_queue.size()); }

private:
    struct Item
    {
        qint64 due;
        quint64 order;
        QPointer<QObject> context;
        std::function<void()> work;
    };

    QDateTime m_now;
    quint64 m_next = 0;
    std::vector<Item> m_queue;
};
