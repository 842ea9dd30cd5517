#pragma once

#include "core/Date.h"

#include "platform/proc/SessionEnvironment.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>

class AssistanceTracker;
class UserDefaults;

namespace platform {
class SleepInhibitor;
class UserNotifier;
} // namespace platform

// What the persona engine uses besides its four collaborators; tests replace each.
struct PersonaEngineOptions
{
    // The list of suspended processes; empty: SuspensionLedger::kStateFileName in the application's data folder.
    QString stateFilePath;
    UserDefaults* userDefaults = nullptr; // nullptr: UserDefaults::standard()
    AssistanceTracker* assistanceTracker = nullptr; // nullptr: AssistanceTracker::shared()
    std::shared_ptr<platform::SleepInhibitor> sleepInhibitor; // nullptr: logind
    std::shared_ptr<platform::UserNotifier> notifier; // nullptr: the desktop's notification service
    std::string procRoot = "/proc";
    std::string sysRoot = "/sys";
    // How the desktop session is reached, to spare what serves it.
    platform::SessionEnvironment session = platform::SessionEnvironment::current();
    std::function<Date()> clock; // empty: Date::now
    // Posts the active persona names to ActivePersonaTracker on the GUI thread.
    bool updatesPersonaTracker = true;
};
