// The adjustment dialog driven by keys and clicks, with the workspace replaced by recorders.
#include "adjustment_dialog.h"
#include "engine/pixel_tools.h"

#include <QApplication>
#include <QTest>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

using namespace tandemscan;

namespace {

std::vector<std::uint8_t> makeBlock(int width, int height, int bitCount) {
    HeaderBlock header{};
    header.header = {40, width, height, 1, static_cast<std::uint16_t>(bitCount), 0, 0, 3937, 3937, 0, 0};
    for (int i = 0; i < 256 && bitCount <= 8; ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        header.palette[i] = {v, v, v, 0};
    }
    const std::size_t size = PixelTools::imageDataSize(header.header);
    std::vector<std::uint8_t> block(kHeaderBlockSize + size);
    std::memcpy(block.data(), &header, kHeaderBlockSize);
    for (std::size_t i = 0; i < size; ++i)
        block[kHeaderBlockSize + i] = static_cast<std::uint8_t>(i * 13 + 40);
    return block;
}

ImageRecord recordFrom(const std::vector<std::uint8_t>& block) {
    HeaderBlock header;
    std::memcpy(&header, block.data(), kHeaderBlockSize);
    auto record = ImageRecord::allocate(header, block.size() - kHeaderBlockSize);
    std::memcpy(record->pixels().data(), block.data() + kHeaderBlockSize, block.size() - kHeaderBlockSize);
    return std::move(*record);
}

struct Harness {
    explicit Harness(int bitCount) : original(makeBlock(12, 6, bitCount)), working(recordFrom(original)) {}
    std::vector<std::uint8_t> original;
    ImageRecord working;
    OperationRunner runner;
    int previews = 0;
    std::vector<std::uint8_t> lastPreview;

    std::unique_ptr<ImageAdjustmentDialog> open() {
        DialogContext context;
        context.showMessage = [](QWidget*, const QString&, const QString&, QMessageBox::Icon) {};
        return std::make_unique<ImageAdjustmentDialog>(
            working, runner, context,
            [this](const HeaderBlock&, std::span<const std::uint8_t> pixels) {
                ++previews;
                lastPreview.assign(pixels.begin(), pixels.end());
            },
            [this] { return std::span<std::uint8_t>(original); });
    }
    std::vector<std::uint8_t> workingBytes() const {
        return {working.pixels().begin(), working.pixels().end()};
    }
};

} // namespace

TEST(AdjustmentDialog, CancelLeavesEveryByteAsBefore) {
    Harness h(24);
    const auto original = h.original;
    const auto working = h.workingBytes();
    auto dialog = h.open();
    dialog->brightnessEdit()->setText("100");
    dialog->contrastEdit()->setText("-50");
    dialog->saturationEdit()->setText("30");
    EXPECT_EQ(h.previews, 3);
    EXPECT_NE(h.lastPreview, working);
    dialog->reject();
    EXPECT_EQ(dialog->values(), AdjustmentValues{});
    EXPECT_EQ(h.lastPreview, working); // the last preview shows the part as it was
    EXPECT_EQ(h.workingBytes(), working);
    EXPECT_EQ(h.original, original);
}

TEST(AdjustmentDialog, ANegativeValueCanBeTyped) {
    Harness h(24);
    auto dialog = h.open();
    dialog->show();
    dialog->brightnessEdit()->setFocus();
    dialog->brightnessEdit()->selectAll();
    QTest::keyClicks(dialog->brightnessEdit(), "-60");
    EXPECT_EQ(dialog->brightnessEdit()->text(), "-60");
    EXPECT_EQ(dialog->values().brightness, -60);
    EXPECT_EQ(dialog->values().contrast, 0);
}

TEST(AdjustmentDialog, OkKeepsThePreviewOnWorkingCopyAndOriginal) {
    Harness h(24);
    auto dialog = h.open();
    dialog->saturationEdit()->setText("-100");
    const auto preview = h.lastPreview;
    dialog->accept();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(h.workingBytes(), preview);
    EXPECT_TRUE(std::equal(preview.begin(), preview.end(), h.original.begin() + kHeaderBlockSize));
}

TEST(AdjustmentDialog, GreyPartsHaveNoSaturation) {
    Harness h(8);
    auto dialog = h.open();
    EXPECT_FALSE(dialog->saturationEdit()->isEnabled());
    dialog->brightnessEdit()->setText("127");
    EXPECT_EQ(dialog->values().brightness, 127);
    EXPECT_EQ(h.previews, 1);
}

TEST(AdjustmentDialog, SliderClicksAtBothEnds) {
    Harness h(24);
    auto dialog = h.open();
    dialog->resize(420, 300);
    dialog->show();
    struct Case {
        int slider;
        bool leftEnd;
        int value;
    } cases[] = {{0, true, -127}, {0, false, 127}, {1, true, -127}, {2, false, 100}, {2, true, -100}};
    for (const auto& c : cases) {
        AdjustmentSlider* slider = dialog->slider(c.slider);
        const QRect hit = slider->hitRect();
        const QPoint at(c.leftEnd ? hit.left() + 7 : hit.right(), hit.top() + 2);
        QTest::mousePress(slider, Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseRelease(slider, Qt::LeftButton, Qt::NoModifier, at);
        const int values[3] = {dialog->values().brightness, dialog->values().contrast,
                               dialog->values().saturation};
        EXPECT_EQ(values[c.slider], c.value) << c.slider << " " << c.leftEnd;
        EXPECT_EQ(slider->value(), c.value);
    }
    EXPECT_EQ(ImageAdjustmentDialog::refusal(ImageHeader{40, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0}),
              "Image adjust can't support monochroic image!");
    EXPECT_TRUE(ImageAdjustmentDialog::refusal(ImageHeader{40, 1, 1, 1, 24, 0, 0, 0, 0, 0, 0}).isEmpty());
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
