#include <algorithm>
#include <cstring>
#include <vector>

#include "imagefile/ByteOrder.h"
#include "imagefile/ImageError.h"
#include "imagefile/PictureDecoder.h"

namespace {

[[noreturn]] void RaiseRowOverrun() {
    RaiseImageError(CTextException::Malformed, "Bitmap decoder: Compressed data overruns a row.");
}

// Writes rows of palette indices into an 8- or 32-bit picture.
struct IndexRowWriter {
    CPicture& picture;
    const RGBAPIXEL* palette; // 256 entries
    bool target32;

    void Put(int line, const uint8_t* indices, int width) const {
        uint8_t* dst = picture.GetLineArray()[line];
        if (!target32) {
            std::memcpy(dst, indices, size_t(width));
            return;
        }
        auto* out = reinterpret_cast<RGBAPIXEL*>(dst);
        for (int x = 0; x < width; ++x) out[x] = palette[indices[x]];
    }
};

// Run-length coded rows (RLE8 when bitsPerPixel is 8, RLE4 when it is 4). Rows arrive in
// file order; a row is built in a scratch row and written when it ends, so a run can never
// reach beyond the picture.
void DecodeRle(CDataSource& source, const IndexRowWriter& writer, int width, int height,
               bool topDown, int bitsPerPixel) {
    std::vector<uint8_t> scratch(size_t(width), 0);
    int row = 0, x = 0;
    auto lineOf = [&](int r) { return topDown ? r : height - 1 - r; };
    auto flush = [&] {
        if (row < height) writer.Put(lineOf(row), scratch.data(), width);
        std::fill(scratch.begin(), scratch.end(), uint8_t(0));
    };
    auto checkRoom = [&](int count) {
        if (row >= height || count > width - x) RaiseRowOverrun();
    };
    for (;;) {
        const uint8_t* pair = source.ReadNBytes(2);
        const int count = pair[0];
        if (count > 0) {
            checkRoom(count);
            if (bitsPerPixel == 8) {
                std::memset(&scratch[size_t(x)], pair[1], size_t(count));
            } else {
                const uint8_t nibbles[2] = {uint8_t(pair[1] >> 4), uint8_t(pair[1] & 15)};
                for (int i = 0; i < count; ++i) scratch[size_t(x + i)] = nibbles[i & 1];
            }
            x += count;
            continue;
        }
        switch (pair[1]) {
        case 0: // end of line
            flush();
            ++row;
            x = 0;
            break;
        case 1: // end of picture
            flush();
            return;
        case 2:
            RaiseImageError(CTextException::NotSupported, "Encountered delta escape.");
        default: {
            const int literal = pair[1];
            checkRoom(literal);
            const size_t bytes = bitsPerPixel == 8 ? size_t(literal) : size_t(literal + 1) / 2;
            const uint8_t* data = source.ReadNBytes((bytes + 1) & ~size_t(1));
            if (bitsPerPixel == 8) {
                std::memcpy(&scratch[size_t(x)], data, size_t(literal));
            } else {
                for (int i = 0; i < literal; ++i)
                    scratch[size_t(x + i)] = (i & 1) ? data[i / 2] & 15 : data[i / 2] >> 4;
            }
            x += literal;
            break;
        }
        }
    }
}

} // namespace

void CBMPDecoder::MakePicture(CDataSource& source, CPicture& picture, int wantedBpp) {
    const size_t start = source.GetPosition();
    const uint8_t* fileHeader = source.ReadNBytes(14);
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M')
        RaiseImageError(CTextException::WrongSignature, "Bitmap decoder: This isn't a bitmap.");
    const uint32_t pixelOffset = LE32(fileHeader + 10);

    const uint32_t headerSize = source.ReadLE32();
    if (headerSize < 40)
        RaiseImageError(CTextException::Malformed,
                        "Bitmap decoder: BITMAPINFOHEADER has wrong size.");
    const uint8_t* info = source.ReadNBytes(36);
    const int32_t width = int32_t(LE32(info));
    const int32_t rawHeight = int32_t(LE32(info + 4));
    const int bitCount = info[10] | info[11] << 8;
    const uint32_t compression = LE32(info + 12);
    const uint32_t coloursUsed = LE32(info + 28);

    // Newer, longer headers keep their extra fields (the colour masks first) before the
    // palette; reading the palette from inside the header would scramble the colours.
    const uint8_t* extra = source.ReadNBytes(headerSize - 40);
    uint32_t greenMask = 0x3E0;
    if (compression == BI_BITFIELDS && bitCount == 16) {
        const uint8_t* masks = headerSize >= 52 ? extra : source.ReadNBytes(12);
        greenMask = LE32(masks + 4);
    }

    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32)
        RaiseImageError(CTextException::Malformed, "Decoding bmp: Illegal bpp value.");
    // A negative height marks a bitmap stored top row first.
    const bool topDown = rawHeight < 0;
    const int64_t height64 = topDown ? -int64_t(rawHeight) : int64_t(rawHeight);
    CheckPictureSize(width, height64);
    const int height = int(height64);

    std::vector<RGBAPIXEL> palette(256, RGBAPIXEL{0, 0, 0, 255});
    if (bitCount <= 8) {
        const uint64_t entries = coloursUsed ? coloursUsed : 1u << bitCount;
        if (entries > source.GetRemaining() / 4)
            RaiseImageError(CTextException::EndOfData, "End of file reached while decoding.\n");
        const uint8_t* p = source.ReadNBytes(size_t(entries) * 4);
        for (size_t i = 0; i < std::min<uint64_t>(entries, 256); ++i)
            palette[i] = {p[4 * i], p[4 * i + 1], p[4 * i + 2], 255};
    }
    // The pixels start at the file header's offset; an offset pointing back into the headers
    // is taken to mean "right after the palette".
    if (start + pixelOffset > source.GetPosition()) source.Seek(start + pixelOffset);

    const bool rle =
        bitCount <= 8 && bitCount >= 4 && compression != BI_RGB && compression != BI_BITFIELDS;
    const size_t fileStride = (size_t(width) * size_t(bitCount) + 31) / 32 * 4;
    if (!rle) {
        // The last row's padding is often missing; the pixels themselves must be there.
        const size_t needed =
            fileStride * size_t(height - 1) + (size_t(width) * size_t(bitCount) + 7) / 8;
        if (needed > source.GetRemaining())
            RaiseImageError(CTextException::EndOfData, "End of file reached while decoding.\n");
    }

    const bool target32 = bitCount > 8 || wantedBpp == 32;
    if (rle)
        picture.Create(width, height, target32 ? 32 : 8, false);
    else
        picture.CreateForOverwrite(width, height, target32 ? 32 : 8, false);
    CPictureWriteLock lock(picture);
    if (!target32) picture.SetPalette(palette.data(), 256);
    const IndexRowWriter writer{picture, palette.data(), target32};

    if (rle) {
        DecodeRle(source, writer, width, height, topDown, bitCount);
        return;
    }

    const uint8_t* data = source.GetBufferPtr(0);
    uint8_t* const* lines = picture.GetLineArray();
    const size_t pictureStride = size_t(picture.GetBytesPerLine());
    // Same depth, same row layout: the whole pixel block in one copy.
    if (!topDown && pictureStride == fileStride &&
        ((bitCount == 8 && !target32) || bitCount == 32)) {
        const size_t rowBytes = size_t(width) * size_t(bitCount) / 8;
        std::memcpy(picture.GetBits(), data, fileStride * size_t(height - 1) + rowBytes);
        source.Skip(std::min(source.GetRemaining(), fileStride * size_t(height)));
        return;
    }

    std::vector<uint8_t> indices(bitCount <= 8 ? size_t(width) : 0);
    for (int r = 0; r < height; ++r) {
        const uint8_t* in = data + size_t(r) * fileStride;
        uint8_t* out = lines[topDown ? r : height - 1 - r];
        switch (bitCount) {
        case 1:
        case 4:
        case 8: {
            uint8_t* idx = target32 ? indices.data() : out;
            if (bitCount == 8) {
                std::memcpy(idx, in, size_t(width));
            } else if (bitCount == 4) {
                for (int x = 0; x < width; ++x) idx[x] = (x & 1) ? in[x / 2] & 15 : in[x / 2] >> 4;
            } else {
                for (int x = 0; x < width; ++x) idx[x] = (in[x / 8] >> (7 - (x & 7))) & 1;
            }
            if (target32) writer.Put(topDown ? r : height - 1 - r, idx, width);
            break;
        }
        case 16: {
            auto* px = reinterpret_cast<RGBAPIXEL*>(out);
            const bool is555 = greenMask == 0x3E0 || compression != BI_BITFIELDS;
            for (int x = 0; x < width; ++x) {
                const unsigned v = unsigned(in[2 * x] | in[2 * x + 1] << 8);
                if (is555)
                    px[x] = {uint8_t(v << 3), uint8_t((v >> 2) & 0xF8), uint8_t((v >> 7) & 0xF8),
                             255};
                else
                    px[x] = {uint8_t(v << 3), uint8_t((v >> 3) & 0xF8), uint8_t((v >> 8) & 0xF8),
                             255};
            }
            break;
        }
        case 24: {
            auto* px = reinterpret_cast<uint32_t*>(out);
            int x = 0;
            // Four pixels from three words, while the source row has whole words left.
            for (; x + 4 <= width; x += 4) {
                uint32_t w[3];
                std::memcpy(w, in + 3 * x, 12);
                px[x] = w[0] | 0xFF000000u;
                px[x + 1] = (w[0] >> 24) | (w[1] << 8) | 0xFF000000u;
                px[x + 2] = (w[1] >> 16) | (w[2] << 16) | 0xFF000000u;
                px[x + 3] = (w[2] >> 8) | 0xFF000000u;
            }
            for (; x < width; ++x) {
                const uint8_t* s = in + 3 * x;
                px[x] = uint32_t(s[0]) | uint32_t(s[1]) << 8 | uint32_t(s[2]) << 16 | 0xFF000000u;
            }
            break;
        }
        case 32:
            std::memcpy(out, in, size_t(width) * 4);
            break;
        }
    }
    source.Skip(std::min(source.GetRemaining(), fileStride * size_t(height)));
}
