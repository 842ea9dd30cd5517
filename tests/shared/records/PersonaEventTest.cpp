#include "records/PersonaEvent.h"
#include "records/FrozenProcess.h"

#include <gtest/gtest.h>

TEST(AutoPersonaTest, RawValuesMatchExactlyAndPriorityDiffersFromCaseOrder)
{
    EXPECT_EQ(enumFromRawValue<AutoPersona>("AI First Mode"), AutoPersona::aiFirstMode);
    EXPECT_FALSE(enumFromRawValue<AutoPersona>("AI-First Mode"));
    EXPECT_FALSE(enumFromRawValue<AutoPersona>("ai first mode"));
    EXPECT_EQ(allCases<AutoPersona>(),
        (std::vector {AutoPersona::compileMode, AutoPersona::aiFirstMode, AutoPersona::batteryMode}));
    EXPECT_EQ(priority(AutoPersona::compileMode), 3);
    EXPECT_EQ(priority(AutoPersona::aiFirstMode), 1);
    EXPECT_EQ(priority(AutoPersona::batteryMode), 2);
}

TEST(PersonaEventTest, IdJoinsPersonaAndActivationSince1970)
{
    PersonaEvent event {AutoPersona::compileMode, "clang", Date::from1970(1700000000.0), std::nullopt, 3};
    EXPECT_EQ(event.id(), "Compile Mode-1700000000.0");
    event.activated = Date::from1970(1733700000.25);
    EXPECT_EQ(event.id(), "Compile Mode-1733700000.25");

    PersonaEvent copy = event;
    copy.deactivated = event.activated.addingTimeInterval(60);
    EXPECT_EQ(copy.id(), event.id());
    EXPECT_FALSE(event.deactivated);
    EXPECT_NE(copy, event);
}

TEST(PersonaEventTest, AbsentDeactivationIsLeftOutAndNullReadsAsAbsent)
{
    const PersonaEvent active {
        AutoPersona::batteryMode, "power disconnected", Date::fromReferenceDate(750000000.5), std::nullopt, 2};
    const Json written = Json::parse(*jsoncodec::encodeText(active));
    EXPECT_EQ(written, Json::parse(R"({"persona":"Battery Mode","trigger":"power disconnected",
        "activated":750000000.5,"processesAffected":2})"));
    EXPECT_EQ(jsoncodec::decodeText<PersonaEvent>(written.dump()), active);

    const auto ended = jsoncodec::decodeText<PersonaEvent>(R"({"persona":"AI First Mode","trigger":"model loaded",
        "activated":750000000,"deactivated":750000600.0,"processesAffected":0})");
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->deactivated, Date::fromReferenceDate(750000600.0));
    EXPECT_EQ(Json::parse(*jsoncodec::encodeText(*ended))["deactivated"], 750000600.0);

    const auto nullEnd = jsoncodec::decodeText<PersonaEvent>(R"({"persona":"AI First Mode","trigger":"x",
        "activated":1,"deactivated":null,"processesAffected":0})");
    ASSERT_TRUE(nullEnd);
    EXPECT_FALSE(nullEnd->deactivated);
    EXPECT_FALSE(jsoncodec::decodeText<PersonaEvent>(R"({"persona":"compile mode","trigger":"x",
        "activated":1,"processesAffected":0})"));
}

TEST(FrozenProcessTest, StoredFormRoundTripsAndEveryKeyIsRequired)
{
    const char* text = R"({"id":"9F4B0D2A-7C61-4E3B-B8A5-2D6E1F0C3A94","pid":31337,"name":"Dropbox",
        "frozenByPersona":"Compile Mode","frozenAt":760000123.75,"estimatedMemoryMB":512,"estimatedCPUPercent":12.5})";
    const auto process = jsoncodec::decodeText<FrozenProcess>(text);
    ASSERT_TRUE(process);
    EXPECT_EQ(process->pid, 31337);
    EXPECT_EQ(process->frozenBy, AutoPersona::compileMode);
    EXPECT_EQ(Json::parse(*jsoncodec::encodeText(*process)), Json::parse(text));

    Json missing = Json::parse(text);
    missing.erase("estimatedCPUPercent");
    EXPECT_FALSE(jsoncodec::decodeText<FrozenProcess>(missing.dump()));
    Json hugePid = Json::parse(text);
    hugePid["pid"] = 4294967296LL;
    EXPECT_FALSE(jsoncodec::decodeText<FrozenProcess>(hugePid.dump()));

    FrozenProcess other = *process;
    other.id = Uuid::random();
    EXPECT_NE(other, *process);
}
