// Distortions: identity cases, exact axis mappings, the effect area, pinch positions.
#include "rasterkit_harness.h"

using namespace rktest;

namespace {

bool samePicture(const Bitmap& a, const Bitmap& b) {
    if (a.width != b.width || a.height != b.height) return false;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            for (int c = 0; c < (a.bits == 24 ? 3 : 1); ++c) {
                const int va = a.bits == 24 ? a.sample(x, y, c) : a.row(y)[x];
                const int vb = b.bits == 24 ? b.sample(x, y, c) : b.row(y)[x];
                if (va != vb) return false;
            }
        }
    }
    return true;
}

Bitmap pattern(int bits, int width, int height, int type = -1, int planes = 1) {
    Bitmap b = makeBitmap(bits, width, height, type, planes);
    fillPattern(b, 21);
    return b;
}

TEST(Distortions, NeutralParametersLeaveTheImage) {
    DistortAngleParam zero{0};
    WaveParam flat{16, 16, 0, 0};
    WaveParam noPeriod{0, 0, 30, 30};
    PinchParam none{0};
    struct Case {
        int op;
        void* param;
    };
    const Case cases[] = {{RK_OP_SPHERIZE_HORIZONTAL, &zero},
                          {RK_OP_SPHERIZE_VERTICAL, &zero},
                          {RK_OP_SPHERIZE, &zero},
                          {RK_OP_TWIRL, &zero},
                          {RK_OP_WAVE, &flat},
                          {RK_OP_WAVE, &noPeriod},
                          {RK_OP_PINCH, &none}};
    for (const Case& c : cases) {
        for (int form = 0; form < 4; ++form) {
            SCOPED_TRACE(testing::Message() << "op " << c.op << " form " << form);
            Bitmap src = form == 0   ? pattern(24, 17, 12)
                         : form == 1 ? pattern(24, 17, 12, -1, 3)
                         : form == 2 ? pattern(8, 17, 12)
                                     : pattern(24, 1, 1);
            Outcome out = runOperation(c.op, src, c.param);
            ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
            EXPECT_TRUE(samePicture(out.dst, src));
        }
    }
}

TEST(Distortions, UnsupportedFormatsAreRefused) {
    DistortAngleParam angle{30};
    for (int op : {RK_OP_SPHERIZE, RK_OP_TWIRL, RK_OP_WAVE, RK_OP_SPHERIZE_VERTICAL, RK_OP_PINCH}) {
        Bitmap oneBit = makeBitmap(1, 16, 4);
        EXPECT_EQ(runOperation(op, oneBit, &angle).query, RK_RESULT_NOT_SUPPORTED) << op;
        Bitmap grey = makeBitmap(8, 16, 4);
        EXPECT_EQ(runOperation(op, grey, nullptr).query, RK_RESULT_NOT_SUPPORTED) << op;
    }
}

TEST(Spherize, AxisMappingPicksTheseColumns) {
    // Eight columns valued 10 x column; 8-bit images take the nearer of the two source columns.
    struct Case {
        int op;
        int angle;
        std::vector<int> columns;
    };
    const Case cases[] = {
        {RK_OP_SPHERIZE_HORIZONTAL, 90, {0, 2, 3, 3, 4, 5, 5, 6}},
        {RK_OP_SPHERIZE_HORIZONTAL, -90, {0, 0, 1, 2, 4, 6, 7, 7}},
        {RK_OP_SPHERIZE_VERTICAL, 90, {0, 2, 3, 3, 4, 5, 5, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "op " << c.op << " angle " << c.angle);
        const bool horizontal = c.op == RK_OP_SPHERIZE_HORIZONTAL;
        Bitmap src = makeBitmap(8, horizontal ? 8 : 3, horizontal ? 3 : 8);
        for (int y = 0; y < src.height; ++y) {
            for (int x = 0; x < src.width; ++x) {
                src.row(y)[x] = static_cast<std::uint8_t>(10 * (horizontal ? x : y));
            }
        }
        DistortAngleParam param{c.angle};
        Outcome out = runOperation(c.op, src, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        for (int a = 0; a < 8; ++a) {
            const int v = horizontal ? out.dst.row(1)[a] : out.dst.row(a)[1];
            EXPECT_EQ(v, 10 * c.columns[static_cast<std::size_t>(a)]) << a;
        }
    }
}

TEST(Spherize, TwentyFourBitsBlendTheTwoColumns) {
    Bitmap src = makeBitmap(24, 8, 1);
    for (int x = 0; x < 8; ++x) {
        const auto v = static_cast<std::uint8_t>(30 * x);
        src.setRgb(x, 0, v, v, v);
    }
    DistortAngleParam param{90};
    Outcome out = runOperation(RK_OP_SPHERIZE_HORIZONTAL, src, &param);
    ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
    // Column 1 maps to 1.8404: 30 x 0.1596 + 60 x 0.8404; column 3 to 3.3566.
    EXPECT_EQ(out.dst.sample(1, 0, 0), 55);
    EXPECT_EQ(out.dst.sample(3, 0, 2), 100);
    EXPECT_EQ(out.dst.sample(4, 0, 1), 120);
}

TEST(Spherize, SeveralTilesUseTheirBoundingRectangle) {
    Bitmap src = pattern(24, 30, 20);
    // Two tiles whose bounding rectangle is (4, 3) to (26, 17), and one tile covering all of it.
    Tile a(4, 3, 10, 8);
    Tile b(16, 9, 10, 8);
    a.tile.lpNext = &b.tile;
    Tile whole(4, 3, 22, 14);
    DistortAngleParam param{70};
    for (int op : {RK_OP_SPHERIZE, RK_OP_TWIRL, RK_OP_SPHERIZE_HORIZONTAL}) {
        RunOptions two;
        two.mask = &a.tile;
        RunOptions one;
        one.mask = &whole.tile;
        Outcome split = runOperation(op, src, &param, two);
        Outcome joined = runOperation(op, src, &param, one);
        ASSERT_EQ(split.run, RK_RESULT_SUCCEED);
        int moved = 0;
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 30; ++x) {
                const bool inA = x >= 4 && x < 14 && y >= 3 && y < 11;
                const bool inB = x >= 16 && x < 26 && y >= 9 && y < 17;
                for (int c = 0; c < 3; ++c) {
                    const int expected = inA || inB ? joined.dst.sample(x, y, c) : src.sample(x, y, c);
                    ASSERT_EQ(split.dst.sample(x, y, c), expected) << op << " " << x << "," << y;
                    moved += split.dst.sample(x, y, c) != src.sample(x, y, c);
                }
            }
        }
        EXPECT_GT(moved, 100) << op;
    }
}

TEST(Twirl, CentreStaysAndNearbyPixelsTurn) {
    Bitmap src = pattern(8, 21, 15);
    for (int angle : {45, -200, 720}) {
        DistortAngleParam param{angle};
        Outcome out = runOperation(RK_OP_TWIRL, src, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        EXPECT_EQ(out.dst.row(7)[10], src.row(7)[10]) << angle;
        EXPECT_FALSE(samePicture(out.dst, src)) << angle;
    }
    // A quarter turn at the centre: the pixel right of the centre takes the one above or below
    // it (y grows downwards in memory order).
    Bitmap cross = makeBitmap(8, 41, 41);
    cross.row(20)[20] = 1;
    cross.row(19)[20] = 50;  // above
    cross.row(21)[20] = 100; // below
    DistortAngleParam quarter{-90};
    Outcome turned = runOperation(RK_OP_TWIRL, cross, &quarter);
    ASSERT_EQ(turned.run, RK_RESULT_SUCCEED);
    // rho = 1, k = sqrt(1 / 20): the angle turned is (1 - 0.2236) x -90 degrees, about -70.
    EXPECT_GT(turned.dst.row(20)[21], 0);
}

TEST(Wave, ShiftsFollowTheSine) {
    // A row of distinct values; the vertical period makes row y shift by A0 sin(...).
    Bitmap src = makeBitmap(8, 40, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 40; ++x)
            src.row(y)[x] = static_cast<std::uint8_t>(5 * x);
    }
    WaveParam param{8, 0, 4, 0};
    Outcome out = runOperation(RK_OP_WAVE, src, &param);
    ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
    // Row y shifts by 4 sin(y x 12.5664 / 8 - 6.2832): row 0 by sin(-6.2832), a hair below 0, so
    // it blends in a little of column 19; row 1 by +4, row 2 by sin(-3.1416) (a hair above 0),
    // row 3 by -4.
    EXPECT_EQ(out.dst.row(0)[20], 99);
    EXPECT_EQ(out.dst.row(1)[20], 120);
    EXPECT_EQ(out.dst.row(2)[20], 100);
    EXPECT_EQ(out.dst.row(3)[20], 80);
    EXPECT_EQ(out.dst.row(3)[1], 0); // clamped at the left edge
}

TEST(Pinch, NegativeAmountPullsFromTheRim) {
    Bitmap src = makeBitmap(8, 5, 5);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 5; ++x)
            src.row(y)[x] = static_cast<std::uint8_t>(x + 10 * y);
    }
    struct Case {
        int amount;
        int x;
        int y;
        int expected;
    };
    const Case cases[] = {
        {-100, 2, 2, 22}, {-100, 1, 2, 20}, {-100, 1, 1, 0}, {-100, 3, 2, 23}, {-100, 0, 0, 0},
        {100, 1, 2, 21},  {100, 1, 1, 11},  {100, 4, 4, 44}, {0, 3, 1, 13},
    };
    for (const Case& c : cases) {
        PinchParam param{c.amount};
        Outcome out = runOperation(RK_OP_PINCH, src, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        EXPECT_EQ(out.dst.row(c.y)[c.x], c.expected) << c.amount << " at " << c.x << "," << c.y;
    }
}

TEST(Pinch, PlanarMatchesInterleavedAndTilesArePinchedApart) {
    Bitmap src = pattern(24, 19, 16);
    Bitmap planar = makeBitmap(24, 19, 16, -1, 3);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 19; ++x)
            planar.setRgb(x, y, src.sample(x, y, 0), src.sample(x, y, 1), src.sample(x, y, 2));
    }
    PinchParam param{-80};
    Outcome a = runOperation(RK_OP_PINCH, src, &param);
    Outcome b = runOperation(RK_OP_PINCH, planar, &param);
    ASSERT_EQ(a.run, RK_RESULT_SUCCEED);
    ASSERT_EQ(b.run, RK_RESULT_SUCCEED);
    EXPECT_TRUE(samePicture(a.dst, b.dst));
    EXPECT_FALSE(samePicture(a.dst, src));

    // Each tile is its own region: its pixels come from inside it.
    Bitmap ids = makeBitmap(8, 12, 6);
    for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 12; ++x)
            ids.row(y)[x] = static_cast<std::uint8_t>(x < 6 ? 10 : 200);
    }
    Tile left(0, 0, 6, 6);
    Tile right(6, 0, 6, 6);
    left.tile.lpNext = &right.tile;
    RunOptions options;
    options.mask = &left.tile;
    Outcome tiles = runOperation(RK_OP_PINCH, ids, &param, options);
    ASSERT_EQ(tiles.run, RK_RESULT_SUCCEED);
    EXPECT_TRUE(samePicture(tiles.dst, ids));
    // Progress counts pixels of all regions.
    EXPECT_EQ(tiles.callbacks.progress.back(), (std::pair<int, int>{72, 72}));
}

TEST(Distortions, CancelAtTheFirstPoll) {
    DistortAngleParam angle{40};
    WaveParam wave{10, 10, 3, 3};
    PinchParam pinch{50};
    for (auto [op, param] : {std::pair<int, void*>{RK_OP_SPHERIZE, &angle},
                             {RK_OP_SPHERIZE_HORIZONTAL, &angle},
                             {RK_OP_TWIRL, &angle},
                             {RK_OP_WAVE, &wave},
                             {RK_OP_PINCH, &pinch}}) {
        Bitmap src = pattern(24, 9, 9);
        RunOptions cancel;
        cancel.cancelAtPoll = 1;
        Outcome out = runOperation(op, src, param, cancel);
        EXPECT_EQ(out.run, RK_RESULT_CANCEL) << op;
    }
}

} // namespace
