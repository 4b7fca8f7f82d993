// Byte lookup through 256-entry tables, the inner loop of every table-driven operation. Where
// the processor has byte permutes over 64-byte registers, 64 bytes go through a table in three
// instructions; elsewhere a plain loop.
#include "rasterkit_internal.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define RASTERKIT_HAVE_VBMI 1
#endif

namespace rasterkit {
namespace {

void lookupPlain(const std::uint8_t* __restrict in, std::uint8_t* __restrict out, std::size_t n,
                 const std::uint8_t* __restrict table) {
    for (std::size_t i = 0; i < n; ++i)
        out[i] = table[in[i]];
}

void lookupPlain3(const std::uint8_t* __restrict in, std::uint8_t* __restrict out, std::size_t pixels,
                  const ByteTable& t0, const ByteTable& t1, const ByteTable& t2) {
    for (std::size_t i = 0; i < 3 * pixels; i += 3) {
        out[i] = t0[in[i]];
        out[i + 1] = t1[in[i + 1]];
        out[i + 2] = t2[in[i + 2]];
    }
}

#ifdef RASTERKIT_HAVE_VBMI
#define RASTERKIT_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))

struct Table512 {
    __m512i part[4];
};

RASTERKIT_VBMI inline Table512 loadTable(const std::uint8_t* table) {
    return {{_mm512_loadu_si512(table), _mm512_loadu_si512(table + 64), _mm512_loadu_si512(table + 128),
             _mm512_loadu_si512(table + 192)}};
}

// The low seven bits pick within a half, the top bit picks the half.
RASTERKIT_VBMI inline __m512i lookup64(__m512i x, const Table512& t) {
    const __m512i low = _mm512_permutex2var_epi8(t.part[0], x, t.part[1]);
    const __m512i high = _mm512_permutex2var_epi8(t.part[2], x, t.part[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(x), low, high);
}

RASTERKIT_VBMI void lookupVbmi(const std::uint8_t* in, std::uint8_t* out, std::size_t n,
                               const std::uint8_t* table) {
    const Table512 t = loadTable(table);
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        _mm512_storeu_si512(out + i, lookup64(_mm512_loadu_si512(in + i), t));
    }
    if (i < n) {
        const __mmask64 rest = (1ull << (n - i)) - 1; // n - i < 64 here
        _mm512_mask_storeu_epi8(out + i, rest, lookup64(_mm512_maskz_loadu_epi8(rest, in + i), t));
    }
}

// Interleaved pixels: byte k of a run starting at a pixel uses table k mod 3. Three 64-byte
// blocks make one period; each block blends the three lookups by position.
RASTERKIT_VBMI void lookupVbmi3(const std::uint8_t* in, std::uint8_t* out, std::size_t pixels,
                                const ByteTable& b0, const ByteTable& b1, const ByteTable& b2) {
    const Table512 t0 = loadTable(b0);
    const Table512 t1 = loadTable(b1);
    const Table512 t2 = loadTable(b2);
    __mmask64 first[3];
    __mmask64 second[3];
    for (int block = 0; block < 3; ++block) {
        std::uint64_t m0 = 0;
        std::uint64_t m1 = 0;
        for (int k = 0; k < 64; ++k) {
            const int channel = (64 * block + k) % 3;
            if (channel == 0) m0 |= 1ull << k;
            if (channel == 1) m1 |= 1ull << k;
        }
        first[block] = m0;
        second[block] = m1;
    }
    const std::size_t n = 3 * pixels;
    std::size_t i = 0;
    int block = 0;
    auto one = [&](__m512i x, int b) RASTERKIT_VBMI {
        const __m512i r0 = lookup64(x, t0);
        const __m512i r1 = lookup64(x, t1);
        const __m512i r2 = lookup64(x, t2);
        return _mm512_mask_blend_epi8(first[b], _mm512_mask_blend_epi8(second[b], r2, r1), r0);
    };
    for (; i + 64 <= n; i += 64) {
        _mm512_storeu_si512(out + i, one(_mm512_loadu_si512(in + i), block));
        block = block == 2 ? 0 : block + 1;
    }
    if (i < n) {
        const __mmask64 rest = (1ull << (n - i)) - 1; // n - i < 64 here
        _mm512_mask_storeu_epi8(out + i, rest, one(_mm512_maskz_loadu_epi8(rest, in + i), block));
    }
}

bool haveVbmi() {
    static const bool have = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                             __builtin_cpu_supports("avx512vbmi");
    return have;
}
#endif

} // namespace

void lookupBytes(const std::uint8_t* in, std::uint8_t* out, std::size_t n, const ByteTable& table) {
#ifdef RASTERKIT_HAVE_VBMI
    if (haveVbmi()) {
        lookupVbmi(in, out, n, table);
        return;
    }
#endif
    lookupPlain(in, out, n, table);
}

void lookupPixels(const std::uint8_t* in, std::uint8_t* out, std::size_t pixels,
                  const ByteTable (&tables)[3]) {
#ifdef RASTERKIT_HAVE_VBMI
    if (haveVbmi()) {
        lookupVbmi3(in, out, pixels, tables[0], tables[1], tables[2]);
        return;
    }
#endif
    lookupPlain3(in, out, pixels, tables[0], tables[1], tables[2]);
}

} // namespace rasterkit
