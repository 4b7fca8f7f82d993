// From two scans to the joined file: two halves are cut from one real picture (the shipped
// sample sheet) with a known overlap, the right one shifted by a known number of rows and
// skewed by 5 degrees, as a careless second pass on a flatbed scanner would give. They are
// placed with the workspace's tools alone (the crop frame turned by the skew and applied, the
// move tool by the offset), saved, and the saved file is compared with the picture.
#include "engine/image_file.h"
#include "recording_host.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>

namespace tandemscan {
namespace {

using testing::RecordingHost;

constexpr int pictureWidth = 360;
constexpr int pictureHeight = 300;
constexpr int halfWidth = 200;
constexpr int rightFrom = 160; // the right half starts at this column: 40 columns overlap
constexpr int rightDown = 6;   // and this many rows further down the sheet
constexpr int skewDegrees = 5;

// Pixel (x, y), top-down, of a 24-bit record.
const std::uint8_t* pixelAt(const ImageRecord& r, int x, int y) {
    const std::uint32_t stride = PixelTools::rowStride(r.header().width, 24);
    return r.pixels().data() + static_cast<std::size_t>(r.header().height - 1 - y) * stride + 3 * x;
}

// A region of a 24-bit record as a new record, at 60 dpi so that the workspace shows it pixel
// for pixel.
ImageRecord region(const ImageRecord& src, int left, int top, int width, int height) {
    HeaderBlock h = src.headerBlock();
    h.header.width = width;
    h.header.height = height;
    h.header.xPelsPerMeter = h.header.yPelsPerMeter = testing::ppm60;
    h.header.sizeImage = PixelTools::imageDataSize(h.header);
    std::optional<ImageRecord> r = ImageRecord::allocate(h, h.header.sizeImage);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            std::memcpy(const_cast<std::uint8_t*>(pixelAt(*r, x, y)), pixelAt(src, left + x, top + y), 3);
    return std::move(*r);
}

class WorkspaceEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = PrivateFolder::create(temporaryRoot(), "workspace-e2e-");
        std::string why;
        library = ImageFileLibrary::load(TS_PROGRAM_DIR, &why);
        if (!library) GTEST_SKIP() << why;
        component = library->newInstance();
        ASSERT_TRUE(component);
    }

    ImageRecord read(const std::filesystem::path& path) {
        HeaderBlock h{};
        const std::uint32_t size = component->imageSize(path);
        EXPECT_GT(size, 0u) << path;
        std::optional<ImageRecord> r = ImageRecord::allocate(h, size);
        EXPECT_TRUE(component->readImage(path, r->headerBlock(), r->pixels().data()));
        return std::move(*r);
    }
    std::string write(const std::string& name, const ImageRecord& r) {
        const std::filesystem::path path = folder->path() / name;
        EXPECT_TRUE(component->writeImage(path, r.headerBlock(), r.pixels().data()));
        return path.string();
    }

    std::optional<PrivateFolder> folder;
    std::shared_ptr<ImageFileLibrary> library;
    std::optional<ImageFileInstance> component;
};

// Drags with the left button from one point to another in one stroke.
void drag(MergeWorkspace& ws, Point from, Point to) {
    ws.mousePress(from, {});
    ws.mouseMove(to, true, {});
    ws.mouseRelease(to);
}

TEST_F(WorkspaceEndToEnd, SkewedHalvesPlacedWithTheToolsGiveThePictureBack) {
    // The picture: the middle of the sample sheet.
    const ImageRecord sheet = read(std::filesystem::path(TS_SOURCE_DIR) / "samples" / "left.jpg");
    ASSERT_EQ(sheet.header().bitCount, 24);
    const ImageRecord picture = region(sheet, 500, 700, pictureWidth, pictureHeight);
    const ImageRecord leftHalf = region(picture, 0, 0, halfWidth, pictureHeight);
    const ImageRecord straight = region(picture, rightFrom, rightDown, halfWidth, pictureHeight - rightDown);
    // Skewed counter-clockwise, with white where the glass saw no paper.
    std::optional<ImageRecord> skewed = ImageRecord::allocate(
        straight.headerBlock(), PixelTools::rotatedSize(straight.header(), -skewDegrees));
    ASSERT_TRUE(PixelTools::rotateImage(skewed->headerBlock(), skewed->pixels(), -skewDegrees,
                                        straight.headerBlock(), straight.pixels(), RasterType::trueColor));
    skewed->header().sizeImage = PixelTools::imageDataSize(skewed->header());
    const int skewedWidth = skewed->header().width;
    const int skewedHeight = skewed->header().height;

    RecordingHost host;
    ImageEngine engine(library, folder->path());
    MergeWorkspace ws(host, engine);
    ASSERT_TRUE(ws.loadPart(write("left.bmp", leftHalf), Side::Left)) << host.lastMessage();
    ASSERT_TRUE(ws.loadPart(write("right.bmp", *skewed), Side::Right)) << host.lastMessage();
    ASSERT_EQ(engine.workScale(), 1.0);
    ASSERT_EQ(engine.viewScale(), 1.0);
    const Rect shown = ws.side(Side::Right).partRect();
    const Point centre{(shown.left + shown.right) / 2, (shown.top + shown.bottom) / 2};

    // The crop frame on the right part: pivot to the part's centre, edges pulled in to a
    // rectangle well inside the paper, then turned by the skew.
    ws.selectTool(ToolMode::Crop, true);
    CropGeometry g = ws.cropFrame(Side::Right).frame;
    drag(ws, g.pivot(), centre);
    const Rect target{centre.x - 75, centre.y - 115, centre.x + 75, centre.y + 115};
    g = ws.cropFrame(Side::Right).frame;
    drag(ws, {g.left + 2, centre.y + 40}, {target.left + 2, centre.y + 40});
    drag(ws, {g.right - 2, centre.y + 40}, {target.right - 2, centre.y + 40});
    drag(ws, {centre.x + 30, g.top + 2}, {centre.x + 30, target.top + 2});
    drag(ws, {centre.x + 30, g.bottom - 2}, {centre.x + 30, target.bottom - 2});
    ASSERT_EQ(ws.cropFrame(Side::Right).frame.rect(), target);
    const Point grab{target.left - 15, target.top - 15};
    ws.mousePress(grab, {});
    ASSERT_EQ(ws.cropHit(), CropRotateUpperLeft);
    const double radius = std::hypot(grab.x - centre.x, grab.y - centre.y);
    const double start = std::atan2(centre.y - grab.y, grab.x - centre.x);
    const double turn = skewDegrees * 3.14159265358979 / 180;
    const Point to{static_cast<int>(std::lround(centre.x + radius * std::cos(start + turn))),
                   static_cast<int>(std::lround(centre.y - radius * std::sin(start + turn)))};
    ws.mouseMove(to, true, {});
    ws.mouseRelease(to);
    ASSERT_NEAR(ws.cropFrame(Side::Right).frame.angle, turn, 0.005);
    ws.doubleClick(centre);
    ASSERT_EQ(ws.side(Side::Right).cropHistory.size(), 1u);
    const EditEntry cut = ws.side(Side::Right).cropHistory[0];
    EXPECT_EQ(ws.side(Side::Right).workingCopy.header().width, 150);
    EXPECT_EQ(ws.side(Side::Right).workingCopy.header().height, 230);
    ws.selectTool(ToolMode::Crop, false);

    // Where the cut lies in the picture: turning the skewed part upright keeps the centres of
    // the straight half, the skewed part and the turned copy on one another.
    const PixelTools::Size turned = PixelTools::rotatedDimensions(skewedWidth, skewedHeight, skewDegrees);
    const int cutX = cut.left - turned.width / 2 + halfWidth / 2 + rightFrom;
    const int cutY = cut.top - turned.height / 2 + (pictureHeight - rightDown) / 2 + rightDown;

    // Move the right part with the tool so that the cut sits where it belongs next to the left
    // half: its column halfWidth - cutX at the seam, its top cutY rows down.
    ws.selectTool(ToolMode::Move, true);
    drag(ws, {300, 200}, {300 - (halfWidth - cutX), 200 + cutY});
    ASSERT_EQ(ws.side(Side::Right).view.offsetX, halfWidth - cutX);
    ASSERT_EQ(ws.side(Side::Right).view.offsetY, -cutY);

    const std::string out = (folder->path() / "joined.bmp").string();
    ASSERT_TRUE(ws.saveMerged(out)) << host.lastMessage();
    const ImageRecord joined = read(out);
    ASSERT_EQ(joined.header().width, cutX + 150);
    // Compare where the right cut lies. Two bilinear turns soften the picture by about 5 levels
    // on average; placed one pixel out in any direction the difference is above 6.
    double sum = 0;
    int count = 0;
    for (int y = cutY + 2; y < cutY + 228; ++y)
        for (int x = halfWidth; x < cutX + 148; ++x)
            for (int c = 0; c < 3; ++c, ++count)
                sum += std::abs(pixelAt(joined, x, y)[c] - pixelAt(picture, x, y)[c]);
    const double meanDifference = sum / count;
    EXPECT_LT(meanDifference, 5.5) << "cut at " << cutX << "," << cutY;
    // The left half arrives untouched.
    for (int y = 0; y < pictureHeight; y += 37)
        for (int x = 0; x < halfWidth; x += 23)
            ASSERT_EQ(std::memcmp(pixelAt(joined, x, y), pixelAt(picture, x, y), 3), 0) << x << "," << y;
}

TEST_F(WorkspaceEndToEnd, AJpegStatingNoResolutionLoadsAt72Dpi) {
    // Written with JFIF density units 0 and no Exif, as cameras and stripping tools leave it.
    const ImageRecord sheet = read(std::filesystem::path(TS_SOURCE_DIR) / "samples" / "left.jpg");
    ImageRecord part = region(sheet, 0, 0, 120, 80);
    part.header().xPelsPerMeter = part.header().yPelsPerMeter = 0;
    const std::string file = write("phone.jpg", part);
    HeaderBlock stated{};
    ASSERT_TRUE(component->readImage(file, stated, nullptr));
    ASSERT_EQ(stated.header.xPelsPerMeter, 0) << "the file itself states none";

    RecordingHost host;
    ImageEngine engine(library, folder->path());
    MergeWorkspace ws(host, engine);
    ASSERT_TRUE(ws.loadPart(file, Side::Left)) << host.lastMessage();
    const ImageRecord* original = ws.original(Side::Left);
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(original->header().xPelsPerMeter, 2835);
    EXPECT_EQ(original->header().yPelsPerMeter, 2835);
}

} // namespace
} // namespace tandemscan
