// Numbers shared by the tool palette, the main window and the workspace. The values are the
// codes the three exchange, so they are fixed.
#pragma once

#include <cstdint>

namespace tandemscan {

// The active workspace tool.
enum class ToolMode : std::uint8_t {
    Move = 1,
    Rotate = 4,
    Zoom = 5,
    Crop = 6,
    Grid = 8,
    Flags = 9,
    UniteFlags = 10,
    Adjust = 11,
    None = 16,
};

// Commands the palette sends to the main window (ToolCommandMessage).
enum class ToolCommand : std::uint8_t {
    AutoMerge = 1,
    Move = 2,
    Exchange = 3,
    Rotate = 4,
    Zoom = 5,
    Crop = 6,
    Grid = 7,
    Flags = 8,
    UniteFlags = 9,
    Adjust = 16,
    MagnifierOn = 17,
    MagnifierOff = 18,
    ContentJoin = 19,
    ScanDone = 32,
};

// State reports from the workspace to the palette (ToolStateMessage).
enum class ToolState : std::uint16_t {
    FlagsUnited = 16,
    FlagsPlaced = 32,
    CropClosed = 48,
    FlagsOff = 64,
    OneLocked = 80,
    OtherLocked = 96,
    NoUnlockedPart = 256,
    OnePart = 512,
    TwoParts = 768,
    AutoMergeWidth = 1024,
    ModesReleased = 1536,
};

// Kind of the last undoable edit.
enum class EditKind : std::uint8_t {
    None = 0,
    Move = 2,
    Exchange = 3,
    Rotate = 4,
    Zoom = 5,
    Crop = 6,
    FlagUnion = 7,
    ClearSide = 8,
    ContentJoin = 9,
};

// Where a point lies relative to a crop frame.
enum CropHit : std::uint32_t {
    CropNothing = 4096,
    CropPivot = 8192,
    CropInside = 12288,
    CropLeft = 0x10000,
    CropTop = 0x20000,
    CropRight = 0x30000,
    CropBottom = 0x40000,
    CropTopLeft = 0x50000,
    CropTopRight = 0x60000,
    CropBottomLeft = 0x70000,
    CropBottomRight = 0x80000,
    CropRotateUpperLeft = 0x100000,
    CropRotateUpperRight = 0x200000,
    CropRotateLowerLeft = 0x300000,
    CropRotateLowerRight = 0x400000,
};

inline bool isResizeHit(std::uint32_t hit) {
    return hit >= CropLeft && hit <= CropBottomRight;
}
inline bool isRotateHit(std::uint32_t hit) {
    return hit == CropRotateUpperLeft || hit == CropRotateUpperRight || hit == CropRotateLowerLeft ||
           hit == CropRotateLowerRight;
}

// The workspace's 24 cursors; the view maps each slot to an image.
enum class CursorSlot : std::uint8_t {
    Arrow = 0,
    Move = 1,
    Rotate = 2,
    ZoomIn = 3,
    ZoomOut = 4,
    ZoomLimit = 5,
    GridHorizontal = 6,
    GridVertical = 7,
    SizeAll = 8,
    FlagLeft = 9,
    FlagRight = 10,
    Adjust = 11,
    ResizeWestEast = 12,
    ResizeNorthEastSouthWest = 13,
    ResizeNorthSouth = 14,
    ResizeNorthWestSouthEast = 15,
    RotateSector0 = 16, // ... up to RotateSector0 + 7
};
inline constexpr int cursorSlotCount = 24;

// Pop-up menu command numbers.
enum MenuCommand : int {
    MenuUndo = 32785,
    MenuRedo = 32803,
    MenuReload = 32788,
    MenuZoomFirst = 32789, // 100 % ... MenuZoomFirst + 13 = 800 %
    MenuSaveSolely = 32808,
    MenuLock = 32809,
};

} // namespace tandemscan
