#include "editor/Resample.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>

#include "editor/Parallel.h"

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

std::atomic<bool> g_vectorKernels{true};

bool UseAvx2() {
#if defined(ORVANE_HAVE_AVX2_KERNELS)
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported && g_vectorKernels.load(std::memory_order_relaxed);
#else
    return false;
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

    explicit Taps(const ContributionTable& t) {
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
    }
};

inline uint8_t Store(double sum) {
    const double v = sum + 0.5;
    if (v <= 0) return 0;
    if (v >= 255) return 255;
    return uint8_t(v);
}

void HorizontalRowPortable(const uint8_t* s, uint8_t* d, int outWidth, const Taps& t) {
    for (int x = 0; x < outWidth; ++x, d += 4) {
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

[[gnu::target("avx2")]] void HorizontalRowAvx2(const uint8_t* s, uint8_t* d, int outWidth,
                                               const Taps& t) {
    const int* first = t.first.data();
    const int* count = t.count.data();
    const int* offset = t.offset.data();
    const double* weights = t.weights.data();
    for (int x = 0; x < outWidth; ++x, d += 4) {
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
    g_vectorKernels.store(enable, std::memory_order_relaxed);
}

void ResizeFilter::Apply(const CPicture& source, CPicture& destination) {
    if (&source == &destination) return ApplyInPlace(destination);
    const CPicture& src = editor::As32Bit(source, editor::ScratchPicture(1));
    const int W = src.GetWidth(), H = src.GetHeight();
    const int outW = m_newWidth, outH = m_newHeight;
    Report(0.01);
    destination.CreateForOverwrite(outW, outH, 32, src.HasAlpha());
    const bool avx2 = UseAvx2();

    const size_t interStride = size_t(outW) * 4;
    uint8_t* inter = IntermediateBuffer(interStride * size_t(H));

    const Taps horizontal(ContributionTable(outW, W, m_radius, m_kernel));
    const double hCost = double(outW) * 4 * std::max(1, horizontal.maxCount);
    editor::ForEachBand(
        H, 8, hCost,
        [&](int begin, int end) {
            for (int y = begin; y < end; ++y) {
                uint8_t* d = inter + interStride * size_t(y);
#if defined(ORVANE_HAVE_AVX2_KERNELS)
                if (avx2) {
                    HorizontalRowAvx2(src.GetLineArray()[y], d, outW, horizontal);
                    continue;
                }
#endif
                HorizontalRowPortable(src.GetLineArray()[y], d, outW, horizontal);
            }
        },
        [&](int y) { Report(0.5 * (y + 1) / H); });

    Report(0.5);
    const Taps vertical(ContributionTable(outH, H, m_radius, m_kernel));
    const double vCost = double(outH) * 4 * std::max(1, vertical.maxCount);
    editor::ForEachBand(
        outW, kColumnChunk, vCost,
        [&](int begin, int end) {
            std::vector<const uint8_t*> rows(size_t(vertical.maxCount));
            for (int y = 0; y < outH; ++y) {
                const int n = vertical.count[size_t(y)];
                const int first = vertical.first[size_t(y)];
                for (int k = 0; k < n; ++k)
                    rows[size_t(k)] = inter + interStride * size_t(first + k) + 4 * size_t(begin);
                const double* w = &vertical.weights[size_t(vertical.offset[size_t(y)])];
                uint8_t* d = destination.GetLineArray()[y] + 4 * size_t(begin);
#if defined(ORVANE_HAVE_AVX2_KERNELS)
                if (avx2) {
                    VerticalSpanAvx2(rows.data(), w, n, d, end - begin);
                    continue;
                }
#endif
                VerticalSpanPortable(rows.data(), w, n, d, end - begin);
            }
        },
        [&](int x) { Report(0.5 + 0.5 * (x + 1) / outW); });
    Report(1.0);
}
