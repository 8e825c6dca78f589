#include <cstring>

#include "imagefile/ByteOrder.h"
#include "imagefile/ImageError.h"
#include "imagefile/PictureDecoder.h"

namespace {

bool IsSeparator(uint8_t c) {
    return c == ' ' || c == '\r' || c == '\n' || c == '\t';
}

// Reads the decimal numbers of the header and of text samples, skipping separators and
// comments ("#" to the end of the line).
class NumberReader {
public:
    explicit NumberReader(CDataSource& source) : m_source(source) {}

    // Returns false at the end of the data.
    bool SkipToNumber() {
        while (m_source.GetRemaining() > 0) {
            const uint8_t c = *m_source.GetBufferPtr(1);
            if (c == '#') {
                while (m_source.GetRemaining() > 0 && m_source.ReadByte() != '\n') {
                }
            } else if (IsSeparator(c)) {
                m_source.Skip(1);
            } else {
                return true;
            }
        }
        return false;
    }

    // The next number; anything else is not a greymap.
    uint32_t Next() {
        if (!SkipToNumber())
            RaiseImageError(CTextException::EndOfData, "End of file reached while decoding.\n");
        uint64_t value = 0;
        int digits = 0;
        while (m_source.GetRemaining() > 0) {
            const uint8_t c = *m_source.GetBufferPtr(1);
            if (c < '0' || c > '9') break;
            m_source.Skip(1);
            if (value < 0xFFFFFFFFu) value = value * 10 + (c - '0');
            ++digits;
        }
        if (digits == 0) RaiseImageError(CTextException::Malformed, "Unknown PGM image type.");
        return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(value);
    }

private:
    CDataSource& m_source;
};

} // namespace

void CPGMDecoder::MakePicture(CDataSource& source, CPicture& picture, int wantedBpp) {
    const uint8_t* magic = source.ReadNBytes(2);
    if (magic[0] != 'P' || (magic[1] != '2' && magic[1] != '5'))
        RaiseImageError(CTextException::Malformed,
                        "PGM decoder: Is not the correct identifier P5 or P2.");
    const bool binary = magic[1] == '5';
    NumberReader numbers(source);
    const uint32_t width = numbers.Next();
    const uint32_t height = numbers.Next();
    uint32_t maxValue = numbers.Next();
    // One separator ends the header; binary samples start right after it.
    if (source.GetRemaining() > 0 && IsSeparator(*source.GetBufferPtr(1))) source.Skip(1);
    // Samples above 255 take two bytes each in binary files; reading them as one byte would
    // shear the picture, so they are scaled down to 8 bits instead.
    const bool wide = maxValue > 255 && maxValue <= 65535;
    if (maxValue < 1 || maxValue > 65535) maxValue = 255;

    CheckPictureSize(width, height);
    const size_t sampleBytes = wide ? 2 : 1;
    if (binary && size_t(width) * height * sampleBytes > source.GetRemaining())
        RaiseImageError(CTextException::EndOfData, "End of file reached while decoding.\n");
    // Every text sample takes a digit and a separator: a size the data cannot fill is refused
    // before the picture is made.
    if (!binary && uint64_t(width) * height > source.GetRemaining() / 2 + 1)
        RaiseImageError(CTextException::EndOfData, "End of file reached while decoding.\n");

    const bool target32 = wantedBpp == 32;
    picture.Create(int(width), int(height), target32 ? 32 : 8, false);
    CPictureWriteLock lock(picture);

    uint8_t scale[256];
    for (uint32_t v = 0; v < 256; ++v) scale[v] = uint8_t(v >= maxValue ? 255 : v * 255 / maxValue);
    const auto toGrey = [&](uint32_t v) -> uint8_t {
        if (!wide) return scale[v > 255 ? 255 : v];
        return uint8_t(v >= maxValue ? 255 : uint64_t(v) * 255 / maxValue);
    };

    uint8_t* const* lines = picture.GetLineArray();
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* out = lines[y];
        const uint8_t* in = binary ? source.ReadNBytes(size_t(width) * sampleBytes) : nullptr;
        for (uint32_t x = 0; x < width; ++x) {
            uint32_t v;
            if (!binary)
                v = numbers.Next();
            else if (wide)
                v = BE16(in + 2 * x);
            else
                v = in[x];
            const uint8_t g = toGrey(v);
            if (target32) {
                const uint32_t px = 0xFF000000u | uint32_t(g) * 0x010101u;
                std::memcpy(out + 4 * x, &px, 4);
            } else {
                out[x] = g;
            }
        }
    }
}
