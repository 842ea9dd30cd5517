#pragma once

#include "core/UserDefaults.h"
#include "records/AssistanceTracker.h"
#include "records/AuditLogger.h"
#include "records/HelperService.h"
#include "records/PrivacyMetricsEngine.h"
#include "support/Unowned.h"
#include "support/doubles/ui/FakeClock.h"
#include "support/doubles/ui/RecordingDesktop.h"
#include "support/doubles/ui/ScriptedDialogs.h"
#include "views/privacy/PrivacyServices.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>

#include <atomic>
#include <gtest/gtest.h>

// Pumps the event loop until `done` holds or five seconds pass.
template<class F> bool waitFor(F done, int ms = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return done();
}

// Lets the work on `pool` end and its results arrive.
inline void settle(QThreadPool& pool = *QThreadPool::globalInstance())
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        pool.waitForDone();
        QCoreApplication::processEvents();
    }
}

class FakeHelperService : public HelperService
{
public:
    PrivacyMetricsEngine::HelperStatus helperStatus;
    Outcome installOutcome {true, {}};
    Outcome uninstallOutcome {true, {}};
    std::atomic<int> installs {0};
    std::atomic<int> uninstalls {0};
    std::atomic<int> statusReads {0};

    PrivacyMetricsEngine::HelperStatus status() override
    {
        ++statusReads;
        return helperStatus;
    }
    Outcome install() override
    {
        ++installs;
        QThread::msleep(20);
        return installOutcome;
    }
    Outcome uninstall() override
    {
        ++uninstalls;
        return uninstallOutcome;
    }
};

// Every store in a temporary home, a privacy store over them, the test doubles of the views, and the pool
// the pages' work runs on, which goes first, waiting for that work.
struct PrivacyDoubles
{
    PrivacyDoubles()
        : locations(PrivacyLocations::under(dir.path() + "/root", dir.path() + "/home"))
        , defaults(locations.settingsFile)
        , logger(locations.dataDirectory)
        , assistance(locations.dataDirectory)
        , engine({&logger, &assistance, &defaults}, locations, nullptr,
              [this] { return Date::from1970(double(clock.now().toMSecsSinceEpoch()) / 1000.0); })
    {
    }

    PrivacyServices services()
    {
        return PrivacyServices {&engine, &logger, unowned<HelperService>(helper), &dialogs, &desktop, &clock, &pool,
            locations.dataDirectory, locations.helperBinary, QFileInfo(locations.settingsFile).absolutePath()};
    }

    void settle() { ::settle(pool); }

    Date now() const { return Date::from1970(double(clock.now().toMSecsSinceEpoch()) / 1000.0); }

    AuditEvent event(const std::string& category, const std::string& action, double agoSeconds = 0, bool ok = true)
    {
        return AuditEvent {
            Uuid::random(), now().addingTimeInterval(-agoSeconds), category, action, std::nullopt, std::nullopt, ok};
    }

    QTemporaryDir dir;
    FakeClock clock;
    PrivacyLocations locations;
    UserDefaults defaults;
    AuditLogger logger;
    AssistanceTracker assistance;
    PrivacyMetricsEngine engine;
    FakeHelperService helper;
    ScriptedDialogs dialogs;
    RecordingDesktop desktop;
    QThreadPool pool;
};

class PrivacyFixture : public ::testing::Test, public PrivacyDoubles
{
};
