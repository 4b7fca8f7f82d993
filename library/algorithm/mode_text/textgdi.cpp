// Text: renders lines of text with FreeType into a new 24-bit image, with a mask of the glyphs.
// Fonts are found through fontconfig; the height follows the usual logical-font convention
// (negative: character height, positive: cell height, in pixels).
#include "operations.h"
#include "rasterkit_internal.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace rasterkit {
namespace {

constexpr int kDefaultCharacterHeight = 16; // a height of 0 asks for the default size
constexpr int kMaxCharacterHeight = 4096;

// Lines as code points: UTF-8 when the text is valid UTF-8, otherwise one byte per character
// (Latin-1). Lines end at line feeds; a carriage return before a line feed is dropped.
std::vector<std::u32string> splitLines(const char* text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    const std::size_t n = std::strlen(text);
    std::u32string all;
    bool utf8 = true;
    for (std::size_t i = 0; i < n && utf8;) {
        const unsigned c = s[i];
        const std::size_t extra = c < 0x80         ? 0
                                  : (c >> 5) == 6  ? 1
                                  : (c >> 4) == 14 ? 2
                                  : (c >> 3) == 30 ? 3
                                                   : 4;
        if (extra == 4 || i + extra >= n + (extra == 0 ? 1 : 0)) {
            utf8 = false;
            break;
        }
        char32_t cp = extra == 0 ? c : c & (0x3Fu >> extra);
        for (std::size_t k = 1; k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) utf8 = false;
            cp = cp << 6 | (s[i + k] & 0x3Fu);
        }
        all.push_back(cp);
        i += extra + 1;
    }
    if (!utf8) all.assign(s, s + n);

    std::vector<std::u32string> lines;
    std::u32string line;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i] == U'\n') {
            if (!line.empty() && line.back() == U'\r') line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line.push_back(all[i]);
        }
    }
    if (!line.empty() || lines.empty()) lines.push_back(line);
    return lines;
}

struct FtLibrary {
    FT_Library library = nullptr;
    FtLibrary() {
        if (FT_Init_FreeType(&library) != 0) library = nullptr;
    }
    ~FtLibrary() {
        if (library != nullptr) FT_Done_FreeType(library);
    }
    FtLibrary(const FtLibrary&) = delete;
    FtLibrary& operator=(const FtLibrary&) = delete;
};

struct FtFace {
    FT_Face face = nullptr;
    FtFace() = default;
    ~FtFace() {
        if (face != nullptr) FT_Done_Face(face);
    }
    FtFace(const FtFace&) = delete;
    FtFace& operator=(const FtFace&) = delete;
};

struct FontFile {
    std::string path;
    int index = 0;
    bool bold = false;   // the file itself is bold
    bool italic = false; // the file itself is italic or oblique
};

// A configuration of our own, loaded once: the host program may use (and finalise) the shared
// one, and ours is released cleanly when the library unloads.
class FontConfiguration {
  public:
    static FcConfig* get() {
        static FontConfiguration instance;
        return instance.config_;
    }
    FontConfiguration(const FontConfiguration&) = delete;
    FontConfiguration& operator=(const FontConfiguration&) = delete;

  private:
    FontConfiguration() : config_(FcInitLoadConfigAndFonts()) {}
    ~FontConfiguration() {
        if (config_ != nullptr) FcConfigDestroy(config_);
    }
    FcConfig* config_;
};

// The face name through fontconfig, with sans-serif behind it when the name is not installed.
bool findFont(const std::string& faceName, bool bold, bool italic, FontFile& font) {
    FcConfig* config = FontConfiguration::get();
    if (config == nullptr) return false;
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return false;
    if (!faceName.empty()) {
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(faceName.c_str()));
    }
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) return false;
    FcChar8* file = nullptr;
    bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr;
    if (found) {
        font.path = reinterpret_cast<const char*>(file);
        int index = 0;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) font.index = index;
        int weight = FC_WEIGHT_REGULAR;
        if (FcPatternGetInteger(match, FC_WEIGHT, 0, &weight) == FcResultMatch) {
            font.bold = weight >= FC_WEIGHT_DEMIBOLD;
        }
        int slant = FC_SLANT_ROMAN;
        if (FcPatternGetInteger(match, FC_SLANT, 0, &slant) == FcResultMatch) {
            font.italic = slant != FC_SLANT_ROMAN;
        }
    }
    FcPatternDestroy(match);
    return found;
}

// One character as measured and rendered: whether it loads (measuring skips it otherwise) and
// renders (drawing skips it otherwise), its advance and its coverage bitmap.
struct CachedGlyph {
    bool loads = false;
    bool renders = false;
    int advance = 0;
    int left = 0;
    int top = 0;
    int width = 0;
    int rows = 0;
    std::vector<std::uint8_t> coverage; // rows x width
};

// Per thread: the FreeType library, the fonts found for recent requests and the last face
// opened, so that the passes of one text (and a run of texts in one face) look fonts up once.
class FontCache {
  public:
    static FontCache& forThisThread() {
        thread_local FontCache cache;
        return cache;
    }

    FT_Face face(const std::string& name, bool bold, bool italic, FontFile& font) {
        if (library_.library == nullptr || !find(name, bold, italic, font)) return nullptr;
        if (face_.face != nullptr && font.path == facePath_ && font.index == faceIndex_) {
            return face_.face;
        }
        if (face_.face != nullptr) FT_Done_Face(face_.face);
        face_.face = nullptr;
        facePath_.clear();
        if (FT_New_Face(library_.library, font.path.c_str(), font.index, &face_.face) != 0) {
            face_.face = nullptr;
            return nullptr;
        }
        facePath_ = font.path;
        faceIndex_ = font.index;
        return face_.face;
    }

    // The glyphs of one face at one size and style, kept between calls: the passes of a text and
    // the texts after it in the same style load and render each character once. Another style
    // starts the store afresh.
    std::unordered_map<char32_t, CachedGlyph>& glyphs(const std::string& style) {
        if (style != glyphStyle_ || glyphs_.size() > kMaxCachedGlyphs) {
            glyphs_.clear();
            glyphStyle_ = style;
        }
        return glyphs_;
    }

  private:
    struct Found {
        std::string name;
        bool bold;
        bool italic;
        FontFile font;
    };

    bool find(const std::string& name, bool bold, bool italic, FontFile& font) {
        for (const Found& f : found_) {
            if (f.name == name && f.bold == bold && f.italic == italic) {
                font = f.font;
                return true;
            }
        }
        if (!findFont(name, bold, italic, font)) return false;
        if (found_.size() >= 16) found_.erase(found_.begin());
        found_.push_back({name, bold, italic, font});
        return true;
    }

    static constexpr std::size_t kMaxCachedGlyphs = 4096;

    FtLibrary library_; // declared first: it must outlive the face
    std::vector<Found> found_;
    std::string glyphStyle_;
    std::unordered_map<char32_t, CachedGlyph> glyphs_;
    std::string facePath_;
    int faceIndex_ = -1;
    FtFace face_;
};

// A line's coverage, one byte per pixel, lineWidth x cellHeight.
struct LineImage {
    int width = 0;
    std::vector<std::uint8_t> coverage;
};

class TextRenderer {
  public:
    bool open(const TextParam& p) {
        std::string name(p.face, strnlen(p.face, RK_TEXT_FACE_MAX_LENGTH));
        const bool bold = p.bold == 1;
        const bool italic = (p.italic & 0xff) != 0;
        underline_ = (p.underline & 0xff) != 0;
        FontFile font;
        face_ = FontCache::forThisThread().face(name, bold, italic, font);
        if (face_ == nullptr) return false;
        FT_Face f = face_;
        const int units = f->units_per_EM > 0 ? f->units_per_EM : 2048;
        // Cell height = ascent + descent, from the metrics Windows-style heights are defined by.
        long ascent = f->ascender;
        long descent = -f->descender;
        if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2));
            os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
            ascent = os2->usWinAscent;
            descent = os2->usWinDescent;
        }
        if (ascent + descent <= 0) {
            ascent = units;
            descent = 0;
        }
        const int requested = p.height;
        if (requested < -kMaxCharacterHeight || requested > kMaxCharacterHeight) return false;
        double em;
        if (requested < 0) {
            em = -requested;
        } else if (requested > 0) {
            em = static_cast<double>(requested) * units / static_cast<double>(ascent + descent);
        } else {
            em = kDefaultCharacterHeight;
        }
        // Fractional sizes keep a requested cell height exact.
        em = std::max(em, 1.0);
        if (FT_Set_Char_Size(f, 0, static_cast<FT_F26Dot6>(std::lround(em * 64)), 72, 72) != 0) {
            return false;
        }
        const double scale = em / units;
        ascent_ = static_cast<int>(std::lround(ascent * scale));
        cellHeight_ = requested > 0 ? requested : static_cast<int>(std::lround((ascent + descent) * scale));
        if (cellHeight_ < 1) cellHeight_ = 1;
        underlinePosition_ = ascent_ - static_cast<int>(std::lround(f->underline_position * scale));
        underlineThickness_ = std::max(1, static_cast<int>(std::lround(f->underline_thickness * scale)));
        // What the file lacks is synthesised: a heavier outline, a slanted one.
        embolden_ = bold && !font.bold;
        emboldenStrength_ = static_cast<FT_Pos>(em * 64 / 24);
        FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000}; // about 12 degrees
        const bool slanted = italic && !font.italic;
        FT_Set_Transform(f, slanted ? &shear : nullptr, nullptr);
        glyphs_ = &FontCache::forThisThread().glyphs(font.path + '\n' + std::to_string(font.index) + '\n' +
                                                     std::to_string(std::lround(em * 64)) +
                                                     (embolden_ ? "b" : "-") + (slanted ? "i" : "-"));
        return true;
    }

    int cellHeight() const { return cellHeight_; }

    int measure(const std::u32string& line) {
        long width = 0;
        for (char32_t c : line) {
            const CachedGlyph& g = glyph(c);
            if (!g.loads) continue;
            width += g.advance;
            if (width > kMaxDimension) return kMaxDimension + 1;
        }
        return static_cast<int>(width);
    }

    LineImage render(const std::u32string& line) {
        LineImage image;
        image.width = measure(line);
        image.coverage.assign(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(cellHeight_),
                              0);
        int pen = 0;
        for (char32_t c : line) {
            const CachedGlyph& g = glyph(c);
            if (!g.renders) continue;
            const int left = pen + g.left;
            const int top = ascent_ - g.top;
            for (int r = 0; r < g.rows; ++r) {
                const int y = top + r;
                if (y < 0 || y >= cellHeight_) continue;
                const std::uint8_t* src = g.coverage.data() + static_cast<std::ptrdiff_t>(r) * g.width;
                for (int col = 0; col < g.width; ++col) {
                    const int x = left + col;
                    if (x < 0 || x >= image.width) continue;
                    std::uint8_t& dst = image.coverage[static_cast<std::size_t>(y) * image.width + x];
                    dst = std::max(dst, src[col]);
                }
            }
            pen += g.advance;
        }
        if (underline_) {
            const int from = std::clamp(underlinePosition_ - underlineThickness_ / 2, 0, cellHeight_);
            const int to = std::clamp(from + underlineThickness_, 0, cellHeight_);
            for (int y = from; y < to; ++y) {
                std::fill_n(image.coverage.begin() + static_cast<std::ptrdiff_t>(y) * image.width,
                            image.width, std::uint8_t{255});
            }
        }
        return image;
    }

  private:
    const CachedGlyph& glyph(char32_t c) {
        const auto found = glyphs_->find(c);
        if (found != glyphs_->end()) return found->second;
        CachedGlyph g;
        if (loadGlyph(c, false)) {
            g.loads = true;
            g.advance = advanceOf(face_->glyph);
            if (FT_Render_Glyph(face_->glyph, FT_RENDER_MODE_NORMAL) == 0) {
                const FT_GlyphSlot slot = face_->glyph;
                const FT_Bitmap& bm = slot->bitmap;
                g.renders = true;
                g.left = slot->bitmap_left;
                g.top = slot->bitmap_top;
                g.width = static_cast<int>(bm.width);
                g.rows = static_cast<int>(bm.rows);
                g.coverage.resize(static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.rows));
                for (int r = 0; r < g.rows; ++r) {
                    const unsigned char* src = bm.buffer + static_cast<std::ptrdiff_t>(r) * bm.pitch;
                    std::copy_n(src, g.width, g.coverage.begin() + static_cast<std::ptrdiff_t>(r) * g.width);
                }
                g.advance = advanceOf(slot);
            }
        }
        return glyphs_->emplace(c, std::move(g)).first->second;
    }

    bool loadGlyph(char32_t c, bool render) {
        FT_Face f = face_;
        const FT_UInt index = FT_Get_Char_Index(f, c);
        if (FT_Load_Glyph(f, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return false;
        if (embolden_ && f->glyph->format == FT_GLYPH_FORMAT_OUTLINE) {
            FT_Outline_Embolden(&f->glyph->outline, emboldenStrength_);
        }
        if (render && FT_Render_Glyph(f->glyph, FT_RENDER_MODE_NORMAL) != 0) return false;
        return true;
    }

    int advanceOf(FT_GlyphSlot g) const {
        long advance = (g->advance.x + 32) >> 6;
        if (embolden_) advance += emboldenStrength_ >> 6;
        return static_cast<int>(advance);
    }

    FT_Face face_ = nullptr;                                      // owned by the thread's font cache
    std::unordered_map<char32_t, CachedGlyph>* glyphs_ = nullptr; // the thread's, for this style
    int ascent_ = 0;
    int cellHeight_ = 0;
    int underlinePosition_ = 0;
    int underlineThickness_ = 1;
    bool underline_ = false;
    bool embolden_ = false;
    FT_Pos emboldenStrength_ = 0;
};

struct Layout {
    bool vertical;
    int align; // 0 left, 1 centre, 2 right (along the text direction)
};
Layout layoutOf(int layout) {
    return {layout >= 3, layout % 3};
}

// The text's size: (widest line, lines x cell height), turned for vertical layouts.
bool measureText(TextRenderer& renderer, const std::vector<std::u32string>& lines, int layout, int& width,
                 int& height, std::vector<int>& lineWidths) {
    int widest = 0;
    for (const auto& line : lines) {
        lineWidths.push_back(renderer.measure(line));
        widest = std::max(widest, lineWidths.back());
    }
    const long total = static_cast<long>(renderer.cellHeight()) * static_cast<long>(lines.size());
    if (widest > kMaxDimension || total > kMaxDimension) return false;
    width = layoutOf(layout).vertical ? static_cast<int>(total) : widest;
    height = layoutOf(layout).vertical ? widest : static_cast<int>(total);
    return true;
}

// What both passes need: the checked parameters, the open font and the text's size.
struct MeasuredText {
    TextParam param;
    TextRenderer renderer;
    std::vector<std::u32string> lines;
    std::vector<int> lineWidths;
    int width = 0;
    int height = 0;
};

int measure(const ImageInfo& info, MeasuredText& text) {
    TextParam& param = text.param;
    std::memcpy(&param, info.lpParam, sizeof param);
    if (param.text == nullptr || param.face == nullptr) return kNotSupported;
    if (param.layout < RK_TEXT_LAYOUT_MIN || param.layout > RK_TEXT_LAYOUT_MAX) return kNotSupported;
    if (!text.renderer.open(param)) return kNotSupported;
    text.lines = splitLines(param.text);
    if (!measureText(text.renderer, text.lines, param.layout, text.width, text.height, text.lineWidths)) {
        return kNotSupported;
    }
    if (text.width < 1 || text.height < 1) return kTooSmall;
    return kSucceed;
}

} // namespace

int describeText(ImageInfo& info) {
    MeasuredText text;
    if (const int r = measure(info, text); r != kSucceed) return r;
    info.wFlagA = 1;
    info.wFlagB = 0;
    info.nDstType = RK_TYPE_RGB24;
    info.nDstBitCount = 24;
    info.nDstWidth = text.width;
    info.nDstHeight = text.height;
    info.nDstPlanes = 1;
    info.nDstChannels = 3;
    return kSucceed;
}

int runText(ImageInfo& info) {
    MeasuredText text;
    if (const int r = measure(info, text); r != kSucceed) return r;
    const TextParam& param = text.param;
    TextRenderer& renderer = text.renderer;
    const std::vector<std::u32string>& lines = text.lines;
    const int width = text.width;
    const int height = text.height;
    MaskTile* mask = info.lpMask;
    if (mask == nullptr || mask->lpBits == nullptr || info.lpExtra == nullptr) return kNotSupported;

    // Coverage of the whole picture, top row first as it is seen.
    std::vector<std::uint8_t> coverage(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    const Layout layout = layoutOf(param.layout);
    const int cell = renderer.cellHeight();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const LineImage line = renderer.render(lines[i]);
        const int extent = layout.vertical ? height : width;
        const int anchor = layout.align == 0 ? 0 : layout.align == 1 ? extent / 2 : extent;
        const int offset = layout.align == 0 ? 0 : layout.align == 1 ? line.width / 2 : line.width;
        const int along = anchor - offset;             // where the line starts in its direction
        const int across = static_cast<int>(i) * cell; // distance of the line's top from the anchor
        if (!layout.vertical) {
            // Whole rows at a time; the columns outside the picture cut off once per row.
            const int from = std::max(0, -along);
            const int to = std::min(line.width, width - along);
            for (int v = 0; v < cell && from < to; ++v) {
                const int y = across + v;
                if (y < 0 || y >= height) continue;
                const std::uint8_t* a = line.coverage.data() + static_cast<std::size_t>(v) * line.width;
                std::uint8_t* c = coverage.data() + static_cast<std::size_t>(y) * width;
                for (int u = from; u < to; ++u)
                    c[along + u] = std::max(c[along + u], a[u]);
            }
            continue;
        }
        for (int v = 0; v < cell; ++v) {
            for (int u = 0; u < line.width; ++u) {
                const std::uint8_t a = line.coverage[static_cast<std::size_t>(v) * line.width + u];
                if (a == 0) continue;
                // Vertical text is turned clockwise: its top faces the right edge, it runs downwards.
                const int x = layout.vertical ? width - 1 - (across + v) : along + u;
                const int y = layout.vertical ? along + u : across + v;
                if (x < 0 || x >= width || y < 0 || y >= height) continue;
                std::uint8_t& c = coverage[static_cast<std::size_t>(y) * width + x];
                c = std::max(c, a);
            }
        }
    }

    // White text is drawn black for the mask and then painted over with white.
    const bool white = (param.color & 0xFFFFFF) == 0xFFFFFF;
    const int colour[3] = {white ? 0 : static_cast<int>(param.color >> 16 & 0xff),
                           white ? 0 : static_cast<int>(param.color >> 8 & 0xff),
                           white ? 0 : static_cast<int>(param.color & 0xff)};
    mask->dwSize = sizeof(MaskTile);
    mask->lpNext = nullptr;
    mask->nLeft = 0;
    mask->nTop = 0;
    mask->nWidth = width;
    mask->nHeight = height;
    // Pixel and mask byte for each coverage level, worked out once instead of per pixel.
    struct Ink {
        std::uint8_t pixel[3];
        std::uint8_t mask;
    };
    Ink inks[256];
    for (int a = 0; a < 256; ++a) {
        Ink& ink = inks[a];
        for (int c = 0; c < 3; ++c) {
            ink.pixel[c] = static_cast<std::uint8_t>((255 * (255 - a) + colour[c] * a + 127) / 255);
        }
        const bool inked = ink.pixel[0] != 255 || ink.pixel[1] != 255 || ink.pixel[2] != 255;
        ink.mask = inked ? 255 : 0;
        if (white) ink.pixel[0] = ink.pixel[1] = ink.pixel[2] = 255;
    }
    auto* extra = static_cast<std::uint8_t*>(info.lpExtra);
    const std::ptrdiff_t stride = dstStride(info);
    // Rows in memory run bottom-up, as in every image of the suite.
    for (int r = 0; r < height; ++r) {
        const std::uint8_t* cov = coverage.data() + static_cast<std::size_t>(height - 1 - r) * width;
        std::uint8_t* out = dstRow(info, r);
        std::uint8_t* bits = mask->lpBits + static_cast<std::size_t>(r) * width;
        std::uint8_t* extraRow = extra + static_cast<std::size_t>(r) * width;
        // The background (coverage 0: all three levels 255, unmasked) in bulk, then the inked pixels.
        std::memset(out, inks[0].pixel[0], 3 * static_cast<std::size_t>(width));
        std::memset(bits, inks[0].mask, static_cast<std::size_t>(width));
        // Runs of blank coverage are passed over 16 pixels at a time; a run with ink in it is
        // painted whole from the table, the blank pixels in it with the background they already hold.
        constexpr int kRun = 16;
        int x = 0;
        for (; x + kRun <= width; x += kRun) {
            std::uint64_t half[2];
            std::memcpy(half, cov + x, sizeof half);
            if ((half[0] | half[1]) == 0) continue;
            for (int k = x; k < x + kRun; ++k) {
                const Ink& ink = inks[cov[k]];
                std::uint8_t* px = out + 3 * static_cast<std::ptrdiff_t>(k);
                px[0] = ink.pixel[0];
                px[1] = ink.pixel[1];
                px[2] = ink.pixel[2];
                bits[k] = ink.mask;
            }
        }
        for (; x < width; ++x) {
            if (cov[x] == 0) continue;
            const Ink& ink = inks[cov[x]];
            std::uint8_t* px = out + 3 * static_cast<std::ptrdiff_t>(x);
            px[0] = ink.pixel[0];
            px[1] = ink.pixel[1];
            px[2] = ink.pixel[2];
            bits[x] = ink.mask;
        }
        std::memcpy(extraRow, bits, static_cast<std::size_t>(width));
        std::memset(out + 3 * static_cast<std::ptrdiff_t>(width), 0,
                    static_cast<std::size_t>(stride - 3 * static_cast<std::ptrdiff_t>(width)));
    }
    return kSucceed;
}

} // namespace rasterkit
