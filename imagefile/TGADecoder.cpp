#include <algorithm>
#include <cstring>
#include <vector>

#include "imagefile/ByteOrder.h"
#include "imagefile/ImageError.h"
#include "imagefile/PictureDecoder.h"

namespace {

// How a file's pixels become the picture's: palette indices, grey values or colours.
enum class PixelKind {
    Index8,
    Grey8,
    GreyAlpha16,
    Index16,
    Colour15,
    Colour16,
    Colour24,
    Colour32
};

// 5-5-5 with the attribute bit (bit 15) as alpha when the file says it has one: set means
// opaque, clear means transparent. Files without attribute bits keep every pixel opaque,
// since most writers leave bit 15 clear. Each channel moves to the top of its byte (31 gives
// 248), the same way the bitmap decoder reads its 16-bit pixels.
inline RGBAPIXEL From555(unsigned v, bool attributeAlpha) {
    const auto top = [](unsigned c) { return uint8_t(c << 3); };
    return {top(v & 31), top((v >> 5) & 31), top((v >> 10) & 31),
            uint8_t(attributeAlpha ? ((v & 0x8000) ? 255 : 0) : 255)};
}

// Converts count file pixels starting at in into 32-bit pixels.
void ConvertPixels(PixelKind kind, const uint8_t* in, int count, uint32_t* out,
                   const RGBAPIXEL* palette, bool attributeAlpha) {
    switch (kind) {
    case PixelKind::Index8:
    case PixelKind::Grey8:
        for (int i = 0; i < count; ++i) std::memcpy(&out[i], &palette[in[i]], 4);
        break;
    case PixelKind::Index16:
        for (int i = 0; i < count; ++i) {
            const unsigned index = LE16(in + 2 * i);
            const RGBAPIXEL c = index < 256 ? palette[index] : RGBAPIXEL{0, 0, 0, 255};
            std::memcpy(&out[i], &c, 4);
        }
        break;
    case PixelKind::GreyAlpha16:
        for (int i = 0; i < count; ++i) {
            const uint32_t g = in[2 * i];
            out[i] = g | g << 8 | g << 16 | uint32_t(in[2 * i + 1]) << 24;
        }
        break;
    case PixelKind::Colour15:
    case PixelKind::Colour16:
        for (int i = 0; i < count; ++i) {
            const RGBAPIXEL c =
                From555(LE16(in + 2 * i), kind == PixelKind::Colour16 && attributeAlpha);
            std::memcpy(&out[i], &c, 4);
        }
        break;
    case PixelKind::Colour24: {
        int i = 0;
        for (; i + 4 <= count; i += 4) {
            uint32_t w[3];
            std::memcpy(w, in + 3 * i, 12);
            out[i] = w[0] | 0xFF000000u;
            out[i + 1] = (w[0] >> 24) | (w[1] << 8) | 0xFF000000u;
            out[i + 2] = (w[1] >> 16) | (w[2] << 16) | 0xFF000000u;
            out[i + 3] = (w[2] >> 8) | 0xFF000000u;
        }
        for (; i < count; ++i) {
            const uint8_t* s = in + 3 * i;
            out[i] = uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16 | 0xFF000000u;
        }
        break;
    }
    case PixelKind::Colour32:
        std::memcpy(out, in, size_t(count) * 4);
        break;
    }
}

RGBAPIXEL ColourMapEntry(const uint8_t* p, int entryBits) {
    switch (entryBits) {
    case 15:
    case 16:
        return From555(LE16(p), false);
    case 24:
        return {p[0], p[1], p[2], 255};
    case 32:
        return {p[0], p[1], p[2], p[3]};
    default: // 8-bit entries are grey levels
        return {p[0], p[0], p[0], 255};
    }
}

[[noreturn]] void RaiseOverrun() {
    RaiseImageError(CTextException::Malformed, "TGA run-length data overruns the picture.");
}

} // namespace

void CTGADecoder::MakePicture(CDataSource& source, CPicture& picture, int wantedBpp) {
    const uint8_t* h = source.ReadNBytes(18);
    const int idLength = h[0];
    const int mapType = h[1];
    const int imageType = h[2];
    const int mapFirst = LE16(h + 3);
    const int mapLength = LE16(h + 5);
    const int mapEntryBits = h[7];
    const int width = LE16(h + 12);
    const int height = LE16(h + 14);
    const int depth = h[16];
    const int descriptor = h[17];
    source.Skip(size_t(idLength));

    if (imageType != 1 && imageType != 2 && imageType != 3 && imageType != 9 && imageType != 10 &&
        imageType != 11)
        RaiseImageError(CTextException::Malformed, "Unknown TGA image type.");
    const bool grey = imageType == 3 || imageType == 11;
    const bool mapped = imageType == 1 || imageType == 9;

    std::vector<RGBAPIXEL> palette(256, RGBAPIXEL{0, 0, 0, 255});
    if (mapType != 0) {
        const size_t entryBytes = size_t(std::max(mapEntryBits, 1) + 7) / 8;
        const uint8_t* map = source.ReadNBytes(entryBytes * size_t(mapLength));
        // Only the first 256 entries can be reached by 8-bit indices.
        for (int i = 0; i < mapLength && mapFirst + i < 256; ++i)
            palette[size_t(mapFirst + i)] =
                ColourMapEntry(map + entryBytes * size_t(i), mapEntryBits);
    } else if (mapped) {
        // A colour-mapped image without its map: show the indices as grey levels.
        for (int i = 0; i < 256; ++i)
            palette[size_t(i)] = {uint8_t(i), uint8_t(i), uint8_t(i), 255};
    }
    if (grey)
        for (int i = 0; i < 256; ++i)
            palette[size_t(i)] = {uint8_t(i), uint8_t(i), uint8_t(i), 255};

    PixelKind kind;
    switch (depth) {
    case 8:
        kind = grey ? PixelKind::Grey8 : PixelKind::Index8;
        break;
    case 15:
        kind = PixelKind::Colour15;
        break;
    case 16:
        // Grey images of 16 bits hold a grey level and an alpha byte, and mapped ones 16-bit
        // indices; reading either as 5-5-5 colour would scramble them.
        kind = grey ? PixelKind::GreyAlpha16 : mapped ? PixelKind::Index16 : PixelKind::Colour16;
        break;
    case 24:
        kind = PixelKind::Colour24;
        break;
    case 32:
        kind = PixelKind::Colour32;
        break;
    default:
        RaiseImageError(CTextException::Malformed, "Unknown TGA image type.");
    }
    const int pixelBytes = (depth + 7) / 8;
    const bool attributeAlpha = (descriptor & 0x0F) != 0;

    CheckPictureSize(width, height);
    const bool rle = imageType >= 9;
    if (!rle && size_t(width) * size_t(height) * size_t(pixelBytes) > source.GetRemaining())
        RaiseImageError(CTextException::EndOfData, "End of file reached while decoding.\n");

    const bool target32 = depth > 8 || wantedBpp == 32;
    const bool alpha = target32 && (depth == 16 || depth == 32);
    if (rle)
        picture.Create(width, height, target32 ? 32 : 8, alpha);
    else
        picture.CreateForOverwrite(width, height, target32 ? 32 : 8, alpha);
    CPictureWriteLock lock(picture);
    if (!target32) picture.SetPalette(palette.data(), 256);

    const bool topFirst = (descriptor & 0x20) != 0;
    const bool rightToLeft = (descriptor & 0x10) != 0;
    uint8_t* const* lines = picture.GetLineArray();
    const auto lineOf = [&](int fileRow) {
        return lines[topFirst ? fileRow : height - 1 - fileRow];
    };

    // Writes count file pixels to file row `row` from column x on.
    const auto put = [&](int row, int x, const uint8_t* in, int count) {
        uint8_t* dst = lineOf(row);
        if (target32)
            ConvertPixels(kind, in, count, reinterpret_cast<uint32_t*>(dst) + x, palette.data(),
                          attributeAlpha);
        else
            std::memcpy(dst + x, in, size_t(count));
    };

    if (!rle) {
        const uint8_t* data =
            source.ReadNBytes(size_t(width) * size_t(height) * size_t(pixelBytes));
        for (int r = 0; r < height; ++r)
            put(r, 0, data + size_t(r) * size_t(width) * size_t(pixelBytes), width);
    } else {
        // Packets may run on from one row into the next, but never past the last row. They
        // are read straight from the source's memory and the source skipped once at the end.
        const uint8_t* const start = source.GetBufferPtr(0);
        const uint8_t* const end = start + source.GetRemaining();
        const uint8_t* in = start;
        const auto endOfData = [] {
            RaiseImageError(CTextException::EndOfData, "End of file reached while decoding.\n");
        };
        int row = 0, x = 0;
        while (row < height) {
            if (in == end) endOfData();
            const uint8_t header = *in++;
            int count = (header & 0x7F) + 1;
            const size_t dataBytes =
                (header & 0x80) ? size_t(pixelBytes) : size_t(count) * size_t(pixelBytes);
            if (size_t(end - in) < dataBytes) endOfData();
            const uint8_t* data = in;
            in += dataBytes;
            if (header & 0x80) {
                uint32_t colour = 0;
                if (target32) ConvertPixels(kind, data, 1, &colour, palette.data(), attributeAlpha);
                while (count > 0) {
                    if (row >= height) RaiseOverrun();
                    const int n = std::min(count, width - x);
                    uint8_t* dst = lineOf(row);
                    if (target32)
                        std::fill_n(reinterpret_cast<uint32_t*>(dst) + x, n, colour);
                    else
                        std::memset(dst + x, data[0], size_t(n));
                    count -= n;
                    x += n;
                    if (x == width) x = 0, ++row;
                }
            } else {
                while (count > 0) {
                    if (row >= height) RaiseOverrun();
                    const int n = std::min(count, width - x);
                    put(row, x, data, n);
                    data += size_t(n) * size_t(pixelBytes);
                    count -= n;
                    x += n;
                    if (x == width) x = 0, ++row;
                }
            }
        }
        source.Skip(size_t(in - start));
    }

    if (rightToLeft) {
        const size_t bytes = target32 ? 4 : 1;
        for (int y = 0; y < height; ++y) {
            uint8_t* row = lines[y];
            for (int a = 0, b = width - 1; a < b; ++a, --b)
                std::swap_ranges(row + size_t(a) * bytes, row + size_t(a + 1) * bytes,
                                 row + size_t(b) * bytes);
        }
    }
}
