// Rotate: exact quarter turns, and any other angle by bilinear resampling about the centre.
#include "operations.h"
#include "rasterkit_internal.h"

#include <algorithm>
#include <cmath>

namespace rasterkit {
namespace {

bool quarterTurn(int angle) {
    return angle % 90 == 0;
}

int query(ImageInfo& info, int angle) {
    describeSameAsSource(info, true);
    const int w = info.nSrcWidth;
    const int h = info.nSrcHeight;
    if (quarterTurn(angle)) {
        const bool swap = angle % 180 != 0;
        info.nDstWidth = swap ? h : w;
        info.nDstHeight = swap ? w : h;
        return kSucceed;
    }
    const int t = (angle < 0 ? -(angle % 360) : angle % 360) % 180;
    const double theta = toRadians(t);
    const double alpha = std::atan2(static_cast<double>(w), static_cast<double>(h));
    const double diagonal = std::sqrt(static_cast<double>(w) * w + static_cast<double>(h) * h);
    const double across = t > 90 ? std::sin(theta - alpha) : std::sin(theta + alpha);
    const double down = t > 90 ? std::cos(theta + alpha) : std::cos(theta - alpha);
    const double width = std::fabs(across) * diagonal + 3.0;
    const double height = std::fabs(down) * diagonal + 3.0;
    if (width > kMaxDimension || height > kMaxDimension) return kNotSupported;
    info.nDstWidth = static_cast<int>(std::fabs(across) * diagonal) + 3;
    info.nDstHeight = static_cast<int>(std::fabs(down) * diagonal) + 3;
    return kSucceed;
}

// Quarter turns: source pixel (x, y) goes to the destination position given by the turn.
int runQuarterTurn(const ImageInfo& info, int r) {
    const Planes planes = planesOf(info);
    const int w = info.nSrcWidth;
    const int h = info.nSrcHeight;
    const int dstW = info.nDstWidth;
    const int dstH = info.nDstHeight;
    if (r == 0) {
        copyPixels(info);
        progress(info, 1, 1);
        return canceled(info) ? kCancel : kSucceed;
    }
    // Padding is not a pixel of any source row; clear it once (for 1 bit, from the last partial
    // byte on).
    const std::ptrdiff_t used =
        info.nSrcBitCount == 1 ? dstW / 8 : static_cast<std::ptrdiff_t>(dstW) * planes.bytesPerPixel;
    for (int j = 0; j < planes.count; ++j) {
        for (int y = 0; y < dstH; ++y) {
            std::uint8_t* row = planes.dstRow(j, y);
            std::memset(row + used, 0, static_cast<std::size_t>(planes.dstStride - used));
        }
    }
    const int bpp = planes.bytesPerPixel;
    const bool clockwise = r == 90 || r == -270;
    const bool halfTurn = r == 180 || r == -180;
    if (halfTurn && bpp != 0) {
        // Each destination row is a source row read backwards: a straight pass at memory speed.
        for (int y = 0; y < h; ++y) {
            for (int j = 0; j < planes.count; ++j) {
                reversePixels(planes.srcRow(j, y), planes.dstRow(j, dstH - 1 - y), w, bpp);
            }
            progress(info, y + 1, h);
            if (canceled(info)) return kCancel;
        }
        return kSucceed;
    }
    // Quarter turns write destination rows from source columns; a band of source rows at a time
    // keeps both sides in cache. The rows of a band are reported one by one after it.
    const int band = halfTurn ? 1 : 16;
    for (int y0 = 0; y0 < h; y0 += band) {
        const int y1 = std::min(y0 + band, h);
        for (int j = 0; j < planes.count; ++j) {
            for (int x = 0; x < w; ++x) {
                for (int y = y0; y < y1; ++y) {
                    int dx, dy;
                    if (halfTurn) {
                        dx = dstW - 1 - x;
                        dy = dstH - 1 - y;
                    } else if (clockwise) {
                        dx = y;
                        dy = dstH - 1 - x;
                    } else {
                        dx = dstW - 1 - y;
                        dy = x;
                    }
                    const std::uint8_t* in = planes.srcRow(j, y);
                    std::uint8_t* out = planes.dstRow(j, dy);
                    if (bpp == 0) {
                        setBit(out, dx, getBit(in, x));
                    } else if (bpp == 1) {
                        out[dx] = in[x];
                    } else {
                        std::memcpy(out + 3 * static_cast<std::ptrdiff_t>(dx),
                                    in + 3 * static_cast<std::ptrdiff_t>(x), 3);
                    }
                }
            }
        }
        for (int y = y0; y < y1; ++y) {
            progress(info, y + 1, h);
            if (canceled(info)) return kCancel;
        }
    }
    return kSucceed;
}

// The colour table entry nearest to the background colour (the first of equal distances).
int nearestEntry(const ImageInfo& info, const RotateParam& p) {
    const std::uint8_t* table = srcPalette(info);
    const int count = paletteCount(info);
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < count; ++i) {
        const long db = table[4 * i] - p.blue;
        const long dg = table[4 * i + 1] - p.green;
        const long dr = table[4 * i + 2] - p.red;
        const long distance = db * db + dg * dg + dr * dr;
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

int runAnyAngle(const ImageInfo& info, const RotateParam& param) {
    const Planes planes = planesOf(info);
    const int w = info.nSrcWidth;
    const int h = info.nSrcHeight;
    const int dstW = info.nDstWidth;
    const int dstH = info.nDstHeight;
    const double theta = toRadians(param.angle);
    const double sinT = std::sin(theta);
    const double cosT = std::cos(theta);
    const std::uint8_t background[3] = {param.blue, param.green, param.red};
    const int bits = info.nSrcBitCount;
    const int backgroundIndex = bits == 24 ? 0 : nearestEntry(info, param);
    if (bits != 24) {
        // The whole destination, padding included, starts as the background.
        const int fill = bits == 1 ? (backgroundIndex & 1 ? 0xff : 0x00) : backgroundIndex;
        std::memset(info.lpDstData, fill, dstBytes(info));
    }
    for (int y = 0; y < dstH; ++y) {
        const int m = y - dstH / 2;
        const double mSin = m * sinT;
        const double mCos = m * cosT;
        for (int j = 0; j < planes.count; ++j) {
            std::uint8_t* out = planes.dstRow(j, y);
            for (int x = 0; x < dstW; ++x) {
                const int l = x - dstW / 2;
                const double sx = w / 2 + (l * cosT - mSin);
                const double sy = h / 2 + (l * sinT + mCos);
                const bool inside = sx >= -1 && sx <= w + 1 && sy >= -1 && sy <= h + 1;
                if (bits == 24) {
                    const int bpp = planes.bytesPerPixel;
                    std::uint8_t* px = out + static_cast<std::ptrdiff_t>(x) * bpp;
                    if (!inside) {
                        for (int c = 0; c < bpp; ++c)
                            px[c] = background[planes.count == 3 ? j : c];
                        continue;
                    }
                    const BilinearPoint p = bilinearPoint(sx, sy, w, h);
                    const double w00 = (1 - p.fx) * (1 - p.fy);
                    const double w01 = (1 - p.fx) * p.fy;
                    const double w10 = p.fx * (1 - p.fy);
                    const double w11 = p.fx * p.fy;
                    const std::uint8_t* r0 = planes.srcRow(j, p.y0);
                    const std::uint8_t* r1 = planes.srcRow(j, p.y1);
                    for (int c = 0; c < bpp; ++c) {
                        const int sum = static_cast<int>(r0[p.x0 * bpp + c] * w00) +
                                        static_cast<int>(r1[p.x0 * bpp + c] * w01) +
                                        static_cast<int>(r0[p.x1 * bpp + c] * w10) +
                                        static_cast<int>(r1[p.x1 * bpp + c] * w11);
                        px[c] = clampByte(sum);
                    }
                    continue;
                }
                if (!inside) continue;
                // Indexed images take the index of the neighbour with the largest weight.
                const BilinearPoint p = bilinearPoint(sx, sy, w, h);
                const double weights[4] = {(1 - p.fx) * (1 - p.fy), (1 - p.fx) * p.fy, p.fx * (1 - p.fy),
                                           p.fx * p.fy};
                const int xs[4] = {p.x0, p.x0, p.x1, p.x1};
                const int ys[4] = {p.y0, p.y1, p.y0, p.y1};
                int best = 0;
                for (int k = 1; k < 4; ++k) {
                    if (weights[k] > weights[best]) best = k;
                }
                const std::uint8_t* in = planes.srcRow(j, ys[best]);
                if (bits == 1) {
                    setBit(out, x, getBit(in, xs[best]));
                } else {
                    out[x] = in[xs[best]];
                }
            }
        }
        progress(info, y + 1, dstH);
        if (canceled(info)) return kCancel;
    }
    return kSucceed;
}

RotateParam parameterOf(const ImageInfo& info) {
    RotateParam param;
    std::memcpy(&param, info.lpParam, sizeof param);
    return param;
}

} // namespace

int describeRotate(ImageInfo& info) {
    return query(info, parameterOf(info).angle);
}

int runRotate(ImageInfo& info) {
    const RotateParam param = parameterOf(info);
    if (info.nSrcType != RK_TYPE_RGB24) copyPalette(info);
    const int r = param.angle % 360;
    return quarterTurn(r) ? runQuarterTurn(info, r) : runAnyAngle(info, param);
}

} // namespace rasterkit
