// Draws a synthetic A3 test sheet (420 x 297 mm at 150 dpi) and writes the two parts a flatbed
// scanner would capture of it in two passes: samples/left.jpg and samples/right.jpg, each a
// little wider than A4 (1260 pixels), overlapping by 76 pixels. The scanner glass misses 18 pixels
// at each outer edge, which is what automatic placement assumes of a real scan.
//
// It also writes samples/scan-left.jpg and samples/scan-right.jpg: the same sheet scanned as a
// person would, the second pass turned by 180 degrees, shifted by some rows, turned by 0.7
// degree, with a little noise and 4 % less exposure. Placement by picture content joins these.
//
//   generate-samples OUTPUT_FOLDER
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>
#include <string>
#include <vector>

namespace {

constexpr int kDpi = 150;
constexpr int kSheetWidth = 2480;  // 420 mm
constexpr int kSheetHeight = 1754; // 297 mm
constexpr int kPartWidth = 1260;
constexpr int kLeftFrom = 18;
constexpr int kRightFrom = kSheetWidth - 18 - kPartWidth;
constexpr double kPi = 3.14159265358979323846;

struct Rgb {
    std::uint8_t r, g, b;
};

class Canvas {
  public:
    Canvas(int width, int height)
        : width_(width), height_(height), pixels_(std::size_t(width) * height * 3, 255) {}
    int width() const { return width_; }
    int height() const { return height_; }
    void set(int x, int y, Rgb c) {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
        std::uint8_t* p = &pixels_[(std::size_t(y) * width_ + x) * 3];
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
    }
    void fill(int x0, int y0, int x1, int y1, Rgb c) {
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                set(x, y, c);
    }
    const std::uint8_t* row(int y) const { return &pixels_[std::size_t(y) * width_ * 3]; }

  private:
    int width_, height_;
    std::vector<std::uint8_t> pixels_;
};

int mm(double millimetres) {
    return static_cast<int>(std::lround(millimetres * kDpi / 25.4));
}

// A 5 x 7 font: each glyph is seven rows of five bits, most significant bit on the left.
struct Glyph {
    char c;
    std::array<std::uint8_t, 7> rows;
};
constexpr Glyph kFont[] = {
    {'0', {14, 17, 19, 21, 25, 17, 14}}, {'1', {4, 12, 4, 4, 4, 4, 14}},
    {'2', {14, 17, 1, 2, 4, 8, 31}},     {'3', {31, 2, 4, 2, 1, 17, 14}},
    {'4', {2, 6, 10, 18, 31, 2, 2}},     {'5', {31, 16, 30, 1, 1, 17, 14}},
    {'6', {6, 8, 16, 30, 17, 17, 14}},   {'7', {31, 1, 2, 4, 8, 8, 8}},
    {'8', {14, 17, 17, 14, 17, 17, 14}}, {'9', {14, 17, 17, 15, 1, 2, 12}},
    {'A', {14, 17, 17, 31, 17, 17, 17}}, {'B', {30, 17, 17, 30, 17, 17, 30}},
    {'C', {14, 17, 16, 16, 16, 17, 14}}, {'D', {28, 18, 17, 17, 17, 18, 28}},
    {'E', {31, 16, 16, 30, 16, 16, 31}}, {'F', {31, 16, 16, 30, 16, 16, 16}},
    {'G', {14, 17, 16, 23, 17, 17, 15}}, {'H', {17, 17, 17, 31, 17, 17, 17}},
    {'I', {14, 4, 4, 4, 4, 4, 14}},      {'J', {7, 2, 2, 2, 2, 18, 12}},
    {'K', {17, 18, 20, 24, 20, 18, 17}}, {'L', {16, 16, 16, 16, 16, 16, 31}},
    {'M', {17, 27, 21, 21, 17, 17, 17}}, {'N', {17, 17, 25, 21, 19, 17, 17}},
    {'O', {14, 17, 17, 17, 17, 17, 14}}, {'P', {30, 17, 17, 30, 16, 16, 16}},
    {'Q', {14, 17, 17, 17, 21, 18, 13}}, {'R', {30, 17, 17, 30, 20, 18, 17}},
    {'S', {15, 16, 16, 14, 1, 1, 30}},   {'T', {31, 4, 4, 4, 4, 4, 4}},
    {'U', {17, 17, 17, 17, 17, 17, 14}}, {'V', {17, 17, 17, 17, 17, 10, 4}},
    {'W', {17, 17, 17, 21, 21, 21, 10}}, {'X', {17, 17, 10, 4, 10, 17, 17}},
    {'Y', {17, 17, 17, 10, 4, 4, 4}},    {'Z', {31, 1, 2, 4, 8, 16, 31}},
    {'.', {0, 0, 0, 0, 0, 12, 12}},      {'-', {0, 0, 0, 31, 0, 0, 0}},
    {':', {0, 12, 12, 0, 12, 12, 0}},    {'/', {1, 1, 2, 4, 8, 16, 16}},
    {'%', {24, 25, 2, 4, 8, 19, 3}},
};

void text(Canvas& canvas, int x, int y, const std::string& s, int scale, Rgb colour) {
    for (char c : s) {
        for (const Glyph& g : kFont) {
            if (g.c != c) continue;
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col)
                    if (g.rows[row] & (16 >> col))
                        canvas.fill(x + col * scale, y + row * scale, x + (col + 1) * scale,
                                    y + (row + 1) * scale, colour);
            break;
        }
        x += 6 * scale;
    }
}

Rgb hue(double h) { // h in [0, 1)
    const double r = 0.5 + 0.5 * std::cos(2 * kPi * h);
    const double g = 0.5 + 0.5 * std::cos(2 * kPi * (h - 1.0 / 3));
    const double b = 0.5 + 0.5 * std::cos(2 * kPi * (h - 2.0 / 3));
    return {static_cast<std::uint8_t>(r * 255), static_cast<std::uint8_t>(g * 255),
            static_cast<std::uint8_t>(b * 255)};
}

void star(Canvas& canvas, int cx, int cy, int radius, int spokes) {
    for (int y = cy - radius; y <= cy + radius; ++y)
        for (int x = cx - radius; x <= cx + radius; ++x) {
            const double dx = x - cx, dy = y - cy;
            if (dx * dx + dy * dy > double(radius) * radius) continue;
            const double a = std::atan2(dy, dx);
            if (std::fmod(a + kPi, 2 * kPi / spokes) < kPi / spokes) canvas.set(x, y, {0, 0, 0});
        }
}

void ring(Canvas& canvas, int cx, int cy, int radius, int thickness, Rgb colour) {
    for (int y = cy - radius - thickness; y <= cy + radius + thickness; ++y)
        for (int x = cx - radius - thickness; x <= cx + radius + thickness; ++x) {
            const double d = std::hypot(x - cx, y - cy);
            if (std::fabs(d - radius) <= thickness / 2.0) canvas.set(x, y, colour);
        }
}

void drawSheet(Canvas& c) {
    const Rgb black{0, 0, 0}, grid{170, 200, 235}, red{200, 30, 30}, navy{20, 40, 110};
    // Millimetre grid, every 10 mm, and a frame 8 mm inside the edges.
    for (int k = 0; k * 10 <= 420; ++k)
        c.fill(mm(k * 10), 0, mm(k * 10) + 1, c.height(), grid);
    for (int k = 0; k * 10 <= 297; ++k)
        c.fill(0, mm(k * 10), c.width(), mm(k * 10) + 1, grid);
    const int f = mm(8);
    c.fill(f, f, c.width() - f, f + 3, black);
    c.fill(f, c.height() - f - 3, c.width() - f, c.height() - f, black);
    c.fill(f, f, f + 3, c.height() - f, black);
    c.fill(c.width() - f - 3, f, c.width() - f, c.height() - f, black);
    // Rulers along the top and bottom: ticks every millimetre, numbered every centimetre.
    for (int m = 10; m <= 410; ++m) {
        const int x = mm(m);
        const int length = m % 10 == 0 ? mm(6) : m % 5 == 0 ? mm(4) : mm(2);
        c.fill(x, f + 3, x + 1, f + 3 + length, black);
        c.fill(x, c.height() - f - 3 - length, x + 1, c.height() - f - 3, black);
        if (m % 10 == 0 && m < 410) {
            const std::string label = std::to_string(m / 10);
            text(c, x - int(label.size()) * 3 * 2 + 1, f + 3 + mm(7), label, 2, black);
            text(c, x - int(label.size()) * 3 * 2 + 1, c.height() - f - 3 - mm(7) - 14, label, 2, black);
        }
    }
    text(c, mm(20), mm(26), "TANDEMSCAN A3 TEST SHEET", 7, navy);
    text(c, mm(20), mm(26) + 64, "420 X 297 MM - 150 DPI - LEFT AND RIGHT PARTS OVERLAP AT THE CENTRE", 3,
         black);
    // Colour patches and a grey wedge.
    for (int k = 0; k < 24; ++k) {
        const int x = mm(20 + k * 15.5);
        c.fill(x, mm(52), x + mm(14), mm(66), hue(k / 24.0));
        const auto v = static_cast<std::uint8_t>(255 - k * 255 / 23);
        c.fill(x, mm(67), x + mm(14), mm(81), {v, v, v});
        const std::string label = std::to_string(k * 100 / 23) + "%";
        text(c, x + 4, mm(82), label, 2, black);
    }
    // Stars at the left, across the seam, and at the right: fine spokes show any misplacement.
    star(c, mm(70), mm(140), mm(42), 72);
    star(c, c.width() / 2, mm(140), mm(42), 72);
    star(c, c.width() - mm(70), mm(140), mm(42), 72);
    for (int r = 6; r < 48; r += 6)
        ring(c, c.width() / 2, mm(140), mm(r), 2, red);
    // A smooth picture: interfering waves in colour, as a photograph would have gradients.
    const int top = mm(190), bottom = mm(262);
    for (int y = top; y < bottom; ++y)
        for (int x = mm(20); x < c.width() - mm(20); ++x) {
            const double u = double(x) / c.width(), v = double(y - top) / (bottom - top);
            const double s = 0.5 + 0.5 * std::sin(9 * u + 3 * std::sin(5 * v)) * std::cos(4 * v + 2 * u);
            const Rgb h = hue(std::fmod(u * 1.5 + v * 0.3, 1.0));
            c.set(x, y,
                  {static_cast<std::uint8_t>(h.r * s + 235 * (1 - s)),
                   static_cast<std::uint8_t>(h.g * s + 235 * (1 - s)),
                   static_cast<std::uint8_t>(h.b * s + 235 * (1 - s))});
        }
    // Vertical line pairs of falling spacing around the seam: the join must not double or drop any.
    for (int k = 0; k < 40; ++k) {
        const int x = c.width() / 2 - 200 + k * 10;
        c.fill(x, mm(87), x + 1 + k % 3, mm(95), black);
    }
    text(c, c.width() / 2 + 210, mm(88), "CENTRE", 2, red);
    for (int k = 0; k < 8; ++k) {
        const std::string label = "PART " + std::string(k < 4 ? "LEFT " : "RIGHT ") + std::to_string(k + 1);
        text(c, mm(30 + k * 48), mm(184), label, 3, navy);
    }
}

// Deterministic noise of a few levels, as a scanner's sensor adds.
struct Noise {
    std::uint32_t state = 12345;
    int next() {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>((state >> 24) % 7) - 3;
    }
};

std::uint8_t clampLevel(double v) {
    return static_cast<std::uint8_t>(std::clamp(v + 0.5, 0.0, 255.0));
}

// One pass of a person's scan: the sheet region starting at column `from` and row `top`, turned
// by `degrees` about the pass's centre, read with bilinear weights, the lid's white beyond the
// sheet, exposure `gain`, and with `halfTurn` stored turned by 180 degrees.
Canvas scanPass(const Canvas& sheet, double from, double top, double degrees, double gain, bool halfTurn,
                std::uint32_t seed) {
    Canvas pass(kPartWidth, sheet.height());
    const double a = degrees * kPi / 180, ca = std::cos(a), sa = std::sin(a);
    const double hx = (kPartWidth - 1) / 2.0, hy = (sheet.height() - 1) / 2.0;
    Noise noise{seed};
    for (int y = 0; y < pass.height(); ++y)
        for (int x = 0; x < pass.width(); ++x) {
            const double sx = from + hx + ca * (x - hx) - sa * (y - hy);
            const double sy = top + hy + sa * (x - hx) + ca * (y - hy);
            const int ix = static_cast<int>(std::floor(sx)), iy = static_cast<int>(std::floor(sy));
            const double fx = sx - ix, fy = sy - iy;
            double rgb[3] = {0, 0, 0};
            for (int k = 0; k < 4; ++k) {
                const int px = ix + (k & 1), py = iy + (k >> 1);
                const double w = ((k & 1) ? fx : 1 - fx) * ((k >> 1) ? fy : 1 - fy);
                const bool inside = px >= 0 && py >= 0 && px < sheet.width() && py < sheet.height();
                for (int c = 0; c < 3; ++c)
                    rgb[c] += w * (inside ? sheet.row(py)[px * 3 + c] : 250);
            }
            const int n = noise.next();
            const Rgb value{clampLevel(rgb[0] * gain + n), clampLevel(rgb[1] * gain + n),
                            clampLevel(rgb[2] * gain + n)};
            if (halfTurn)
                pass.set(pass.width() - 1 - x, pass.height() - 1 - y, value);
            else
                pass.set(x, y, value);
        }
    return pass;
}

bool writeJpeg(const Canvas& sheet, int from, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = kPartWidth;
    cinfo.image_height = static_cast<JDIMENSION>(sheet.height());
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 70, TRUE);
    cinfo.density_unit = 1;
    cinfo.X_density = cinfo.Y_density = kDpi;
    cinfo.optimize_coding = TRUE;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(sheet.row(static_cast<int>(cinfo.next_scanline)) + from * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(file) == 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: generate-samples OUTPUT_FOLDER\n");
        return 1;
    }
    Canvas sheet(kSheetWidth, kSheetHeight);
    drawSheet(sheet);
    const std::string dir = argv[1];
    // The person's scan overlaps by more than the exact one (about 1.2 inches) and the second
    // pass sits 35 rows lower on the glass.
    const Canvas scanLeft = scanPass(sheet, kLeftFrom, 0, 0, 1.0, false, 1);
    const Canvas scanRight = scanPass(sheet, kRightFrom - 100, -35, 0.7, 0.96, true, 2);
    if (!writeJpeg(sheet, kLeftFrom, dir + "/left.jpg") ||
        !writeJpeg(sheet, kRightFrom, dir + "/right.jpg") ||
        !writeJpeg(scanLeft, 0, dir + "/scan-left.jpg") ||
        !writeJpeg(scanRight, 0, dir + "/scan-right.jpg")) {
        std::fprintf(stderr, "generate-samples: cannot write into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
