#include "editor/Resample.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>

#include "imagefile/Bands.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ORVANE_HAVE_AVX2_KERNELS 1
#endif

namespace {
constexpr double kPi = 3.14159265358979323846;
}

double BilinearKernel(double x, double radius) {
    const double a = std::abs(x);
    return a < radius ? radius - a : 0.0;
}

double BoxKernel(double x, double radius) {
    return std::abs(x) <= radius ? 1.0 : 0.0;
}

double GaussianKernel(double x, double radius) {
    if (std::abs(x) > radius) return 0.0;
    return std::exp(-x * x / radius - 1) / std::sqrt(2 * kPi);
}

double HammingKernel(double x, double radius) {
    if (std::abs(x) > radius) return 0.0;
    const double window = 0.54 + 0.46 * std::cos(2 * kPi * x);
    if (x == 0) return window;
    return window * (std::sin(kPi * x) / (kPi * x));
}

ContributionTable::ContributionTable(int outSize, int inSize, double radius, Kernel kernel) {
    const double scale = double(outSize) / inSize;
    double width = radius, f = 1;
    if (scale < 1) {
        width = radius / scale;
        f = scale;
    }
    m_capacity = 2 * int(std::ceil(width)) + 1;
    m_left.resize(size_t(outSize));
    m_right.resize(size_t(outSize));
    m_weights.assign(size_t(outSize) * size_t(m_capacity), 0.0);
    for (int i = 0; i < outSize; ++i) {
        const double center = i / scale;
        int left = std::max(0, int(std::floor(center - width)));
        int right = std::min(inSize - 1, int(std::ceil(center + width)));
        if (right - left + 1 > m_capacity) {
            if (left < inSize)
                ++left;
            else
                --right;
        }
        double* w = &m_weights[size_t(i) * size_t(m_capacity)];
        double sum = 0;
        for (int k = left; k <= right; ++k) {
            w[k - left] = f * kernel((center - k) * f, radius);
            sum += w[k - left];
        }
        if (sum > 0)
            for (int k = left; k <= right; ++k) w[k - left] /= sum;
        m_left[size_t(i)] = left;
        m_right[size_t(i)] = right;
    }
}

namespace {

// 0: portable loops only, 1: up to AVX2, 2: up to AVX-512.
std::atomic<int> g_vectorLimit{2};

int VectorLevel() {
#if defined(ORVANE_HAVE_AVX2_KERNELS)
    static const int supported = __builtin_cpu_supports("avx512f") &&
                                         __builtin_cpu_supports("avx512bw") &&
                                         __builtin_cpu_supports("avx512vl")
                                     ? 2
                                 : __builtin_cpu_supports("avx2") ? 1
                                                                  : 0;
    return std::min(supported, g_vectorLimit.load(std::memory_order_relaxed));
#else
    return 0;
#endif
}

// A table with the zero weights at both ends of each window dropped (adding w * x with w = 0
// leaves a sum exactly as it was) and the rest packed one window after another.
struct Taps {
    std::vector<int> first;  // first input index of each output
    std::vector<int> count;  // number of weights
    std::vector<int> offset; // where its weights start in `weights`
    std::vector<double> weights;
    int maxCount = 0;

    // Every window widened to maxCount weights starting at start[i], still inside the input:
    // the added weights are zeros, and a sum that starts at 0 gains exactly nothing from
    // them, wherever they stand. A fixed count lets the vector loops run without branches.
    std::vector<int> start;
    std::vector<double> padded; // maxCount weights per output

    Taps(const ContributionTable& t, int inSize) {
        const int n = t.GetOutSize();
        first.resize(size_t(n));
        count.resize(size_t(n));
        offset.resize(size_t(n));
        for (int i = 0; i < n; ++i) {
            const double* w = t.GetWeights(i);
            int a = 0, b = t.GetRight(i) - t.GetLeft(i);
            while (a <= b && w[a] == 0) ++a;
            while (b >= a && w[b] == 0) --b;
            first[size_t(i)] = t.GetLeft(i) + a;
            count[size_t(i)] = b - a + 1;
            offset[size_t(i)] = int(weights.size());
            weights.insert(weights.end(), w + a, w + b + 1);
            maxCount = std::max(maxCount, b - a + 1);
        }
        maxCount = std::max(maxCount, 1);
        const int m = maxCount;
        start.resize(size_t(n));
        padded.assign(size_t(n) * size_t(m), 0.0);
        for (int i = 0; i < n; ++i) {
            // The window lies inside [0, inSize), so inSize >= count; a window of m that does
            // not fit is moved left, never below 0 because m <= inSize.
            const int s = std::max(0, std::min(first[size_t(i)], inSize - m));
            start[size_t(i)] = s;
            const int c = count[size_t(i)];
            const double* w = &weights[size_t(offset[size_t(i)])];
            for (int k = 0; k < c; ++k)
                padded[size_t(i) * size_t(m) + size_t(first[size_t(i)] - s + k)] = w[k];
        }
    }
};

inline uint8_t Store(double sum) {
    const double v = sum + 0.5;
    if (v <= 0) return 0;
    if (v >= 255) return 255;
    return uint8_t(v);
}

// Outputs [xBegin, xEnd) of one row; d points at the first of them.
void HorizontalRowPortable(const uint8_t* s, uint8_t* d, int xBegin, int xEnd, const Taps& t) {
    for (int x = xBegin; x < xEnd; ++x, d += 4) {
        const uint8_t* p = s + 4 * size_t(t.first[size_t(x)]);
        const double* w = &t.weights[size_t(t.offset[size_t(x)])];
        double b = 0, g = 0, r = 0, a = 0;
        for (int k = 0, n = t.count[size_t(x)]; k < n; ++k, p += 4) {
            b += w[k] * p[0];
            g += w[k] * p[1];
            r += w[k] * p[2];
            a += w[k] * p[3];
        }
        d[0] = Store(b);
        d[1] = Store(g);
        d[2] = Store(r);
        d[3] = Store(a);
    }
}

// rows[k] points at the pixel of column x0 in input row first + k.
void VerticalSpanPortable(const uint8_t* const* rows, const double* w, int n, uint8_t* d,
                          int count) {
    for (int x = 0; x < count; ++x) {
        double s[4] = {0, 0, 0, 0};
        for (int k = 0; k < n; ++k) {
            const uint8_t* p = rows[k] + 4 * size_t(x);
            for (int c = 0; c < 4; ++c) s[c] += w[k] * p[c];
        }
        for (int c = 0; c < 4; ++c) d[4 * x + c] = Store(s[c]);
    }
}

#if defined(ORVANE_HAVE_AVX2_KERNELS)
// One pixel's four bytes as four doubles.
[[gnu::target("avx2")]] inline __m256d LoadPixel(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(v)));
}

// Rounds four sums to nearest, keeps them within 0..255 and stores them as one pixel. The
// multiply and the add stay separate instructions, exactly as in the portable loops.
[[gnu::target("avx2")]] inline void StorePixel(__m256d sum, uint8_t* d) {
    __m256d v = _mm256_add_pd(sum, _mm256_set1_pd(0.5));
    v = _mm256_min_pd(_mm256_max_pd(v, _mm256_setzero_pd()), _mm256_set1_pd(255.0));
    const __m128i i32 = _mm256_cvttpd_epi32(v);
    const __m128i i8 = _mm_packus_epi16(_mm_packus_epi32(i32, i32), _mm_setzero_si128());
    const int32_t out = _mm_cvtsi128_si32(i8);
    std::memcpy(d, &out, 4);
}

[[gnu::target("avx2")]] void HorizontalRowAvx2(const uint8_t* s, uint8_t* d, int xBegin, int xEnd,
                                               const Taps& t) {
    const int* first = t.first.data();
    const int* count = t.count.data();
    const int* offset = t.offset.data();
    const double* weights = t.weights.data();
    for (int x = xBegin; x < xEnd; ++x, d += 4) {
        const uint8_t* p = s + 4 * size_t(first[x]);
        const double* w = weights + offset[x];
        __m256d acc = _mm256_setzero_pd();
        for (int k = 0, n = count[x]; k < n; ++k, p += 4)
            acc = _mm256_add_pd(acc, _mm256_mul_pd(_mm256_set1_pd(w[k]), LoadPixel(p)));
        StorePixel(acc, d);
    }
}

[[gnu::target("avx2")]] void VerticalSpanAvx2(const uint8_t* const* rows, const double* w, int n,
                                              uint8_t* d, int count) {
    int x = 0;
    // Two pixels at a time give the adder two independent chains.
    for (; x + 2 <= count; x += 2) {
        __m256d a0 = _mm256_setzero_pd(), a1 = _mm256_setzero_pd();
        const size_t o = 4 * size_t(x);
        for (int k = 0; k < n; ++k) {
            const __m256d wk = _mm256_set1_pd(w[k]);
            a0 = _mm256_add_pd(a0, _mm256_mul_pd(wk, LoadPixel(rows[k] + o)));
            a1 = _mm256_add_pd(a1, _mm256_mul_pd(wk, LoadPixel(rows[k] + o + 4)));
        }
        StorePixel(a0, d + o);
        StorePixel(a1, d + o + 4);
    }
    for (; x < count; ++x) {
        __m256d a = _mm256_setzero_pd();
        const size_t o = 4 * size_t(x);
        for (int k = 0; k < n; ++k)
            a = _mm256_add_pd(a, _mm256_mul_pd(_mm256_set1_pd(w[k]), LoadPixel(rows[k] + o)));
        StorePixel(a, d + o);
    }
}

// GCC 12's AVX-512 headers fill unused result lanes from a deliberately undefined value and
// then warn about it at every use.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// The same sums eight doubles at a time: two pixels per register in the horizontal pass and
// four pixels per pair of registers in the vertical pass. Every lane still adds its own
// products one tap after another, so the bytes are those of the loops above.
[[gnu::target("avx512f,avx512bw,avx512vl")]] inline __m128i RoundToBytes(__m512d sum) {
    __m512d v = _mm512_add_pd(sum, _mm512_set1_pd(0.5));
    v = _mm512_min_pd(_mm512_max_pd(v, _mm512_setzero_pd()), _mm512_set1_pd(255.0));
    return _mm256_cvtusepi32_epi8(_mm512_cvttpd_epi32(v));
}

// Two outputs side by side, channel by channel (b0 b1 g0 g1 r0 r1 a0 a1), so that one
// 16-byte pair of weights broadcast over the register serves both.
template <int N>
[[gnu::target("avx512f,avx512bw,avx512vl")]] inline __m512d
HorizontalPairAvx512(const uint8_t* p0, const uint8_t* p1, const double* pair, int n) {
    if constexpr (N > 0) n = N;
    __m512d acc = _mm512_setzero_pd();
#pragma GCC unroll 8
    for (int k = 0; k < n; ++k) {
        int32_t a, b;
        std::memcpy(&a, p0 + 4 * k, 4);
        std::memcpy(&b, p1 + 4 * k, 4);
        const __m128i v = _mm_unpacklo_epi8(_mm_cvtsi32_si128(a), _mm_cvtsi32_si128(b));
        const __m512d px = _mm512_cvtepi32_pd(_mm256_cvtepu8_epi32(v));
        const __m512d w =
            _mm512_castps_pd(_mm512_broadcast_f32x4(_mm_castpd_ps(_mm_loadu_pd(pair + 2 * k))));
        acc = _mm512_add_pd(acc, _mm512_mul_pd(w, px));
    }
    return acc;
}

template <int N>
[[gnu::target("avx512f,avx512bw,avx512vl")]] void
HorizontalRowAvx512(const uint8_t* s, uint8_t* d, int outWidth, const int* start,
                    const double* pairs, int n) {
    if constexpr (N > 0) n = N;
    const __m128i order = _mm_setr_epi8(0, 2, 4, 6, 1, 3, 5, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const size_t step = 2 * size_t(n);
    int x = 0;
    // Two pairs at a time give the adder two independent chains.
    for (; x + 4 <= outWidth; x += 4, d += 16, pairs += 2 * step) {
        const __m512d a = HorizontalPairAvx512<N>(s + 4 * size_t(start[x]),
                                                  s + 4 * size_t(start[x + 1]), pairs, n);
        const __m512d b = HorizontalPairAvx512<N>(s + 4 * size_t(start[x + 2]),
                                                  s + 4 * size_t(start[x + 3]), pairs + step, n);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d),
                         _mm_unpacklo_epi64(_mm_shuffle_epi8(RoundToBytes(a), order),
                                            _mm_shuffle_epi8(RoundToBytes(b), order)));
    }
    for (; x < outWidth; x += 2, d += 8, pairs += step) {
        const bool two = x + 1 < outWidth;
        const __m512d a = HorizontalPairAvx512<N>(s + 4 * size_t(start[x]),
                                                  s + 4 * size_t(start[two ? x + 1 : x]), pairs, n);
        const __m128i out = _mm_shuffle_epi8(RoundToBytes(a), order);
        if (two)
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d), out);
        else
            std::memcpy(d, &out, 4);
    }
}

// Sixteen bytes (four pixels) of output from n rows; m masks the bytes that exist.
template <int N>
[[gnu::target("avx512f,avx512bw,avx512vl")]] inline void
VerticalGroupAvx512(const uint8_t* const* rows, const double* w, int n, uint8_t* d, size_t o,
                    __mmask16 m) {
    __m512d lo = _mm512_setzero_pd(), hi = _mm512_setzero_pd();
    for (int k = 0; k < n; ++k) {
        const __m512i v = _mm512_cvtepu8_epi32(_mm_maskz_loadu_epi8(m, rows[k] + o));
        const __m512d wk = _mm512_set1_pd(w[k]);
        lo = _mm512_add_pd(lo, _mm512_mul_pd(wk, _mm512_cvtepi32_pd(_mm512_castsi512_si256(v))));
        hi = _mm512_add_pd(hi,
                           _mm512_mul_pd(wk, _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(v, 1))));
    }
    _mm_mask_storeu_epi8(d + o, m, _mm_unpacklo_epi64(RoundToBytes(lo), RoundToBytes(hi)));
}

template <int N>
[[gnu::target("avx512f,avx512bw,avx512vl")]] void
VerticalSpanAvx512(const uint8_t* const* rows, const double* w, int n, uint8_t* d, int count) {
    if constexpr (N > 0) n = N;
    const size_t bytes = 4 * size_t(count);
    size_t o = 0;
    for (; o + 32 <= bytes; o += 32) {
        // Two groups with separate sums keep more loads and adds in flight.
        __m512d s0 = _mm512_setzero_pd(), s1 = s0, s2 = s0, s3 = s0;
        for (int k = 0; k < n; ++k) {
            const __m512i v0 = _mm512_cvtepu8_epi32(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + o)));
            const __m512i v1 = _mm512_cvtepu8_epi32(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + o + 16)));
            const __m512d wk = _mm512_set1_pd(w[k]);
            s0 = _mm512_add_pd(s0,
                               _mm512_mul_pd(wk, _mm512_cvtepi32_pd(_mm512_castsi512_si256(v0))));
            s1 = _mm512_add_pd(
                s1, _mm512_mul_pd(wk, _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(v0, 1))));
            s2 = _mm512_add_pd(s2,
                               _mm512_mul_pd(wk, _mm512_cvtepi32_pd(_mm512_castsi512_si256(v1))));
            s3 = _mm512_add_pd(
                s3, _mm512_mul_pd(wk, _mm512_cvtepi32_pd(_mm512_extracti64x4_epi64(v1, 1))));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + o),
                         _mm_unpacklo_epi64(RoundToBytes(s0), RoundToBytes(s1)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + o + 16),
                         _mm_unpacklo_epi64(RoundToBytes(s2), RoundToBytes(s3)));
    }
    for (; o < bytes; o += 16) {
        // The last groups may be short: masked loads and stores touch only their pixels.
        const __mmask16 m =
            bytes - o >= 16 ? __mmask16(0xFFFF) : __mmask16((1u << (bytes - o)) - 1);
        VerticalGroupAvx512<N>(rows, w, n, d, o, m);
    }
}

#pragma GCC diagnostic pop

using HorizontalRowFn = void (*)(const uint8_t*, uint8_t*, int, const int*, const double*, int);
using VerticalSpanFn = void (*)(const uint8_t* const*, const double*, int, uint8_t*, int);

// Loops with the tap count fixed at compile time for the common small windows.
HorizontalRowFn PickHorizontalAvx512(int n) {
    switch (n) {
    case 1:
        return HorizontalRowAvx512<1>;
    case 2:
        return HorizontalRowAvx512<2>;
    case 3:
        return HorizontalRowAvx512<3>;
    case 4:
        return HorizontalRowAvx512<4>;
    case 5:
        return HorizontalRowAvx512<5>;
    case 6:
        return HorizontalRowAvx512<6>;
    default:
        return HorizontalRowAvx512<0>;
    }
}

VerticalSpanFn PickVerticalAvx512(int n) {
    switch (n) {
    case 1:
        return VerticalSpanAvx512<1>;
    case 2:
        return VerticalSpanAvx512<2>;
    case 3:
        return VerticalSpanAvx512<3>;
    case 4:
        return VerticalSpanAvx512<4>;
    case 5:
        return VerticalSpanAvx512<5>;
    case 6:
        return VerticalSpanAvx512<6>;
    default:
        return VerticalSpanAvx512<0>;
    }
}
#endif

// The intermediate picture of the current thread, kept between calls so that repeated
// resizes (the dialogs' Apply and Revert, a batch of files) do not fault in fresh pages.
uint8_t* IntermediateBuffer(size_t bytes) {
    thread_local std::unique_ptr<uint8_t[]> buffer;
    thread_local size_t capacity = 0;
    if (bytes > capacity || bytes < capacity / 4) {
        buffer.reset();
        buffer.reset(new uint8_t[bytes]);
        capacity = bytes;
    }
    return buffer.get();
}

// Columns of the vertical pass handled between two looks at the progress sink.
constexpr int kColumnChunk = 128;

} // namespace

void ResizeFilter::EnableVectorKernels(bool enable) {
    LimitVectorKernels(enable ? 2 : 0);
}

void ResizeFilter::LimitVectorKernels(int level) {
    g_vectorLimit.store(std::clamp(level, 0, 2), std::memory_order_relaxed);
}

void ResizeFilter::Apply(const CPicture& source, CPicture& destination) {
    if (&source == &destination) return ApplyInPlace(destination);
    const CPicture& src = editor::As32Bit(source, editor::ScratchPicture(1));
    const int W = src.GetWidth(), H = src.GetHeight();
    const int outW = m_newWidth, outH = m_newHeight;
    Report(0.01);
    destination.CreateForOverwrite(outW, outH, 32, src.HasAlpha());
    const int level = VectorLevel();

    // The intermediate picture is kept in strips of kColumnChunk columns, each strip one
    // block of H short rows: the vertical pass, which goes down the columns strip by strip,
    // then reads memory in order instead of a few bytes from every long row.
    const int strips = (outW + kColumnChunk - 1) / kColumnChunk;
    const size_t stripRow = size_t(kColumnChunk) * 4;
    const size_t stripBytes = stripRow * size_t(H);
    uint8_t* inter = IntermediateBuffer(stripBytes * size_t(strips));

    const Taps horizontal(ContributionTable(outW, W, m_radius, m_kernel), W);
#if defined(ORVANE_HAVE_AVX2_KERNELS)
    // For the widest kernels: the weights of outputs 2p and 2p + 1 tap by tap, side by side.
    std::vector<double> pairs;
    HorizontalRowFn wide = nullptr;
    const size_t m = size_t(horizontal.maxCount);
    // The widened windows need at least maxCount source pixels: not so in an empty row.
    if (level >= 2 && W >= int(m)) {
        pairs.resize((size_t(outW) + 1) / 2 * m * 2);
        for (size_t x = 0; x < size_t(outW); ++x)
            for (size_t k = 0; k < m; ++k)
                pairs[(x / 2) * m * 2 + 2 * k + x % 2] = horizontal.padded[x * m + k];
        wide = PickHorizontalAvx512(int(m));
    }
    static_assert(kColumnChunk % 2 == 0, "the wide kernels take outputs in pairs");
#endif
    const double hCost = double(outW) * 4 * horizontal.maxCount;
    ForEachBand(
        H, 8, hCost,
        [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                const uint8_t* s = src.GetLineArray()[y];
                for (int t = 0; t < strips; ++t) {
                    const int x0 = t * kColumnChunk, x1 = std::min(outW, x0 + kColumnChunk);
                    uint8_t* d = inter + stripBytes * size_t(t) + stripRow * size_t(y);
#if defined(ORVANE_HAVE_AVX2_KERNELS)
                    if (wide) {
                        wide(s, d, x1 - x0, horizontal.start.data() + x0,
                             pairs.data() + size_t(x0) * m, int(m));
                        continue;
                    }
                    if (level >= 1) {
                        HorizontalRowAvx2(s, d, x0, x1, horizontal);
                        continue;
                    }
#endif
                    HorizontalRowPortable(s, d, x0, x1, horizontal);
                }
            }
        },
        [&](int y) { Report(0.5 * (y + 1) / H); });

    Report(0.5);
    const Taps vertical(ContributionTable(outH, H, m_radius, m_kernel), H);
    const double vCost = double(outH) * 4 * vertical.maxCount;
    ForEachBand(
        outW, kColumnChunk, vCost,
        [&](int begin, int end) {
            std::vector<const uint8_t*> rows(size_t(vertical.maxCount));
            for (int x0 = begin; x0 < end; x0 += kColumnChunk) {
                const int width = std::min(end, x0 + kColumnChunk) - x0;
                const uint8_t* strip = inter + stripBytes * size_t(x0 / kColumnChunk);
                for (int y = 0; y < outH; ++y) {
                    const int n = vertical.count[size_t(y)];
                    const int first = vertical.first[size_t(y)];
                    for (int k = 0; k < n; ++k)
                        rows[size_t(k)] = strip + stripRow * size_t(first + k);
                    const double* w = &vertical.weights[size_t(vertical.offset[size_t(y)])];
                    uint8_t* d = destination.GetLineArray()[y] + 4 * size_t(x0);
#if defined(ORVANE_HAVE_AVX2_KERNELS)
                    if (level >= 2) {
                        PickVerticalAvx512(n)(rows.data(), w, n, d, width);
                        continue;
                    }
                    if (level >= 1) {
                        VerticalSpanAvx2(rows.data(), w, n, d, width);
                        continue;
                    }
#endif
                    VerticalSpanPortable(rows.data(), w, n, d, width);
                }
            }
        },
        [&](int x) { Report(0.5 + 0.5 * (x + 1) / outW); });
    Report(1.0);
}
