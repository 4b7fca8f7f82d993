// The tool palette's pressed-state machine and its reaction to the workspace's state codes.
#include "workspace/palette_state.h"

#include <gtest/gtest.h>
#include <string>

namespace tandemscan {
namespace {

// All buttons on offer, as after two parts are loaded and automatic merge is possible.
PaletteState readyPalette() {
    PaletteState p;
    p.applyToolState(768, 0);
    p.applyToolState(1024, 1);
    p.applyToolState(32, 1);
    p.applyToolState(96, 0);
    return p;
}

// Enabled buttons as a string of 0 and 1 (32771 ... 32780, 32930, then the join by content).
std::string enabledSet(const PaletteState& p) {
    std::string s;
    for (int b : paletteButtons)
        s += p.enabled(b) ? '1' : '0';
    return s;
}

std::string checkedSet(const PaletteState& p) {
    std::string s;
    for (int b : paletteButtons)
        s += p.checked(b) ? '1' : '0';
    return s;
}

TEST(PaletteState, StartsWithNothingOnOffer) {
    const PaletteState p;
    EXPECT_EQ(p.pressed(), 16);
    EXPECT_EQ(enabledSet(p), "000000000000");
    EXPECT_EQ(readyPalette().pressed(), 16);
    EXPECT_EQ(enabledSet(readyPalette()), "111111111111");
}

TEST(PaletteState, PressingMoveTwiceReleasesIt) {
    PaletteState p = readyPalette();
    EXPECT_EQ(p.press(ButtonMove), ToolCommand::Move);
    EXPECT_TRUE(p.pressedFor(ToolCommand::Move));
    EXPECT_EQ(p.pressed(), 1);
    EXPECT_EQ(p.press(ButtonMove), ToolCommand::Move);
    EXPECT_FALSE(p.pressedFor(ToolCommand::Move));
    EXPECT_EQ(p.pressed(), 16);
    EXPECT_EQ(checkedSet(p), "000000000000");
}

TEST(PaletteState, GridAndFlagsCombine) {
    PaletteState p = readyPalette();
    const struct {
        int button;
        ToolCommand command;
        int pressed;
        bool gridOn;
        bool flagsOn;
        const char* checked;
    } steps[] = {
        {ButtonGrid, ToolCommand::Grid, 8, true, false, "000000100000"},
        {ButtonFlags, ToolCommand::Flags, 13, true, true, "000000110000"},
        {ButtonGrid, ToolCommand::Grid, 9, false, true, "000000010000"},
        {ButtonFlags, ToolCommand::Flags, 16, false, false, "000000000000"},
        {ButtonFlags, ToolCommand::Flags, 9, false, true, "000000010000"},
        {ButtonRotate, ToolCommand::Rotate, 4, false, false, "000100000000"},
        {ButtonGrid, ToolCommand::Grid, 8, true, false, "000000100000"},
        {ButtonZoom, ToolCommand::Zoom, 5, false, false, "000010000000"},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(p.press(s.button), s.command);
        EXPECT_EQ(p.pressed(), s.pressed) << s.button;
        EXPECT_EQ(p.pressedFor(ToolCommand::Grid), s.gridOn) << s.button;
        EXPECT_EQ(p.pressedFor(ToolCommand::Flags), s.flagsOn) << s.button;
        EXPECT_EQ(checkedSet(p), s.checked) << s.button;
    }
}

TEST(PaletteState, ModeButtonsReplaceEachOther) {
    PaletteState p = readyPalette();
    p.press(ButtonCrop);
    p.press(ButtonAdjust);
    EXPECT_EQ(p.pressed(), 11);
    EXPECT_EQ(checkedSet(p), "000000000100");
    p.press(ButtonAdjust);
    EXPECT_EQ(p.pressed(), 16);
    // Action buttons send their command and leave the state alone.
    p.press(ButtonMove);
    EXPECT_EQ(p.press(ButtonExchange), ToolCommand::Exchange);
    EXPECT_EQ(p.press(ButtonAutoMerge), ToolCommand::AutoMerge);
    EXPECT_EQ(p.press(ButtonContentJoin), ToolCommand::ContentJoin);
    EXPECT_EQ(p.press(ButtonUnite), ToolCommand::UniteFlags);
    EXPECT_EQ(p.pressed(), 1);
    EXPECT_EQ(checkedSet(p), "010000000000");
}

TEST(PaletteState, DisabledButtonsDoNothing) {
    PaletteState p = readyPalette();
    p.applyToolState(32, 0); // the flags are no longer both placed
    EXPECT_FALSE(p.enabled(ButtonUnite));
    EXPECT_EQ(p.press(ButtonUnite), std::nullopt);
    EXPECT_EQ(p.press(12345), std::nullopt);
    p.applyToolState(256, 0);
    EXPECT_EQ(p.press(ButtonMove), std::nullopt);
    EXPECT_EQ(p.pressed(), 16);
}

TEST(PaletteState, MagnifierTogglesOnAndOff) {
    PaletteState p = readyPalette();
    EXPECT_EQ(p.press(ButtonMagnifier), ToolCommand::MagnifierOn);
    EXPECT_TRUE(p.checked(ButtonMagnifier));
    EXPECT_EQ(p.press(ButtonMagnifier), ToolCommand::MagnifierOff);
    EXPECT_FALSE(p.checked(ButtonMagnifier));
    p.setMagnifierOn(true); // the main window closed it another way
    EXPECT_EQ(p.press(ButtonMagnifier), ToolCommand::MagnifierOff);
}

TEST(PaletteState, StateCodesEnableButtons) {
    const struct {
        int code;
        int argument;
        const char* enabled;
    } cases[] = {
        {16, 0, "111111110111"},   {32, 0, "111111110111"},   {32, 1, "111111111111"},
        {48, 0, "111111111111"},   {64, 0, "111111111111"},   {80, 1, "010101000110"},
        {96, 0, "111111111111"},   {96, 1, "000000000010"},   {256, 0, "000000000000"},
        {512, 0, "011111000110"},  {768, 0, "111111111111"},  {1024, 0, "011111111111"},
        {1024, 1, "111111111111"}, {1536, 0, "111111111111"}, {999, 0, "111111111111"},
    };
    for (const auto& c : cases) {
        PaletteState p = readyPalette();
        p.applyToolState(c.code, c.argument);
        EXPECT_EQ(enabledSet(p), c.enabled) << c.code << "," << c.argument;
    }
}

// The join by content is offered while both sides hold parts and neither is locked, whatever
// the width rule of automatic merge says.
TEST(PaletteState, JoinByContentNeedsTwoUnlockedParts) {
    const struct {
        int code;
        int argument;
        bool offered;
    } steps[] = {
        {512, 0, false}, {768, 0, true}, {1024, 0, true}, {80, 1, false},
        {96, 0, true},   {96, 1, false}, {768, 0, true},  {256, 0, false},
    };
    PaletteState p;
    for (const auto& s : steps) {
        p.applyToolState(s.code, s.argument);
        EXPECT_EQ(p.enabled(ButtonContentJoin), s.offered) << s.code << "," << s.argument;
        EXPECT_EQ(p.press(ButtonContentJoin),
                  s.offered ? std::optional(ToolCommand::ContentJoin) : std::nullopt);
        EXPECT_FALSE(p.checked(ButtonContentJoin));
    }
}

TEST(PaletteState, StateCodesReleaseButtons) {
    const struct {
        int code;
        int pressBefore;
        int pressed;
        const char* checked;
    } cases[] = {
        {16, ButtonGrid, 16, "000000000000"},   {48, ButtonCrop, 16, "000000000000"},
        {64, ButtonFlags, 16, "000000000000"},  {256, ButtonZoom, 16, "000000000000"},
        {1536, ButtonMove, 16, "000000000000"}, {768, ButtonMove, 1, "010000000000"},
    };
    for (const auto& c : cases) {
        PaletteState p = readyPalette();
        p.press(c.pressBefore);
        p.applyToolState(c.code, 0);
        EXPECT_EQ(p.pressed(), c.pressed) << c.code;
        EXPECT_EQ(checkedSet(p), c.checked) << c.code;
    }
}

} // namespace
} // namespace tandemscan
