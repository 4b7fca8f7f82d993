// ChangeMode: black and white (ordered, carried-error, threshold), grey, and 8-bit colour by
// octree quantisation.
#include "operations.h"
#include "rasterkit_internal.h"

#include <array>
#include <vector>

namespace rasterkit {
namespace {

constexpr std::uint8_t kOrdered[8][8] = {
    {47, 137, 136, 139, 153, 147, 135, 138}, {156, 119, 112, 125, 102, 122, 121, 134},
    {131, 117, 113, 147, 133, 37, 137, 127}, {120, 113, 108, 125, 120, 113, 111, 109},
    {100, 132, 135, 118, 65, 122, 106, 119}, {105, 123, 121, 114, 119, 100, 112, 115},
    {134, 117, 119, 81, 92, 107, 104, 82},   {130, 133, 116, 90, 110, 103, 90, 107},
};

// The three bytes of a 24-bit row, interleaved or in planes.
struct RgbRow {
    const std::uint8_t* byte[3];
    int step;
};

RgbRow rgbRow(const Planes& planes, int y) {
    if (planes.count == 3) {
        return {{planes.srcRow(0, y), planes.srcRow(1, y), planes.srcRow(2, y)}, 1};
    }
    const std::uint8_t* row = planes.srcRow(0, y);
    return {{row, row + 1, row + 2}, 3};
}

// Brightness of a 24-bit pixel weighted 3 : 6 : 1 for red, green, blue (the third, second and
// first byte), so that reds and greens read bright and blues dark, as the eye sees them.
inline int brightness24(int blue, int green, int red) {
    return (3 * red + 6 * green + blue) / 10;
}

bool accepted(int target, int sourceType, int method) {
    switch (target) {
    case RK_MODE_TARGET_BLACK_WHITE:
        if (sourceType == RK_TYPE_GREY) return method >= RK_MODE_METHOD_MIN && method <= RK_MODE_METHOD_MAX;
        return sourceType == RK_TYPE_COLOR8 || sourceType == RK_TYPE_RGB24;
    case RK_MODE_TARGET_GREY:
        return sourceType == RK_TYPE_COLOR8 || sourceType == RK_TYPE_RGB24;
    case RK_MODE_TARGET_COLOR8:
        return sourceType == RK_TYPE_RGB24;
    default:
        return false;
    }
}

void writeEntry(std::uint8_t* table, int i, std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
    table[4 * i] = blue;
    table[4 * i + 1] = green;
    table[4 * i + 2] = red;
    table[4 * i + 3] = 0;
}

// ---- Octree -------------------------------------------------------------------------------

class Octree {
  public:
    Octree() { nodes_.push_back(Node{}); }

    void add(int blue, int green, int red) {
        int node = 0;
        for (int level = 0;; ++level) {
            Node& n = nodes_[static_cast<std::size_t>(node)];
            if (n.leaf) {
                n.count += 1;
                n.sum[0] += static_cast<std::uint64_t>(blue);
                n.sum[1] += static_cast<std::uint64_t>(green);
                n.sum[2] += static_cast<std::uint64_t>(red);
                return;
            }
            const int child = childIndex(blue, green, red, level);
            int next = n.child[child];
            if (next < 0) {
                next = allocate(level + 1);
                nodes_[static_cast<std::size_t>(node)].child[child] = next;
            }
            node = next;
        }
    }

    // Merges the most recently registered node of the deepest level that has one.
    void reduceTo(int maxLeaves) {
        while (leaves_ > maxLeaves) {
            int level = 7;
            while (level >= 0 && reducible_[static_cast<std::size_t>(level)].empty())
                --level;
            if (level < 0) return;
            auto& list = reducible_[static_cast<std::size_t>(level)];
            const int node = list.back();
            list.pop_back();
            Node merged = nodes_[static_cast<std::size_t>(node)];
            int children = 0;
            for (int& c : merged.child) {
                if (c < 0) continue;
                const Node& leaf = nodes_[static_cast<std::size_t>(c)];
                merged.count += leaf.count;
                for (int k = 0; k < 3; ++k)
                    merged.sum[k] += leaf.sum[k];
                free_.push_back(c);
                c = -1;
                ++children;
            }
            merged.leaf = true;
            nodes_[static_cast<std::size_t>(node)] = merged;
            leaves_ -= children - 1;
        }
    }

    // Numbers the leaves depth first and writes their mean colours; returns the leaf count.
    int buildTable(std::uint8_t* table) {
        int next = 0;
        number(0, table, next);
        for (int i = next; i < kPaletteEntries; ++i)
            std::memset(table + 4 * i, 255, 4);
        return next;
    }

    int indexOf(int blue, int green, int red) const {
        int node = 0;
        for (int level = 0;; ++level) {
            const Node& n = nodes_[static_cast<std::size_t>(node)];
            if (n.leaf) return n.index;
            node = n.child[childIndex(blue, green, red, level)];
        }
    }

  private:
    struct Node {
        std::array<int, 8> child{-1, -1, -1, -1, -1, -1, -1, -1};
        std::uint64_t sum[3] = {0, 0, 0};
        std::uint64_t count = 0;
        int index = 0;
        bool leaf = false;
    };

    static int childIndex(int blue, int green, int red, int level) {
        const int shift = 7 - level;
        return ((red >> shift) & 1) << 2 | ((green >> shift) & 1) << 1 | ((blue >> shift) & 1);
    }

    int allocate(int level) {
        Node fresh;
        fresh.leaf = level == 8;
        int id;
        if (!free_.empty()) {
            id = free_.back();
            free_.pop_back();
            nodes_[static_cast<std::size_t>(id)] = fresh;
        } else {
            id = static_cast<int>(nodes_.size());
            nodes_.push_back(fresh);
        }
        if (fresh.leaf) {
            ++leaves_;
        } else {
            reducible_[static_cast<std::size_t>(level)].push_back(id);
        }
        return id;
    }

    void number(int node, std::uint8_t* table, int& next) {
        Node& n = nodes_[static_cast<std::size_t>(node)];
        if (n.leaf) {
            n.index = next;
            const std::uint64_t c = n.count;
            writeEntry(table, next, static_cast<std::uint8_t>(n.sum[0] / c),
                       static_cast<std::uint8_t>(n.sum[1] / c), static_cast<std::uint8_t>(n.sum[2] / c));
            ++next;
            return;
        }
        for (int c : n.child) {
            if (c >= 0) number(c, table, next);
        }
    }

    std::vector<Node> nodes_;
    std::vector<int> free_;
    std::array<std::vector<int>, 8> reducible_;
    int leaves_ = 0;
};

// ---- Conversions ----------------------------------------------------------------------------

int toColor8(const ImageInfo& info, const Planes& planes) {
    const int width = info.nSrcWidth;
    const int height = info.nSrcHeight;
    Octree tree;
    for (int y = 0; y < height; ++y) {
        if (canceled(info)) return kCancel;
        const RgbRow row = rgbRow(planes, y);
        for (int x = 0; x < width; ++x) {
            const int i = x * row.step;
            tree.add(row.byte[0][i], row.byte[1][i], row.byte[2][i]);
            tree.reduceTo(kPaletteEntries);
        }
    }
    tree.buildTable(dstPalette(info));
    for (int y = 0; y < height; ++y) {
        if (canceled(info)) return kCancel;
        const RgbRow row = rgbRow(planes, y);
        std::uint8_t* out = planes.dstRow(0, y);
        std::memset(out + width, 0, static_cast<std::size_t>(planes.dstStride - width));
        // Neighbouring pixels often share a colour; the walk down the tree is then skipped.
        int last = -1;
        int lastIndex = 0;
        for (int x = 0; x < width; ++x) {
            const int i = x * row.step;
            const int colour = row.byte[0][i] | row.byte[1][i] << 8 | row.byte[2][i] << 16;
            if (colour != last) {
                last = colour;
                lastIndex = tree.indexOf(row.byte[0][i], row.byte[1][i], row.byte[2][i]);
            }
            out[x] = static_cast<std::uint8_t>(lastIndex);
        }
    }
    return kSucceed;
}

// Grey values of one source row, from 8-bit pixels (grey or through the colour table) or from
// 24-bit pixels.
void greyRow(const ImageInfo& info, const Planes& planes, const std::uint8_t (&tableGrey)[256], int y,
             std::uint8_t* grey) {
    const int width = info.nSrcWidth;
    if (info.nSrcBitCount == 8) {
        const std::uint8_t* in = planes.srcRow(0, y);
        for (int x = 0; x < width; ++x)
            grey[x] = tableGrey[in[x]];
        return;
    }
    const RgbRow row = rgbRow(planes, y);
    for (int x = 0; x < width; ++x) {
        const int i = x * row.step;
        grey[x] = static_cast<std::uint8_t>(brightness24(row.byte[0][i], row.byte[1][i], row.byte[2][i]));
    }
}

ChangeModeParam parameterOf(const ImageInfo& info) {
    ChangeModeParam param;
    std::memcpy(&param, info.lpParam, sizeof param);
    return param;
}

} // namespace

int describeChangeMode(ImageInfo& info) {
    const ChangeModeParam param = parameterOf(info);
    if (!accepted(param.target, info.nSrcType, param.method)) return kNotSupported;
    describeSameAsSource(info, false);
    info.nDstType = param.target;
    info.nDstBitCount = param.target == RK_MODE_TARGET_BLACK_WHITE ? 1 : 8;
    // An 8-bit or 1-bit result is always one plane of single samples.
    info.nDstPlanes = 1;
    info.nDstChannels = 1;
    return kSucceed;
}

int runChangeMode(ImageInfo& info) {
    const ChangeModeParam param = parameterOf(info);
    const Planes planes = planesOf(info);
    std::uint8_t* table = dstPalette(info);
    if (param.target == RK_MODE_TARGET_BLACK_WHITE) {
        writeEntry(table, 0, 255, 255, 255);
        writeEntry(table, 1, 0, 0, 0);
    } else if (param.target == RK_MODE_TARGET_GREY) {
        for (int i = 0; i < kPaletteEntries; ++i) {
            const auto v = static_cast<std::uint8_t>(i);
            writeEntry(table, i, v, v, v);
        }
    }
    progress(info, 20, 100);
    int result = kSucceed;
    if (param.target == RK_MODE_TARGET_COLOR8) {
        result = toColor8(info, planes);
    } else {
        // 8-bit sources: grey images are their own grey values, colour images go through the
        // mean of their table entry. Only the latter has a table; a 24-bit source may come
        // without one.
        std::uint8_t tableGrey[256];
        const std::uint8_t* source = info.nSrcType == RK_TYPE_COLOR8 ? srcPalette(info) : nullptr;
        for (int i = 0; i < 256; ++i) {
            tableGrey[i] =
                source == nullptr
                    ? static_cast<std::uint8_t>(i)
                    : static_cast<std::uint8_t>((source[4 * i] + source[4 * i + 1] + source[4 * i + 2]) / 3);
        }
        const int width = info.nSrcWidth;
        const std::ptrdiff_t stride = dstStride(info);
        std::vector<std::uint8_t> grey(static_cast<std::size_t>(width));
        const bool greySource = info.nSrcType == RK_TYPE_GREY;
        int carried = 0;
        for (int y = 0; y < info.nSrcHeight; ++y) {
            if (canceled(info)) {
                result = kCancel;
                break;
            }
            greyRow(info, planes, tableGrey, y, grey.data());
            std::uint8_t* out = planes.dstRow(0, y);
            if (param.target == RK_MODE_TARGET_GREY) {
                std::memcpy(out, grey.data(), static_cast<std::size_t>(width));
                std::memset(out + width, 0, static_cast<std::size_t>(stride - width));
                continue;
            }
            std::memset(out, 0, static_cast<std::size_t>(stride));
            for (int x = 0; x < width; ++x) {
                const int v = grey[static_cast<std::size_t>(x)];
                bool black;
                if (!greySource) {
                    black = v < 128;
                } else if (param.method == RK_MODE_METHOD_ORDERED) {
                    black = v < kOrdered[y % 8][x % 8];
                } else if (param.method == RK_MODE_METHOD_CARRIED_ERROR) {
                    const int e = carried + v;
                    black = e <= 254;
                    carried = black ? e : e - 255;
                } else {
                    black = v < param.threshold;
                }
                if (black) out[x >> 3] |= static_cast<std::uint8_t>(0x80u >> (x & 7));
            }
        }
    }
    if (result == kSucceed) progress(info, 100, 100);
    return result;
}

} // namespace rasterkit
