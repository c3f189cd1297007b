// Settings read-back: the order of the entries, what each value does to which
// control, and the settings-block reply helpers.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "status/SettingsReadBack.h"

namespace {

using brimel::ControlOp;
using brimel::ControlOperation;
using Ops = std::vector<ControlOperation>;

ControlOperation on(std::string_view n) {
    return {n, ControlOp::SetChecked, 1};
}
ControlOperation off(std::string_view n) {
    return {n, ControlOp::SetChecked, 0};
}
ControlOperation en(std::string_view n) {
    return {n, ControlOp::SetEnabled, 1};
}
ControlOperation dis(std::string_view n) {
    return {n, ControlOp::SetEnabled, 0};
}
ControlOperation index(std::string_view n, int i) {
    return {n, ControlOp::SetCurrentIndex, i};
}
ControlOperation text(std::string_view n, std::string_view t) {
    return {n, ControlOp::SetText, 0, t};
}

const brimel::ReadBackRule *ruleFor(std::size_t entry) {
    for (const auto &r : brimel::readBackRules()) {
        if (r.entry == entry) return &r;
    }
    return nullptr;
}

// The plan for a block that holds `value` at `entry` and zero elsewhere, limited
// to the operations of that entry.
Ops opsFor(std::size_t entry, std::uint8_t value) {
    const brimel::ReadBackRule *rule = ruleFor(entry);
    if (rule == nullptr) return {{"no rule", ControlOp::SetText, 0, "no rule"}};
    return brimel::readBackOperations(*rule, value);
}

// The last operation of a kind on a control in a plan, that is the state it ends in.
std::optional<ControlOperation> last(const Ops &plan, std::string_view name, ControlOp op) {
    std::optional<ControlOperation> found;
    for (const auto &o : plan) {
        if (o.objectName == name && o.op == op) found = o;
    }
    return found;
}

TEST(SettingsReadBack, EntriesAreAppliedInTheFixedOrder) {
    const std::vector<std::size_t> expected{0,  1,  19, 35, 37, 36, 38, 46, 45, 2,  3,  6,  10, 9,
                                            18, 22, 21, 26, 20, 39, 42, 43, 44, 47, 24, 48, 49};
    std::vector<std::size_t> order;
    for (const auto &r : brimel::readBackRules()) order.push_back(r.entry);
    EXPECT_EQ(order, expected);
}

struct Case {
    std::size_t entry;
    std::uint8_t value;
    Ops ops;
};

TEST(SettingsReadBack, WhatEachValueDoes) {
    const std::string_view lock = "Selection locked with slide switch";
    const std::vector<Case> cases{
        {0, 2, {on("rbInA"), off("rbInB")}},
        {0, 0, {off("rbInA"), on("rbInB")}},
        {0, 1, {}},
        {1, 0, {on("rbScaleUp"), off("rbScaleThru"), off("rbScaleDown")}},
        {1, 1, {on("rbScaleThru"), off("rbScaleUp"), off("rbScaleDown")}},
        {1, 2, {on("rbScaleDown"), off("rbScaleUp"), off("rbScaleThru")}},
        {1, 3, {}},
        {2, 1, {on("automixEDID"), off("customEDID"), off("fixedEDID"), dis("EDIDtext")}},
        {2, 2, {on("fixedEDID"), off("automixEDID"), off("customEDID"), dis("EDIDtext")}},
        {2, 3, {on("customEDID"), off("automixEDID"), off("fixedEDID"), en("EDIDtext")}},
        {2, 0, {}},
        {3, 1, {off("hdcp14"), off("hdcp22")}},
        {3, 2, {on("hdcp14"), off("hdcp22")}},
        {3, 3, {off("hdcp14"), on("hdcp22")}},
        {3, 4, {}},
        {6, 0, {on("autoSwDis"), off("autoSwEn"), dis("pPrioForce"), dis("bPrioNorm")}},
        {6, 1, {off("autoSwDis"), on("autoSwEn"), en("pPrioForce"), en("bPrioNorm")}},
        {6, 2, {}},
        {9,
         1,
         {en("automixEDID"), en("customEDID"), en("fixedEDID"), en("EDIDtext"),
          text("lblEdidLock", "")}},
        {9,
         0,
         {dis("automixEDID"), dis("customEDID"), dis("fixedEDID"), dis("EDIDtext"),
          text("lblEdidLock", lock)}},
        {9,
         2,
         {dis("automixEDID"), dis("customEDID"), dis("fixedEDID"), dis("EDIDtext"),
          text("lblEdidLock", lock)}},
        {10, 1, {en("rbScaleUp"), en("rbScaleThru"), en("rbScaleDown"), text("lblScaleLock", "")}},
        {10,
         255,
         {dis("rbScaleUp"), dis("rbScaleThru"), dis("rbScaleDown"), text("lblScaleLock", lock)}},
        {18, 1, {on("pPrioForce"), off("bPrioNorm")}},
        {18, 2, {off("pPrioForce"), on("bPrioNorm")}},
        {19, 1, {index("cmBEdid", 0)}},
        {19, 25, {index("cmBEdid", 24)}},
        {19, 0, {index("cmBEdid", -1)}},
        {20, 1, {on("cbAviCustom")}},
        {20, 3, {off("cbAviCustom")}},
        {21, 1, {on("cbHdrCRC")}},
        {22, 0, {off("cbHdrCustom")}},
        {24, 1, {on("cbAviDisable")}},
        {26, 1, {on("enableLed"), off("disableLed")}},
        {26, 0, {off("enableLed"), on("disableLed")}},
        {35, 8, {index("cmbCscOut", 0)}},
        {35, 10, {index("cmbCscOut", 1)}},
        {35, 6, {index("cmbCscOut", 2)}},
        {35, 4, {index("cmbCscOut", 3)}},
        {35, 15, {index("cmbCscOut", 4)}},
        {35, 7, {index("cmbCscOut", 5)}},
        {35, 18, {index("cmbCscOut", 6)}},
        {35, 5, {}},
        {36, 3, {index("cmbDeepColor", 3)}},
        {36, 7, {index("cmbDeepColor", 7)}},
        {37, 8, {index("cmbDownCscOut", 0)}},
        {37, 6, {index("cmbDownCscOut", 1)}},
        {37, 16, {index("cmbDownCscOut", 2)}},
        {37, 10, {}},
        {38, 4, {index("cmbDsDeepColor", 4)}},
        {39, 1, {on("cb3x3En")}},
        {39, 0, {off("cb3x3En")}},
        {42, 0, {on("cbBt2020Follow"), off("cbBt2020On"), off("cbBt2020Off")}},
        {42, 1, {on("cbBt2020On"), off("cbBt2020Follow"), off("cbBt2020Off")}},
        {42, 2, {on("cbBt2020Off"), off("cbBt2020Follow"), off("cbBt2020On")}},
        {42, 3, {}},
        {43, 1, {on("cbPreset4k30")}},
        {44, 2, {off("cbPreset4k60")}},
        {45, 0, {index("cmbPreset4k30", 0)}},
        {45, 3, {index("cmbPreset4k30", 3)}},
        {45, 4, {}},
        {46, 4, {index("cmbPreset4k60", 0)}},
        {46, 5, {index("cmbPreset4k60", 1)}},
        {46, 0, {}},
        {47, 1, {on("cbIgnoreEdid")}},
        {48, 1, {on("cbHdrDisable")}},
        {49, 1, {on("rbHtpcOn"), off("rbHtpcOff")}},
        {49, 2, {off("rbHtpcOn"), on("rbHtpcOff")}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(opsFor(c.entry, c.value), c.ops)
            << "entry " << c.entry << " value " << int(c.value);
    }
}

TEST(SettingsReadBack, EntriesNotShownHaveNoRule) {
    for (std::size_t e : {4, 5, 7, 8, 11, 17, 23, 25, 27, 34, 40, 41, 50, 59}) {
        EXPECT_EQ(ruleFor(e), nullptr) << e;
    }
}

// The lock entry comes after the EDID mode, so it alone decides whether the EDID
// text can be edited.
TEST(SettingsReadBack, EdidLockDecidesTheTextState) {
    std::array<std::uint8_t, 60> block{};
    block[9] = 1;
    block[2] = 1;
    auto state = last(brimel::readBackPlan(block), "EDIDtext", ControlOp::SetEnabled);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->argument, 1);

    block[9] = 0;
    block[2] = 3;
    state = last(brimel::readBackPlan(block), "EDIDtext", ControlOp::SetEnabled);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->argument, 0);
}

TEST(SettingsReadBack, PlanFollowsTheRulesInOrder) {
    std::array<std::uint8_t, 60> block{};
    block[0] = 2;
    block[19] = 3;
    block[35] = 15;
    block[49] = 1;
    const Ops plan = brimel::readBackPlan(block);
    ASSERT_GE(plan.size(), 4u);
    EXPECT_EQ(plan[0], on("rbInA"));
    EXPECT_EQ(plan[1], off("rbInB"));
    // Entry 1 = 0: scaling up.
    EXPECT_EQ(plan[2], on("rbScaleUp"));
    EXPECT_EQ(plan[5], index("cmBEdid", 2));
    EXPECT_EQ(plan[6], index("cmbCscOut", 4));
    EXPECT_EQ(plan[plan.size() - 2], on("rbHtpcOn"));
    EXPECT_EQ(plan.back(), off("rbHtpcOff"));
}

TEST(SettingsReadBack, ShortBlockSkipsMissingEntries) {
    std::array<std::uint8_t, 3> block{2, 1, 3};
    const Ops plan = brimel::readBackPlan(block);
    const Ops expected{on("rbInA"),        off("rbInB"),       on("rbScaleThru"),
                       off("rbScaleUp"),   off("rbScaleDown"), on("customEDID"),
                       off("automixEDID"), off("fixedEDID"),   en("EDIDtext")};
    EXPECT_EQ(plan, expected);
    EXPECT_TRUE(brimel::readBackPlan({}).empty());
}

TEST(SettingsReadBack, BlockReplyHelpers) {
    std::array<std::uint8_t, 64> reply{};
    reply[0] = 0xE1;
    EXPECT_FALSE(brimel::settingsBlockBusy(reply));
    reply[1] = 0x03;
    EXPECT_TRUE(brimel::settingsBlockBusy(reply));
    reply[1] = 0x02;
    EXPECT_FALSE(brimel::settingsBlockBusy(reply));
    EXPECT_FALSE(brimel::settingsBlockBusy(std::span(reply).first(1)));

    reply[2] = 0x11;
    reply[61] = 0x22;
    reply[62] = 0x33;
    const auto entries = brimel::settingsBlockEntries(reply);
    ASSERT_EQ(entries.size(), 60u);
    EXPECT_EQ(entries.front(), 0x11);
    EXPECT_EQ(entries.back(), 0x22);
    EXPECT_EQ(brimel::settingsBlockEntries(std::span(reply).first(30)).size(), 28u);
    EXPECT_TRUE(brimel::settingsBlockEntries(std::span(reply).first(2)).empty());
}

}  // namespace
