#include <algorithm>
#include <cstring>
#include <vector>

#include "imagefile/ByteOrder.h"
#include "imagefile/ImageError.h"
#include "imagefile/PictureDecoder.h"

namespace {

// The 16 colours files without a header palette were drawn with.
constexpr uint8_t kDefaultColours[16][3] = {
    {0, 0, 0},     {0, 0, 170},     {0, 170, 0},    {0, 170, 170},   {170, 0, 0},   {170, 0, 170},
    {170, 85, 0},  {170, 170, 170}, {85, 85, 85},   {85, 85, 255},   {85, 255, 85}, {85, 255, 255},
    {255, 85, 85}, {255, 85, 255},  {255, 255, 85}, {255, 255, 255},
};

} // namespace

void CPCXDecoder::MakePicture(CDataSource& source, CPicture& picture, int wantedBpp) {
    const uint8_t* h = source.ReadNBytes(128);
    if (h[0] != 10)
        RaiseImageError(CTextException::WrongSignature, "Error decoding pcx: Not a PCX file.");
    if (h[2] != 1)
        RaiseImageError(CTextException::WrongSignature, "File has unknown encoding scheme.");
    const int version = h[1];
    const int bitsPerPixel = h[3];
    const int64_t width = int64_t(LE16(h + 8)) - LE16(h + 4) + 1;
    const int64_t height = int64_t(LE16(h + 10)) - LE16(h + 6) + 1;
    const int planes = h[65];
    const size_t bytesPerLine = LE16(h + 66);

    const bool planar1 = bitsPerPixel == 1 && planes >= 1 && planes <= 4;
    const bool packed =
        (bitsPerPixel == 2 || bitsPerPixel == 4 || bitsPerPixel == 8) && planes == 1;
    const bool rgb = bitsPerPixel == 8 && planes == 3;
    if (bitsPerPixel == 1 && planes > 4)
        RaiseImageError(CTextException::Malformed, "Can't handle image with more than 4 planes.");
    if (!planar1 && !packed && !rgb)
        RaiseImageError(CTextException::Malformed,
                        "Can't handle bits per pixel image with planes.");
    CheckPictureSize(width, height);
    // Each plane's line must hold the whole width, or pixels would be read from the next one.
    if (bytesPerLine * 8 < size_t(width) * size_t(bitsPerPixel))
        RaiseImageError(CTextException::Malformed, "PCX line is shorter than the image width.");

    const size_t scanBytes = bytesPerLine * size_t(planes);
    // A run codes at most 63 bytes in two: a size the data cannot fill is refused before the
    // picture is made.
    if (scanBytes * size_t(height) / 63 > source.GetRemaining())
        RaiseImageError(CTextException::EndOfData, "End of file reached while decoding.\n");

    std::vector<RGBAPIXEL> palette(256, RGBAPIXEL{0, 0, 0, 255});
    if (bitsPerPixel == 8 && planes == 1) {
        // The 256-colour map closes the file, after the byte 12.
        const size_t size = source.GetFileSize();
        if (size < source.GetPosition() + 769)
            RaiseImageError(CTextException::PcxFeature, "bad color map signature.");
        const size_t here = source.GetPosition();
        source.Seek(size - 769);
        const uint8_t* map = source.ReadNBytes(769);
        if (map[0] != 12) RaiseImageError(CTextException::PcxFeature, "bad color map signature.");
        for (int i = 0; i < 256; ++i)
            palette[size_t(i)] = {map[1 + 3 * i + 2], map[1 + 3 * i + 1], map[1 + 3 * i], 255};
        source.Seek(here);
    } else if (!rgb) {
        const uint8_t* map = h + 16;
        const bool empty = std::all_of(map, map + 48, [](uint8_t b) { return b == 0; });
        if (bitsPerPixel * planes == 1 && (empty || std::memcmp(map, map + 3, 3) == 0)) {
            // Monochrome files often leave the palette empty: black on white is meant.
            palette[0] = {0, 0, 0, 255};
            palette[1] = {255, 255, 255, 255};
        } else if (empty || version == 3) {
            for (int i = 0; i < 16; ++i)
                palette[size_t(i)] = {kDefaultColours[i][2], kDefaultColours[i][1],
                                      kDefaultColours[i][0], 255};
        } else {
            for (int i = 0; i < 16; ++i)
                palette[size_t(i)] = {map[3 * i + 2], map[3 * i + 1], map[3 * i], 255};
        }
    }

    const bool target32 = rgb || wantedBpp == 32;
    picture.Create(int(width), int(height), target32 ? 32 : 8, false);
    CPictureWriteLock lock(picture);
    if (!target32) picture.SetPalette(palette.data(), 256);

    // Runs may carry on from one line into the next, but never past the last one.
    std::vector<uint8_t> scan(scanBytes);
    std::vector<uint8_t> indices{};
    indices.resize(size_t(width));
    size_t pending = 0; // bytes of a run left for the next line
    uint8_t pendingValue = 0;
    uint8_t* const* lines = picture.GetLineArray();
    for (int64_t y = 0; y < height; ++y) {
        const uint8_t* const start = source.GetBufferPtr(0);
        const uint8_t* const end = start + source.GetRemaining();
        const uint8_t* in = start;
        size_t filled = 0;
        while (filled < scanBytes) {
            if (pending) {
                const size_t n = std::min(pending, scanBytes - filled);
                std::memset(&scan[filled], pendingValue, n);
                filled += n;
                pending -= n;
                continue;
            }
            if (in == end)
                RaiseImageError(CTextException::EndOfData, "End of file reached while decoding.\n");
            const uint8_t b = *in++;
            if (b < 0xC0) {
                scan[filled++] = b;
                continue;
            }
            if (in == end)
                RaiseImageError(CTextException::EndOfData, "End of file reached while decoding.\n");
            pending = b & 0x3F;
            pendingValue = *in++;
        }
        source.Skip(size_t(in - start));
        if (pending && y == height - 1)
            RaiseImageError(CTextException::PcxFeature, "repeat count spans end of image.");

        uint8_t* out = lines[y];
        if (rgb) {
            const uint8_t* r = scan.data();
            const uint8_t* g = r + bytesPerLine;
            const uint8_t* b = g + bytesPerLine;
            auto* px = reinterpret_cast<uint32_t*>(out);
            for (int64_t x = 0; x < width; ++x)
                px[x] = uint32_t(b[x]) | uint32_t(g[x]) << 8 | uint32_t(r[x]) << 16 | 0xFF000000u;
            continue;
        }
        uint8_t* idx = target32 ? indices.data() : out;
        if (bitsPerPixel == 8) {
            std::memcpy(idx, scan.data(), size_t(width));
        } else if (bitsPerPixel == 1) {
            for (int64_t x = 0; x < width; ++x) {
                unsigned v = 0;
                for (int p = 0; p < planes; ++p)
                    v |= unsigned((scan[size_t(p) * bytesPerLine + size_t(x / 8)] >> (7 - x % 8)) &
                                  1)
                         << p;
                idx[x] = uint8_t(v);
            }
        } else {
            const int perByte = 8 / bitsPerPixel;
            const unsigned mask = (1u << bitsPerPixel) - 1;
            for (int64_t x = 0; x < width; ++x) {
                const int shift = 8 - bitsPerPixel * (int(x % perByte) + 1);
                idx[x] = uint8_t((scan[size_t(x / perByte)] >> shift) & mask);
            }
        }
        if (target32) {
            auto* px = reinterpret_cast<RGBAPIXEL*>(out);
            for (int64_t x = 0; x < width; ++x) px[x] = palette[idx[x]];
        }
    }
}
