#include <cstring>

#include <gif_lib.h>

#include "imagefile/ImageError.h"
#include "imagefile/PictureDecoder.h"

namespace {

int GifRead(GifFileType* gif, GifByteType* buffer, int length) {
    auto* source = static_cast<CDataSource*>(gif->UserData);
    const size_t n = std::min(size_t(length > 0 ? length : 0), source->GetRemaining());
    const uint8_t* data = nullptr;
    if (n == 0 || !source->TryRead(n, &data)) return 0;
    std::memcpy(buffer, data, n);
    return int(n);
}

struct GifCloser {
    GifFileType* gif;
    ~GifCloser() {
        int error = 0;
        if (gif) DGifCloseFile(gif, &error);
    }
};

[[noreturn]] void RaiseGifError(int error) {
    const char* text = GifErrorString(error);
    RaiseImageError(CTextException::Malformed, text ? text : "GIF decoding failed.");
}

void SetPaletteFromMap(CPicture& picture, const ColorMapObject* map) {
    for (int i = 0; i < map->ColorCount && i < 256; ++i)
        picture.SetPaletteEntry(i, map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
}

} // namespace

void CGIFDecoder::MakePicture(CDataSource& source, CPicture& picture, int) {
    int error = 0;
    GifCloser closer{DGifOpen(&source, GifRead, &error)};
    GifFileType* gif = closer.gif;
    if (!gif) RaiseGifError(error);

    const int screenWidth = gif->SWidth, screenHeight = gif->SHeight;
    CheckPictureSize(screenWidth, screenHeight);
    CPictureWriteLock lock(picture);
    picture.Create(screenWidth, screenHeight, 8, false);
    std::memset(picture.GetLineArray()[0], gif->SBackGroundColor & 0xFF, size_t(screenWidth));
    if (gif->SColorMap) SetPaletteFromMap(picture, gif->SColorMap);

    uint8_t* const* lines = picture.GetLineArray();
    // A file that simply ends keeps what was drawn so far, as JPEG does.
    auto cutShort = [&] {
        return gif->Error == D_GIF_ERR_READ_FAILED && source.GetRemaining() == 0;
    };
    for (int imageNumber = 1;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
            // Many writers leave out the trailer; what was drawn is the picture.
            if (cutShort()) break;
            RaiseGifError(gif->Error);
        }
        if (type == TERMINATE_RECORD_TYPE) break;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) RaiseGifError(gif->Error);
            while (block)
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) RaiseGifError(gif->Error);
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) continue;

        if (DGifGetImageDesc(gif) == GIF_ERROR) RaiseGifError(gif->Error);
        const GifImageDesc& d = gif->Image;
        if (d.Left < 0 || d.Top < 0 || d.Width <= 0 || d.Height <= 0 ||
            d.Left + d.Width > screenWidth || d.Top + d.Height > screenHeight) {
            ImageDiagnostic("Image %d is not confined to screen dimension, aborted.\n",
                            imageNumber);
            break;
        }
        // The library frees a local map with the next record: take the colours now.
        if (const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap)
            SetPaletteFromMap(picture, map);

        bool truncated = false;
        auto readRow = [&](int row) {
            if (truncated) return;
            if (DGifGetLine(gif, lines[d.Top + row] + d.Left, d.Width) == GIF_ERROR) {
                if (!cutShort()) RaiseGifError(gif->Error);
                truncated = true;
            }
        };
        if (d.Interlace) {
            static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int row = kStart[pass]; row < d.Height; row += kStep[pass]) readRow(row);
        } else {
            for (int row = 0; row < d.Height; ++row) readRow(row);
        }
        if (truncated) break;
        ++imageNumber;
    }
}
