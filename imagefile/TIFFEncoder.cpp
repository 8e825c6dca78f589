#include <algorithm>
#include <cstring>
#include <vector>

#include "imagefile/ImageError.h"
#include "imagefile/PictureEncoder.h"
#include "imagefile/TIFFCommon.h"

namespace {

// The library writes, seeks and may read back; all of it happens in the sink's memory.
struct TiffSinkIo {
    CFileSink* sink;
    toff_t pos;
    bool overflow;
};

tmsize_t SinkWrite(thandle_t handle, void* data, tmsize_t size) {
    auto* io = static_cast<TiffSinkIo*>(handle);
    CFileSink& sink = *io->sink;
    if (size < 0 || io->pos > sink.GetCapacity() || size_t(size) > sink.GetCapacity() - io->pos) {
        io->overflow = true;
        return 0;
    }
    if (io->pos > sink.GetSize())
        std::memset(sink.GetData() + sink.GetSize(), 0, size_t(io->pos - sink.GetSize()));
    std::memcpy(sink.GetData() + io->pos, data, size_t(size));
    io->pos += toff_t(size);
    sink.SetSize(std::max<size_t>(sink.GetSize(), size_t(io->pos)));
    return size;
}
tmsize_t SinkRead(thandle_t handle, void* data, tmsize_t size) {
    auto* io = static_cast<TiffSinkIo*>(handle);
    const size_t have = io->sink->GetSize();
    if (size <= 0 || io->pos >= have) return 0;
    const size_t n = std::min(size_t(size), have - size_t(io->pos));
    std::memcpy(data, io->sink->GetData() + io->pos, n);
    io->pos += n;
    return tmsize_t(n);
}
toff_t SinkSeek(thandle_t handle, toff_t offset, int whence) {
    auto* io = static_cast<TiffSinkIo*>(handle);
    const toff_t base = whence == SEEK_CUR ? io->pos : whence == SEEK_END ? io->sink->GetSize() : 0;
    io->pos = base + offset;
    return io->pos;
}
int SinkClose(thandle_t) {
    return 0;
}
toff_t SinkSize(thandle_t handle) {
    return static_cast<TiffSinkIo*>(handle)->sink->GetSize();
}
int NoMap(thandle_t, void**, toff_t*) {
    return 0;
}
void NoUnmap(thandle_t, void*, toff_t) {}

using Bytes16 = uint8_t __attribute__((vector_size(16)));

// B, G, R, X pixels to R, G, B samples, four pixels to a shuffle.
[[gnu::target_clones("avx2", "default")]] void BgrxToRgb(const uint8_t* in, uint8_t* out,
                                                         int width) {
    int x = 0;
    for (; x + 4 <= width; x += 4, in += 16, out += 12) {
        Bytes16 v;
        std::memcpy(&v, in, 16);
        const Bytes16 rgb =
            __builtin_shufflevector(v, v, 2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, 15, 15, 15, 15);
        std::memcpy(out, &rgb, 12);
    }
    for (; x < width; ++x, in += 4, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
    }
}

} // namespace

void CTIFFEncoder::DoEncode(CFileSink& sink, const CPicture& picture) {
    TiffSinkIo io{&sink, 0, false};
    TiffMessages messages;
    TiffOpenOptions options(&messages);
    TiffCloser closer{TIFFClientOpenExt("output", "w", &io, SinkRead, SinkWrite, SinkSeek,
                                        SinkClose, SinkSize, NoMap, NoUnmap, options.get())};
    TIFF* tif = closer.tif;
    auto fail = [&]() {
        if (io.overflow)
            RaiseImageError(CTextException::EndOfData, "Buffer overflow while encoding.\n");
        RaiseImageError(CTextException::WrongSignature,
                        messages.lastError.empty() ? "TIFF writing failed." : messages.lastError);
    };
    if (!tif) fail();

    const int width = picture.GetWidth(), height = picture.GetHeight();
    const int bpp = picture.GetBitsPerPixel();
    const RGBAPIXEL* palette = picture.GetPalette();
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(bpp <= 8 ? bpp : 8));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(bpp <= 8 ? 1 : 3));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    std::vector<uint16_t> colourMap;
    if (bpp == 1) {
        const bool blackIsZero = palette[0].r < palette[1].r && palette[0].g < palette[1].g &&
                                 palette[0].b < palette[1].b;
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
                     uint16_t(blackIsZero ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_MINISWHITE));
    } else if (bpp == 8) {
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_PALETTE));
        // The palette's 8-bit values go in as they are; readers recognise such maps.
        colourMap.resize(768);
        for (int i = 0; i < 256; ++i) {
            colourMap[size_t(i)] = palette[i].r;
            colourMap[size_t(256 + i)] = palette[i].g;
            colourMap[size_t(512 + i)] = palette[i].b;
        }
        TIFFSetField(tif, TIFFTAG_COLORMAP, colourMap.data(), colourMap.data() + 256,
                     colourMap.data() + 512);
    } else {
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(PHOTOMETRIC_RGB));
    }
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    uint32_t rowsPerStrip = 0;
    TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, uint32_t(height));

    // Uncompressed strips are handed over whole, made straight from the picture's rows: the
    // library would otherwise copy every row once more into a strip of its own.
    const size_t rowBytes = bpp == 32 ? size_t(width) * 3 : (size_t(width) * size_t(bpp) + 7) / 8;
    std::vector<uint8_t> strip(rowBytes * rowsPerStrip);
    uint8_t* const* lines = picture.GetLineArray();
    for (uint32_t first = 0, index = 0; first < uint32_t(height); first += rowsPerStrip, ++index) {
        const uint32_t rows = std::min(rowsPerStrip, uint32_t(height) - first);
        for (uint32_t r = 0; r < rows; ++r) {
            const uint8_t* in = lines[first + r];
            uint8_t* out = strip.data() + r * rowBytes;
            if (bpp == 32) {
                BgrxToRgb(in, out, width);
            } else {
                std::memcpy(out, in, rowBytes);
            }
        }
        if (TIFFWriteRawStrip(tif, index, strip.data(), tmsize_t(rows * rowBytes)) < 0) fail();
    }
    if (!TIFFWriteDirectory(tif)) fail();
    // Closing flushes the last of it into the sink.
    TIFFClose(tif);
    closer.tif = nullptr;
    if (io.overflow) fail();
}
