#pragma once

#include "records/HelperService.h"

#include <atomic>
#include <memory>

// A helper service that succeeds at everything and counts the calls into a tally that outlives it, so that
// a test can tell that work it started ran to its end after the service's other holders went.
class TallyingHelperService : public HelperService
{
public:
    struct Tally
    {
        std::atomic<int> statusReads {0};
        std::atomic<int> installs {0};
        std::atomic<int> uninstalls {0};
    };

    explicit TallyingHelperService(std::shared_ptr<Tally> tally)
        : m_tally(std::move(tally))
    {
    }
    PrivacyMetricsEngine::HelperStatus status() override
    {
        ++m_tally->statusReads;
        return {};
    }
    Outcome install() override
    {
        ++m_tally->installs;
        return {true, {}};
    }
    Outcome uninstall() override
    {
        ++m_tally->uninstalls;
        return {true, {}};
    }

private:
    std::shared_ptr<Tally> m_tally;
};
