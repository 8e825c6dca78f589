#include <cstring>

#include "imagefile/ByteOrder.h"
#include "imagefile/PictureEncoder.h"

void CBMPEncoder::DoEncode(CFileSink& sink, const CPicture& picture) {
    const int width = picture.GetWidth(), height = picture.GetHeight();
    const int bpp = picture.GetBitsPerPixel();
    const bool indexed = bpp <= 8;
    const uint32_t paletteBytes = indexed ? 4u << bpp : 0;
    const uint32_t pixelOffset = 54 + paletteBytes;
    const size_t fileStride =
        indexed ? size_t(picture.GetBytesPerLine()) : (size_t(width) * 3 + 3) & ~size_t(3);

    uint8_t header[54] = {};
    header[0] = 'B';
    header[1] = 'M';
    PutLE32(header + 2, uint32_t(pixelOffset + fileStride * size_t(height)));
    PutLE32(header + 10, pixelOffset);
    PutLE32(header + 14, 40);
    PutLE32(header + 18, uint32_t(width));
    PutLE32(header + 22, uint32_t(height));
    PutLE16(header + 26, 1);
    PutLE16(header + 28, indexed ? unsigned(bpp) : 24);
    sink.WriteNBytes(header, sizeof header);
    if (indexed) sink.WriteNBytes(picture.GetPalette(), paletteBytes);

    // Rows as stored in a picture are already bottom row first.
    uint8_t* const* lines = picture.GetLineArray();
    for (int y = height - 1; y >= 0; --y) {
        uint8_t* out = sink.Reserve(fileStride);
        if (indexed) {
            std::memcpy(out, lines[y], fileStride);
        } else {
            const uint8_t* in = lines[y];
            for (int x = 0; x < width; ++x, in += 4, out += 3) {
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
            }
            for (size_t pad = size_t(width) * 3; pad < fileStride; ++pad) *out++ = 0;
        }
        sink.Commit(fileStride);
    }
}
