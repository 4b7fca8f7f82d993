// Neighbourhood filters: exact kernel outputs, border rules, the Gaussian's mean, noise bounds.
#include "rasterkit_harness.h"

#include <cstdlib>
#include <set>

using namespace rktest;

namespace {

// An 8-bit grey image from rows of values.
Bitmap greyImage(const std::vector<std::vector<int>>& rows) {
    Bitmap b = makeBitmap(8, static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (int y = 0; y < b.height; ++y) {
        for (int x = 0; x < b.width; ++x)
            b.row(y)[x] = static_cast<std::uint8_t>(rows[y][x]);
    }
    return b;
}

Bitmap uniform(int bits, int width, int height, std::uint8_t value, int planes = 1) {
    Bitmap b = makeBitmap(bits, width, height, -1, planes);
    std::fill(b.pixels.begin(), b.pixels.end(), value);
    return b;
}

std::vector<std::vector<int>> samplesOf(const Bitmap& b, int channel = 0) {
    std::vector<std::vector<int>> rows(static_cast<std::size_t>(b.height));
    for (int y = 0; y < b.height; ++y) {
        for (int x = 0; x < b.width; ++x) {
            rows[static_cast<std::size_t>(y)].push_back(b.bits == 8 ? b.row(y)[x] : b.sample(x, y, channel));
        }
    }
    return rows;
}

bool sameImage(const Bitmap& a, const Bitmap& b) {
    if (a.width != b.width || a.height != b.height) return false;
    for (int c = 0; c < (a.bits == 24 ? 3 : 1); ++c) {
        if (samplesOf(a, c) != samplesOf(b, c)) return false;
    }
    return true;
}

// The same picture in planar form.
Bitmap toPlanar(const Bitmap& b) {
    Bitmap p = makeBitmap(24, b.width, b.height, -1, 3);
    for (int y = 0; y < b.height; ++y) {
        for (int x = 0; x < b.width; ++x)
            p.setRgb(x, y, b.sample(x, y, 0), b.sample(x, y, 1), b.sample(x, y, 2));
    }
    return p;
}

TEST(ThreeByThree, CentreOfAThreeByThreeImage) {
    // Neighbours 50, centre given; only the centre is filtered, the border is copied.
    struct Case {
        int op;
        SharpenParam param;
        int centre;
        int expected;
    };
    const Case cases[] = {
        {RK_OP_BLUR, {1, 0}, 100, 55},  // (400 + 100) / 9
        {RK_OP_BLUR, {10, 0}, 100, 50}, // neighbours 1/8, centre 0
        {RK_OP_BLUR, {5, 0}, 100, 53},  // c = 4/648 + 1/9: 400c + 100(1 - 8c) = 53.09
        {RK_OP_BLUR, {1, 0}, 50, 50},   // uniform stays
        {RK_OP_SHARPEN, {1, 0}, 100, 140}, {RK_OP_SHARPEN, {5, 0}, 100, 255}, {RK_OP_SHARPEN, {1, 0}, 10, 0},
        {RK_OP_SHARPEN, {10, 0}, 50, 50},  {RK_OP_BLUR, {0, 0}, 100, 55}, // level clamped to 1
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.op << " level " << c.param.level << " centre " << c.centre);
        Bitmap src = greyImage({{50, 50, 50}, {50, c.centre, 50}, {50, 50, 50}});
        SharpenParam param = c.param;
        Outcome out = runOperation(c.op, src, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        EXPECT_EQ(samplesOf(out.dst),
                  (std::vector<std::vector<int>>{{50, 50, 50}, {50, c.expected, 50}, {50, 50, 50}}));
    }
}

TEST(ThreeByThree, FiveByFourImageAgainstTheKernel) {
    const std::vector<std::vector<int>> rows = {
        {0, 10, 20, 30, 40}, {200, 0, 90, 10, 60}, {15, 25, 35, 45, 55}, {255, 255, 0, 0, 9}};
    Bitmap src = greyImage(rows);
    int level = 1;
    Outcome blur = runOperation(RK_OP_BLUR, src, &level);
    ASSERT_EQ(blur.run, RK_RESULT_SUCCEED);
    // Box means of the inner pixels, truncated; first and last rows and columns copied.
    EXPECT_EQ(samplesOf(blur.dst),
              (std::vector<std::vector<int>>{
                  {0, 10, 20, 30, 40}, {200, 43, 29, 42, 60}, {15, 97, 51, 33, 55}, {255, 255, 0, 0, 9}}));
    SharpenParam sharpen{2, 0};
    Outcome sharp = runOperation(RK_OP_SHARPEN, src, &sharpen);
    ASSERT_EQ(sharp.run, RK_RESULT_SUCCEED);
    // Centre 2.6, neighbours -0.2: 2.6 x 90 - 0.2 x 175 = 199; 2.6 x 45 - 0.2 x 260 = 65.
    EXPECT_EQ(samplesOf(sharp.dst),
              (std::vector<std::vector<int>>{
                  {0, 10, 20, 30, 40}, {200, 0, 199, 0, 60}, {15, 0, 6, 65, 55}, {255, 255, 0, 0, 9}}));
}

TEST(ThreeByThree, BlurSumsExactlyAtTheClampStay254) {
    // The blur weights are 648ths: (level + 71) for each neighbour, (80 - 8 level) for the centre.
    // Every centre and neighbour sum whose weighted sum is exactly 254 must give 254, not the 255
    // that sums above 254 take, however the fractions round.
    int cases = 0;
    for (int level = 1; level <= 10; ++level) {
        for (int centre = 0; centre < 256; ++centre) {
            const int rest = 254 * 648 - (80 - 8 * level) * centre;
            if (rest < 0 || rest % (level + 71) != 0 || rest / (level + 71) > 8 * 255) continue;
            const int ring = rest / (level + 71);
            std::vector<std::vector<int>> rows(3, std::vector<int>(3));
            for (int k = 0; k < 8; ++k)
                rows[(k + (k >= 4)) / 3][(k + (k >= 4)) % 3] = ring / 8 + (k < ring % 8);
            rows[1][1] = centre;
            SCOPED_TRACE(testing::Message() << "level " << level << " centre " << centre << " ring " << ring);
            Bitmap src = greyImage(rows);
            int param = level;
            Outcome out = runOperation(RK_OP_BLUR, src, &param);
            ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
            EXPECT_EQ(samplesOf(out.dst)[1][1], 254);
            ++cases;
        }
    }
    EXPECT_EQ(cases, 284); // 256 of them at level 10, where the centre weighs nothing
}

TEST(ThreeByThree, SharpenEdgesOnlyNeedsAStrongEdge) {
    struct Case {
        int corner; // bottom-right neighbour; the edge response is twice it
        int expected;
    };
    // Filtered: 1.8 x 100 - 0.1 x corner; left alone below an edge response of 200.
    const Case cases[] = {{90, 100}, {99, 100}, {100, 170}, {255, 154}};
    for (const Case& c : cases) {
        Bitmap src = greyImage({{0, 0, 0}, {0, 100, 0}, {0, 0, c.corner}});
        SharpenParam param{1, 1};
        Outcome out = runOperation(RK_OP_SHARPEN, src, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        EXPECT_EQ(out.dst.row(1)[1], c.expected) << c.corner;
    }
}

TEST(ThreeByThree, UniformImagesStayAtEveryLevel) {
    // The weights add up to 1; summing them must not lose a level to rounding.
    for (int op : {RK_OP_BLUR, RK_OP_SHARPEN}) {
        for (int level = 1; level <= 10; ++level) {
            for (int value : {1, 7, 100, 254, 255}) {
                Bitmap src = uniform(24, 6, 5, static_cast<std::uint8_t>(value));
                SharpenParam param{level, 0};
                Outcome out = runOperation(op, src, &param);
                ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
                ASSERT_TRUE(sameImage(out.dst, src)) << op << " level " << level << " value " << value;
            }
        }
    }
}

TEST(ThreeByThree, TooSmallAndRefusedImages) {
    struct Case {
        int op;
        int bits;
        int type;
        int width;
        int height;
        int query;
        int run;
    };
    const Case cases[] = {
        {RK_OP_BLUR, 8, RK_TYPE_GREY, 2, 5, RK_RESULT_SUCCEED, RK_RESULT_TOO_SMALL},
        {RK_OP_SHARPEN, 24, RK_TYPE_RGB24, 5, 2, RK_RESULT_SUCCEED, RK_RESULT_TOO_SMALL},
        {RK_OP_FIND_EDGES, 8, RK_TYPE_GREY, 2, 2, RK_RESULT_SUCCEED, RK_RESULT_TOO_SMALL},
        {RK_OP_BLUR, 8, RK_TYPE_COLOR8, 5, 5, RK_RESULT_NOT_SUPPORTED, -1},
        {RK_OP_BLUR, 4, RK_TYPE_4BIT, 5, 5, RK_RESULT_NOT_SUPPORTED, -1},
        {RK_OP_EMBOSS, 16, RK_TYPE_16BIT, 5, 5, RK_RESULT_NOT_SUPPORTED, -1},
        {RK_OP_GAUSSIAN_BLUR, 1, RK_TYPE_1BIT, 5, 5, RK_RESULT_NOT_SUPPORTED, -1},
        {RK_OP_FIND_EDGES, 8, RK_TYPE_COLOR8, 5, 5, RK_RESULT_NOT_SUPPORTED, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "op " << c.op << " " << c.width << "x" << c.height);
        Bitmap src = makeBitmap(c.bits, c.width, c.height, c.type);
        EmbossParam param{0, 3, 1.0}; // the largest block any of them reads
        Outcome out = runOperation(c.op, src, &param);
        EXPECT_EQ(out.query, c.query);
        EXPECT_EQ(out.run, c.run);
        if (c.run == RK_RESULT_TOO_SMALL) {
            EXPECT_EQ(out.message, "Image too small!");
        }
    }
}

TEST(GaussianBlur, KeepsUniformImagesAndTheMean) {
    struct Case {
        int bits;
        int width;
        int height;
        int planes;
        double sigma;
    };
    const Case cases[] = {{8, 64, 64, 1, 2.0}, {8, 37, 23, 1, 8.0},  {24, 33, 17, 1, 3.5},
                          {24, 20, 9, 3, 1.0}, {8, 5, 300, 1, 40.0}, {24, 2480 / 40, 3508 / 40, 1, 8.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " sigma " << c.sigma);
        Bitmap src = uniform(c.bits, c.width, c.height, 200, c.planes);
        GaussianBlurParam param{c.sigma};
        Outcome out = runOperation(RK_OP_GAUSSIAN_BLUR, src, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        // Borders included: the edges neither darken nor take colour from the opposite side.
        EXPECT_TRUE(sameImage(out.dst, src));
    }
}

TEST(GaussianBlur, PointSpreadIsSymmetricAndKeepsItsSum) {
    for (double sigma : {0.8, 1.0, 1.5, 2.0, 3.0}) {
        Bitmap src = makeBitmap(8, 31, 31);
        for (int y = 14; y <= 16; ++y) {
            for (int x = 14; x <= 16; ++x)
                src.row(y)[x] = 255;
        }
        GaussianBlurParam param{sigma};
        Outcome out = runOperation(RK_OP_GAUSSIAN_BLUR, src, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        int sum = 0;
        for (int y = 0; y < 31; ++y) {
            for (int x = 0; x < 31; ++x) {
                const int v = out.dst.row(y)[x];
                sum += v;
                ASSERT_EQ(v, out.dst.row(y)[30 - x]) << x << "," << y;
                ASSERT_EQ(v, out.dst.row(30 - y)[x]) << x << "," << y;
                ASSERT_EQ(v, out.dst.row(x)[y]) << x << "," << y;
            }
        }
        EXPECT_NEAR(sum, 9 * 255, 9 * 255 * 0.03) << sigma;
        EXPECT_LT(out.dst.row(15)[15], 255) << sigma;
    }
}

TEST(GaussianBlur, ZeroRadiusCopiesAndMaskKeepsTheRest) {
    Bitmap src = makeBitmap(24, 19, 13);
    fillPattern(src, 4);
    GaussianBlurParam zero{0.0};
    Outcome copy = runOperation(RK_OP_GAUSSIAN_BLUR, src, &zero);
    ASSERT_EQ(copy.run, RK_RESULT_SUCCEED);
    EXPECT_TRUE(sameImage(copy.dst, src));

    Tile tile(2, 3, 5, 4);
    RunOptions options;
    options.mask = &tile.tile;
    GaussianBlurParam blur{3.0};
    Outcome masked = runOperation(RK_OP_GAUSSIAN_BLUR, src, &blur, options);
    Outcome whole = runOperation(RK_OP_GAUSSIAN_BLUR, src, &blur);
    ASSERT_EQ(masked.run, RK_RESULT_SUCCEED);
    for (int y = 0; y < 13; ++y) {
        for (int x = 0; x < 19; ++x) {
            const bool inside = x >= 2 && x < 7 && y >= 3 && y < 7;
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(masked.dst.sample(x, y, c),
                          inside ? whole.dst.sample(x, y, c) : src.sample(x, y, c));
            }
        }
    }
    double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(runOperation(RK_OP_GAUSSIAN_BLUR, src, &nan).query, RK_RESULT_NOT_SUPPORTED);
}

TEST(Emboss, DirectionsReachAndStrength) {
    struct Case {
        EmbossParam param;
        std::vector<int> expected; // the single row
    };
    // Row 0, 10, 20, 30, 40: A - B is 20 inside, 10 where one sample falls outside.
    const Case cases[] = {
        {{0, 3, 1.0}, {138, 148, 148, 148, 138}},  {{1, 3, 1.0}, {118, 108, 108, 108, 118}},
        {{0, 5, 1.0}, {148, 148, 168, 148, 148}},  {{0, 3, 0.0}, {128, 128, 128, 128, 128}},
        {{0, 3, 10.0}, {228, 255, 255, 255, 228}}, {{1, 3, 10.0}, {28, 0, 0, 0, 28}},
        {{2, 3, 1.0}, {128, 128, 128, 128, 128}}, // vertical: one row, both samples outside
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "direction " << c.param.direction << " size " << c.param.size);
        Bitmap src = greyImage({{0, 10, 20, 30, 40}});
        EmbossParam param = c.param;
        Outcome out = runOperation(RK_OP_EMBOSS, src, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        EXPECT_EQ(samplesOf(out.dst)[0], c.expected);
    }
}

TEST(Emboss, DiagonalDirectionsPickOppositeCorners) {
    // 3 x 3, the centre compares two corners: A - B with the sign of the direction.
    const std::vector<std::vector<int>> rows = {{10, 0, 30}, {0, 50, 0}, {70, 0, 90}};
    const int expected[8] = {128, 128, 128, 128, 128 + 80, 128 - 40, 128 + 40, 128 - 80};
    for (int d = 4; d < 8; ++d) {
        Bitmap src = greyImage(rows);
        EmbossParam param{d, 3, 1.0};
        Outcome out = runOperation(RK_OP_EMBOSS, src, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        EXPECT_EQ(out.dst.row(1)[1], expected[d]) << d;
    }
}

TEST(CustomFilter, IdentityBoxAndClamping) {
    Bitmap corner = makeBitmap(8, 5, 5);
    corner.row(4)[4] = 250;
    CustomFilterParam box{};
    for (auto& w : box.weights)
        w = 1;
    box.divisor = 25;
    Outcome boxed = runOperation(RK_OP_CUSTOM_FILTER, corner, &box);
    ASSERT_EQ(boxed.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(boxed.dst.row(0)[0], 0);
    EXPECT_EQ(boxed.dst.row(2)[2], 10);  // 250 / 25
    EXPECT_EQ(boxed.dst.row(3)[3], 10);  // outside positions take the centre, 0
    EXPECT_EQ(boxed.dst.row(4)[4], 170); // 250 inside once, 16 outside positions of 250

    struct Case {
        int divisor;
        int offset;
        int value;
        int expected;
    };
    const Case cases[] = {{0, 0, 77, 77}, {0, 10, 250, 255}, {0, -5, 3, 0},   {-1, 100, 30, 70},
                          {2, 0, 7, 3},   {-2, 0, 7, 0},     {0, 0, 255, 255}};
    for (const Case& c : cases) {
        Bitmap src = uniform(8, 6, 6, static_cast<std::uint8_t>(c.value));
        CustomFilterParam param{};
        param.weights[12] = 1;
        param.divisor = static_cast<std::int16_t>(c.divisor);
        param.offset = static_cast<std::int16_t>(c.offset);
        Outcome out = runOperation(RK_OP_CUSTOM_FILTER, src, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        EXPECT_EQ(out.dst.row(0)[0], c.expected) << c.divisor << " " << c.offset << " " << c.value;
        EXPECT_EQ(out.dst.row(3)[2], c.expected);
    }
}

TEST(FindEdges, UniformAndSinglePoint) {
    Bitmap flat = uniform(24, 7, 6, 90);
    Outcome out = runOperation(RK_OP_FIND_EDGES, flat, nullptr);
    ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 7; ++x)
            ASSERT_EQ(out.dst.sample(x, y, 1), 255);
    }
    Bitmap point = greyImage({{0, 0, 0, 0}, {0, 10, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}});
    Outcome edges = runOperation(RK_OP_FIND_EDGES, point, nullptr);
    ASSERT_EQ(edges.run, RK_RESULT_SUCCEED);
    // Inner pixels 8 c - ring + 255; border rows and columns copy their inner neighbours.
    EXPECT_EQ(samplesOf(edges.dst),
              (std::vector<std::vector<int>>{
                  {255, 255, 245, 245}, {255, 255, 245, 245}, {245, 245, 245, 245}, {245, 245, 245, 245}}));
}

TEST(Fragment, MeanOfTheShiftedCopies) {
    Bitmap src = makeBitmap(8, 9, 9);
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 9; ++x)
            src.row(y)[x] = static_cast<std::uint8_t>(x + 10 * y);
    }
    Outcome out = runOperation(RK_OP_FRAGMENT, src, nullptr);
    ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(out.dst.row(4)[4], 44); // (0 + 80 + 88 + 8) / 4
    EXPECT_EQ(out.dst.row(0)[0], 44); // only (4, 4)
    EXPECT_EQ(out.dst.row(0)[4], 44); // (0, 4) and (8, 4)
    EXPECT_EQ(out.dst.row(1)[1], 55);
    EXPECT_EQ(out.dst.row(1)[2], 56);

    Bitmap tiny = uniform(8, 3, 3, 17);
    tiny.row(1)[1] = 99;
    Outcome same = runOperation(RK_OP_FRAGMENT, tiny, nullptr);
    ASSERT_EQ(same.run, RK_RESULT_SUCCEED);
    EXPECT_TRUE(sameImage(same.dst, tiny)); // no shifted copy reaches any pixel

    int param = 0;
    EXPECT_EQ(runOperation(RK_OP_FRAGMENT, src, &param).query, RK_RESULT_NOT_SUPPORTED);
}

TEST(Diffuse, StaysWithinTheDistance) {
    // Every sample names its own position, so the output tells where it was taken from.
    Bitmap src = makeBitmap(8, 16, 16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x)
            src.row(y)[x] = static_cast<std::uint8_t>(x + 16 * y);
    }
    for (int distance : {0, 1, 3, 9}) {
        for (int mode : {RK_DIFFUSE_NORMAL, RK_DIFFUSE_DARKEN, RK_DIFFUSE_LIGHTEN}) {
            std::srand(11);
            DiffuseParam param{distance, mode};
            Outcome out = runOperation(RK_OP_DIFFUSE, src, &param);
            ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
            std::set<int> offsets;
            for (int y = 0; y < 16; ++y) {
                for (int x = 0; x < 16; ++x) {
                    const int v = out.dst.row(y)[x];
                    const int own = src.row(y)[x];
                    ASSERT_TRUE(mode != RK_DIFFUSE_DARKEN || v <= own);
                    ASSERT_TRUE(mode != RK_DIFFUSE_LIGHTEN || v >= own);
                    ASSERT_LE(std::abs(v % 16 - x), distance);
                    ASSERT_LE(std::abs(v / 16 - y), distance);
                    offsets.insert(v - own);
                }
            }
            if (distance == 0) {
                EXPECT_EQ(offsets, std::set<int>{0});
            } else if (distance == 3 && mode == RK_DIFFUSE_NORMAL) {
                EXPECT_GT(offsets.size(), 20u);
            }
        }
    }
}

TEST(Noise, KindsAmountsAndBounds) {
    struct Case {
        int bits;
        int kind;
        int amount;
        int storedAmount;
        int low; // every output byte lies in low..high (or equals its source)
        int high;
    };
    const Case cases[] = {
        {8, RK_NOISE_IMPULSE, 50, 50, 255, 255},
        {24, RK_NOISE_IMPULSE, 150, 99, 180, 180},
        {8, RK_NOISE_UNIFORM, -4, 1, 99, 100}, // +-sqrt(12)/sqrt(10)/2
        {24, RK_NOISE_UNIFORM_BRIGHTENED, 1, 1, 148, 151},
        {8, RK_NOISE_UNIFORM, 99, 99, 45, 154},
        {8, 7, 30, 30, 100, 100}, // an unknown kind leaves the copy
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " kind " << c.kind << " amount " << c.amount);
        Bitmap src = uniform(c.bits, 13, 11, 100);
        NoiseParam param{c.amount, c.kind};
        Outcome out = runOperation(RK_OP_NOISE, src, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        EXPECT_EQ(param.amount, c.storedAmount);
        int changed = 0;
        for (std::size_t i = 0; i < out.dst.pixels.size(); ++i) {
            const int v = out.dst.pixels[i];
            if (c.kind == RK_NOISE_IMPULSE && v == 100) continue;
            ASSERT_GE(v, c.low);
            ASSERT_LE(v, c.high);
            changed += v != 100;
        }
        if (c.kind == RK_NOISE_IMPULSE) {
            EXPECT_GT(changed, 0);
            EXPECT_LE(changed, static_cast<int>(out.dst.pixels.size()) * c.storedAmount / 100);
        }
    }
}

TEST(Noise, LargeImageImpulsesStayInside) {
    Bitmap src = uniform(24, 3000, 3000, 0);
    NoiseParam param{99, RK_NOISE_IMPULSE};
    Outcome out = runOperation(RK_OP_NOISE, src, &param);
    ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(out.callbacks.progress.back().first, out.callbacks.progress.back().second);
}

TEST(PerChannel, PlanarMatchesInterleaved) {
    SharpenParam level{4, 0};
    CustomFilterParam kernel{};
    for (int i = 0; i < 25; ++i)
        kernel.weights[i] = static_cast<std::int16_t>(i % 7 - 3);
    kernel.divisor = 3;
    kernel.offset = 40;
    DiffuseParam diffuse{3, RK_DIFFUSE_NORMAL};
    GaussianBlurParam gauss{2.5};
    EmbossParam emboss{5, 5, 1.5};
    struct Case {
        int op;
        void* param;
    };
    const Case cases[] = {{RK_OP_BLUR, &level},           {RK_OP_SHARPEN, &level},
                          {RK_OP_CUSTOM_FILTER, &kernel}, {RK_OP_FRAGMENT, nullptr},
                          {RK_OP_DIFFUSE, &diffuse},      {RK_OP_GAUSSIAN_BLUR, &gauss},
                          {RK_OP_EMBOSS, &emboss},        {RK_OP_FIND_EDGES, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "op " << c.op);
        Bitmap interleaved = makeBitmap(24, 23, 14);
        fillPattern(interleaved, 9);
        Bitmap planar = toPlanar(interleaved);
        std::srand(3);
        Outcome a = runOperation(c.op, interleaved, c.param);
        std::srand(3);
        Outcome b = runOperation(c.op, planar, c.param);
        ASSERT_EQ(a.run, RK_RESULT_SUCCEED);
        ASSERT_EQ(b.run, RK_RESULT_SUCCEED);
        EXPECT_TRUE(sameImage(a.dst, b.dst));
        EXPECT_FALSE(sameImage(a.dst, interleaved));
    }
}

TEST(PerChannel, MaskAndCancellation) {
    Bitmap src = makeBitmap(24, 12, 10);
    fillPattern(src, 5);
    Tile first(0, 0, 6, 10, 0); // says "not selected" for the left half
    Tile second(0, 0, 12, 10);  // would select everything
    first.tile.lpNext = &second.tile;
    RunOptions options;
    options.mask = &first.tile;
    int level = 3;
    Outcome masked = runOperation(RK_OP_BLUR, src, &level, options);
    Outcome whole = runOperation(RK_OP_BLUR, src, &level);
    ASSERT_EQ(masked.run, RK_RESULT_SUCCEED);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 12; ++x) {
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(masked.dst.sample(x, y, c),
                          x < 6 ? src.sample(x, y, c) : whole.dst.sample(x, y, c));
            }
        }
    }
    DiffuseParam diffuse{2, 0};
    EmbossParam emboss{0, 3, 1.0};
    GaussianBlurParam gauss{1.0};
    for (auto [op, param] : {std::pair<int, void*>{RK_OP_BLUR, &level},
                             {RK_OP_DIFFUSE, &diffuse},
                             {RK_OP_EMBOSS, &emboss},
                             {RK_OP_FIND_EDGES, nullptr},
                             {RK_OP_GAUSSIAN_BLUR, &gauss}}) {
        RunOptions cancel;
        cancel.cancelAtPoll = 1;
        Outcome out = runOperation(op, src, param, cancel);
        EXPECT_EQ(out.run, RK_RESULT_CANCEL) << op;
        EXPECT_EQ(out.message, "Cancel!");
    }
}

// The transforms' working field of a page a million pixels square cannot be had; the call says
// so before it reads a pixel (the buffers here are tiny). The sanitizers treat such a request as
// fatal, so this runs in ordinary builds only.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RK_FILTER_TEST_UNDER_ASAN 1
#endif
#endif
#if !defined(__SANITIZE_ADDRESS__) && !defined(RK_FILTER_TEST_UNDER_ASAN)
TEST(GaussianBlur, UnobtainableFieldIsReported) {
    Bitmap stand = makeBitmap(8, 4, 4);
    GaussianBlurParam blur{1.0};
    CloudsParam clouds{0xffffff, 0};
    for (auto [op, param] : {std::pair<int, void*>{RK_OP_GAUSSIAN_BLUR, &blur}, {RK_OP_CLOUDS, &clouds}}) {
        ImageInfo info = makeInfo(stand, param);
        info.nSrcWidth = info.nSrcHeight = 1 << 20;
        char message[128];
        ASSERT_EQ(ImageEntry(op, &info, message), RK_RESULT_SUCCEED);
        std::vector<std::uint8_t> dst(16);
        std::vector<std::uint8_t> palette(1024);
        info.lpDstData = dst.data();
        info.lpDstPalette = palette.data();
        info.dwMode = RK_MODE_RUN;
        EXPECT_EQ(ImageEntry(op, &info, message), RK_RESULT_NO_MEMORY) << op;
        EXPECT_STREQ(message, "Alloc memory fail!");
    }
}
#endif

} // namespace
