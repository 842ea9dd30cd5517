#pragma once

// The moc of Qt 6.4 cannot parse the C++20 library headers that the JSON codec pulls in.
#ifndef Q_MOC_RUN
#include "records/PrivacyMetricsEngine.h"
#endif

#include "PrivacyServices.h"

#include <QObject>

#include <functional>
#include <optional>

// Keeps a card's amounts current while it is on screen: what the program keeps on disk is measured when the
// card is shown and again every kRefreshMs while it stays, so a file written meanwhile (setup finishing
// while the page is open, a new record) shows without opening the page again. A measurement reaches the
// card only when it is the latest asked for and differs from the last one the card has; one runs at a time.
class InventoryRefresh : public QObject
{
public:
    static constexpr int kRefreshMs = 2000;
    using Deliver = std::function<void(const PrivacyMetricsEngine::DataInventory&)>;

    // Belongs to `card`; nothing is delivered once the card is gone.
    InventoryRefresh(const PrivacyServices& services, QObject* card, Deliver deliver);

    // The card came on screen: measures now and every kRefreshMs until hidden().
    void shown();
    void hidden();
    // Measures once more now (after an export, after an uninstall step).
    void measure();
    // The card took amounts measured elsewhere (right after an erasure): newer than a measurement under way.
    void took(const PrivacyMetricsEngine::DataInventory& inventory);

private:
    void scheduleNext();

    PrivacyServices m_services;
    Deliver m_deliver;
    std::optional<PrivacyMetricsEngine::DataInventory> m_last;
    int m_asked = 0; // measurements asked for; only the latest is delivered
    int m_showing = 0; // each showing's chain of measurements, ended by the next hide or show
    bool m_inFlight = false;
    bool m_again = false; // asked for while one ran
};
