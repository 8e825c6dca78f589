#include "imagefile/Picture.h"
#include "imagefile/PixelBlock.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "imagefile/ByteOrder.h"
#include "imagefile/ColorQuantizer.h"

namespace {

[[noreturn]] void ThrowOutOfMemory() {
    throw CTextException(CTextException::OutOfMemory, "Out of memory creating bitmap.");
}

[[noreturn]] void ThrowBadDib(const char* why) {
    throw CTextException(CTextException::Malformed, std::string("Bad bitmap data: ") + why);
}

void* AllocOrThrow(size_t bytes, bool zero) {
    void* p = zero ? std::calloc(1, bytes) : std::malloc(bytes);
    if (!p) ThrowOutOfMemory();
    return p;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// CPicture

CPicture::CPicture() = default;
CPicture::~CPicture() = default;

int CPicture::StrideFor(int width, uint16_t bpp) {
    int64_t bytes = int64_t(width) * bpp / 8 + ((bpp == 1 && width % 8 != 0) ? 1 : 0);
    return int((bytes + 3) & ~int64_t(3));
}

size_t CPicture::HeaderAndPaletteSize(uint16_t bpp) {
    return bpp <= 15 ? 40 + 4 * (size_t(1) << bpp) : 40;
}

void CPicture::Create(int width, int height, uint16_t bpp, bool alpha) {
    CreateImpl(width, height, bpp, alpha, true);
}

void CPicture::CreateForOverwrite(int width, int height, uint16_t bpp, bool alpha) {
    CreateImpl(width, height, bpp, alpha, false);
}

void CPicture::CreateImpl(int width, int height, uint16_t bpp, bool alpha, bool zero) {
    if (width <= 0 || height <= 0 || (bpp != 1 && bpp != 8 && bpp != 32))
        throw CTextException(CTextException::Malformed, "Illegal picture size or depth.");
    // The limit also keeps stride * height far from any overflow.
    if (int64_t(width) * height > kMaxPicturePixels) ThrowOutOfMemory();
    const size_t stride = size_t(StrideFor(width, bpp));
    const size_t pixelBytes = stride * size_t(height);

    std::vector<uint8_t*> lines;
    try {
        lines.reserve(size_t(height));
    } catch (const std::bad_alloc&) {
        ThrowOutOfMemory();
    }

    // Allocate may keep the old pixel block; the fields follow only once it succeeded.
    const bool zeroed = Allocate(pixelBytes, bpp);
    m_width = width;
    m_height = height;
    m_bpp = bpp;
    m_alpha = alpha && bpp == 32;
    m_lines = std::move(lines);

    BITMAPINFOHEADER& h = *m_header;
    std::memset(&h, 0, sizeof h);
    h.biSize = 40;
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = bpp;
    h.biCompression = BI_RGB;

    if (zero && !zeroed) std::memset(m_bits, 0, pixelBytes);
    InitLineArray();

    if (bpp <= 8) {
        const int n = 1 << bpp;
        const int step = 255 / (n - 1);
        for (int i = 0; i < n; ++i) {
            const uint8_t v = uint8_t(step * i);
            m_palette[i] = {v, v, v, 255};
        }
    }
}

void CPicture::InitLineArray() {
    const size_t stride = size_t(GetBytesPerLine());
    m_lines.resize(size_t(m_height));
    for (int i = 0; i < m_height; ++i)
        m_lines[size_t(i)] = m_bits + size_t(m_height - 1 - i) * stride;
}

void CPicture::ResetFields() {
    m_width = m_height = 0;
    m_bpp = 0;
    m_palette = nullptr;
    m_alpha = false;
    m_lines.clear();
    m_header = nullptr;
    m_bits = nullptr;
}

size_t CPicture::GetMemUsed() const {
    return size_t(GetBytesPerLine()) * size_t(m_height) + HeaderAndPaletteSize(m_bpp) + 48;
}

int CPicture::GetBytesPerLine() const {
    return StrideFor(m_width, m_bpp);
}

void CPicture::Lock(bool, bool) {
    ++m_lockCount;
}

void CPicture::Unlock() {
    --m_lockCount;
}

void CPicture::SetPaletteEntry(int index, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    if (index < 0 || index >= GetPaletteSize()) return;
    m_palette[index] = {b, g, r, a};
}

void CPicture::SetPalette(const RGBAPIXEL* entries, int count) {
    count = std::min(count, GetPaletteSize());
    if (count > 0) std::memcpy(m_palette, entries, size_t(count) * 4);
}

int CPicture::FindNearestIndex(uint32_t colour) const {
    const int n = GetPaletteSize();
    const int b = int(colour & 0xFF), g = int((colour >> 8) & 0xFF), r = int((colour >> 16) & 0xFF);
    int best = 0, bestDist = 1 << 30;
    for (int i = 0; i < n; ++i) {
        const RGBAPIXEL& e = m_palette[i];
        const int d = std::abs(b - e.b) + std::abs(g - e.g) + std::abs(r - e.r);
        if (d < bestDist) {
            bestDist = d;
            best = i;
            if (d == 0) break;
        }
    }
    return best;
}

// ---------------------------------------------------------------------------------------------
// Depth conversion

void CPicture::CopyWithDepth(const CPicture& src, uint16_t bpp) {
    const int w = src.GetWidth(), h = src.GetHeight();
    const uint16_t sbpp = src.GetBitsPerPixel();
    if (&src == this) {
        if (bpp == 0 || bpp == sbpp) return;
        throw CTextException(CTextException::Malformed, "Cannot convert a picture into itself.");
    }
    uint8_t* const* sl = src.GetLineArray();

    if (bpp == 0 || bpp == sbpp) {
        CreateForOverwrite(w, h, sbpp, src.HasAlpha());
        // Both blocks are bottom-up with the same stride, so one copy moves every row.
        std::memcpy(m_bits, src.GetBits(), size_t(GetBytesPerLine()) * size_t(h));
        if (sbpp <= 8) SetPalette(src.GetPalette(), src.GetPaletteSize());
        return;
    }

    CreateForOverwrite(w, h, bpp, src.HasAlpha() && bpp == 32);
    uint8_t* const* dl = GetLineArray();
    const RGBAPIXEL* spal = src.GetPalette();

    if (bpp == 32) {
        if (sbpp == 8) {
            uint32_t pal[256];
            std::memcpy(pal, spal, sizeof pal);
            for (int y = 0; y < h; ++y) {
                const uint8_t* s = sl[y];
                uint32_t* d = reinterpret_cast<uint32_t*>(dl[y]);
                for (int x = 0; x < w; ++x) d[x] = pal[s[x]];
            }
        } else { // from 1 bpp
            uint32_t zero = 0xFFFFFFFFu, one = 0xFF000000u;
            if (spal) {
                std::memcpy(&zero, &spal[0], 4);
                std::memcpy(&one, &spal[1], 4);
            }
            for (int y = 0; y < h; ++y) {
                const uint8_t* s = sl[y];
                uint32_t* d = reinterpret_cast<uint32_t*>(dl[y]);
                for (int x = 0; x < w; ++x) d[x] = (s[x >> 3] & (0x80 >> (x & 7))) ? one : zero;
            }
        }
    } else if (bpp == 8) {
        if (sbpp == 1) {
            if (spal) {
                m_palette[0] = spal[0];
                m_palette[1] = spal[1];
            } else {
                m_palette[0] = {255, 255, 255, 255};
                m_palette[1] = {0, 0, 0, 255};
            }
            for (int y = 0; y < h; ++y) {
                const uint8_t* s = sl[y];
                uint8_t* d = dl[y];
                for (int x = 0; x < w; ++x) d[x] = (s[x >> 3] >> (7 - (x & 7))) & 1;
            }
        } else { // from 32 bpp
            CColorQuantizer quantizer(m_ditherPaletteMode, m_ditherType);
            quantizer.Quantize(src, *this);
        }
    } else { // to 1 bpp
        m_palette[0] = {255, 255, 255, 255};
        m_palette[1] = {0, 0, 0, 255};
        bool dark[256] = {};
        if (sbpp == 8)
            for (int i = 0; i < 256; ++i)
                dark[i] = spal[i].r < 128 && spal[i].g < 128 && spal[i].b < 128;
        const int stride = GetBytesPerLine();
        for (int y = 0; y < h; ++y) {
            const uint8_t* s = sl[y];
            uint8_t* d = dl[y];
            std::memset(d, 0, size_t(stride));
            for (int x = 0; x < w; ++x) {
                bool isDark;
                if (sbpp == 8) {
                    isDark = dark[s[x]];
                } else {
                    const uint8_t* p = s + 4 * x;
                    isDark = p[0] < 128 && p[1] < 128 && p[2] < 128;
                }
                if (isDark) d[x >> 3] |= uint8_t(0x80 >> (x & 7));
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Packed DIBs

void CPicture::CreateFromDIB(const uint8_t* dib, size_t size) {
    if (!dib || size < 40) ThrowBadDib("header too short");
    const uint32_t hsize = LE32(dib);
    if (hsize < 40 || hsize > size) ThrowBadDib("wrong header size");
    const int32_t width = int32_t(LE32(dib + 4));
    const int32_t rawHeight = int32_t(LE32(dib + 8));
    const uint16_t bitCount = uint16_t(dib[14] | dib[15] << 8);
    const uint32_t compression = LE32(dib + 16);
    uint32_t clrUsed = LE32(dib + 32);
    if (width <= 0 || rawHeight == 0 || rawHeight == INT32_MIN) ThrowBadDib("bad size");
    const bool topDown = rawHeight < 0;
    const int32_t height = topDown ? -rawHeight : rawHeight;
    if (int64_t(width) * height > kMaxPicturePixels) ThrowOutOfMemory();

    size_t offset = hsize;
    uint32_t masks[3] = {0x00FF0000, 0x0000FF00, 0x000000FF};
    if (compression == BI_BITFIELDS) {
        if (bitCount != 16 && bitCount != 32) ThrowBadDib("bit fields need 16 or 32 bpp");
        if (hsize == 40) {
            if (size < offset + 12) ThrowBadDib("missing colour masks");
            for (int i = 0; i < 3; ++i) masks[i] = LE32(dib + offset + 4 * size_t(i));
            offset += 12;
        } else if (hsize >= 52) {
            for (int i = 0; i < 3; ++i) masks[i] = LE32(dib + 40 + 4 * size_t(i));
        }
    } else if (compression != BI_RGB) {
        ThrowBadDib("compressed bitmaps are not supported here");
    } else if (bitCount == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    }

    int paletteEntries = 0;
    if (bitCount == 1 || bitCount == 4 || bitCount == 8) {
        const uint32_t maxEntries = 1u << bitCount;
        if (clrUsed == 0 || clrUsed > maxEntries) clrUsed = maxEntries;
        paletteEntries = int(clrUsed);
    } else if (bitCount != 16 && bitCount != 24 && bitCount != 32) {
        ThrowBadDib("unsupported bit count");
    }
    if (size - offset < size_t(paletteEntries) * 4) ThrowBadDib("palette cut short");
    const uint8_t* pal = dib + offset;
    offset += size_t(paletteEntries) * 4;

    const size_t srcStride = ((size_t(width) * bitCount + 31) / 32) * 4;
    if ((size - offset) / srcStride < size_t(height)) ThrowBadDib("pixel rows cut short");
    const uint8_t* rows = dib + offset;
    auto srcRow = [&](int y) { // y counts from the top
        return rows + srcStride * size_t(topDown ? y : height - 1 - y);
    };

    const uint16_t bpp = bitCount == 1 ? 1 : bitCount <= 8 ? 8 : 32;
    const bool alpha = false;
    CreateForOverwrite(width, height, bpp, alpha);
    if (bpp <= 8) {
        if (bitCount == 1)
            std::memset(m_palette, 0, 2 * 4);
        else
            std::memset(m_palette, 0, 256 * 4);
        std::memcpy(m_palette, pal, size_t(paletteEntries) * 4);
    }
    uint8_t* const* dl = GetLineArray();
    const size_t dstStride = size_t(GetBytesPerLine());

    // Shift and width of each colour mask, for the 16 and 32 bpp bit-field layouts.
    int shift[3], bits[3];
    for (int i = 0; i < 3; ++i) {
        uint32_t m = masks[i];
        shift[i] = 0;
        bits[i] = 0;
        if (m == 0) continue;
        while (!(m & 1)) {
            m >>= 1;
            ++shift[i];
        }
        while (m & 1) {
            m >>= 1;
            ++bits[i];
        }
    }
    auto channel = [&](uint32_t v, int i) -> uint8_t {
        if (bits[i] == 0) return 0;
        uint32_t c = (v & masks[i]) >> shift[i];
        if (bits[i] >= 8) return uint8_t(c >> (bits[i] - 8));
        // Scale a short channel to the full byte range.
        return uint8_t(c * 255 / ((1u << bits[i]) - 1));
    };

    for (int y = 0; y < height; ++y) {
        const uint8_t* s = srcRow(y);
        uint8_t* d = dl[y];
        switch (bitCount) {
        case 1:
        case 8:
            std::memcpy(d, s, std::min(dstStride, srcStride));
            break;
        case 4:
            for (int x = 0; x < width; ++x) d[x] = (x & 1) ? (s[x >> 1] & 0x0F) : (s[x >> 1] >> 4);
            break;
        case 16:
            for (int x = 0; x < width; ++x) {
                const uint32_t v = uint32_t(s[2 * x] | s[2 * x + 1] << 8);
                d[4 * x] = channel(v, 2);
                d[4 * x + 1] = channel(v, 1);
                d[4 * x + 2] = channel(v, 0);
                d[4 * x + 3] = 255;
            }
            break;
        case 24:
            for (int x = 0; x < width; ++x) {
                d[4 * x] = s[3 * x];
                d[4 * x + 1] = s[3 * x + 1];
                d[4 * x + 2] = s[3 * x + 2];
                d[4 * x + 3] = 255;
            }
            break;
        case 32:
            if (compression == BI_BITFIELDS) {
                for (int x = 0; x < width; ++x) {
                    const uint32_t v = LE32(s + 4 * x);
                    d[4 * x] = channel(v, 2);
                    d[4 * x + 1] = channel(v, 1);
                    d[4 * x + 2] = channel(v, 0);
                    d[4 * x + 3] = 255;
                }
            } else {
                std::memcpy(d, s, size_t(width) * 4);
            }
            break;
        }
    }
}

std::vector<uint8_t> CPicture::DibAfter(size_t before) const {
    const size_t head = HeaderAndPaletteSize(m_bpp);
    const size_t pixels = size_t(GetBytesPerLine()) * size_t(m_height);
    std::vector<uint8_t> out;
    try {
        out.resize(before + head + pixels);
    } catch (const std::bad_alloc&) {
        throw CTextException(CTextException::OutOfMemory, "Can't allocate global memory block.");
    }
    uint8_t* dib = out.data() + before;
    std::memcpy(dib, m_header, 40);
    if (m_bpp <= 8) std::memcpy(dib + 40, m_palette, head - 40);
    std::memcpy(dib + head, m_bits, pixels);
    return out;
}

std::vector<uint8_t> CPicture::GetDibCopy() const {
    return DibAfter(0);
}

std::vector<uint8_t> CPicture::GetBmpFile() const {
    std::vector<uint8_t> out = DibAfter(14);
    const uint32_t fileSize = uint32_t(out.size());
    const uint32_t offBits = uint32_t(14 + HeaderAndPaletteSize(m_bpp));
    out[0] = 'B', out[1] = 'M';
    for (int i = 0; i < 4; ++i) {
        out[size_t(2 + i)] = uint8_t(fileSize >> (8 * i));
        out[size_t(10 + i)] = uint8_t(offBits >> (8 * i));
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// CDibPicture

CDibPicture::CDibPicture() {
    Create(16, 16, 8, false);
}

CDibPicture::~CDibPicture() {
    FreeContents();
}

bool CDibPicture::Allocate(size_t pixelBytes, uint16_t bpp) {
    const size_t head = HeaderAndPaletteSize(bpp);
    const size_t total = head + pixelBytes;
    bool zeroed = false;
    if (!m_block || total > m_blockSize || total < m_blockSize / 2) {
        auto* block = static_cast<uint8_t*>(AllocPixelBlock(total, &zeroed));
        if (!block) ThrowOutOfMemory();
        FreePixelBlock(m_block, m_blockSize);
        m_block = block;
        m_blockSize = total;
    }
    m_header = reinterpret_cast<BITMAPINFOHEADER*>(m_block);
    m_palette = bpp <= 8 ? reinterpret_cast<RGBAPIXEL*>(m_block + 40) : nullptr;
    m_bits = m_block + head;
    return zeroed;
}

void CDibPicture::FreeContents() {
    FreePixelBlock(m_block, m_blockSize);
    m_block = nullptr;
    m_blockSize = 0;
    ResetFields();
}

// ---------------------------------------------------------------------------------------------
// CDibSectionPicture

CDibSectionPicture::CDibSectionPicture() {
    Create(16, 16, 8, false);
}

CDibSectionPicture::~CDibSectionPicture() {
    FreeContents();
}

bool CDibSectionPicture::Allocate(size_t pixelBytes, uint16_t bpp) {
    if (!m_headerBlock) m_headerBlock = static_cast<uint8_t*>(AllocOrThrow(40 + 256 * 4, true));
    bool zeroed = false;
    // Keep the pixel block while it is big enough and not wastefully big.
    if (!m_pixelBlock || pixelBytes > m_pixelCapacity || pixelBytes < m_pixelCapacity / 2) {
        const size_t capacity = std::max<size_t>(pixelBytes, 4);
        auto* block = static_cast<uint8_t*>(AllocPixelBlock(capacity, &zeroed));
        if (!block) ThrowOutOfMemory();
        FreePixelBlock(m_pixelBlock, m_pixelCapacity);
        m_pixelBlock = block;
        m_pixelCapacity = capacity;
    }
    m_header = reinterpret_cast<BITMAPINFOHEADER*>(m_headerBlock);
    m_palette = bpp <= 8 ? reinterpret_cast<RGBAPIXEL*>(m_headerBlock + 40) : nullptr;
    m_bits = m_pixelBlock;
    return zeroed;
}

void CDibSectionPicture::FreeContents() {
    std::free(m_headerBlock);
    FreePixelBlock(m_pixelBlock, m_pixelCapacity);
    m_headerBlock = m_pixelBlock = nullptr;
    m_pixelCapacity = 0;
    ResetFields();
}
