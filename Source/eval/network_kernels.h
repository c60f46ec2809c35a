// The inner loops of the network: saturating row updates, the leaky
// activation and 16x16->32 dot products. With AVX2 they run 16 lanes at a
// time; the scalar versions give exactly the same results (sums wrap
// modulo 2^32 in both, so the order of the additions does not matter).
#pragma once
#include <cstdint>
#if defined(__AVX2__)
#include <immintrin.h>
#endif

namespace nn {

inline int16_t sat16(int v) { return int16_t(v > 32767 ? 32767 : v < -32768 ? -32768 : v); }
// Negative values shrink to a 64th, truncated toward zero.
inline int16_t leaky(int16_t v) { return v < 0 ? int16_t(v / 64) : v; }

// Scalar forms: the reference the SIMD forms are held to, and the tails
// shorter than 16 lanes.
inline void add_row_scalar(int16_t* acc, const int16_t* row, int from, int n) {
    for (int i = from; i < n; i++) acc[i] = sat16(acc[i] + row[i]);
}
inline void sub_row_scalar(int16_t* acc, const int16_t* row, int from, int n) {
    for (int i = from; i < n; i++) acc[i] = sat16(acc[i] - row[i]);
}
inline void activate_scalar(int16_t* out, const int16_t* in, int from, int n) {
    for (int i = from; i < n; i++) out[i] = leaky(in[i]);
}
inline uint32_t dot_scalar(const int16_t* a, const int16_t* b, int from, int n) {
    uint32_t sum = 0;
    for (int i = from; i < n; i++) sum += uint32_t(int32_t(a[i]) * int32_t(b[i]));
    return sum;
}

// dst = src minus rows[0 .. subtracts) and plus rows[subtracts .. count),
// in that order, each step saturating: the same results as sub_row_scalar
// and add_row_scalar row by row, but each stretch of the accumulator is
// loaded and stored once instead of once per row. dst may be src.
inline void apply_rows(int16_t* dst, const int16_t* src, const int16_t* const* rows, int subtracts, int count, int n) {
    int i = 0;
#if defined(__AVX2__)
    // Eight registers (128 lanes) stay in place while every row passes over
    // them: the 1280-wide accumulators take ten passes.
    constexpr int LANES = 8;
    for (; i + 16 * LANES <= n; i += 16 * LANES) {
        __m256i a[LANES];
        for (int j = 0; j < LANES; j++) a[j] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i + 16 * j));
        for (int k = 0; k < subtracts; k++) {
            const int16_t* row = rows[k] + i;
            for (int j = 0; j < LANES; j++)
                a[j] = _mm256_subs_epi16(a[j], _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 16 * j)));
        }
        for (int k = subtracts; k < count; k++) {
            const int16_t* row = rows[k] + i;
            for (int j = 0; j < LANES; j++)
                a[j] = _mm256_adds_epi16(a[j], _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + 16 * j)));
        }
        for (int j = 0; j < LANES; j++) _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i + 16 * j), a[j]);
    }
    for (; i + 16 <= n; i += 16) {
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        for (int k = 0; k < count; k++) {
            __m256i r = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[k] + i));
            a = k < subtracts ? _mm256_subs_epi16(a, r) : _mm256_adds_epi16(a, r);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), a);
    }
#endif
    for (; i < n; i++) {
        int16_t v = src[i];
        for (int k = 0; k < count; k++) v = k < subtracts ? sat16(v - rows[k][i]) : sat16(v + rows[k][i]);
        dst[i] = v;
    }
}

#if defined(__AVX2__)
// leaky on 16 lanes. For negative v, (v + 63) >> 6 is v / 64 truncated
// toward zero and lies above v; for v >= 0 it is at most v (and where
// v + 63 wraps it turns negative), so the larger of the two is leaky(v).
inline __m256i leaky16(__m256i v) {
    return _mm256_max_epi16(v, _mm256_srai_epi16(_mm256_add_epi16(v, _mm256_set1_epi16(63)), 6));
}
#endif

// out = leaky(in), element by element.
inline void activate(int16_t* out, const int16_t* in, int n) {
    int i = 0;
#if defined(__AVX2__)
    for (; i + 16 <= n; i += 16) {
        __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), leaky16(v));
    }
#endif
    activate_scalar(out, in, i, n);
}

#if defined(__AVX2__)
// The eight 32-bit lanes added together, wrapping.
inline uint32_t horizontal_sum(__m256i s) {
    __m128i t = _mm_add_epi32(_mm256_castsi256_si128(s), _mm256_extracti128_si256(s, 1));
    t = _mm_add_epi32(t, _mm_shuffle_epi32(t, 0x4E));
    t = _mm_add_epi32(t, _mm_shuffle_epi32(t, 0xB1));
    return uint32_t(_mm_cvtsi128_si32(t));
}
#endif

inline int32_t dot(const int16_t* a, const int16_t* b, int n) {
    uint32_t sum = 0;
    int i = 0;
#if defined(__AVX2__)
    __m256i s = _mm256_setzero_si256();
    for (; i + 16 <= n; i += 16) {
        __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
        __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
        s = _mm256_add_epi32(s, _mm256_madd_epi16(x, y));
    }
    sum = horizontal_sum(s);
#endif
    return int32_t(sum + dot_scalar(a, b, i, n));
}

// The dot product of a with leaky(b), without storing the activations.
inline int32_t dot_leaky(const int16_t* a, const int16_t* b, int n) {
    uint32_t sum = 0;
    int i = 0;
#if defined(__AVX2__)
    // Four sums, so that each step does not wait for the last one's add.
    __m256i s0 = _mm256_setzero_si256(), s1 = s0, s2 = s0, s3 = s0;
    for (; i + 64 <= n; i += 64) {
        auto step = [&](__m256i& s, int j) {
            __m256i y = leaky16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i + j)));
            __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i + j));
            s = _mm256_add_epi32(s, _mm256_madd_epi16(x, y));
        };
        step(s0, 0);
        step(s1, 16);
        step(s2, 32);
        step(s3, 48);
    }
    __m256i s = _mm256_add_epi32(_mm256_add_epi32(s0, s1), _mm256_add_epi32(s2, s3));
    for (; i + 16 <= n; i += 16) {
        __m256i y = leaky16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i)));
        __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
        s = _mm256_add_epi32(s, _mm256_madd_epi16(x, y));
    }
    sum = horizontal_sum(s);
#endif
    for (; i < n; i++) sum += uint32_t(int32_t(a[i]) * int32_t(leaky(b[i])));
    return int32_t(sum);
}

}  // namespace nn
