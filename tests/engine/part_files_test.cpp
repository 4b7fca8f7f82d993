// Which files load as parts, the resolution assumed for a JPEG that states none, and the second
// line of a message.
#include "engine/part_files.h"
#include "engine/working_files.h"

#include <fstream>
#include <gtest/gtest.h>

namespace tandemscan {
namespace {

namespace fs = std::filesystem;

TEST(PartFiles, AcceptedExtensionsInAnyCase) {
    const struct {
        const char* name;
        const char* refusal; // empty: accepted
    } cases[] = {
        {"scan.bmp", ""},
        {"scan.JPG", ""},
        {"scan.jpeg", ""},
        {"scan.Png", ""},
        {"scan.tif", ""},
        {"/home/u/scans/left.TIFF", ""},
        {"scan.gif",
         "\"scan.gif\": a .gif file cannot be loaded as a part; use .bmp, .jpg, .jpeg, .png, .tif or .tiff."},
        {"scan.pcx",
         "\"scan.pcx\": a .pcx file cannot be loaded as a part; use .bmp, .jpg, .jpeg, .png, .tif or .tiff."},
        {"scan.jpg.txt",
         "\"scan.jpg.txt\": a .txt file cannot be loaded as a part; use .bmp, .jpg, .jpeg, .png, .tif "
         "or .tiff."},
        {"scan",
         "\"scan\": a name without an extension cannot be loaded as a part; use .bmp, .jpg, .jpeg, .png, "
         ".tif or .tiff."},
        {"folder.bmp/scan",
         "\"folder.bmp/scan\": a name without an extension cannot be loaded as a part; use .bmp, "
         ".jpg, .jpeg, .png, .tif or .tiff."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(partExtensionRefusal(c.name), c.refusal) << c.name;
}

TEST(PartFiles, AJpegStatingNoResolutionIsReadAs72Dpi) {
    const auto folder = PrivateFolder::create(fs::temp_directory_path(), "part-files-");
    ASSERT_TRUE(folder);
    const struct {
        const char* name;
        std::string head; // the file's first bytes
        std::int32_t xPels, yPels;
        bool assumed;
        std::int32_t xAfter, yAfter;
    } cases[] = {
        {"none.jpg", "\xFF\xD8\xFF\xE0", 0, 0, true, 2835, 2835},
        {"stated.jpg", "\xFF\xD8\xFF\xE0", 11811, 11811, false, 11811, 11811},
        {"x-only.jpg", "\xFF\xD8\xFF\xE1", 0, 5906, true, 2835, 5906},
        // Decided by the contents, as the image file component reads them.
        {"named.bmp", "\xFF\xD8\xFF\xDB", 0, 0, true, 2835, 2835},
        {"bitmap.jpg", "BM\x36\x00", 0, 0, false, 0, 0},
        {"short.jpg", "\xFF\xD8", 0, 0, false, 0, 0},
    };
    for (const auto& c : cases) {
        const fs::path file = folder->path() / c.name;
        std::ofstream(file, std::ios::binary) << c.head;
        HeaderBlock header{};
        header.header.xPelsPerMeter = c.xPels;
        header.header.yPelsPerMeter = c.yPels;
        EXPECT_EQ(assumeUnstatedResolution(file, header), c.assumed) << c.name;
        EXPECT_EQ(header.header.xPelsPerMeter, c.xAfter) << c.name;
        EXPECT_EQ(header.header.yPelsPerMeter, c.yAfter) << c.name;
    }
    HeaderBlock header{};
    EXPECT_FALSE(assumeUnstatedResolution(folder->path() / "missing.jpg", header));
}

TEST(PartFiles, MessagesKeepTheirFirstLineAndNameTheFile) {
    EXPECT_EQ(withSecondLine("Fail to save file", aboutFile("/ro/a.bmp", "Permission denied")),
              "Fail to save file\n\"/ro/a.bmp\": Permission denied");
    // A reason that names the file already is not named again.
    EXPECT_EQ(aboutFile("/a.bmp", "Cannot write \"/a.bmp\": No space left on device."),
              "Cannot write \"/a.bmp\": No space left on device.");
    EXPECT_EQ(withSecondLine("Fail to save file", ""), "Fail to save file");
    EXPECT_EQ(aboutFile("", "Not enough memory"), "Not enough memory");
}

} // namespace
} // namespace tandemscan
