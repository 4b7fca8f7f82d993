// Row loops that profit from wider vectors are compiled twice, for AVX2 and for the baseline
// processor, and the loader picks the one the machine runs. Neither clone may contract a multiply
// and an add (AVX2 alone does not enable FMA), so both give the same bits.
#ifndef RASTERKIT_SIMD_CLONES_H
#define RASTERKIT_SIMD_CLONES_H

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && defined(__OPTIMIZE__)
#define RK_SIMD_CLONES __attribute__((target_clones("avx2", "default")))
// For loops written with 64-byte vector types, which AVX-512 holds in one register. AVX-512 does
// bring fused multiply-adds; the library is built with -ffp-contract=off so that they stay apart.
#define RK_WIDE_SIMD_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define RK_SIMD_CLONES
#define RK_WIDE_SIMD_CLONES
#endif

#endif // RASTERKIT_SIMD_CLONES_H
