// Geometric operations: mirror, flip, rotate, slopes and resize.
#include "rasterkit_harness.h"

using namespace rktest;

namespace {

// Every pixel (index or the three bytes) equal, padding ignored.
bool samePixels(const Bitmap& a, const Bitmap& b) {
    if (a.width != b.width || a.height != b.height || a.bits != b.bits) return false;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            if (a.bits == 24) {
                for (int c = 0; c < 3; ++c) {
                    if (a.sample(x, y, c) != b.sample(x, y, c)) return false;
                }
            } else if (a.bits == 16) {
                if (a.row(y)[2 * x] != b.row(y)[2 * x] || a.row(y)[2 * x + 1] != b.row(y)[2 * x + 1]) {
                    return false;
                }
            } else if (a.index(x, y) != b.index(x, y)) {
                return false;
            }
        }
    }
    return true;
}

struct Format {
    int bits;
    int planes;
};
const Format kFormats[] = {{1, 1}, {2, 1}, {4, 1}, {8, 1}, {16, 1}, {24, 1}, {24, 3}};

TEST(MirrorAndFlip, TwiceRestoresEveryFormat) {
    for (const Format f : kFormats) {
        for (int index : {RK_OP_MIRROR_HORIZONTAL, RK_OP_FLIP_VERTICAL}) {
            SCOPED_TRACE(testing::Message() << f.bits << " bits, " << f.planes << " planes, op " << index);
            Bitmap src = makeBitmap(f.bits, 11, 3, -1, f.planes);
            fillPattern(src);
            Outcome once = runOperation(index, src, nullptr);
            ASSERT_EQ(once.run, RK_RESULT_SUCCEED);
            EXPECT_FALSE(samePixels(once.dst, src));
            Outcome twice = runOperation(index, once.dst, nullptr);
            ASSERT_EQ(twice.run, RK_RESULT_SUCCEED);
            EXPECT_TRUE(samePixels(twice.dst, src));
            if (f.bits <= 8) {
                EXPECT_EQ(once.dst.palette, src.palette);
            }
        }
    }
}

TEST(MirrorAndFlip, ExactPositions) {
    Bitmap mono = makeBitmap(1, 10, 1);
    mono.setIndex(0, 0, 1);
    mono.setIndex(3, 0, 1);
    mono.row(0)[1] |= 0x3F; // padding bits set in the source
    Outcome out = runOperation(RK_OP_MIRROR_HORIZONTAL, mono, nullptr);
    EXPECT_EQ(out.dst.row(0)[0], 0x02); // pixel 3 -> 6
    EXPECT_EQ(out.dst.row(0)[1], 0x40); // pixel 0 -> 9, padding bits clear
    EXPECT_EQ(out.dst.row(0)[2], 0x00);

    Bitmap nibbles = makeBitmap(4, 3, 1);
    nibbles.setIndex(0, 0, 1);
    nibbles.setIndex(1, 0, 2);
    nibbles.setIndex(2, 0, 3);
    Outcome mirrored = runOperation(RK_OP_MIRROR_HORIZONTAL, nibbles, nullptr);
    EXPECT_EQ(mirrored.dst.index(0, 0), 3);
    EXPECT_EQ(mirrored.dst.index(1, 0), 2);
    EXPECT_EQ(mirrored.dst.index(2, 0), 1);

    Bitmap rgb = makeBitmap(24, 2, 3);
    rgb.setRgb(1, 0, 1, 2, 3);
    Outcome flipped = runOperation(RK_OP_FLIP_VERTICAL, rgb, nullptr);
    EXPECT_EQ(flipped.dst.sample(1, 2, 0), 1);
    EXPECT_EQ(flipped.dst.sample(1, 2, 2), 3);
    EXPECT_EQ(flipped.dst.sample(1, 0, 0), 0);
}

TEST(MirrorAndFlip, CancelKeepsTheRowsDone) {
    for (int index : {RK_OP_MIRROR_HORIZONTAL, RK_OP_FLIP_VERTICAL}) {
        Bitmap src = makeBitmap(8, 4, 3);
        Outcome out = runOperation(index, src, nullptr, {.cancelAtPoll = 1});
        EXPECT_EQ(out.run, RK_RESULT_CANCEL);
        EXPECT_EQ(out.dst.row(0)[0], 0);          // row 0 was done before the poll
        EXPECT_EQ(out.dst.row(1)[0], kUnwritten); // the rest was not
        const std::vector<std::pair<int, int>> expected = {{1, 3}};
        EXPECT_EQ(out.callbacks.progress, expected);
    }
}

// A 3 x 2 image whose pixel (x, y) holds 10 y + x + 1.
Bitmap numbered(int bits, int planes = 1) {
    Bitmap b = makeBitmap(bits, 3, 2, -1, planes);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const auto v = static_cast<std::uint8_t>(10 * y + x + 1);
            if (bits == 24) {
                b.setRgb(x, y, v, static_cast<std::uint8_t>(v + 100), static_cast<std::uint8_t>(v + 200));
            } else {
                b.setIndex(x, y, bits == 1 ? v & 1 : v);
            }
        }
    }
    return b;
}

TEST(Rotate, QuarterTurns) {
    struct Case {
        int angle;
        int width, height;
        int expected[3][3]; // destination rows of 10 y + x + 1 values
    };
    const Case cases[] = {
        {90, 2, 3, {{3, 13}, {2, 12}, {1, 11}}},  {-270, 2, 3, {{3, 13}, {2, 12}, {1, 11}}},
        {270, 2, 3, {{11, 1}, {12, 2}, {13, 3}}}, {-90, 2, 3, {{11, 1}, {12, 2}, {13, 3}}},
        {180, 3, 2, {{13, 12, 11}, {3, 2, 1}}},   {-180, 3, 2, {{13, 12, 11}, {3, 2, 1}}},
        {0, 3, 2, {{1, 2, 3}, {11, 12, 13}}},     {360, 3, 2, {{1, 2, 3}, {11, 12, 13}}},
        {450, 2, 3, {{3, 13}, {2, 12}, {1, 11}}},
    };
    for (const auto& c : cases) {
        for (const Format f : {Format{8, 1}, Format{24, 1}, Format{24, 3}, Format{1, 1}}) {
            SCOPED_TRACE(testing::Message()
                         << c.angle << " degrees, " << f.bits << " bits, " << f.planes << " planes");
            Bitmap src = numbered(f.bits, f.planes);
            RotateParam param{c.angle, 0, 0, 0};
            Outcome out = runOperation(RK_OP_ROTATE, src, &param);
            ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
            ASSERT_EQ(out.dst.width, c.width);
            ASSERT_EQ(out.dst.height, c.height);
            for (int y = 0; y < c.height; ++y) {
                for (int x = 0; x < c.width; ++x) {
                    const int v = c.expected[y][x];
                    if (f.bits == 24) {
                        EXPECT_EQ(out.dst.sample(x, y, 0), v);
                        EXPECT_EQ(out.dst.sample(x, y, 2), v + 200);
                    } else {
                        EXPECT_EQ(out.dst.index(x, y), f.bits == 1 ? v & 1 : v);
                    }
                }
            }
        }
    }
}

TEST(Rotate, FourQuarterTurnsRestore) {
    Bitmap src = makeBitmap(24, 7, 5);
    fillPattern(src);
    Bitmap current = src;
    for (int i = 0; i < 4; ++i) {
        RotateParam param{90, 0, 0, 0};
        Outcome out = runOperation(RK_OP_ROTATE, current, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        current = out.dst;
    }
    EXPECT_TRUE(samePixels(current, src));
}

TEST(Rotate, AnyAngleSizes) {
    struct Case {
        int angle, width, height, dstWidth, dstHeight;
    };
    const Case cases[] = {
        {45, 100, 100, 144, 144},  {-45, 100, 100, 144, 144},
        {30, 200, 100, 226, 189}, // 200 cos 30 + 100 sin 30 = 223.2; 200 sin 30 + 100 cos 30 = 186.6
        {135, 100, 100, 144, 144}, {1, 10, 10, 13, 13},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.angle);
        Bitmap src = makeBitmap(24, c.width, c.height);
        RotateParam param{c.angle, 0, 0, 0};
        Outcome out = runOperation(RK_OP_ROTATE, src, &param);
        ASSERT_EQ(out.query, RK_RESULT_SUCCEED);
        EXPECT_EQ(out.dst.width, c.dstWidth);
        EXPECT_EQ(out.dst.height, c.dstHeight);
        EXPECT_EQ(out.run, RK_RESULT_SUCCEED);
    }
}

TEST(Rotate, AnyAnglePixels) {
    Bitmap src = makeBitmap(24, 9, 7);
    fillPattern(src);
    RotateParam param{30, 10, 20, 30};
    Outcome out = runOperation(RK_OP_ROTATE, src, &param);
    ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
    // The centre maps onto the source centre exactly; the corners lie outside the source.
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(out.dst.sample(out.dst.width / 2, out.dst.height / 2, c), src.sample(4, 3, c));
    }
    EXPECT_EQ(out.dst.sample(0, 0, 0), 30); // blue
    EXPECT_EQ(out.dst.sample(0, 0, 2), 10); // red

    Bitmap indexed = makeBitmap(8, 9, 7, RK_TYPE_COLOR8);
    fillPattern(indexed);
    indexed.setEntry(17, 28, 22, 8); // nearest to blue 30, green 20, red 10
    indexed.setEntry(18, 28, 22, 8); // as near, but later
    Outcome table = runOperation(RK_OP_ROTATE, indexed, &param);
    ASSERT_EQ(table.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(table.dst.index(0, 0), 17);
    EXPECT_EQ(table.dst.index(table.dst.width / 2, table.dst.height / 2), indexed.index(4, 3));
    EXPECT_EQ(table.dst.palette, indexed.palette);
    EXPECT_EQ(table.callbacks.progress.back(), std::make_pair(table.dst.height, table.dst.height));
}

TEST(Slope, ShiftsAndFill) {
    struct Case {
        int index;
        int angle;
        int dstWidth, dstHeight;
        int starts[3]; // where source line i starts in the destination
    };
    // tan(45 degrees with pi = 3.14159) is just below 1, so line 1 still starts at 0.
    const Case cases[] = {
        {RK_OP_SLOPE_HORIZONTAL, 0, 3, 3, {0, 0, 0}},   {RK_OP_SLOPE_HORIZONTAL, 45, 5, 3, {0, 0, 1}},
        {RK_OP_SLOPE_HORIZONTAL, -45, 5, 3, {2, 2, 1}}, {RK_OP_SLOPE_VERTICAL, 45, 3, 5, {0, 0, 1}},
        {RK_OP_SLOPE_VERTICAL, -45, 3, 5, {2, 2, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.index << " " << c.angle);
        Bitmap src = makeBitmap(8, 3, 3);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 3; ++x)
                src.setIndex(x, y, 10 * y + x + 1);
        }
        SlopeParam param{c.angle};
        Outcome out = runOperation(c.index, src, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        ASSERT_EQ(out.dst.width, c.dstWidth);
        ASSERT_EQ(out.dst.height, c.dstHeight);
        const bool horizontal = c.index == RK_OP_SLOPE_HORIZONTAL;
        for (int y = 0; y < out.dst.height; ++y) {
            for (int x = 0; x < out.dst.width; ++x) {
                const int line = horizontal ? y : x;
                const int along = (horizontal ? x : y) - c.starts[line];
                const int expected =
                    along >= 0 && along < 3 ? (horizontal ? 10 * y + along + 1 : 10 * along + x + 1) : 255;
                EXPECT_EQ(out.dst.index(x, y), expected) << x << "," << y;
            }
        }
    }
}

TEST(Slope, FormatsAndLimits) {
    SlopeParam param{20};
    Bitmap whiteFirst = makeBitmap(8, 4, 2, RK_TYPE_COLOR8);
    whiteFirst.setEntry(0, 255, 255, 255);
    Outcome out = runOperation(RK_OP_SLOPE_HORIZONTAL, whiteFirst, &param);
    ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(out.dst.index(out.dst.width - 1, 0), 0); // filled with the white entry
    Bitmap rgb = makeBitmap(24, 4, 2, -1, 3);
    fillPattern(rgb);
    Outcome planar = runOperation(RK_OP_SLOPE_VERTICAL, rgb, &param);
    ASSERT_EQ(planar.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(planar.dst.sample(3, 0, 2), 255);
    EXPECT_EQ(planar.dst.sample(3, 1, 2), rgb.sample(3, 0, 2)); // trunc(tan 20 x 3) = 1
    Bitmap mono = makeBitmap(1, 4, 2);
    EXPECT_EQ(runOperation(RK_OP_SLOPE_HORIZONTAL, mono, &param).run, RK_RESULT_NOT_SUPPORTED);
    SlopeParam steep{90}; // the slanted side would be millions of pixels
    Bitmap big = makeBitmap(8, 400, 400);
    EXPECT_EQ(runOperation(RK_OP_SLOPE_HORIZONTAL, big, &steep).query, RK_RESULT_NOT_SUPPORTED);
}

TEST(Resize, ExactSamples) {
    struct Case {
        const char* name;
        int bits;
        int type;
        std::vector<int> in;
        int width;
        std::vector<int> out;
    };
    const Case cases[] = {
        {"grey up", 8, RK_TYPE_GREY, {0, 200}, 3, {0, 100, 200}},
        {"grey same size", 8, RK_TYPE_GREY, {5, 77, 200, 3}, 4, {5, 77, 200, 3}},
        {"grey quarter", 8, RK_TYPE_GREY, {0, 64}, 5, {0, 10, 32, 54, 64}},
        {"grey to one column", 8, RK_TYPE_GREY, {0, 100, 200}, 1, {100}},
        {"grey from one column", 8, RK_TYPE_GREY, {42}, 3, {42, 42, 42}},
        {"indexed up", 8, RK_TYPE_COLOR8, {7, 9}, 3, {7, 7, 9}},
        {"bits up", 1, RK_TYPE_1BIT, {0, 1}, 3, {0, 1, 1}},
        {"bits down", 1, RK_TYPE_1BIT, {1, 0, 0, 1}, 2, {1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int w = static_cast<int>(c.in.size());
        Bitmap src = makeBitmap(c.bits, w, 2, c.type);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < w; ++x)
                src.setIndex(x, y, c.in[static_cast<std::size_t>(x)]);
        }
        ResizeParam param{c.width, 2};
        Outcome out = runOperation(RK_OP_RESIZE, src, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        ASSERT_EQ(out.dst.width, c.width);
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < c.width; ++x) {
                EXPECT_EQ(out.dst.index(x, y), c.out[static_cast<std::size_t>(x)]) << x << "," << y;
            }
        }
        EXPECT_EQ(out.callbacks.progress.back(), std::make_pair(c.width + 2, c.width + 2));
    }
}

TEST(Resize, SameSizeReproducesAndRoundsTrip) {
    for (const Format f : {Format{1, 1}, Format{8, 1}, Format{24, 1}, Format{24, 3}}) {
        SCOPED_TRACE(testing::Message() << f.bits << " bits, " << f.planes << " planes");
        Bitmap src = makeBitmap(f.bits, 13, 6, -1, f.planes);
        fillPattern(src);
        ResizeParam same{13, 6};
        Outcome out = runOperation(RK_OP_RESIZE, src, &same);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        EXPECT_TRUE(samePixels(out.dst, src));
        ResizeParam tiny{1, 1};
        Outcome one = runOperation(RK_OP_RESIZE, src, &tiny);
        EXPECT_EQ(one.run, RK_RESULT_SUCCEED);
    }
    // Doubling (2n - 1 positions) keeps every source pixel at an even position.
    Bitmap src = makeBitmap(24, 5, 4);
    fillPattern(src);
    ResizeParam twice{9, 7};
    Outcome big = runOperation(RK_OP_RESIZE, src, &twice);
    ASSERT_EQ(big.run, RK_RESULT_SUCCEED);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(big.dst.sample(2 * x, 2 * y, c), src.sample(x, y, c));
        }
    }
}

TEST(Geometry, RefusedFormatsAndSizes) {
    RotateParam turn{90, 0, 0, 0};
    RotateParam tilt{10, 0, 0, 0};
    ResizeParam size{4, 4};
    Bitmap nibbles = makeBitmap(4, 4, 4);
    Bitmap wide = makeBitmap(16, 4, 4);
    Bitmap rgb = makeBitmap(24, 4, 4);
    EXPECT_EQ(runOperation(RK_OP_ROTATE, nibbles, &turn).run, RK_RESULT_NOT_SUPPORTED);
    EXPECT_EQ(runOperation(RK_OP_ROTATE, wide, &tilt).run, RK_RESULT_NOT_SUPPORTED);
    EXPECT_EQ(runOperation(RK_OP_RESIZE, wide, &size).run, RK_RESULT_NOT_SUPPORTED);
    EXPECT_EQ(runOperation(RK_OP_ROTATE, rgb, nullptr).query, RK_RESULT_NOT_SUPPORTED);
}

} // namespace

namespace {

TEST(Geometry, PlanarEqualsInterleaved) {
    RotateParam turn{90, 0, 0, 0};
    RotateParam tilt{30, 9, 8, 7};
    SlopeParam slope{25};
    ResizeParam resize{7, 12};
    struct Case {
        int index;
        void* param;
    };
    const Case cases[] = {{RK_OP_MIRROR_HORIZONTAL, nullptr},
                          {RK_OP_FLIP_VERTICAL, nullptr},
                          {RK_OP_ROTATE, &turn},
                          {RK_OP_ROTATE, &tilt},
                          {RK_OP_SLOPE_HORIZONTAL, &slope},
                          {RK_OP_SLOPE_VERTICAL, &slope},
                          {RK_OP_RESIZE, &resize}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.index);
        Bitmap interleaved = makeBitmap(24, 9, 5);
        fillPattern(interleaved);
        Bitmap planar = makeBitmap(24, 9, 5, -1, 3);
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 9; ++x) {
                planar.setRgb(x, y, interleaved.sample(x, y, 0), interleaved.sample(x, y, 1),
                              interleaved.sample(x, y, 2));
            }
        }
        Outcome a = runOperation(c.index, interleaved, c.param);
        Outcome b = runOperation(c.index, planar, c.param);
        ASSERT_EQ(a.run, RK_RESULT_SUCCEED);
        ASSERT_EQ(b.run, RK_RESULT_SUCCEED);
        EXPECT_EQ(b.dst.planes, 3);
        EXPECT_TRUE(samePixels(a.dst, b.dst));
    }
}

TEST(Rotate, AnyAngleOnBits) {
    Bitmap mono = makeBitmap(1, 9, 7);
    fillPattern(mono);
    mono.setEntry(0, 0, 0, 0);
    mono.setEntry(1, 255, 255, 255);
    RotateParam param{-30, 250, 250, 250}; // nearest to white: entry 1
    Outcome out = runOperation(RK_OP_ROTATE, mono, &param);
    ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(out.dst.index(0, 0), 1);
    EXPECT_EQ(out.dst.index(out.dst.width / 2, out.dst.height / 2), mono.index(4, 3));
}

} // namespace
