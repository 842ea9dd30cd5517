#pragma once

#include "platform/ipc/DomainError.h"
#include "records/AssistanceCategory.h"
#include "records/AutoPersona.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The texts a persona change leaves in the assistance history and the desktop notifications: each
// persona's own texts where they are true, else a line that says what really happened.
namespace personarecords {

struct Line
{
    AssistanceCategory category = AssistanceCategory::all;
    std::string title;
    std::string detail;
    std::string impactValue;
};

// What one activation achieved.
struct ActivationOutcome
{
    // Processes paused for the persona: suspended now, or already suspended and now held by it too.
    std::int64_t paused = 0;
    // Processes of its freeze list found running.
    std::size_t candidates = 0;
    // The first suspend that failed, when one did; else the indexer pause's failure.
    std::optional<platform::DomainError> failure;
    // Compile Mode: the helper paused the file indexer.
    bool indexerPaused = false;
    // Battery Mode: the memory sampling was slowed.
    bool samplingSlowed = false;
    // AI First Mode: system sleep is held off.
    bool sleepHeld = false;
};

// The history line of an activation. A line that records nothing done has the category `all`, which
// moves none of the saved-you counters.
Line activationRecord(AutoPersona persona, const ActivationOutcome& outcome);

// Title and body of the notification of an activation; Compile Mode's body is built by the engine.
std::pair<std::string, std::string> activationNotification(AutoPersona persona);

// Title and body of the notification of a deactivation. `stillPaused` names the processes whose resume
// failed; `pausedAnything` whether the persona had anything paused at all.
std::pair<std::string, std::string> deactivationNotification(
    AutoPersona persona, const std::vector<std::string>& stillPaused, bool pausedAnything);

// Why nothing could be paused, in a few words, from the helper's or the connection's error.
std::string whyNotPaused(const platform::DomainError& error);

// "a, b and 2 more": the first few names of a list.
std::string shortList(const std::vector<std::string>& names);

} // namespace personarecords
