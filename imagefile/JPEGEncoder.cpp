#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "imagefile/ImageError.h"
#include "imagefile/JPEGCommon.h"
#include "imagefile/PictureEncoder.h"

#include <jerror.h>

namespace {

// The library compresses straight into the sink's memory; running out of it is the sink's
// overflow.
struct SinkDestination {
    jpeg_destination_mgr pub;
    CFileSink* sink;
    bool overflow;
};

void InitDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<SinkDestination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->sink->GetData() + dest->sink->GetSize();
    dest->pub.free_in_buffer = dest->sink->GetCapacity() - dest->sink->GetSize();
}
boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    reinterpret_cast<SinkDestination*>(cinfo->dest)->overflow = true;
    ERREXIT(cinfo, JERR_FILE_WRITE);
    return FALSE;
}
void TermDestination(j_compress_ptr) {}

struct EncodeSettings {
    int quality, smoothing, densityX, densityY;
    bool optimize;
};

bool CreateCompress(jpeg_compress_struct* cinfo, JpegErrorManager* err) {
    if (setjmp(err->jump)) return false;
    jpeg_create_compress(cinfo);
    return true;
}

void SetParameters(jpeg_compress_struct* cinfo, const CPicture* picture, const EncodeSettings* s) {
    cinfo->image_width = JDIMENSION(picture->GetWidth());
    cinfo->image_height = JDIMENSION(picture->GetHeight());
    // The pixels go in as they are stored; the library picks red, green and blue out of them,
    // which is the same as handing it RGB rows without a copy.
    cinfo->input_components = 4;
    cinfo->in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(cinfo);
    cinfo->dct_method = JDCT_FLOAT;
    jpeg_set_quality(cinfo, s->quality, TRUE);
    cinfo->optimize_coding = s->optimize ? TRUE : FALSE;
    cinfo->smoothing_factor = s->smoothing;
    if (s->densityX != 0 || s->densityY != 0) {
        cinfo->density_unit = 1;
        cinfo->X_density = UINT16(s->densityX);
        cinfo->Y_density = UINT16(s->densityY);
    }
}

// The only frame the library may jump out of; nothing in it needs destroying.
bool EncodeFrom(jpeg_compress_struct* cinfo, JpegErrorManager* err, const CPicture* picture,
                const EncodeSettings* s) {
    if (setjmp(err->jump)) return false;
    SetParameters(cinfo, picture, s);
    jpeg_start_compress(cinfo, TRUE);
    uint8_t* const* lines = picture->GetLineArray();
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW rows[16];
        const int first = int(cinfo->next_scanline);
        const int n = std::min(16, picture->GetHeight() - first);
        for (int i = 0; i < n; ++i) rows[i] = lines[first + i];
        jpeg_write_scanlines(cinfo, rows, JDIMENSION(n));
    }
    jpeg_finish_compress(cinfo);
    return true;
}

// The threaded path makes the quantised coefficients itself, exactly as the library's float
// path would, and leaves the library the markers and the entropy coding.

// The library's fixed-point RGB -> YCbCr: 16 fraction bits, rounded to nearest.
constexpr int32_t Fix(double x) {
    // Every constant is positive, where adding one half and truncating rounds to nearest, as
    // the library itself does; lround is not constexpr.
    return int32_t(x * 65536.0 + 0.5); // NOLINT(bugprone-incorrect-roundings)
}
constexpr int32_t kHalf = 1 << 15;
constexpr int32_t kChromaOffset = (128 << 16) + kHalf - 1;

// The layout the library's defaults give: luminance 2 x 2, both chrominance planes 1 x 1.
struct CoefficientPlanes {
    // The library keeps a pointer to these until the end of the encoding.
    jvirt_barray_ptr arrays[3];
    JBLOCKARRAY rows[3];
    int widthInBlocks[3], heightInBlocks[3];
    // Multipliers that quantise a scaled float DCT output, in natural order.
    float divisors[3][64];
};

constexpr double kAanScale[8] = {1.0, 1.387039845, 1.306562965, 1.175875602,
                                 1.0, 0.785694958, 0.541196100, 0.275899379};

bool PrepareCoefficients(jpeg_compress_struct* cinfo, JpegErrorManager* err,
                         const CPicture* picture, const EncodeSettings* s,
                         CoefficientPlanes* planes, bool* supported) {
    if (setjmp(err->jump)) return false;
    SetParameters(cinfo, picture, s);
    const jpeg_component_info* comp = cinfo->comp_info;
    *supported =
        cinfo->num_components == 3 && comp[0].h_samp_factor == 2 && comp[0].v_samp_factor == 2;
    for (int ci = 1; ci < 3 && *supported; ++ci)
        *supported = comp[ci].h_samp_factor == 1 && comp[ci].v_samp_factor == 1;
    if (!*supported) return true;

    jvirt_barray_ptr* arrays = planes->arrays;
    int allocatedRows[3];
    for (int ci = 0; ci < 3; ++ci) {
        const int h = comp[ci].h_samp_factor, v = comp[ci].v_samp_factor;
        // Samples of this component; the largest factor, 2, is the luminance's.
        const int width = (picture->GetWidth() * h + 1) / 2;
        const int height = (picture->GetHeight() * v + 1) / 2;
        planes->widthInBlocks[ci] = (width + 7) / 8;
        planes->heightInBlocks[ci] = (height + 7) / 8;
        // Whole MCUs, since the library reads the arrays an MCU row at a time; it makes the
        // blocks past the picture itself and never reads what we leave there.
        const int across = (planes->widthInBlocks[ci] + h - 1) / h * h;
        allocatedRows[ci] = (planes->heightInBlocks[ci] + v - 1) / v * v;
        arrays[ci] = cinfo->mem->request_virt_barray(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, FALSE, JDIMENSION(across),
            JDIMENSION(allocatedRows[ci]), JDIMENSION(allocatedRows[ci]));
        const JQUANT_TBL* table = cinfo->quant_tbl_ptrs[comp[ci].quant_tbl_no];
        for (int i = 0; i < 64; ++i)
            planes->divisors[ci][i] = float(
                1.0 / (double(table->quantval[i]) * kAanScale[i / 8] * kAanScale[i % 8] * 8.0));
    }
    cinfo->mem->realize_virt_arrays(reinterpret_cast<j_common_ptr>(cinfo));
    // Touching every row once here, writable, is what lets the workers fill them later without
    // the library's bookkeeping.
    for (int ci = 0; ci < 3; ++ci)
        planes->rows[ci] =
            cinfo->mem->access_virt_barray(reinterpret_cast<j_common_ptr>(cinfo), arrays[ci], 0,
                                           JDIMENSION(allocatedRows[ci]), TRUE);
    jpeg_write_coefficients(cinfo, arrays);
    return true;
}

bool WriteCoefficients(jpeg_compress_struct* cinfo, JpegErrorManager* err) {
    if (setjmp(err->jump)) return false;
    jpeg_finish_compress(cinfo);
    return true;
}

typedef float JpegFloat8 __attribute__((vector_size(32)));
typedef int32_t JpegInt8 __attribute__((vector_size(32)));
typedef JCOEF JpegShort8 __attribute__((vector_size(16)));
static_assert(sizeof(JCOEF) == 2);

inline JpegFloat4 Splat(float x) {
    return JpegFloat4{x, x, x, x};
}

// Arai, Agui and Nakajima's scaled eight-point DCT, in place, on every lane at once; the
// outputs are off by the factors the divisors take out.
template <class V> inline void ForwardDct8(V* d) {
    const V tmp0 = d[0] + d[7], tmp7 = d[0] - d[7];
    const V tmp1 = d[1] + d[6], tmp6 = d[1] - d[6];
    const V tmp2 = d[2] + d[5], tmp5 = d[2] - d[5];
    const V tmp3 = d[3] + d[4], tmp4 = d[3] - d[4];

    const V tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3;
    const V tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
    d[0] = tmp10 + tmp11;
    d[4] = tmp10 - tmp11;
    const V z1 = (tmp12 + tmp13) * 0.707106781f;
    d[2] = tmp13 + z1;
    d[6] = tmp13 - z1;

    const V o10 = tmp4 + tmp5, o11 = tmp5 + tmp6, o12 = tmp6 + tmp7;
    const V z5 = (o10 - o12) * 0.382683433f;
    const V z2 = 0.541196100f * o10 + z5;
    const V z4 = 1.306562965f * o12 + z5;
    const V z3 = o11 * 0.707106781f;
    const V z11 = tmp7 + z3, z13 = tmp7 - z3;
    d[5] = z13 + z2;
    d[3] = z13 - z2;
    d[1] = z11 + z4;
    d[7] = z11 - z4;
}

// Both halves of each row in one eight-lane vector: one AVX instruction, or two SSE ones.
inline void Gather8(const JpegFloatBlock& m, JpegFloat8* lanes) {
    for (int i = 0; i < 8; ++i)
        lanes[i] = __builtin_shufflevector(m.v[i][0], m.v[i][1], 0, 1, 2, 3, 4, 5, 6, 7);
}

// x86 machines get an AVX2 build of the hot loops besides the SSE2 one, picked at run time.
#if defined(__x86_64__)
#define JPEG_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define JPEG_VECTOR_CLONES
#endif

// One 8 x 8 block of samples (stride apart) to quantised coefficients.
JPEG_VECTOR_CLONES
void ForwardBlock(const float* samples, size_t stride, const float* divisors, JCOEF* out) {
    JpegFloatBlock m;
    for (int r = 0; r < 8; ++r, samples += stride)
        for (int h = 0; h < 2; ++h) std::memcpy(&m.v[r][h], samples + 4 * h, sizeof(JpegFloat4));
    // Rows first, then columns, as the library does: float sums depend on the order.
    TransposeBlock(m);
    JpegFloat8 lanes[8];
    Gather8(m, lanes);
    ForwardDct8(lanes);
    for (int i = 0; i < 8; ++i) {
        m.v[i][0] = __builtin_shufflevector(lanes[i], lanes[i], 0, 1, 2, 3);
        m.v[i][1] = __builtin_shufflevector(lanes[i], lanes[i], 4, 5, 6, 7);
    }
    TransposeBlock(m);
    Gather8(m, lanes);
    ForwardDct8(lanes);
    // Round to nearest, ties to even, as the SIMD quantiser does: adding and taking away
    // 1.5 * 2^23 leaves an integer in a float.
    const JpegFloat8 magic = lanes[0] * 0.0f + 12582912.0f;
    for (int r = 0; r < 8; ++r) {
        JpegFloat8 div;
        std::memcpy(&div, divisors + 8 * r, sizeof div);
        const JpegInt8 n = __builtin_convertvector((lanes[r] * div + magic) - magic, JpegInt8);
        const JpegShort8 row = __builtin_convertvector(n, JpegShort8);
        std::memcpy(out + 8 * r, &row, sizeof row);
    }
}

// What one worker needs for a row of MCUs: 16 luminance rows and 8 rows of each
// chrominance plane, as wide as the MCUs, as the floats the DCT takes (sample - 128).
struct McuRowScratch {
    std::vector<float> luma, cb, cr;
};

// Y, Cb and Cr of four BGRX pixels. Every product and sum of the library's fixed-point
// formula is an integer below 2^24, so float arithmetic gives exactly its results.
inline void ConvertPixels(const uint8_t* in, JpegInt4& luma, JpegInt4& cb, JpegInt4& cr) {
    JpegInt4 v;
    std::memcpy(&v, in, sizeof v);
    const JpegFloat4 b = __builtin_convertvector(v & 0xFF, JpegFloat4);
    const JpegFloat4 g = __builtin_convertvector((v >> 8) & 0xFF, JpegFloat4);
    const JpegFloat4 r = __builtin_convertvector((v >> 16) & 0xFF, JpegFloat4);
    const float scale = 1.0f / 65536.0f;
    luma = __builtin_convertvector((r * float(Fix(0.299)) + g * float(Fix(0.587)) +
                                    b * float(Fix(0.114)) + Splat(float(kHalf))) *
                                       scale,
                                   JpegInt4);
    cb = __builtin_convertvector((b * float(Fix(0.5)) - r * float(Fix(0.16874)) -
                                  g * float(Fix(0.33126)) + Splat(float(kChromaOffset))) *
                                     scale,
                                 JpegInt4);
    cr = __builtin_convertvector((r * float(Fix(0.5)) - g * float(Fix(0.41869)) -
                                  b * float(Fix(0.08131)) + Splat(float(kChromaOffset))) *
                                     scale,
                                 JpegInt4);
}

// Eight pixels of two rows: eight luminance samples of each row and four of each chrominance
// plane. The 2 x 2 average's bias alternates 1, 2 along the row, as the library's does, so
// that the rounding does not drift one way.
inline void ConvertEight(const uint8_t* row0, const uint8_t* row1, float* luma0, float* luma1,
                         float* cbOut, float* crOut) {
    JpegInt4 y[2][2], cb[2][2], cr[2][2];
    for (int k = 0; k < 2; ++k) {
        ConvertPixels(row0 + 16 * k, y[0][k], cb[0][k], cr[0][k]);
        ConvertPixels(row1 + 16 * k, y[1][k], cb[1][k], cr[1][k]);
    }
    const auto store = [](JpegInt4 samples, float* out) {
        const JpegFloat4 centred = __builtin_convertvector(samples - 128, JpegFloat4);
        std::memcpy(out, &centred, sizeof centred);
    };
    for (int k = 0; k < 2; ++k) {
        store(y[0][k], luma0 + 4 * k);
        store(y[1][k], luma1 + 4 * k);
    }
    const JpegInt4 bias = {1, 2, 1, 2};
    const auto average = [&](JpegInt4(&c)[2][2], float* out) {
        const JpegInt4 a = c[0][0] + c[1][0], b = c[0][1] + c[1][1];
        const JpegInt4 sum = __builtin_shufflevector(a, b, 0, 2, 4, 6) +
                             __builtin_shufflevector(a, b, 1, 3, 5, 7) + bias;
        store(sum >> 2, out);
    };
    average(cb, cbOut);
    average(cr, crOut);
}

class CoefficientMaker {
public:
    CoefficientMaker(const CPicture& picture, const CoefficientPlanes& planes)
        : m_picture(picture), m_planes(planes), m_width(picture.GetWidth()),
          m_height(picture.GetHeight()), m_stride(size_t(planes.widthInBlocks[1]) * 16) {}

    int McuRows() const { return m_planes.heightInBlocks[1]; }

    void Allocate(McuRowScratch& s) const {
        s.luma.resize(16 * m_stride);
        s.cb.resize(8 * m_stride / 2);
        s.cr.resize(8 * m_stride / 2);
    }

    void MakeRow(int mcuRow, McuRowScratch& s) const {
        uint8_t* const* lines = m_picture.GetLineArray();
        const size_t half = m_stride / 2;
        // Past the picture, luminance repeats its last row and column. Chrominance repeats
        // the last column before it is halved but the last row after, as the library does.
        const int chromaRows = (m_height + 1) / 2;
        for (int pair = 0; pair < 8; ++pair) {
            const int y0 = std::min(16 * mcuRow + 2 * pair, m_height - 1);
            const int y1 = std::min(y0 + 1, m_height - 1);
            float* luma0 = s.luma.data() + size_t(2 * pair) * m_stride;
            float* cb = s.cb.data() + pair * half;
            float* cr = s.cr.data() + pair * half;
            ConvertRows(lines[y0], lines[y1], luma0, luma0 + m_stride, cb, cr);
            if (8 * mcuRow + pair >= chromaRows) {
                std::memcpy(cb, cb - half, half * sizeof(float));
                std::memcpy(cr, cr - half, half * sizeof(float));
            }
        }
        for (int by = 0; by < 2; ++by) {
            const int blockRow = 2 * mcuRow + by;
            if (blockRow >= m_planes.heightInBlocks[0]) break;
            JBLOCKROW out = m_planes.rows[0][blockRow];
            for (int bx = 0; bx < m_planes.widthInBlocks[0]; ++bx)
                ForwardBlock(s.luma.data() + size_t(8 * by) * m_stride + 8 * bx, m_stride,
                             m_planes.divisors[0], out[bx]);
        }
        for (int ci = 1; ci < 3; ++ci) {
            const float* plane = ci == 1 ? s.cb.data() : s.cr.data();
            JBLOCKROW out = m_planes.rows[ci][mcuRow];
            for (int bx = 0; bx < m_planes.widthInBlocks[ci]; ++bx)
                ForwardBlock(plane + 8 * bx, half, m_planes.divisors[ci], out[bx]);
        }
    }

private:
    JPEG_VECTOR_CLONES
    void ConvertRows(const uint8_t* row0, const uint8_t* row1, float* luma0, float* luma1,
                     float* cb, float* cr) const {
        size_t x = 0;
        for (; x + 8 <= size_t(m_width); x += 8)
            ConvertEight(row0 + 4 * x, row1 + 4 * x, luma0 + x, luma1 + x, cb + x / 2, cr + x / 2);
        // The ragged end and the padding: the last column repeated, eight pixels at a time.
        uint8_t edge[2][32];
        for (; x < m_stride; x += 8) {
            for (size_t i = 0; i < 8; ++i) {
                const size_t from = 4 * std::min(x + i, size_t(m_width) - 1);
                std::memcpy(edge[0] + 4 * i, row0 + from, 4);
                std::memcpy(edge[1] + 4 * i, row1 + from, 4);
            }
            ConvertEight(edge[0], edge[1], luma0 + x, luma1 + x, cb + x / 2, cr + x / 2);
        }
    }

    const CPicture& m_picture;
    const CoefficientPlanes& m_planes;
    const int m_width, m_height;
    const size_t m_stride;
};

struct CompressGuard {
    jpeg_compress_struct* cinfo;
    ~CompressGuard() { jpeg_destroy_compress(cinfo); }
};

} // namespace

void CJPEGEncoder::DoEncode(CFileSink& sink, const CPicture& source) {
    CDibPicture copy;
    const CPicture* picture = &source;
    if (source.GetBitsPerPixel() != 32) {
        copy.CopyWithDepth(source, 32);
        picture = &copy;
    }

    jpeg_compress_struct cinfo;
    JpegErrorManager err;
    cinfo.err = InitJpegErrorManager(&err);
    if (!CreateCompress(&cinfo, &err)) RaiseImageError(CTextException::OutOfMemory, err.message);
    CompressGuard guard{&cinfo};
    SinkDestination dest{{}, &sink, false};
    dest.pub.init_destination = InitDestination;
    dest.pub.empty_output_buffer = EmptyOutputBuffer;
    dest.pub.term_destination = TermDestination;
    cinfo.dest = &dest.pub;

    const EncodeSettings settings{m_quality, m_smoothingFactor, m_densityX, m_densityY,
                                  m_optimizeCoding};
    // Smoothing needs the neighbouring rows of samples inside the library.
    bool threaded = !m_libraryPipeline && m_smoothingFactor == 0;
    CoefficientPlanes planes;
    bool ok = true;
    if (threaded) ok = PrepareCoefficients(&cinfo, &err, picture, &settings, &planes, &threaded);
    if (ok && threaded) {
        const CoefficientMaker maker(*picture, planes);
        constexpr int kRowsPerBand = 4;
        const int bands = (maker.McuRows() + kRowsPerBand - 1) / kRowsPerBand;
        const int threads = BandThreadCount(bands);
        std::vector<McuRowScratch> scratch;
        try {
            scratch.resize(size_t(threads));
            for (auto& s : scratch) maker.Allocate(s);
        } catch (const std::bad_alloc&) {
            RaiseImageError(CTextException::OutOfMemory, "Out of memory.");
        }
        RunBands(bands, threads, [&](int band, int worker) {
            const int end = std::min(maker.McuRows(), (band + 1) * kRowsPerBand);
            for (int row = band * kRowsPerBand; row < end; ++row)
                maker.MakeRow(row, scratch[size_t(worker)]);
        });
        ok = WriteCoefficients(&cinfo, &err);
    } else if (ok) {
        ok = EncodeFrom(&cinfo, &err, picture, &settings);
    }
    if (!ok) {
        if (dest.overflow)
            RaiseImageError(CTextException::EndOfData, "Buffer overflow while encoding.\n");
        RaiseImageError(CTextException::NotSupported, err.message);
    }
    sink.Commit(sink.GetCapacity() - sink.GetSize() - dest.pub.free_in_buffer);
}
