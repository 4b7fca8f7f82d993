// The tool palette's notion of which tool is pressed and which buttons are on offer: its button
// presses turn into tool commands, and the workspace's state codes enable and check buttons.
#pragma once

#include "workspace/tool_codes.h"

#include <array>
#include <cstdint>
#include <optional>

namespace tandemscan {

// Toolbar command numbers, in toolbar order but for the join by content, which came last.
enum PaletteButton : int {
    ButtonAutoMerge = 32771,
    ButtonMove = 32772,
    ButtonExchange = 32773,
    ButtonRotate = 32774,
    ButtonZoom = 32775,
    ButtonCrop = 32776,
    ButtonGrid = 32777,
    ButtonFlags = 32778,
    ButtonUnite = 32779,
    ButtonAdjust = 32780,
    ButtonMagnifier = 32930,
    ButtonContentJoin = 32781, // shown after automatic merge
};
inline constexpr std::array<int, 12> paletteButtons{
    ButtonAutoMerge, ButtonMove,  ButtonExchange, ButtonRotate, ButtonZoom,      ButtonCrop,
    ButtonGrid,      ButtonFlags, ButtonUnite,    ButtonAdjust, ButtonMagnifier, ButtonContentJoin};
// Commands the palette's accelerators pass to the main window.
inline constexpr int commandHelp = 1012;
inline constexpr int commandUndo = 32785;
// The combined state of the grid and the flags.
inline constexpr std::uint8_t pressedGridAndFlags = 13;

class PaletteState {
  public:
    PaletteState();

    std::uint8_t pressed() const { return pressed_; }
    bool checked(int button) const { return checked_[index(button)]; }
    bool enabled(int button) const { return enabled_[index(button)]; }
    bool magnifierOn() const { return magnifierOn_; }
    void setMagnifierOn(bool on) { magnifierOn_ = on; }

    // A button press: the command the main window receives, or nothing for a disabled button.
    std::optional<ToolCommand> press(int button);
    // Whether the palette's state now selects the tool of a command (what the main window adds
    // when it passes the command on to the workspace).
    bool pressedFor(ToolCommand command) const;
    // A ToolStateMessage from the workspace; false when the code means nothing to the palette.
    bool applyToolState(int code, int argument);

  private:
    static std::size_t index(int button);
    void setChecked(int button, bool on) { checked_[index(button)] = on; }
    void setEnabled(int button, bool on) { enabled_[index(button)] = on; }
    void setEnabledRange(int first, int last, bool on);
    void uncheckModeButtons();
    void pressMode(int button, std::uint8_t state);
    void pressCombined(int button, std::uint8_t own, std::uint8_t other);

    std::uint8_t pressed_ = static_cast<std::uint8_t>(ToolMode::None);
    std::array<bool, paletteButtons.size()> checked_{};
    std::array<bool, paletteButtons.size()> enabled_{};
    bool magnifierOn_ = false;
};

} // namespace tandemscan
