#include "workspace/palette_state.h"

#include <algorithm>

namespace tandemscan {

namespace {

constexpr std::uint8_t none = static_cast<std::uint8_t>(ToolMode::None);
constexpr std::uint8_t grid = static_cast<std::uint8_t>(ToolMode::Grid);
constexpr std::uint8_t flags = static_cast<std::uint8_t>(ToolMode::Flags);

} // namespace

// Until the workspace reports, nothing can be done: no part is loaded.
PaletteState::PaletteState() = default;

std::size_t PaletteState::index(int button) {
    const auto it = std::find(paletteButtons.begin(), paletteButtons.end(), button);
    return it == paletteButtons.end() ? 0 : static_cast<std::size_t>(it - paletteButtons.begin());
}

void PaletteState::setEnabledRange(int first, int last, bool on) {
    for (int b : paletteButtons)
        if (b >= first && b <= last) setEnabled(b, on);
}

void PaletteState::uncheckModeButtons() {
    for (int b : {ButtonAutoMerge, ButtonMove, ButtonRotate, ButtonZoom, ButtonCrop, ButtonGrid, ButtonFlags,
                  ButtonAdjust})
        setChecked(b, false);
}

void PaletteState::pressMode(int button, std::uint8_t state) {
    if (pressed_ == state) {
        setChecked(button, false);
        pressed_ = none;
        return;
    }
    // The adjustment button always clears the others first.
    if (pressed_ != none || button == ButtonAdjust) uncheckModeButtons();
    setChecked(button, true);
    pressed_ = state;
}

// The grid and the flags can be on together (state 13); each button turns its own half on or
// off and leaves the other half alone, and replaces any other tool.
void PaletteState::pressCombined(int button, std::uint8_t own, std::uint8_t other) {
    if (pressed_ == none || pressed_ == other) {
        setChecked(button, true);
        pressed_ = pressed_ == none ? own : pressedGridAndFlags;
    } else if (pressed_ == own || pressed_ == pressedGridAndFlags) {
        setChecked(button, false);
        pressed_ = pressed_ == own ? none : other;
    } else {
        uncheckModeButtons();
        setChecked(button, true);
        pressed_ = own;
    }
}

std::optional<ToolCommand> PaletteState::press(int button) {
    if (std::find(paletteButtons.begin(), paletteButtons.end(), button) == paletteButtons.end() ||
        !enabled(button))
        return std::nullopt;
    switch (button) {
    case ButtonAutoMerge:
        return ToolCommand::AutoMerge;
    case ButtonContentJoin:
        return ToolCommand::ContentJoin;
    case ButtonExchange:
        return ToolCommand::Exchange;
    case ButtonUnite:
        return ToolCommand::UniteFlags;
    case ButtonMove:
        pressMode(button, 1);
        return ToolCommand::Move;
    case ButtonRotate:
        pressMode(button, 4);
        return ToolCommand::Rotate;
    case ButtonZoom:
        pressMode(button, 5);
        return ToolCommand::Zoom;
    case ButtonCrop:
        pressMode(button, 6);
        return ToolCommand::Crop;
    case ButtonAdjust:
        pressMode(button, 11);
        return ToolCommand::Adjust;
    case ButtonGrid:
        pressCombined(ButtonGrid, grid, flags);
        return ToolCommand::Grid;
    case ButtonFlags:
        pressCombined(ButtonFlags, flags, grid);
        return ToolCommand::Flags;
    case ButtonMagnifier:
        magnifierOn_ = !magnifierOn_;
        setChecked(ButtonMagnifier, magnifierOn_);
        return magnifierOn_ ? ToolCommand::MagnifierOn : ToolCommand::MagnifierOff;
    default:
        return std::nullopt;
    }
}

bool PaletteState::pressedFor(ToolCommand command) const {
    switch (command) {
    case ToolCommand::Move:
        return pressed_ == 1;
    case ToolCommand::Rotate:
        return pressed_ == 4;
    case ToolCommand::Zoom:
        return pressed_ == 5;
    case ToolCommand::Crop:
        return pressed_ == 6;
    case ToolCommand::Adjust:
        return pressed_ == 11;
    case ToolCommand::Grid:
        return pressed_ == grid || pressed_ == pressedGridAndFlags;
    case ToolCommand::Flags:
        return pressed_ == flags || pressed_ == pressedGridAndFlags;
    default:
        return false;
    }
}

bool PaletteState::applyToolState(int code, int argument) {
    switch (code) {
    case 16:
        setChecked(ButtonGrid, false);
        setChecked(ButtonFlags, false);
        setEnabled(ButtonUnite, false);
        pressed_ = none;
        return true;
    case 32:
        setEnabled(ButtonUnite, argument == 1);
        return true;
    case 48:
        setChecked(ButtonCrop, false);
        pressed_ = none;
        return true;
    case 64:
        setChecked(ButtonFlags, false);
        pressed_ = none;
        return true;
    case 80:
        for (int b : {ButtonAutoMerge, ButtonContentJoin, ButtonExchange, ButtonZoom, ButtonGrid, ButtonFlags,
                      ButtonUnite})
            setEnabled(b, false);
        for (int b : {ButtonMove, ButtonRotate, ButtonCrop, ButtonAdjust})
            setEnabled(b, true);
        return true;
    case 96:
        if (argument == 0) {
            setEnabledRange(ButtonAutoMerge, ButtonFlags, true);
            setEnabled(ButtonAdjust, true);
        } else {
            setEnabledRange(ButtonAutoMerge, ButtonAdjust, false);
        }
        setEnabled(ButtonContentJoin, argument == 0);
        return true;
    case 256:
        setEnabledRange(ButtonAutoMerge, ButtonAdjust, false);
        setEnabled(ButtonMagnifier, false);
        setEnabled(ButtonContentJoin, false);
        uncheckModeButtons();
        pressed_ = none;
        return true;
    case 512:
        for (int b : {ButtonAutoMerge, ButtonContentJoin, ButtonGrid, ButtonFlags, ButtonUnite})
            setEnabled(b, false);
        setEnabled(ButtonMagnifier, true);
        setEnabledRange(ButtonMove, ButtonCrop, true);
        setEnabled(ButtonAdjust, true);
        return true;
    case 768:
        setEnabledRange(ButtonMove, ButtonFlags, true);
        setEnabled(ButtonMagnifier, true);
        setEnabled(ButtonContentJoin, true);
        return true;
    case 1024:
        setEnabled(ButtonAutoMerge, argument == 1);
        return true;
    case 1536:
        uncheckModeButtons();
        pressed_ = none;
        return true;
    default:
        return false;
    }
}

} // namespace tandemscan
