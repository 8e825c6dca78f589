#include <memory>
#include <vector>

#include <gif_lib.h>

#include "imagefile/ImageError.h"
#include "imagefile/PictureEncoder.h"

namespace {

int SinkWrite(GifFileType* gif, const GifByteType* data, int length) {
    auto* sink = static_cast<CFileSink*>(gif->UserData);
    return int(sink->WriteSome(data, size_t(length)));
}

// The library's failures are printed for the developer and, unlike a silent broken file,
// reported to the caller.
[[noreturn]] void RaiseGifError(int error) {
    const char* text = GifErrorString(error);
    if (!text) text = "GIF encoding failed";
    ImageDiagnostic("\nGIF-LIB error: %s.\n", text);
    RaiseImageError(CTextException::NotSupported, text);
}

struct MapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

} // namespace

void CGIFEncoder::DoEncode(CFileSink& sink, const CPicture& source) {
    CDibPicture copy;
    const CPicture* picture = &source;
    if (source.GetBitsPerPixel() != 32) {
        copy.CopyWithDepth(source, 32);
        picture = &copy;
    }
    const int width = picture->GetWidth(), height = picture->GetHeight();
    const size_t count = size_t(width) * size_t(height);

    // Red, green and blue planes for the quantiser, then its indices, all in one block.
    std::vector<GifByteType> planes(count * 4);
    GifByteType *red = planes.data(), *green = red + count, *blue = green + count;
    GifByteType* indices = blue + count;
    uint8_t* const* lines = picture->GetLineArray();
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = lines[y];
        const size_t base = size_t(y) * size_t(width);
        for (int x = 0; x < width; ++x, in += 4) {
            blue[base + size_t(x)] = in[0];
            green[base + size_t(x)] = in[1];
            red[base + size_t(x)] = in[2];
        }
    }
    int mapSize = 256;
    GifColorType colours[256] = {};
    if (GifQuantizeBuffer(unsigned(width), unsigned(height), &mapSize, red, green, blue, indices,
                          colours) == GIF_ERROR)
        RaiseImageError(CTextException::OutOfMemory, "Out of memory.");
    std::unique_ptr<ColorMapObject, MapDeleter> map(GifMakeMapObject(256, colours));
    if (!map) RaiseImageError(CTextException::OutOfMemory, "Out of memory.");

    int error = 0;
    GifFileType* gif = EGifOpen(&sink, SinkWrite, &error);
    if (!gif) RaiseGifError(error);
    struct Closer {
        GifFileType* gif;
        ~Closer() {
            int ignored = 0;
            if (gif) EGifCloseFile(gif, &ignored);
        }
    } closer{gif};

    if (EGifPutScreenDesc(gif, width, height, 8, 0, map.get()) == GIF_ERROR ||
        EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_ERROR)
        RaiseGifError(gif->Error);
    for (int y = 0; y < height; ++y)
        if (EGifPutLine(gif, indices + size_t(y) * size_t(width), width) == GIF_ERROR)
            RaiseGifError(gif->Error);
    closer.gif = nullptr;
    if (EGifCloseFile(gif, &error) == GIF_ERROR) RaiseGifError(error);
}
