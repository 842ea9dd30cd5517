#include "PersonaRecords.h"

#include "XPCConnection.h"

#include "platform/text/AsciiText.h"
#include "platform/text/NamesList.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace personarecords {

namespace {

const char* personaOn(AutoPersona persona)
{
    switch (persona) {
    case AutoPersona::compileMode:
        return "Compile Mode on";
    case AutoPersona::aiFirstMode:
        return "AI First Mode on";
    case AutoPersona::batteryMode:
        break;
    }
    return "Battery Mode on";
}

// Why no process was paused: the helper did not pause them, or none was running.
std::string whyNoProcess(const ActivationOutcome& outcome)
{
    return outcome.failure ? "nothing paused: " + whyNotPaused(*outcome.failure) : "nothing needed pausing";
}

std::string sentence(std::string text)
{
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = char(text[0] - 'a' + 'A');
    return text;
}

std::string oneDecimal(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string joined(const std::vector<std::string>& parts)
{
    return platform::joined(parts, " · ");
}

// Battery Mode saves power when it paused something or slowed the sampling; both texts say so.
bool batterySaves(const ActivationOutcome& outcome)
{
    return outcome.paused > 0 || outcome.samplingSlowed;
}

Line activationRecord(AutoPersona persona, const ActivationOutcome& outcome)
{
    switch (persona) {
    case AutoPersona::compileMode:
        if (outcome.paused > 0) {
            return {AssistanceCategory::computing, "Compile Shield Engaged",
                "Suspended background AI processes for compilation", "Protected"};
        }
        if (outcome.indexerPaused) {
            return {AssistanceCategory::computing, personaOn(persona),
                "Paused the file indexer only; " + whyNoProcess(outcome), "Indexer paused"};
        }
        break;
    case AutoPersona::aiFirstMode:
        // Its line is about the sleep lock, which pausing processes does not change.
        if (outcome.sleepHeld) {
            return {AssistanceCategory::performance, "AI Workload Prioritized",
                "Locked system sleep assertion for local model inference", "Max compute"};
        }
        // The tasks it paused are what it did, as its notification says.
        if (outcome.paused > 0) {
            return {AssistanceCategory::performance, personaOn(persona),
                "Paused background tasks; system sleep could not be held off", "Tasks paused"};
        }
        return {AssistanceCategory::all, personaOn(persona), "System sleep could not be held off", "No change"};
    case AutoPersona::batteryMode:
        if (batterySaves(outcome)) {
            // Started by hand on mains, or on a machine with no battery, it saves power all the same.
            return {AssistanceCategory::computing, "Battery Saver Active",
                outcome.onBattery.value_or(false) ? "Constrained background compute on battery"
                                                  : "Constrained background compute",
                "Power saved"};
        }
        return {AssistanceCategory::all, personaOn(persona), sentence(whyNoProcess(outcome)), "No change"};
    }
    return {AssistanceCategory::all, personaOn(persona), sentence(whyNoProcess(outcome)), "Not protected"};
}

Notification activationNotification(AutoPersona persona, const ActivationOutcome& outcome)
{
    switch (persona) {
    case AutoPersona::compileMode:
        return {"⚙️ Compile Mode",
            outcome.trigger + " · " + oneDecimal(outcome.gigabytesFreed) + "GB freed · "
                + oneDecimal(outcome.headroomGB) + "GB headroom"};
    case AutoPersona::aiFirstMode:
        if (outcome.modelLoaded && outcome.paused > 0)
            return {"🧠 AI First Mode", "Model loaded · Background tasks paused"};
        return {"🧠 AI First Mode",
            joined({outcome.modelLoaded ? "Model loaded" : "No model loaded",
                outcome.paused > 0 ? "Background tasks paused" : sentence(whyNoProcess(outcome))})};
    case AutoPersona::batteryMode:
        break;
    }
    if (batterySaves(outcome))
        return {"🍃 Battery Mode", "Saving power · Resources throttled"};
    return {"🍃 Battery Mode", sentence(whyNoProcess(outcome))};
}

std::string compileModeEnded(const DeactivationOutcome& outcome)
{
    const std::string what = outcome.buildDetected ? "this build" : "Compile Mode";
    std::vector<std::string> parts;
    if (!outcome.resumed.empty()) {
        const bool modelServer = std::any_of(outcome.resumed.begin(), outcome.resumed.end(),
            [](const std::string& name) { return name.starts_with("ollama"); });
        parts.push_back(modelServer ? "Ollama resumed" : platform::namesList(outcome.resumed) + " resumed");
        parts.push_back("Background apps running");
    } else if (outcome.indexerResumed) {
        parts.push_back("File indexing resumed");
    }
    if (outcome.indexerStillPaused)
        parts.push_back("File indexing still paused");
    if (!parts.empty())
        return joined(parts);
    return outcome.pausedAnything ? "Nothing left to resume" : "Nothing was paused for " + what;
}

Notification deactivationNotification(AutoPersona persona, const DeactivationOutcome& outcome)
{
    Notification n;
    switch (persona) {
    case AutoPersona::compileMode:
        // Started by hand with no build seen, it has no build to say is done.
        n = {outcome.buildDetected ? "✅ Build done" : "⚙️ Compile Mode ended", compileModeEnded(outcome)};
        break;
    case AutoPersona::aiFirstMode:
        n = {"💤 AI First ended",
            !outcome.modelLoaded        ? "No models loaded"
                : outcome.compileModeOn ? "A model is still loaded · Compile Mode comes first"
                                        : "A model is still loaded"};
        break;
    case AutoPersona::batteryMode:
        // Back on AC only where a battery says the machine runs on mains.
        n = {outcome.onBattery.value_or(true) ? "🍃 Battery Mode ended" : "⚡ Back on AC",
            !outcome.resumed.empty()     ? "All processes resumed"
                : outcome.pausedAnything ? "Nothing left to resume"
                                         : "Nothing was paused"};
        break;
    }
    if (!outcome.stillPaused.empty())
        n.body = "Still paused: " + platform::namesList(outcome.stillPaused) + " (resuming failed; trying again)";
    else if (!outcome.kept.empty())
        n.body = "Still paused for " + (outcome.keptFor ? rawValue(*outcome.keptFor) : std::string("other modes"))
            + ": " + platform::namesList(outcome.kept);
    return n;
}

} // namespace

ActivationTexts activationTexts(AutoPersona persona, const ActivationOutcome& outcome)
{
    return {activationRecord(persona, outcome), activationNotification(persona, outcome)};
}

DeactivationTexts deactivationTexts(AutoPersona persona, const DeactivationOutcome& outcome)
{
    DeactivationTexts texts {std::nullopt, deactivationNotification(persona, outcome)};
    if (outcome.secondsSaved) {
        texts.record = Line {AssistanceCategory::computing, "Build Protected",
            "Build completed with zero AI RAM collisions", "~" + std::to_string(*outcome.secondsSaved) + "s saved"};
    }
    return texts;
}

Notification notResumedBeforeQuitting(const std::vector<std::string>& names)
{
    return {"Quorvane Pro",
        "Could not resume " + platform::namesList(names)
            + " before quitting; the helper resumes them once Quorvane Pro has closed, or Quorvane Pro does at its "
              "next start."};
}

std::string whyNotPaused(const platform::DomainError& error)
{
    // Nothing listens on the helper's socket, or this user may not reach it.
    if (error.domain == platform::kPosixErrorDomain
        && (error.code == ENOENT || error.code == ECONNREFUSED || error.code == EACCES))
        return "the helper is not available";
    if (XPCConnection::timedOut(error))
        return "the helper did not answer";
    return "the helper refused: " + error.message;
}

} // namespace personarecords
