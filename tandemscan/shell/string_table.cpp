#include "string_table.h"

#include "dialogs/save_formats.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace tandemscan {

namespace {

constexpr std::pair<int, std::string_view> table[] = {
    {IdsAbout, "&About Tandemscan..."},
    {IdsFile, "File"},
    {IdsColor, "Color"},
    {IdsGray, "Gray"},
    {IdsLineArt, "Line-art"},
    {Ids75Dpi, "75 dpi"},
    {Ids100Dpi, "100 dpi"},
    {Ids150Dpi, "150 dpi"},
    {Ids300Dpi, "300 dpi"},
    {Ids400Dpi, "400 dpi"},
    {Ids600Dpi, "600 dpi"},
    {IdsCustomResolution, "Custom..."},
    {IdsNoDriver, "No driver available"},
    {IdsError, "Error"},
    {IdsImageSize, "Image Size : "},
    {IdsTimes, " * "},
    {IdsPixel, " pixel"},
    {IdsResolution, "     Resolution : "},
    {IdsDpi, " dpi "},
    {IdsTipDataSource, "Select data source"},
    {IdsTipDescreen, "Select descreen lpi"},
    {IdsTipColorType, "Select color type"},
    {IdsTipResolution, "Select resolution"},
    {IdsTipInputLeft, "Input data to the left window"},
    {IdsTipInputRight, "Input data to the right window"},
    {IdsTipClearLeft, "Clear the left window"},
    {IdsTipClearRight, "Clear the right window"},
    {IdsTipPreview, "Preview merged effect"},
    {IdsTipSendTo, "Send image data to application"},
    {IdsTipSaveAs, "Save merged images as a file"},
    {IdsTipExit, "Exit program"},
    {IdsTipHelp, "Get online help"},
    {IdsSaveQuestion, "Do you want to save file(s) before exiting?"},
    {IdsConfirm, "Confirm"},
    {IdsFormatNotSupported, "Cannot support file format"},
    {IdsFormatsLineArt, kLineArtFormats},
    {IdsFormatsGray, kGrayFormats},
    {IdsFormatsColour, kColourFormats},
    {IdsFormatsColourFromGray, kColourFromEightBitFormats},
    {IdsTypeNotSupported, "Image type not supported!"},
    {IdsResolutionDiffers, "Resolution is different from the previous image!"},
    {IdsTypeDiffers, "Image type is different from the previous image!"},
    {IdsNewspaper, "Newspaper - 85lpi"},
    {IdsNoDescreen, "No descreen"},
    {IdsMagazine, "Magazine - 175lpi"},
    {IdsArtMagazine, "Art magazine - 200lpi"},
    {IdsCustomDescreen, "Custom..."},
    {IdsFileMissing, "The file dosen't exist!"},
    {IdsTipPaperSize, "Paper size setting"},
};

} // namespace

std::span<const std::pair<int, std::string_view>> stringTable() {
    return table;
}

std::string_view stringText(int id) {
    const auto* found =
        std::find_if(std::begin(table), std::end(table), [id](const auto& e) { return e.first == id; });
    return found == std::end(table) ? std::string_view() : found->second;
}

} // namespace tandemscan
