#include "InventoryRefresh.h"

#include "core/PoolWork.h"
#include "ui/Clock.h"

#include <utility>

InventoryRefresh::InventoryRefresh(const PrivacyServices& services, QObject* card, Deliver deliver)
    : QObject(card)
    , m_services(services)
    , m_deliver(std::move(deliver))
{
}

void InventoryRefresh::shown()
{
    ++m_showing;
    measure();
    scheduleNext();
}

void InventoryRefresh::hidden()
{
    ++m_showing;
}

void InventoryRefresh::scheduleNext()
{
    m_services.clock->singleShot(kRefreshMs, this, [this, showing = m_showing] {
        if (showing != m_showing)
            return;
        // A slow disk never piles measurements up: the tick waits for the one under way.
        if (!m_inFlight)
            measure();
        scheduleNext();
    });
}

void InventoryRefresh::measure()
{
    if (m_inFlight) {
        m_again = true;
        return;
    }
    m_inFlight = true;
    PrivacyMetricsEngine* engine = m_services.engine;
    const int asked = ++m_asked;
    runOnPool(
        m_services.pool, this, [engine] { return engine->calculateDataInventory(); },
        [this, asked](const PrivacyMetricsEngine::DataInventory& inventory) {
            m_inFlight = false;
            // An older measurement that comes in late would show what an erasure since removed.
            if (asked == m_asked && inventory != m_last) {
                m_last = inventory;
                m_deliver(inventory);
            }
            if (std::exchange(m_again, false))
                measure();
        });
}

void InventoryRefresh::took(const PrivacyMetricsEngine::DataInventory& inventory)
{
    ++m_asked;
    m_last = inventory;
}
