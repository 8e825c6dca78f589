#include <cstring>
#include <vector>

#include "imagefile/ImageError.h"
#include "imagefile/PictureDecoder.h"
#include "imagefile/TIFFCommon.h"

namespace {

// The TIFF data as the library sees it: a block of memory from the source, whose offsets are
// relative to its own start (which matters for the preview inside an EPS file).
struct TiffMemory {
    const uint8_t* data;
    toff_t size;
    toff_t pos;
};

tmsize_t TiffRead(thandle_t handle, void* buffer, tmsize_t size) {
    auto* m = static_cast<TiffMemory*>(handle);
    if (size <= 0 || m->pos >= m->size) return 0;
    const toff_t n = std::min<toff_t>(toff_t(size), m->size - m->pos);
    std::memcpy(buffer, m->data + m->pos, size_t(n));
    m->pos += n;
    return tmsize_t(n);
}
tmsize_t TiffNoWrite(thandle_t, void*, tmsize_t) {
    return 0;
}
toff_t TiffSeek(thandle_t handle, toff_t offset, int whence) {
    auto* m = static_cast<TiffMemory*>(handle);
    toff_t base = whence == SEEK_CUR ? m->pos : whence == SEEK_END ? m->size : 0;
    const toff_t target = base + offset;
    if (target > m->size && whence != SEEK_SET) return toff_t(-1);
    m->pos = target;
    return target;
}
int TiffClose(thandle_t) {
    return 0;
}
toff_t TiffSize(thandle_t handle) {
    return static_cast<TiffMemory*>(handle)->size;
}
int TiffMap(thandle_t handle, void** base, toff_t* size) {
    auto* m = static_cast<TiffMemory*>(handle);
    *base = const_cast<uint8_t*>(m->data);
    *size = m->size;
    return 1;
}
void TiffUnmap(thandle_t, void*, toff_t) {}

[[noreturn]] void RaiseTiffError(const TiffMessages& messages, const char* fallback) {
    RaiseImageError(CTextException::WrongSignature,
                    messages.lastError.empty() ? fallback : messages.lastError);
}

// Single-sample images of 1, 2, 4 or 8 bits: the picture keeps the indices and gets a
// palette from the photometric interpretation.
void DoLoColor(TIFF* tif, const TiffMessages& messages, CPicture& picture, int width, int height,
               int bits, int photometric) {
    const int pictureBpp = bits == 1 ? 1 : 8;
    picture.CreateForOverwrite(width, height, uint16_t(pictureBpp), false);
    const int n = 1 << bits;
    if (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) {
        // The ramp spans the values the file can hold, so 2- and 4-bit greys are not dark.
        for (int i = 0; i < n; ++i) {
            const uint8_t v = uint8_t(i * 255 / (n - 1));
            const uint8_t g = photometric == PHOTOMETRIC_MINISBLACK ? v : uint8_t(255 - v);
            picture.SetPaletteEntry(i, g, g, g);
        }
    } else {
        uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
        if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue))
            RaiseTiffError(messages, "Missing required \"Colormap\" tag.");
        // Some writers store 8-bit values in the 16-bit map.
        bool eightBit = true;
        for (int i = 0; i < n; ++i)
            if (red[i] >= 256 || green[i] >= 256 || blue[i] >= 256) eightBit = false;
        const int shift = eightBit ? 0 : 8;
        for (int i = 0; i < n; ++i)
            picture.SetPaletteEntry(i, uint8_t(red[i] >> shift), uint8_t(green[i] >> shift),
                                    uint8_t(blue[i] >> shift));
    }

    const tmsize_t scanlineSize = TIFFScanlineSize(tif);
    const size_t rowBytes = (size_t(width) * size_t(bits) + 7) / 8;
    if (scanlineSize <= 0 || size_t(scanlineSize) < rowBytes)
        RaiseTiffError(messages, "Bad scanline size.");
    std::vector<uint8_t> row(static_cast<size_t>(scanlineSize));
    uint8_t* const* lines = picture.GetLineArray();
    for (int y = 0; y < height; ++y) {
        if (TIFFReadScanline(tif, row.data(), uint32_t(y), 0) < 0)
            RaiseTiffError(messages, "Read error on scanline.");
        uint8_t* out = lines[y];
        switch (bits) {
        case 1:
        case 8:
            std::memcpy(out, row.data(), rowBytes);
            break;
        case 4:
            for (int x = 0; x < width; ++x)
                out[x] = (x & 1) ? row[size_t(x / 2)] & 15 : row[size_t(x / 2)] >> 4;
            break;
        case 2:
            for (int x = 0; x < width; ++x) out[x] = (row[size_t(x / 4)] >> (6 - 2 * (x & 3))) & 3;
            break;
        }
    }
}

} // namespace

void CTIFFDecoder::MakePicture(CDataSource& source, CPicture& picture, int) {
    size_t size = 0;
    const uint8_t* data = source.ReadEverything(&size);
    TiffMemory memory{data, toff_t(size), 0};
    TiffMessages messages;
    TiffOpenOptions options(&messages);
    TiffCloser closer{TIFFClientOpenExt(source.GetName().c_str(), "rm", &memory, TiffRead,
                                        TiffNoWrite, TiffSeek, TiffClose, TiffSize, TiffMap,
                                        TiffUnmap, options.get())};
    TIFF* tif = closer.tif;
    if (!tif) RaiseTiffError(messages, "Cannot read TIFF header.");

    uint32_t width = 0, height = 0;
    uint16_t samples = 1, bits = 1, photometric = PHOTOMETRIC_MINISWHITE;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    CheckPictureSize(width, height);

    CPictureWriteLock lock(picture);
    const bool loColor =
        samples == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8) &&
        (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK ||
         photometric == PHOTOMETRIC_PALETTE) &&
        !TIFFIsTiled(tif);
    if (loColor) {
        DoLoColor(tif, messages, picture, int(width), int(height), bits, photometric);
        return;
    }

    uint16_t extraCount = 0;
    uint16_t* extraTypes = nullptr;
    bool alpha = false;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes))
        for (int i = 0; i < extraCount; ++i)
            if (extraTypes[i] == EXTRASAMPLE_ASSOCALPHA || extraTypes[i] == EXTRASAMPLE_UNASSALPHA)
                alpha = true;

    char why[1024] = "";
    if (!TIFFRGBAImageOK(tif, why)) RaiseImageError(CTextException::WrongSignature, why);
    // A 32-bit picture's pixel block is exactly width * height words stored bottom row first,
    // which is what the reader produces with a bottom-left origin: no second buffer.
    picture.CreateForOverwrite(int(width), int(height), 32, alpha);
    auto* raster = reinterpret_cast<uint32_t*>(picture.GetBits());
    if (!TIFFReadRGBAImageOriented(tif, width, height, raster, ORIENTATION_BOTLEFT, 0))
        RaiseTiffError(messages, "Cannot read the image.");
    // The reader gives red in the lowest byte; pictures keep blue there.
    const size_t count = size_t(width) * height;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t v = raster[i];
        raster[i] = (v & 0xFF00FF00u) | (v & 0xFF) << 16 | ((v >> 16) & 0xFF);
    }
}
