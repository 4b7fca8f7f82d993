// The program's English texts by number. Every text still passes through the language component
// before it is shown; the numbers keep the message file's entries and the code in step.
#pragma once

#include <span>
#include <string_view>
#include <utility>

namespace tandemscan {

enum StringId : int {
    IdsAbout = 101,
    IdsFile = 112,
    IdsColor = 113,
    IdsGray = 114,
    IdsLineArt = 115,
    Ids75Dpi = 116,
    Ids100Dpi = 117,
    Ids150Dpi = 118,
    Ids300Dpi = 119,
    Ids400Dpi = 120,
    Ids600Dpi = 121,
    IdsCustomResolution = 122,
    IdsNoDriver = 123,
    IdsError = 308,
    IdsImageSize = 309,
    IdsTimes = 310,
    IdsPixel = 311,
    IdsResolution = 312,
    IdsDpi = 313,
    IdsTipDataSource = 315,
    IdsTipDescreen = 316,
    IdsTipColorType = 317,
    IdsTipResolution = 318,
    IdsTipInputLeft = 319,
    IdsTipInputRight = 320,
    IdsTipClearLeft = 321,
    IdsTipClearRight = 322,
    IdsTipPreview = 323,
    IdsTipSendTo = 324,
    IdsTipSaveAs = 325,
    IdsTipExit = 326,
    IdsTipHelp = 327,
    IdsSaveQuestion = 329,
    IdsConfirm = 330,
    IdsFormatNotSupported = 337,
    IdsFormatsLineArt = 338,
    IdsFormatsGray = 339,
    IdsFormatsColour = 340,
    IdsFormatsColourFromGray = 346,
    IdsTypeNotSupported = 353,
    IdsResolutionDiffers = 354,
    IdsTypeDiffers = 355,
    IdsNewspaper = 357,
    IdsNoDescreen = 358,
    IdsMagazine = 359,
    IdsArtMagazine = 360,
    IdsCustomDescreen = 361,
    IdsFileMissing = 364,
    IdsTipPaperSize = 367,
};

// The English text of a string id; "" for an unknown id.
std::string_view stringText(int id);
// Every entry, for checks over the whole table.
std::span<const std::pair<int, std::string_view>> stringTable();

} // namespace tandemscan
