// ChangeMode and Text.
#include "rasterkit_harness.h"

#include <set>

using namespace rktest;

namespace {

bool black(const Bitmap& b, int x, int y) {
    return b.index(x, y) == 1;
}

TEST(ChangeMode, GreyToBlackAndWhite) {
    // Threshold 128 on a grey ramp: 0..127 black, 128..255 white.
    Bitmap ramp = makeBitmap(8, 256, 1);
    for (int x = 0; x < 256; ++x)
        ramp.row(0)[x] = static_cast<std::uint8_t>(x);
    ChangeModeParam threshold{RK_MODE_TARGET_BLACK_WHITE, RK_MODE_METHOD_THRESHOLD, 128};
    Outcome out = runOperation(RK_OP_CHANGE_MODE, ramp, &threshold);
    ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(out.dst.type, RK_TYPE_BLACK_WHITE);
    EXPECT_EQ(out.dst.bits, 1);
    for (int x = 0; x < 256; ++x)
        EXPECT_EQ(black(out.dst, x, 0), x < 128) << x;
    const std::vector<std::uint8_t> table = {255, 255, 255, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<std::uint8_t>(out.dst.palette.begin(), out.dst.palette.begin() + 8), table);
    const std::vector<std::pair<int, int>> progress = {{20, 100}, {100, 100}};
    EXPECT_EQ(out.callbacks.progress, progress);

    // Ordered: a flat 100 is black where the threshold table holds more than 100.
    Bitmap flat = makeBitmap(8, 9, 9);
    std::fill(flat.pixels.begin(), flat.pixels.end(), 100);
    ChangeModeParam ordered{RK_MODE_TARGET_BLACK_WHITE, RK_MODE_METHOD_ORDERED, 0};
    Outcome dots = runOperation(RK_OP_CHANGE_MODE, flat, &ordered);
    ASSERT_EQ(dots.run, RK_RESULT_SUCCEED);
    const bool row0[8] = {false, true, true, true, true, true, true, true};  // 47, 137, ...
    const bool row4[8] = {false, true, true, true, false, true, true, true}; // 100, 132, .., 65
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(black(dots.dst, x, 0), row0[x]) << x;
        EXPECT_EQ(black(dots.dst, x, 4), row4[x]) << x;
    }
    EXPECT_EQ(black(dots.dst, 8, 8), black(dots.dst, 0, 0)); // the table repeats

    // Carried error: 100, 200, 300 -> white (45 left), 145; the next row goes on from 145.
    Bitmap grey = makeBitmap(8, 4, 2);
    std::fill(grey.pixels.begin(), grey.pixels.end(), 100);
    ChangeModeParam carried{RK_MODE_TARGET_BLACK_WHITE, RK_MODE_METHOD_CARRIED_ERROR, 0};
    Outcome spread = runOperation(RK_OP_CHANGE_MODE, grey, &carried);
    ASSERT_EQ(spread.run, RK_RESULT_SUCCEED);
    const bool expected[2][4] = {{true, true, false, true}, {true, false, true, false}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(black(spread.dst, x, y), expected[y][x]) << x << "," << y;
    }
}

TEST(ChangeMode, ColourToGreyAndBlackAndWhite) {
    struct Case {
        std::uint8_t blue, green, red;
        int grey;
    };
    // Red weighs 3, green 6, blue 1.
    const Case cases[] = {{100, 100, 100, 100}, {0, 0, 255, 76},      {255, 0, 0, 25},
                          {0, 255, 0, 153},     {255, 255, 255, 255}, {0, 0, 0, 0}};
    for (int planes : {1, 3}) {
        Bitmap src = makeBitmap(24, 6, 1, -1, planes);
        for (int x = 0; x < 6; ++x)
            src.setRgb(x, 0, cases[x].blue, cases[x].green, cases[x].red);
        ChangeModeParam toGrey{RK_MODE_TARGET_GREY, 0, 0};
        Outcome grey = runOperation(RK_OP_CHANGE_MODE, src, &toGrey);
        ASSERT_EQ(grey.run, RK_RESULT_SUCCEED);
        EXPECT_EQ(grey.dst.type, RK_TYPE_GREY);
        EXPECT_EQ(grey.dst.planes, 1);
        EXPECT_EQ(grey.dst.channels, 1);
        EXPECT_EQ(grey.dst.palette[4 * 77], 77);
        EXPECT_EQ(grey.dst.palette[4 * 77 + 3], 0);
        ChangeModeParam toMono{RK_MODE_TARGET_BLACK_WHITE, RK_MODE_METHOD_THRESHOLD, 200};
        Outcome mono = runOperation(RK_OP_CHANGE_MODE, src, &toMono);
        ASSERT_EQ(mono.run, RK_RESULT_SUCCEED);
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(grey.dst.row(0)[x], cases[x].grey) << x;
            EXPECT_EQ(black(mono.dst, x, 0), cases[x].grey < 128) << x; // colour uses 128
        }
    }
    Bitmap indexed = makeBitmap(8, 2, 1, RK_TYPE_COLOR8);
    indexed.setEntry(3, 30, 60, 90);
    indexed.setEntry(4, 200, 100, 90);
    indexed.row(0)[0] = 3;
    indexed.row(0)[1] = 4;
    ChangeModeParam toGrey{RK_MODE_TARGET_GREY, 0, 0};
    Outcome grey = runOperation(RK_OP_CHANGE_MODE, indexed, &toGrey);
    ASSERT_EQ(grey.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(grey.dst.row(0)[0], 60);
    EXPECT_EQ(grey.dst.row(0)[1], 130);
    ChangeModeParam toMono{RK_MODE_TARGET_BLACK_WHITE, 0, 0};
    Outcome mono = runOperation(RK_OP_CHANGE_MODE, indexed, &toMono);
    EXPECT_TRUE(black(mono.dst, 0, 0));
    EXPECT_FALSE(black(mono.dst, 1, 0));
}

TEST(ChangeMode, OctreeKeepsFewColoursExactly) {
    Bitmap src = makeBitmap(24, 4, 2);
    src.setRgb(0, 0, 255, 255, 255);
    src.setRgb(1, 0, 10, 200, 30);
    src.setRgb(2, 0, 10, 200, 30);
    src.setRgb(3, 1, 255, 255, 255);
    ChangeModeParam param{RK_MODE_TARGET_COLOR8, 0, 0};
    Outcome out = runOperation(RK_OP_CHANGE_MODE, src, &param);
    ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(out.dst.type, RK_TYPE_COLOR8);
    // Leaves in depth-first order: black (0, 0, 0), green-ish, white.
    EXPECT_EQ(out.dst.index(0, 1), 0);
    EXPECT_EQ(out.dst.index(1, 0), 1);
    EXPECT_EQ(out.dst.index(0, 0), 2);
    const std::vector<std::uint8_t> table = {0,   0,   0,   0, 10,  200, 30,  0,
                                             255, 255, 255, 0, 255, 255, 255, 255};
    EXPECT_EQ(std::vector<std::uint8_t>(out.dst.palette.begin(), out.dst.palette.begin() + 16), table);
    EXPECT_EQ(out.dst.palette[1023], 255);
}

TEST(ChangeMode, OctreeReducesToAFullTable) {
    Bitmap src = makeBitmap(24, 64, 64);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            src.setRgb(x, y, static_cast<std::uint8_t>(4 * x), static_cast<std::uint8_t>(4 * y),
                       static_cast<std::uint8_t>((x * y) & 255));
        }
    }
    ChangeModeParam param{RK_MODE_TARGET_COLOR8, 0, 0};
    Outcome out = runOperation(RK_OP_CHANGE_MODE, src, &param);
    ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
    std::set<int> used;
    long error = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const int i = out.dst.index(x, y);
            used.insert(i);
            for (int c = 0; c < 3; ++c)
                error += std::abs(out.dst.palette[4 * i + c] - src.sample(x, y, c));
        }
    }
    EXPECT_GT(used.size(), 200u);
    EXPECT_LE(used.size(), 256u);
    EXPECT_LT(error / (64 * 64 * 3), 12); // mean error per sample
}

TEST(ChangeMode, RefusedCombinationsAndCancel) {
    struct Case {
        int bits, type, target, method;
    };
    const Case refused[] = {
        {8, RK_TYPE_GREY, RK_MODE_TARGET_GREY, 0},     {8, RK_TYPE_GREY, RK_MODE_TARGET_COLOR8, 0},
        {8, RK_TYPE_COLOR8, RK_MODE_TARGET_COLOR8, 0}, {24, RK_TYPE_RGB24, 7, 0},
        {1, RK_TYPE_1BIT, RK_MODE_TARGET_GREY, 0},     {4, RK_TYPE_4BIT, RK_MODE_TARGET_BLACK_WHITE, 0},
    };
    for (const auto& c : refused) {
        Bitmap src = makeBitmap(c.bits, 4, 4, c.type);
        ChangeModeParam param{c.target, c.method, 0};
        Outcome out = runOperation(RK_OP_CHANGE_MODE, src, &param);
        EXPECT_EQ(out.query, RK_RESULT_NOT_SUPPORTED) << c.bits << " " << c.target;
    }
    Bitmap src = makeBitmap(24, 4, 4);
    ChangeModeParam param{RK_MODE_TARGET_GREY, 0, 0};
    Outcome out = runOperation(RK_OP_CHANGE_MODE, src, &param, {.cancelAtPoll = 1});
    EXPECT_EQ(out.run, RK_RESULT_CANCEL);
    EXPECT_EQ(out.dst.pixels, std::vector<std::uint8_t>(out.dst.pixels.size(), kUnwritten));
}

// ---- Text -------------------------------------------------------------------------------------

struct TextRun {
    Outcome outcome;
    MaskTile mask{};
    std::vector<std::uint8_t> maskBits;
    std::vector<std::uint8_t> extra;
};

TextParam textParam(const char* text, int layout = 0, std::uint32_t colour = 0,
                    const char* face = "DejaVu Sans", int height = -20) {
    TextParam p{};
    p.text = text;
    p.face = face;
    p.height = height;
    p.color = colour;
    p.layout = layout;
    return p;
}

// Query for the size, then run with a mask and extra buffer of that size.
std::unique_ptr<TextRun> renderText(TextParam param) {
    auto run = std::make_unique<TextRun>();
    Bitmap none = makeBitmap(24, 1, 1);
    ImageInfo info = makeInfo(none, &param);
    char message[128] = {};
    const int query = ImageEntry(RK_OP_TEXT, &info, message);
    if (query == RK_RESULT_SUCCEED) {
        const std::size_t n = static_cast<std::size_t>(info.nDstWidth) * info.nDstHeight;
        run->maskBits.assign(n, 7);
        run->extra.assign(n, 7);
    }
    run->mask.lpBits = run->maskBits.data();
    RunOptions options;
    options.mask = &run->mask;
    options.extra = run->extra.data();
    run->outcome = runOperation(RK_OP_TEXT, none, &param, options);
    return run;
}

int inkCount(const TextRun& run) {
    int n = 0;
    for (std::uint8_t b : run.maskBits)
        n += b == 255;
    return n;
}

TEST(Text, SizesOfLinesAndLayouts) {
    auto a = renderText(textParam("A"));
    auto bb = renderText(textParam("BB"));
    auto both = renderText(textParam("A\nBB"));
    ASSERT_EQ(both->outcome.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(both->outcome.dst.width, bb->outcome.dst.width);
    EXPECT_EQ(both->outcome.dst.height, 2 * a->outcome.dst.height);
    EXPECT_EQ(a->outcome.dst.height, 23); // -20: 20-pixel characters in a 23-pixel cell
    EXPECT_EQ(renderText(textParam("A", 0, 0, "DejaVu Sans", 30))->outcome.dst.height, 30);
    EXPECT_GT(bb->outcome.dst.width, a->outcome.dst.width);
    for (int layout = 3; layout <= 5; ++layout) {
        auto turned = renderText(textParam("A\nBB", layout));
        ASSERT_EQ(turned->outcome.run, RK_RESULT_SUCCEED) << layout;
        EXPECT_EQ(turned->outcome.dst.width, both->outcome.dst.height);
        EXPECT_EQ(turned->outcome.dst.height, both->outcome.dst.width);
    }
    auto crlf = renderText(textParam("A\r\nBB\n"));
    EXPECT_EQ(crlf->outcome.dst.height, both->outcome.dst.height);
    EXPECT_EQ(crlf->outcome.dst.type, RK_TYPE_RGB24);
    EXPECT_EQ(crlf->outcome.dst.bits, 24);
}

// The first and last column (or row) holding ink within the cell of line `line`.
std::pair<int, int> inkSpan(const TextRun& run, int line, bool vertical) {
    const Bitmap& d = run.outcome.dst;
    const int cell = 23;
    int first = 1 << 30, last = -1;
    for (int y = 0; y < d.height; ++y) {
        for (int x = 0; x < d.width; ++x) {
            if (run.maskBits[static_cast<std::size_t>(y) * d.width + x] != 255) continue;
            const int seenRow = d.height - 1 - y; // rows in memory run bottom-up
            const int cellIndex = vertical ? (d.width - 1 - x) / cell : seenRow / cell;
            if (cellIndex != line) continue;
            const int along = vertical ? seenRow : x;
            first = std::min(first, along);
            last = std::max(last, along);
        }
    }
    return {first, last};
}

TEST(Text, AlignmentAndDirection) {
    // Line 0 ("i") is narrow; line 1 ("WWWW") sets the width.
    struct Case {
        int layout;
        int where; // 0 start, 1 middle, 2 end
    };
    for (const Case c : {Case{0, 0}, Case{1, 1}, Case{2, 2}, Case{3, 0}, Case{4, 1}, Case{5, 2}}) {
        SCOPED_TRACE(c.layout);
        auto run = renderText(textParam("i\nWWWW", c.layout));
        ASSERT_EQ(run->outcome.run, RK_RESULT_SUCCEED);
        const bool vertical = c.layout >= 3;
        const int extent = vertical ? run->outcome.dst.height : run->outcome.dst.width;
        auto [first, last] = inkSpan(*run, 0, vertical);
        ASSERT_GE(last, 0);
        const int centre = (first + last) / 2;
        switch (c.where) {
        case 0:
            EXPECT_LT(last, extent / 4);
            break;
        case 1:
            EXPECT_NEAR(centre, extent / 2, extent / 8);
            break;
        default:
            EXPECT_GT(first, 3 * extent / 4);
            break;
        }
        auto [wideFirst, wideLast] = inkSpan(*run, 1, vertical);
        EXPECT_LT(wideFirst, extent / 8);
        EXPECT_GT(wideLast, 7 * extent / 8);
    }
}

TEST(Text, ColourMaskAndExtra) {
    auto red = renderText(textParam("Hg", 0, 0x0000FF));
    ASSERT_EQ(red->outcome.run, RK_RESULT_SUCCEED);
    const Bitmap& d = red->outcome.dst;
    EXPECT_EQ(red->mask.dwSize, sizeof(MaskTile));
    EXPECT_EQ(red->mask.lpNext, nullptr);
    EXPECT_EQ(red->mask.nLeft, 0);
    EXPECT_EQ(red->mask.nTop, 0);
    EXPECT_EQ(red->mask.nWidth, d.width);
    EXPECT_EQ(red->mask.nHeight, d.height);
    EXPECT_EQ(red->maskBits, red->extra);
    int solid = 0;
    for (int y = 0; y < d.height; ++y) {
        for (int x = 0; x < d.width; ++x) {
            const bool white =
                d.sample(x, y, 0) == 255 && d.sample(x, y, 1) == 255 && d.sample(x, y, 2) == 255;
            EXPECT_EQ(red->maskBits[static_cast<std::size_t>(y) * d.width + x], white ? 0 : 255);
            EXPECT_EQ(d.sample(x, y, 2), 255);               // red stays full
            EXPECT_EQ(d.sample(x, y, 0), d.sample(x, y, 1)); // blue and green fade together
            solid += d.sample(x, y, 0) == 0;
        }
    }
    EXPECT_GT(solid, 20);

    auto white = renderText(textParam("Hg", 0, 0xFFFFFF));
    ASSERT_EQ(white->outcome.run, RK_RESULT_SUCCEED);
    for (std::size_t i = 0; i < white->outcome.dst.pixels.size(); ++i) {
        const int x = static_cast<int>(i % static_cast<std::size_t>(white->outcome.dst.stride()));
        if (x < 3 * white->outcome.dst.width) {
            ASSERT_EQ(white->outcome.dst.pixels[i], 255) << i;
        }
    }
    EXPECT_EQ(white->maskBits, red->maskBits); // the glyphs drawn black mark the same pixels
}

TEST(Text, StylesAndFaces) {
    const int plain = inkCount(*renderText(textParam("Hello")));
    TextParam bold = textParam("Hello");
    bold.bold = 1;
    TextParam notBold = textParam("Hello");
    notBold.bold = 2; // only 1 means bold
    TextParam underline = textParam("Hello");
    underline.underline = 0x100; // only the low byte counts
    TextParam underlined = textParam("Hello");
    underlined.underline = 1;
    TextParam italic = textParam("Hello");
    italic.italic = 1;
    EXPECT_GT(inkCount(*renderText(bold)), plain + plain / 5);
    EXPECT_EQ(inkCount(*renderText(notBold)), plain);
    EXPECT_EQ(inkCount(*renderText(underline)), plain);
    EXPECT_GT(inkCount(*renderText(underlined)), plain);
    auto slanted = renderText(italic);
    EXPECT_EQ(slanted->outcome.run, RK_RESULT_SUCCEED);
    EXPECT_NE(slanted->maskBits, renderText(textParam("Hello"))->maskBits);
    // A face that is not installed falls back to the sans-serif face.
    auto unknown = renderText(textParam("Hello", 0, 0, "No Such Face At All"));
    auto sans = renderText(textParam("Hello", 0, 0, "sans-serif"));
    ASSERT_EQ(unknown->outcome.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(unknown->outcome.dst.width, sans->outcome.dst.width);
    EXPECT_EQ(unknown->maskBits, sans->maskBits);
    // UTF-8 text is read as UTF-8; other bytes as single-byte characters.
    auto utf8 = renderText(textParam("\xc3\xa9"));
    auto latin1 = renderText(textParam("\xe9"));
    ASSERT_EQ(utf8->outcome.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(utf8->maskBits, latin1->maskBits);
}

TEST(Text, BadParameters) {
    struct Case {
        const char* name;
        TextParam param;
        int expected;
    };
    const Case cases[] = {
        {"no text", textParam(nullptr), RK_RESULT_NOT_SUPPORTED},
        {"no face", textParam("A", 0, 0, nullptr), RK_RESULT_NOT_SUPPORTED},
        {"empty text", textParam(""), RK_RESULT_TOO_SMALL},
        {"giant height", textParam("A", 0, 0, "DejaVu Sans", -100000), RK_RESULT_NOT_SUPPORTED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bitmap none = makeBitmap(24, 1, 1);
        TextParam param = c.param;
        EXPECT_EQ(runOperation(RK_OP_TEXT, none, &param).query, c.expected);
    }
    // The run pass needs the mask tile and the extra buffer.
    Bitmap none = makeBitmap(24, 1, 1);
    TextParam param = textParam("A");
    EXPECT_EQ(runOperation(RK_OP_TEXT, none, &param).run, RK_RESULT_NOT_SUPPORTED);
    // No source image is needed at all.
    ImageInfo info = makeInfo(none, &param);
    info.nSrcBitCount = 0;
    info.nSrcWidth = 0;
    info.lpSrcData = nullptr;
    char message[128] = {};
    EXPECT_EQ(ImageEntry(RK_OP_TEXT, &info, message), RK_RESULT_SUCCEED);
}

} // namespace
