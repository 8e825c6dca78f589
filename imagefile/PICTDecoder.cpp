// Macintosh pictures: the opcode stream after the 512-byte preamble. Only the bitmap and pixmap
// opcodes are drawn; every other opcode is skipped by its length, so pictures that mix
// drawing commands with images still show their images.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "imagefile/ByteOrder.h"
#include "imagefile/ImageError.h"
#include "imagefile/PictureDecoder.h"
#include "imagefile/Rect.h"

namespace {

[[noreturn]] void RaiseMalformed(const char* text) {
    RaiseImageError(CTextException::Malformed, text);
}

class PictReader {
public:
    PictReader(CDataSource& source, CPicture& picture) : m_src(source), m_picture(picture) {}

    void Run(int wantedBpp);

private:
    uint8_t Byte() { return m_src.ReadByte(); }
    uint16_t Word() { return BE16(m_src.ReadNBytes(2)); }
    int16_t SWord() { return int16_t(Word()); }
    uint32_t Long() { return BE32(m_src.ReadNBytes(4)); }
    CRect ReadRect() {
        CRect r;
        r.top = SWord();
        r.left = SWord();
        r.bottom = SWord();
        r.right = SWord();
        return r;
    }
    void Skip(size_t n) { m_src.Skip(n); }
    void SkipSized() { // a region or polygon: its size word counts itself
        const uint16_t size = Word();
        if (size > 2) Skip(size - 2u);
    }
    void Align() {
        if (m_version == 2 && (m_src.GetPosition() & 1)) Skip(1);
    }

    bool Opcode(unsigned op);
    void Pixels(unsigned op, bool draw);
    void PixPattern();
    void Text(size_t before);

    CDataSource& m_src;
    CPicture& m_picture;
    int m_version = 1;
    CRect m_frame;
};

// The part of PackBits and of the row layouts shared by bitmaps and pixmaps.
struct PixMapInfo {
    bool isPixMap = false;
    int rowBytes = 0;
    CRect bounds;
    int packType = 0;
    int pixelSize = 1;
    int cmpCount = 1;
    std::vector<RGBAPIXEL> table; // indexed by pixel value
};

// Unpacks one PackBits row into out (exactly rowBytes bytes). unit is 1, or 2 for 16-bit
// pixels packed by words.
void UnpackBits(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize, size_t unit) {
    size_t i = 0, o = 0;
    while (i < inSize && o < outSize) {
        const uint8_t flag = in[i++];
        if (flag < 128) {
            const size_t n = (size_t(flag) + 1) * unit;
            const size_t take = std::min({n, inSize - i, outSize - o});
            std::memcpy(out + o, in + i, take);
            i += n;
            o += take;
        } else if (flag > 128) {
            const size_t count = 257 - size_t(flag);
            if (inSize - i < unit) break;
            for (size_t k = 0; k < count && o + unit <= outSize; ++k, o += unit)
                std::memcpy(out + o, in + i, unit);
            i += unit;
        }
    }
}

void PictReader::Run(int wantedBpp) {
    Skip(512);
    Skip(2); // picture size, only meaningful for very old files
    m_frame = ReadRect();
    if (m_src.GetRemaining() < 2)
        RaiseImageError(CTextException::WrongSignature,
                        "Error decoding pict: Version number missing.");
    const uint8_t* v = m_src.GetBufferPtr(2);
    if (v[0] == 0x11 && v[1] == 0x01) {
        m_version = 1;
        Skip(2);
    } else if (v[0] == 0x00 && v[1] == 0x11) {
        Skip(2);
        // A version 1 picture may start with a no-op byte before its version opcode, which
        // reads as 00 11 01; version 2 has the word 02 FF there.
        if (m_src.GetBufferPtr(1)[0] == 0x01) {
            Skip(1);
        } else {
            const uint16_t version = Word();
            if (version != 0x02FF)
                RaiseImageError(CTextException::WrongSignature, "Illegal version number.");
            m_version = 2;
        }
    } else {
        RaiseImageError(CTextException::WrongSignature,
                        "Error decoding pict: Version number missing.");
    }

    CheckPictureSize(m_frame.Width(), m_frame.Height());
    // A picture may combine several images with their own colour tables, so it is composed
    // in 32 bits on white, as it would be drawn.
    (void)wantedBpp;
    m_picture.Create(m_frame.Width(), m_frame.Height(), 32, false);
    CPictureWriteLock lock(m_picture);
    for (int y = 0; y < m_picture.GetHeight(); ++y)
        std::memset(m_picture.GetLineArray()[y], 0xFF, size_t(m_picture.GetWidth()) * 4);

    while (m_src.GetRemaining() > 0) {
        Align();
        if (m_src.GetRemaining() < (m_version == 2 ? 2u : 1u)) break;
        const unsigned op = m_version == 2 ? Word() : Byte();
        if (!Opcode(op)) break;
    }
}

void PictReader::Text(size_t before) {
    Skip(before);
    Skip(Byte());
}

// Handles one opcode; returns false at the end of the picture.
bool PictReader::Opcode(unsigned op) {
    switch (op) {
    case 0x00:
    case 0x17:
    case 0x18:
    case 0x19:
    case 0x1C:
    case 0x1E:
        return true;
    case 0x01: // clip region
        SkipSized();
        return true;
    case 0x02:
    case 0x09:
    case 0x0A:
    case 0x10:
    case 0x20:
        Skip(8);
        return true;
    case 0x03:
    case 0x05:
    case 0x08:
    case 0x0D:
    case 0x15:
    case 0x16:
    case 0x23:
    case 0xA0:
        Skip(2);
        return true;
    case 0x04:
        Skip(1);
        return true;
    case 0x06:
    case 0x07:
    case 0x0B:
    case 0x0C:
    case 0x0E:
    case 0x0F:
    case 0x21:
        Skip(4);
        return true;
    case 0x11: // version, once more
        Skip(m_version == 2 ? 2 : 1);
        return true;
    case 0x12:
    case 0x13:
    case 0x14:
        PixPattern();
        return true;
    case 0x1A:
    case 0x1B:
    case 0x1D:
    case 0x1F:
    case 0x22:
        Skip(6);
        return true;
    case 0x28:
        Text(4);
        return true;
    case 0x29:
    case 0x2A:
        Text(1);
        return true;
    case 0x2B:
        Text(2);
        return true;
    case 0x90:
    case 0x91:
    case 0x98:
    case 0x99:
    case 0x9A:
    case 0x9B:
        Pixels(op, true);
        return true;
    case 0xA1: // long comment
        Skip(2);
        Skip(Word());
        return true;
    case 0xFF:
        return false;
    case 0x0C00: // version 2 header
        Skip(24);
        return true;
    case 0x8200: // QuickTime compressed image
        RaiseImageError(CTextException::NotSupported, "Library not compiled for PICT/JPEG.");
    default:
        break;
    }
    // The rest by range, as reserved opcodes are laid out. Ranges treated alike stay apart so
    // that each reads as one row of the opcode table.
    // NOLINTBEGIN(bugprone-branch-clone)
    if ((op >= 0x24 && op <= 0x2F) || (op >= 0x92 && op <= 0x97) || (op >= 0x9C && op <= 0x9F) ||
        (op >= 0xA2 && op <= 0xAF)) {
        Skip(Word());
    } else if (op >= 0x30 && op <= 0x5F) { // rectangles, rounded rectangles, ovals
        if ((op & 0x0F) < 8) Skip(8);
    } else if (op >= 0x60 && op <= 0x6F) { // arcs
        Skip((op & 0x0F) < 8 ? 12 : 4);
    } else if (op >= 0x70 && op <= 0x8F) { // polygons and regions
        if ((op & 0x0F) < 8) SkipSized();
    } else if (op >= 0xB0 && op <= 0xCF) {
    } else if (op >= 0xD0 && op <= 0xFE) {
        Skip(Long());
    } else if (op >= 0x100 && op <= 0x7FFF) {
        Skip((op >> 8) * 2u);
    } else if (op >= 0x8000 && op <= 0x80FF) {
    } else if (op >= 0x8100) {
        Skip(Long());
    } else {
        // 0x38-style gaps are handled above; anything left has no data.
    }
    // NOLINTEND(bugprone-branch-clone)
    return true;
}

// A pixel pattern: its own small pixmap, read to be skipped.
void PictReader::PixPattern() {
    const uint16_t type = Word();
    Skip(8); // the one-bit pattern
    if (type == 2) {
        Skip(6); // an RGB colour
        return;
    }
    if (type != 1) RaiseMalformed("Unknown pattern type in pixPat.");
    Pixels(0x98, false);
}

void PictReader::Pixels(unsigned op, bool draw) {
    const bool direct = op == 0x9A || op == 0x9B;
    const bool withRegion = op == 0x91 || op == 0x99 || op == 0x9B;
    const bool packed = op >= 0x98;
    PixMapInfo pm;
    if (direct) Skip(4); // base address
    const uint16_t rowWord = Word();
    pm.isPixMap = (rowWord & 0x8000) != 0;
    pm.rowBytes = rowWord & 0x3FFF;
    pm.bounds = ReadRect();
    if (pm.isPixMap) {
        Skip(2); // version
        pm.packType = Word();
        Skip(12); // pack size, resolutions
        Skip(2);  // pixel type
        pm.pixelSize = Word();
        pm.cmpCount = Word();
        Skip(2 + 12); // component size, plane bytes, table handle, reserved
    }
    if (pm.isPixMap && !direct) {
        Skip(4); // seed
        const uint16_t flags = Word();
        const unsigned entries = Word() + 1u;
        const uint8_t* ct = m_src.ReadNBytes(size_t(entries) * 8);
        pm.table.assign(65536, RGBAPIXEL{0, 0, 0, 255});
        unsigned size = entries;
        for (unsigned i = 0; i < entries; ++i) {
            const uint8_t* e = ct + 8 * i;
            // Device tables give the colours in order; others name each entry's value.
            const unsigned value = (flags & 0x8000) ? i : unsigned(BE16(e));
            pm.table[value] = {e[6], e[4], e[2], 255};
            size = std::max(size, value + 1);
        }
        pm.table.resize(size);
    } else if (!pm.isPixMap) {
        pm.table = {{255, 255, 255, 255}, {0, 0, 0, 255}};
    }
    CRect srcRect, dstRect;
    if (draw) {
        srcRect = ReadRect();
        dstRect = ReadRect();
        Skip(2); // transfer mode
        if (withRegion) SkipSized();
    }

    const int width = pm.bounds.Width();
    const int height = pm.bounds.Height();
    if (width <= 0 || height <= 0) return;
    const int pixelSize = pm.pixelSize;
    if (pixelSize != 1 && pixelSize != 2 && pixelSize != 4 && pixelSize != 8 && pixelSize != 16 &&
        pixelSize != 32) {
        char text[64];
        std::snprintf(text, sizeof text, "Illegal bpp value in unpackbits: %d\n", pixelSize);
        RaiseMalformed(text);
    }
    // Rows must hold the pixels they claim; 32-bit rows may drop the pad byte or be split
    // into 3 or 4 component planes.
    const int64_t minRow = pixelSize == 32 ? int64_t(width) * (pm.cmpCount >= 4 ? 4 : 3)
                                           : (int64_t(width) * pixelSize + 7) / 8;
    if (pm.rowBytes == 0 && !packed) pm.rowBytes = int(minRow);
    if (pm.rowBytes < minRow) RaiseMalformed("Bad bits per pixel in expandBuf.");
    CheckPictureSize(width, height);
    const bool isPacked =
        packed && pm.rowBytes >= 8 && pm.packType != 1 && !(pixelSize == 32 && pm.packType == 2);
    // Every packed row takes at least a count byte: refuse heights the data cannot hold.
    if (size_t(height) > m_src.GetRemaining())
        RaiseImageError(CTextException::EndOfData, "End of file reached while decoding.\n");

    const size_t rowBytes = size_t(pm.rowBytes);
    std::vector<uint8_t> row(rowBytes + 8);
    std::vector<uint32_t> colours(static_cast<size_t>(width));
    const bool clipSrc = srcRect.Width() > 0 && srcRect.Height() > 0;
    const int dstW = dstRect.Width(), dstH = dstRect.Height();
    uint8_t* const* lines = m_picture.GetLineArray();

    for (int y = 0; y < height; ++y) {
        if (isPacked) {
            const size_t count = rowBytes > 250 ? Word() : Byte();
            const uint8_t* data = m_src.ReadNBytes(count);
            std::fill(row.begin(), row.end(), uint8_t(0));
            UnpackBits(data, count, row.data(), rowBytes, pixelSize == 16 ? 2 : 1);
        } else if (pixelSize == 32 && pm.packType == 2) {
            const uint8_t* data = m_src.ReadNBytes(size_t(width) * 3);
            for (int x = 0; x < width; ++x) {
                const uint8_t* p = data + 3 * x;
                colours[size_t(x)] = uint32_t(p[2]) | uint32_t(p[1]) << 8 | uint32_t(p[0]) << 16;
            }
        } else {
            std::memcpy(row.data(), m_src.ReadNBytes(rowBytes), rowBytes);
        }
        if (!draw) continue;

        // The row's pixels as colours.
        if (pixelSize <= 8) {
            const unsigned mask = (1u << pixelSize) - 1;
            const int perByte = 8 / pixelSize;
            for (int x = 0; x < width; ++x) {
                const int shift = 8 - pixelSize * (x % perByte + 1);
                const unsigned value = (row[size_t(x / perByte)] >> shift) & mask;
                if (value >= pm.table.size())
                    RaiseMalformed("pixel value greater than colour table size.");
                const RGBAPIXEL c = pm.table[value];
                colours[size_t(x)] = uint32_t(c.b) | uint32_t(c.g) << 8 | uint32_t(c.r) << 16;
            }
        } else if (pixelSize == 16) {
            for (int x = 0; x < width; ++x) {
                const unsigned v = BE16(row.data() + 2 * size_t(x));
                const auto widen = [](unsigned c) { return uint32_t(c << 3 | c >> 2); };
                colours[size_t(x)] =
                    widen(v & 31) | widen((v >> 5) & 31) << 8 | widen((v >> 10) & 31) << 16;
            }
        } else if (!(pm.packType == 2 && !isPacked)) {
            if (isPacked) {
                // Component planes: red, green, blue, after alpha when there are four.
                const size_t w = size_t(width);
                const size_t first = pm.cmpCount >= 4 ? w : 0;
                for (size_t x = 0; x < w; ++x)
                    colours[x] = uint32_t(row[first + 2 * w + x]) |
                                 uint32_t(row[first + w + x]) << 8 | uint32_t(row[first + x]) << 16;
            } else {
                for (int x = 0; x < width; ++x) {
                    const uint8_t* p = row.data() + 4 * size_t(x);
                    colours[size_t(x)] =
                        uint32_t(p[3]) | uint32_t(p[2]) << 8 | uint32_t(p[1]) << 16;
                }
            }
        }

        // Place the row: the source rectangle (in bounds coordinates) is scaled onto the
        // destination rectangle (in frame coordinates), clipped to the picture.
        const int sy = pm.bounds.top + y;
        const CRect src = clipSrc ? srcRect : pm.bounds;
        if (sy < src.top || sy >= src.bottom || dstW <= 0 || dstH <= 0) continue;
        const int64_t y0 = dstRect.top + int64_t(sy - src.top) * dstH / src.Height() - m_frame.top;
        const int64_t y1 =
            dstRect.top + int64_t(sy + 1 - src.top) * dstH / src.Height() - m_frame.top;
        for (int64_t dy = std::max<int64_t>(y0, 0);
             dy < std::min<int64_t>(y1, m_picture.GetHeight()); ++dy) {
            auto* out = reinterpret_cast<uint32_t*>(lines[dy]);
            const int64_t xs = std::max<int64_t>(dstRect.left - m_frame.left, 0);
            const int64_t xe =
                std::min<int64_t>(dstRect.right - m_frame.left, m_picture.GetWidth());
            for (int64_t dx = xs; dx < xe; ++dx) {
                const int64_t sx = src.left +
                                   (dx + m_frame.left - dstRect.left) * src.Width() / dstW -
                                   pm.bounds.left;
                if (sx < 0 || sx >= width) continue;
                out[dx] = colours[size_t(sx)] | 0xFF000000u;
            }
        }
    }
}

} // namespace

void CPICTDecoder::MakePicture(CDataSource& source, CPicture& picture, int wantedBpp) {
    PictReader(source, picture).Run(wantedBpp);
}
