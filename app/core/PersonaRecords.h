#pragma once

#include "platform/ipc/DomainError.h"
#include "records/AssistanceCategory.h"
#include "records/AutoPersona.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The texts a persona change leaves in the assistance history and the desktop notifications: each
// persona's own texts where they are true, else a line that says what really happened. The history
// line and the notification of one change are made here together from one outcome, so they never
// tell two stories. What quitting could not undo is said here too.
namespace personarecords {

struct Line
{
    AssistanceCategory category = AssistanceCategory::all;
    std::string title;
    std::string detail;
    std::string impactValue;
};

struct Notification
{
    std::string title;
    std::string body;

    bool operator==(const Notification&) const = default;
};

// What one activation achieved.
struct ActivationOutcome
{
    // Processes paused for the persona: suspended now, or already suspended and now held by it too.
    std::int64_t paused = 0;
    // The first suspend that failed, when one did; else the indexer pause's failure.
    std::optional<platform::DomainError> failure;
    // Compile Mode: the helper paused the file indexer.
    bool indexerPaused = false;
    // Battery Mode: the memory sampling was slowed.
    bool samplingSlowed = false;
    // AI First Mode: system sleep is held off.
    bool sleepHeld = false;
    // AI First Mode: the model server has a model loaded.
    bool modelLoaded = false;
    // Battery Mode: whether the machine runs on its battery; nothing on a machine without one.
    std::optional<bool> onBattery;
    // Compile Mode's notification: what started it, the memory of the processes suspended now and
    // the memory free now, in gigabytes.
    std::string trigger;
    double gigabytesFreed = 0;
    double headroomGB = 0;
};

// What one deactivation achieved.
struct DeactivationOutcome
{
    std::vector<std::string> resumed;
    // Kept suspended because another active persona wants them too, with that persona when it is one.
    std::vector<std::string> kept;
    std::optional<AutoPersona> keptFor;
    // Their resume failed; they are tried again.
    std::vector<std::string> stillPaused;
    // The persona had anything paused at all during its run.
    bool pausedAnything = false;
    // Compile Mode: the file indexer it paused runs again, or is still paused because that failed.
    bool indexerResumed = false;
    bool indexerStillPaused = false;
    // Compile Mode: a build ran while it was on (it was started for one, or one was seen since); one
    // started by hand that saw none has no build to speak of.
    bool buildDetected = false;
    // Compile Mode: the build something was paused for, and the time that saved.
    std::optional<std::int64_t> secondsSaved;
    double hoursSaved = 0;
    // AI First Mode: a model is still loaded, and Compile Mode is on.
    bool modelLoaded = false;
    bool compileModeOn = false;
    // Battery Mode: whether the machine still runs on its battery; nothing on a machine without one.
    std::optional<bool> onBattery;
};

struct ActivationTexts
{
    // A line that records nothing done has the category `all`, which moves none of the saved-you counters.
    Line record;
    Notification notification;
};

struct DeactivationTexts
{
    // Only a build that was protected leaves a line.
    std::optional<Line> record;
    Notification notification;
};

ActivationTexts activationTexts(AutoPersona persona, const ActivationOutcome& outcome);
DeactivationTexts deactivationTexts(AutoPersona persona, const DeactivationOutcome& outcome);
// Quitting left these processes stopped.
Notification notResumedBeforeQuitting(const std::vector<std::string>& names);

// Why nothing could be paused, in a few words, from the helper's or the connection's error.
std::string whyNotPaused(const platform::DomainError& error);

} // namespace personarecords
