// Pictorial effects: exact cells and snaps, random effects within their bounds, masks.
#include "rasterkit_harness.h"

#include <cstdlib>

using namespace rktest;

namespace {

int at(const Bitmap& b, int x, int y, int c = 0) {
    return b.bits == 24 ? b.sample(x, y, c) : b.row(y)[x];
}

bool samePicture(const Bitmap& a, const Bitmap& b) {
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            for (int c = 0; c < (a.bits == 24 ? 3 : 1); ++c) {
                if (at(a, x, y, c) != at(b, x, y, c)) return false;
            }
        }
    }
    return a.width == b.width && a.height == b.height;
}

Bitmap greyImage(const std::vector<std::vector<int>>& rows) {
    Bitmap b = makeBitmap(8, static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (int y = 0; y < b.height; ++y) {
        for (int x = 0; x < b.width; ++x)
            b.row(y)[x] = static_cast<std::uint8_t>(rows[y][x]);
    }
    return b;
}

Bitmap pattern(int bits, int width, int height, int planes = 1) {
    Bitmap b = makeBitmap(bits, width, height, -1, planes);
    fillPattern(b, 33);
    return b;
}

Bitmap toPlanar(const Bitmap& b) {
    Bitmap p = makeBitmap(24, b.width, b.height, -1, 3);
    for (int y = 0; y < b.height; ++y) {
        for (int x = 0; x < b.width; ++x)
            p.setRgb(x, y, b.sample(x, y, 0), b.sample(x, y, 1), b.sample(x, y, 2));
    }
    return p;
}

TEST(Mosaic, CellsHoldTheirClippedMeans) {
    const std::vector<std::vector<int>> rows = {{0, 10, 20, 30, 40}, {50, 60, 70, 80, 91}, {1, 2, 3, 4, 5}};
    struct Case {
        MosaicParam param;
        std::vector<std::vector<int>> expected;
    };
    const Case cases[] = {
        {{1, 1}, rows},
        {{2, 2}, {{30, 30, 50, 50, 65}, {30, 30, 50, 50, 65}, {1, 1, 3, 3, 5}}},
        {{100, 100}, {{31, 31, 31, 31, 31}, {31, 31, 31, 31, 31}, {31, 31, 31, 31, 31}}},
        {{5, 1}, {{20, 20, 20, 20, 20}, {70, 70, 70, 70, 70}, {3, 3, 3, 3, 3}}},
        {{0, -3}, rows}, // cells of at least one pixel
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.param.cellWidth << "x" << c.param.cellHeight);
        Bitmap src = greyImage(rows);
        MosaicParam param = c.param;
        Outcome out = runOperation(RK_OP_MOSAIC, src, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(out.dst.row(y)[x], c.expected[y][x]) << x << "," << y;
        }
    }
}

TEST(Mosaic, MaskedPixelsKeepTheirValues) {
    Bitmap src = pattern(24, 8, 8);
    Tile tile(0, 0, 4, 8);
    RunOptions options;
    options.mask = &tile.tile;
    MosaicParam param{8, 8};
    Outcome out = runOperation(RK_OP_MOSAIC, src, &param, options);
    ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
    for (int y = 0; y < 8; ++y) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_EQ(out.dst.sample(0, y, c), out.dst.sample(3, 0, c)); // one mean for the cell
            EXPECT_EQ(out.dst.sample(5, y, c), src.sample(5, y, c));
        }
    }
}

TEST(Blocks, SnapsToTheNearerExtreme) {
    struct Case {
        std::vector<std::vector<int>> rows;
        int expected; // the centre
    };
    const Case cases[] = {
        {{{0, 0, 0}, {0, 100, 0}, {0, 0, 0}}, 0}, // one bright sample among darks
        {{{0, 100, 100}, {100, 60, 100}, {100, 100, 100}}, 100},
        {{{10, 10, 10}, {10, 10, 10}, {10, 10, 10}}, 10},  // uniform stays
        {{{0, 0, 0}, {0, 50, 100}, {100, 100, 100}}, 100}, // equal distances go to the maximum
    };
    for (const Case& c : cases) {
        Bitmap src = greyImage(c.rows);
        BlocksParam param{1};
        Outcome out = runOperation(RK_OP_BLOCKS, src, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        EXPECT_EQ(out.dst.row(1)[1], c.expected);
    }
    Bitmap flat = makeBitmap(24, 9, 7);
    std::fill(flat.pixels.begin(), flat.pixels.end(), 77);
    BlocksParam nine{9};
    Outcome out = runOperation(RK_OP_BLOCKS, flat, &nine);
    ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
    EXPECT_TRUE(samePicture(out.dst, flat));
    // Progress of nine passes over three channels ends at its total.
    EXPECT_EQ(out.callbacks.progress.back(), (std::pair<int, int>{3 * 7 * 9, 3 * 7 * 9}));
}

TEST(Blocks, PassesRepeatOnTheResult) {
    // A ramp: each pass pushes samples further to the extremes until nothing moves.
    Bitmap src = greyImage({{0, 40, 80, 120, 160, 200, 240}});
    BlocksParam one{1};
    BlocksParam many{9};
    Outcome first = runOperation(RK_OP_BLOCKS, src, &one);
    Outcome last = runOperation(RK_OP_BLOCKS, src, &many);
    ASSERT_EQ(last.run, RK_RESULT_SUCCEED);
    Bitmap again = first.dst;
    again.type = RK_TYPE_GREY;
    for (int pass = 1; pass < 9; ++pass)
        again = runOperation(RK_OP_BLOCKS, again, &one).dst;
    EXPECT_TRUE(samePicture(again, last.dst));
    for (int x = 0; x < 7; ++x) {
        const int v = last.dst.row(0)[x];
        EXPECT_TRUE(v == 0 || v == 40 || v == 200 || v == 240 || v == 80 || v == 120 || v == 160) << v;
    }
}

TEST(Snow, FlakesAreWhiteOrLightGreyAndStayInTheMask) {
    Bitmap src = makeBitmap(24, 60, 40);
    std::fill(src.pixels.begin(), src.pixels.end(), 10);
    Tile tile(10, 5, 30, 20);
    RunOptions options;
    options.mask = &tile.tile;
    std::srand(5);
    Outcome out = runOperation(RK_OP_SNOW, src, reinterpret_cast<void*>(std::intptr_t{99}), options);
    ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
    int painted = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 60; ++x) {
            const int v = out.dst.sample(x, y, 0);
            const bool inside = x >= 10 && x < 40 && y >= 5 && y < 25;
            ASSERT_TRUE(v == 10 || (inside && (v == 255 || v == 230))) << x << "," << y << " " << v;
            ASSERT_EQ(out.dst.sample(x, y, 2), v);
            painted += v != 10;
        }
    }
    EXPECT_GT(painted, 0);
    // 60 x 40 x 3 bytes: trunc(2400 / 49 x 99 / 100) = 48 flakes, one progress call each.
    EXPECT_EQ(out.callbacks.progress.size(), 48u);
}

TEST(Snow, DensityZeroIsDensityOne) {
    Bitmap src = makeBitmap(8, 99, 99);
    std::srand(8);
    Outcome zero = runOperation(RK_OP_SNOW, src, nullptr);
    std::srand(8);
    Outcome one = runOperation(RK_OP_SNOW, src, reinterpret_cast<void*>(std::intptr_t{1}));
    ASSERT_EQ(zero.run, RK_RESULT_SUCCEED);
    EXPECT_TRUE(samePicture(zero.dst, one.dst));
    EXPECT_EQ(zero.callbacks.progress.size(), 2u); // 100 x 99 / 49 / 100
    // Flakes near the right and bottom edges are cut off, never wrapped into the next row.
    for (int y = 0; y < 99; ++y)
        EXPECT_EQ(zero.dst.row(y)[99], 0) << "padding of row " << y;
}

// A gentle ramp (no edges) with one bright post per row (two edges): streaks start at the
// posts and blend towards the ramp.
Bitmap windScene(int bits, int width, int height) {
    Bitmap b = makeBitmap(bits, width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int post = x == width / 2 + y % 5 ? 120 : 0;
            const auto v = static_cast<std::uint8_t>(4 * x + 2 * y + post);
            if (bits == 8) {
                b.row(y)[x] = v;
            } else {
                b.setRgb(x, y, v, static_cast<std::uint8_t>(255 - v),
                         static_cast<std::uint8_t>(x * 5 + post));
            }
        }
    }
    return b;
}

TEST(Wind, DirectionsAreMirrorImages) {
    Bitmap src = windScene(24, 31, 9);
    Bitmap mirrored = src;
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 31; ++x)
            mirrored.setRgb(x, y, src.sample(30 - x, y, 0), src.sample(30 - x, y, 1),
                            src.sample(30 - x, y, 2));
    }
    WindParam left{1};
    WindParam right{0};
    std::srand(77);
    Outcome a = runOperation(RK_OP_WIND, src, &left);
    std::srand(77);
    Outcome b = runOperation(RK_OP_WIND, mirrored, &right);
    ASSERT_EQ(a.run, RK_RESULT_SUCCEED);
    ASSERT_EQ(b.run, RK_RESULT_SUCCEED);
    EXPECT_FALSE(samePicture(a.dst, src));
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 31; ++x) {
            for (int c = 0; c < 3; ++c)
                ASSERT_EQ(a.dst.sample(x, y, c), b.dst.sample(30 - x, y, c)) << x << "," << y;
        }
    }
    Bitmap planar = toPlanar(src);
    std::srand(77);
    Outcome p = runOperation(RK_OP_WIND, planar, &left);
    EXPECT_TRUE(samePicture(p.dst, a.dst));
}

TEST(Wind, StreaksBlendBetweenTheirEnds) {
    Bitmap src = windScene(8, 40, 30);
    WindParam param{1};
    std::srand(1);
    Outcome out = runOperation(RK_OP_WIND, src, &param);
    ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
    int streaked = 0;
    for (int y = 0; y < 30; ++y) {
        const int post = 20 + y % 5;
        for (int x = 0; x < 40; ++x) {
            const int v = out.dst.row(y)[x];
            // Right of the post nothing blows; left of it samples blend the edge sample before the
            // post with the ramp further left, so they lie between the ramp's start and that sample.
            if (x >= post) {
                ASSERT_EQ(v, src.row(y)[x]) << x << "," << y;
            } else {
                ASSERT_GE(v, src.row(y)[0]);
                ASSERT_LE(v, src.row(y)[post - 1]);
            }
            streaked += v != src.row(y)[x];
        }
    }
    EXPECT_GT(streaked, 30);
    Bitmap flat = makeBitmap(8, 40, 30);
    Outcome calm = runOperation(RK_OP_WIND, flat, &param);
    EXPECT_TRUE(samePicture(calm.dst, flat));
}

TEST(Rain, StreaksStayInTheFirstTileAndNeutralSettingsCopy) {
    Bitmap src = makeBitmap(24, 80, 60);
    std::fill(src.pixels.begin(), src.pixels.end(), 40);
    struct Case {
        RainParam param;
        bool changes;
    };
    const Case cases[] = {
        {{0, 20, 2, 80, 0xffffff}, false},  // no drops
        {{400, 20, 2, 0, 0xffffff}, false}, // invisible drops
        {{400, 20, 2, 80, 0xc0a080}, true},
        {{400, 20, 3, 100, 0xffffff}, true},
    };
    for (const Case& c : cases) {
        Tile first(10, 10, 30, 20);
        Tile second(50, 30, 20, 20);
        first.tile.lpNext = &second.tile;
        RunOptions options;
        options.mask = &first.tile;
        RainParam param = c.param;
        Outcome out = runOperation(RK_OP_RAIN, src, &param, options);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        int changed = 0;
        for (int y = 0; y < 60; ++y) {
            for (int x = 0; x < 80; ++x) {
                const bool inFirst = x >= 10 && x < 40 && y >= 10 && y < 30;
                for (int c2 = 0; c2 < 3; ++c2) {
                    ASSERT_TRUE(inFirst || out.dst.sample(x, y, c2) == 40) << x << "," << y;
                    changed += out.dst.sample(x, y, c2) != 40;
                }
            }
        }
        EXPECT_EQ(changed > 0, c.changes) << c.param.density << " " << c.param.opacity;
        EXPECT_EQ(out.callbacks.progress.back(), (std::pair<int, int>{100, 100}));
    }
}

// Streaks far larger than the picture are cut to it: no hang, no int overflow, and a long
// streak still answers the cancel poll.
TEST(Rain, OversizedStreaksAreBoundedAndCancellable) {
    struct Case {
        int width;
        int height;
        RainParam param;
        int cancelAtPoll;
        int expected;
    };
    const Case cases[] = {
        {118, 1, {97, 37, 2094852917, 3, 0xffffff}, -1, RK_RESULT_SUCCEED},
        {118, 1, {97, 2147483647, 2147483647, 3, 0xffffff}, -1, RK_RESULT_SUCCEED},
        {3000, 3000, {5, 2147483647, 2147483647, 100, 0x00ff00}, 3, RK_RESULT_CANCEL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        Bitmap src = pattern(24, c.width, c.height);
        RainParam param = c.param;
        RunOptions options;
        options.cancelAtPoll = c.cancelAtPoll;
        EXPECT_EQ(runOperation(RK_OP_RAIN, src, &param, options).run, c.expected);
    }
}

// Effects seeded from the clock draw from a generator of their own: the calling program's
// rand() sequence goes on where it was.
TEST(Effects, CallersRandomSequenceIsLeftAlone) {
    RainParam rain{200, 20, 2, 80, 0xffffff};
    NoiseParam noise{40, RK_NOISE_UNIFORM};
    CloudsParam clouds{0xffffff, 0};
    const std::pair<int, void*> cases[] = {
        {RK_OP_RAIN, &rain}, {RK_OP_NOISE, &noise}, {RK_OP_CLOUDS, &clouds}};
    for (const auto& [op, param] : cases) {
        std::srand(4321);
        std::rand();
        const int next = std::rand();
        std::srand(4321);
        std::rand();
        Bitmap src = pattern(24, 40, 30);
        ASSERT_EQ(runOperation(op, src, param).run, RK_RESULT_SUCCEED) << op;
        EXPECT_EQ(std::rand(), next) << op;
    }
}

TEST(Clouds, ColoursRunBetweenTheTwo) {
    struct Case {
        int bits;
        int planes;
        std::uint32_t first;
        std::uint32_t second;
    };
    const Case cases[] = {{24, 1, 0xffffff, 0x000000},
                          {24, 3, 0x2040ff, 0xff8000},
                          {8, 1, 0xffffff, 0x202020},
                          {24, 1, 0x336699, 0x336699}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " " << std::hex << c.first << " " << c.second);
        Bitmap src = makeBitmap(c.bits, 45, 30, -1, c.planes);
        CloudsParam param{c.first, c.second};
        Outcome out = runOperation(RK_OP_CLOUDS, src, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        int lowest = 255;
        int highest = 0;
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 45; ++x) {
                for (int ch = 0; ch < (c.bits == 24 ? 3 : 1); ++ch) {
                    // Channel ch of a colour word: blue is the third byte, red the first.
                    const int shift = c.bits == 8 ? 0 : 8 * (2 - ch);
                    int a = static_cast<int>((c.first >> shift) & 0xff);
                    int b = static_cast<int>((c.second >> shift) & 0xff);
                    if (c.bits == 8) { // grey: 0.30 red + 0.53 green + 0.17 blue
                        a = c.first == 0xffffff ? 255 : a;
                        b = 32;
                    }
                    const int v = at(out.dst, x, y, ch);
                    ASSERT_GE(v, std::min(a, b));
                    ASSERT_LE(v, std::max(a, b));
                    if (ch == 0) {
                        lowest = std::min(lowest, v);
                        highest = std::max(highest, v);
                    }
                }
            }
        }
        if (c.first != c.second) {
            EXPECT_GT(highest - lowest, 40) << "a texture, not a flat fill";
        }
    }
}

TEST(LightingEffect, AmbientOnlyAndAStraightDownLight) {
    Bitmap src = pattern(24, 12, 10);
    LightingParam ambient{};
    ambient.shininess = 10;
    ambient.ambientRed = ambient.ambientGreen = ambient.ambientBlue = 1.0f;
    Outcome copy = runOperation(RK_OP_LIGHTING_EFFECT, src, &ambient);
    ASSERT_EQ(copy.run, RK_RESULT_SUCCEED);
    EXPECT_TRUE(samePicture(copy.dst, src));

    // Ambient off, a directional light shining straight down with intensity 1 on a flat surface:
    // diffuse N.L = 1 and specular (V.R)^n = 1, so each channel doubles.
    LightingParam down{};
    down.shininess = 5;
    down.lightCount = 1;
    down.lights[0] = LightSource{RK_LIGHT_DIRECTIONAL, 0, 0, 0, 0, 0, -1, 1, 1, 1, 0};
    Bitmap planar = toPlanar(src);
    for (Bitmap* image : {&src, &planar}) {
        Outcome lit = runOperation(RK_OP_LIGHTING_EFFECT, *image, &down);
        ASSERT_EQ(lit.run, RK_RESULT_SUCCEED);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 12; ++x) {
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(lit.dst.sample(x, y, c), std::min(255, 2 * src.sample(x, y, c)));
            }
        }
    }
    Bitmap grey = makeBitmap(8, 4, 4);
    EXPECT_EQ(runOperation(RK_OP_LIGHTING_EFFECT, grey, &down).query, RK_RESULT_NOT_SUPPORTED);
}

TEST(LightingEffect, PointAndSpotLightsFallOff) {
    Bitmap src = makeBitmap(24, 101, 101);
    std::fill(src.pixels.begin(), src.pixels.end(), 128);
    LightingParam point{};
    point.shininess = 20;
    point.bumpStrength = 30;
    point.lightCount = 1;
    point.lights[0] = LightSource{RK_LIGHT_POINT, 50, 50, 60, 0, 0, 0, 1, 1, 1, 0};
    Outcome lit = runOperation(RK_OP_LIGHTING_EFFECT, src, &point);
    ASSERT_EQ(lit.run, RK_RESULT_SUCCEED);
    EXPECT_GT(lit.dst.sample(50, 50, 1), lit.dst.sample(0, 0, 1));
    EXPECT_GT(lit.dst.sample(50, 50, 1), lit.dst.sample(100, 50, 1));

    LightingParam spot = point;
    spot.lights[0] = LightSource{RK_LIGHT_SPOT, 50, 50, 100, 0, 0, -1, 1, 1, 1, 10};
    Outcome cone = runOperation(RK_OP_LIGHTING_EFFECT, src, &spot);
    ASSERT_EQ(cone.run, RK_RESULT_SUCCEED);
    // The footprint is a circle of radius 100 tan 10 degrees, about 17.6 pixels.
    EXPECT_GT(cone.dst.sample(50, 50, 0), 0);
    EXPECT_GT(cone.dst.sample(60, 50, 0), 0);
    EXPECT_EQ(cone.dst.sample(70, 50, 0), 0);
    EXPECT_EQ(cone.dst.sample(0, 0, 0), 0);
}

TEST(Effects, CancelAtTheFirstPollAndRefusedFormats) {
    MosaicParam mosaic{3, 3};
    BlocksParam blocks{2};
    WindParam wind{1};
    RainParam rain{300, 10, 1, 50, 0xffffff};
    CloudsParam clouds{0xffffff, 0};
    LightingParam light{};
    struct Case {
        int op;
        void* param;
    };
    const Case cases[] = {{RK_OP_MOSAIC, &mosaic},
                          {RK_OP_BLOCKS, &blocks},
                          {RK_OP_WIND, &wind},
                          {RK_OP_RAIN, &rain},
                          {RK_OP_CLOUDS, &clouds},
                          {RK_OP_LIGHTING_EFFECT, &light},
                          {RK_OP_SNOW, reinterpret_cast<void*>(std::intptr_t{50})}};
    for (const Case& c : cases) {
        Bitmap src = pattern(24, 30, 30);
        RunOptions cancel;
        cancel.cancelAtPoll = 1;
        EXPECT_EQ(runOperation(c.op, src, c.param, cancel).run, RK_RESULT_CANCEL) << c.op;
        Bitmap indexed = makeBitmap(4, 30, 30);
        EXPECT_EQ(runOperation(c.op, indexed, c.param).query, RK_RESULT_NOT_SUPPORTED) << c.op;
    }
}

TEST(Effects, UnselectedPixelsKeepTheirSource) {
    SharpenParam level{4, 0}; // Blur reads its first field
    EmbossParam emboss{3, 5, 2.0};
    CustomFilterParam kernel{};
    kernel.weights[0] = 3;
    kernel.weights[24] = -2;
    DiffuseParam diffuse{4, 0};
    GaussianBlurParam gauss{2.0};
    DistortAngleParam angle{80};
    WaveParam wave{9, 7, 5, 5};
    PinchParam pinch{-70};
    MosaicParam mosaic{5, 3};
    BlocksParam blocks{3};
    WindParam wind{0};
    RainParam rain{50, 20, 2, 100, 0x00ff00};
    CloudsParam clouds{0xffffff, 0x000000};
    LightingParam light{};
    light.lightCount = 1;
    light.lights[0] = LightSource{RK_LIGHT_POINT, 10, 10, 30, 0, 0, 0, 2, 2, 2, 0};
    const std::pair<int, void*> cases[] = {{RK_OP_BLUR, &level},
                                           {RK_OP_SHARPEN, &level},
                                           {RK_OP_EMBOSS, &emboss},
                                           {RK_OP_CUSTOM_FILTER, &kernel},
                                           {RK_OP_FRAGMENT, nullptr},
                                           {RK_OP_DIFFUSE, &diffuse},
                                           {RK_OP_GAUSSIAN_BLUR, &gauss},
                                           {RK_OP_SPHERIZE, &angle},
                                           {RK_OP_SPHERIZE_VERTICAL, &angle},
                                           {RK_OP_TWIRL, &angle},
                                           {RK_OP_WAVE, &wave},
                                           {RK_OP_PINCH, &pinch},
                                           {RK_OP_MOSAIC, &mosaic},
                                           {RK_OP_BLOCKS, &blocks},
                                           {RK_OP_WIND, &wind},
                                           {RK_OP_SNOW, reinterpret_cast<void*>(std::intptr_t{99})},
                                           {RK_OP_RAIN, &rain},
                                           {RK_OP_CLOUDS, &clouds},
                                           {RK_OP_LIGHTING_EFFECT, &light}};
    for (const auto& [op, param] : cases) {
        for (int planes : {1, 3}) {
            SCOPED_TRACE(testing::Message() << "op " << op << " planes " << planes);
            Bitmap src = pattern(24, 24, 20, planes);
            Tile tile(3, 2, 12, 14); // everything right of column 15 and below row 16 is left out
            RunOptions options;
            options.mask = &tile.tile;
            std::srand(4);
            Outcome out = runOperation(op, src, param, options);
            ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
            int changedInside = 0;
            for (int y = 0; y < 20; ++y) {
                for (int x = 0; x < 24; ++x) {
                    const bool inside = x >= 3 && x < 15 && y >= 2 && y < 16;
                    for (int c = 0; c < 3; ++c) {
                        ASSERT_TRUE(inside || out.dst.sample(x, y, c) == src.sample(x, y, c))
                            << x << "," << y;
                        changedInside += inside && out.dst.sample(x, y, c) != src.sample(x, y, c);
                    }
                }
            }
            EXPECT_GT(changedInside, 0);
        }
    }
}

} // namespace
