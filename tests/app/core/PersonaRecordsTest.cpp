#include "core/PersonaRecords.h"
#include "core/XPCConnection.h"

#include "platform/ipc/HelperProtocol.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace personarecords;

namespace {

TEST(PersonaRecordsTest, NothingPausedSaysWhyInTheRecordAndTheNotificationAlike)
{
    const std::vector<std::pair<platform::DomainError, std::string>> reasons {
        {platform::posixError(ECONNREFUSED), "Nothing paused: the helper is not available"},
        {platform::posixError(EACCES), "Nothing paused: the helper is not available"},
        {{XPCConnection::kErrorDomain, -2, "XPC call timed out"}, "Nothing paused: the helper did not answer"},
        {{platform::kHelperErrorDomain, platform::kHelperUnauthorized, "Caller not trusted."},
            "Nothing paused: the helper refused: Caller not trusted."}};
    for (const auto& [error, why] : reasons) {
        ActivationOutcome outcome;
        outcome.failure = error;
        const auto texts = activationTexts(AutoPersona::batteryMode, outcome);
        EXPECT_EQ(texts.record.detail, why);
        EXPECT_EQ(texts.notification.body, why);
        EXPECT_EQ(texts.record.category, AssistanceCategory::all); // counts nothing as saved
    }
}

TEST(PersonaRecordsTest, AIFirstModeWithoutTheSleepLockRecordsTheTasksItPaused)
{
    ActivationOutcome outcome;
    outcome.paused = 2;
    outcome.modelLoaded = true;
    const auto texts = activationTexts(AutoPersona::aiFirstMode, outcome);
    EXPECT_EQ(texts.notification.body, "Model loaded · Background tasks paused");
    EXPECT_EQ(texts.record.detail, "Paused background tasks; system sleep could not be held off");
    EXPECT_EQ(texts.record.impactValue, "Tasks paused");
    EXPECT_EQ(texts.record.category, AssistanceCategory::performance);
}

TEST(PersonaRecordsTest, WhatStaysPausedNamesWhoKeepsIt)
{
    DeactivationOutcome outcome;
    outcome.kept = {"ollama", "restic"};
    EXPECT_EQ(deactivationTexts(AutoPersona::batteryMode, outcome).notification.body,
        "Still paused for other modes: ollama, restic");
    outcome.keptFor = AutoPersona::compileMode;
    EXPECT_EQ(deactivationTexts(AutoPersona::batteryMode, outcome).notification.body,
        "Still paused for Compile Mode: ollama, restic");
    // A resume that failed is the news, whoever keeps the rest.
    outcome.stillPaused = {"mysql"};
    EXPECT_EQ(deactivationTexts(AutoPersona::batteryMode, outcome).notification.body,
        "Still paused: mysql (resuming failed; trying again)");
}

} // namespace
