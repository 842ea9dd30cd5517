#include "PersonaRecords.h"

#include "XPCConnection.h"

#include <cerrno>

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

} // namespace

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
        return {AssistanceCategory::all, personaOn(persona), "System sleep could not be held off", "No change"};
    case AutoPersona::batteryMode:
        if (outcome.paused > 0 || outcome.samplingSlowed) {
            return {AssistanceCategory::computing, "Battery Saver Active", "Constrained background compute on battery",
                "Power saved"};
        }
        return {AssistanceCategory::all, personaOn(persona), sentence(whyNoProcess(outcome)), "No change"};
    }
    return {AssistanceCategory::all, personaOn(persona), sentence(whyNoProcess(outcome)), "Not protected"};
}

std::pair<std::string, std::string> activationNotification(AutoPersona persona)
{
    switch (persona) {
    case AutoPersona::compileMode:
        return {"⚙️ Compile Mode", ""};
    case AutoPersona::aiFirstMode:
        return {"🧠 AI First Mode", "Model loaded · Background tasks paused"};
    case AutoPersona::batteryMode:
        break;
    }
    return {"🍃 Battery Mode", "Saving power · Resources throttled"};
}

std::pair<std::string, std::string> deactivationNotification(
    AutoPersona persona, const std::vector<std::string>& stillPaused, bool pausedAnything)
{
    std::pair<std::string, std::string> texts;
    switch (persona) {
    case AutoPersona::compileMode:
        texts = {"✅ Build done",
            pausedAnything ? "Ollama resumed · Background apps running" : "Nothing was paused for this build"};
        break;
    case AutoPersona::aiFirstMode:
        texts = {"💤 AI First ended", "No models loaded"};
        break;
    case AutoPersona::batteryMode:
        texts = {"⚡ Back on AC", "All processes resumed"};
        break;
    }
    if (!stillPaused.empty())
        texts.second = "Still paused: " + shortList(stillPaused) + " (resuming failed; trying again)";
    return texts;
}

std::string whyNotPaused(const platform::DomainError& error)
{
    // Nothing listens on the helper's socket, or this user may not reach it.
    if (error.domain == platform::kPosixErrorDomain
        && (error.code == ENOENT || error.code == ECONNREFUSED || error.code == EACCES))
        return "the helper is not available";
    if (error.domain == XPCConnection::kErrorDomain && error.code == -2)
        return "the helper did not answer";
    return "the helper refused: " + error.message;
}

std::string shortList(const std::vector<std::string>& names)
{
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < 2; ++i)
        text += (i ? ", " : "") + names[i];
    if (names.size() >= 3)
        text += " +" + std::to_string(names.size() - 2) + " more";
    return text;
}

} // namespace personarecords
