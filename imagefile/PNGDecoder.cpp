#include <csetjmp>
#include <cstring>

#include <png.h>

#include "imagefile/ImageError.h"
#include "imagefile/PictureDecoder.h"

namespace {

// Shared with libpng's callbacks. The callbacks never throw through the library: they keep
// the text and jump back to DecodeInto's setjmp.
struct PngReadState {
    CDataSource* source;
    int code;
    char message[256];
};

void PngError(png_structp png, png_const_charp text) {
    auto* state = static_cast<PngReadState*>(png_get_error_ptr(png));
    if (state->code == 0) {
        state->code = CTextException::Malformed;
        std::snprintf(state->message, sizeof state->message, "%s", text);
    }
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

void PngRead(png_structp png, png_bytep out, size_t length) {
    auto* state = static_cast<PngReadState*>(png_get_io_ptr(png));
    const uint8_t* data = nullptr;
    if (!state->source->TryRead(length, &data)) {
        state->code = CTextException::EndOfData;
        std::snprintf(state->message, sizeof state->message, "%s",
                      "End of file reached while decoding.\n");
        png_longjmp(png, 1);
    }
    std::memcpy(out, data, length);
}

// The only frame libpng may jump out of; it holds nothing that needs destroying.
bool DecodeInto(png_structp png, png_infop info, CPicture* picture) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlace, nullptr, nullptr);
    CheckPictureSize(width, height);

    if (bitDepth == 16) png_set_strip_16(png);
    if (bitDepth < 8) png_set_packing(png);
    int bpp = 8;
    bool alpha = false;
    switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_PALETTE:
        break;
    case PNG_COLOR_TYPE_RGB:
        bpp = 32;
        png_set_bgr(png);
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
        break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        bpp = 32;
        alpha = true;
        png_set_gray_to_rgb(png);
        break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        bpp = 32;
        alpha = true;
        png_set_bgr(png);
        break;
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    picture->CreateForOverwrite(int(width), int(height), uint16_t(bpp), alpha);
    if (colourType == PNG_COLOR_TYPE_GRAY) {
        // A ramp over the values the file can hold: 2^depth of them, 256 once 16-bit samples
        // are reduced.
        const int n = bitDepth >= 8 ? 256 : 1 << bitDepth;
        for (int i = 0; i < n; ++i) {
            const uint8_t v = uint8_t(i * 255 / (n - 1));
            picture->SetPaletteEntry(i, v, v, v);
        }
    } else if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp entries = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &entries, &count) & PNG_INFO_PLTE) {
            for (int i = 0; i < count && i < 256; ++i)
                picture->SetPaletteEntry(i, entries[i].red, entries[i].green, entries[i].blue);
        }
    }
    png_read_image(png, picture->GetLineArray());
    png_read_end(png, nullptr);
    return true;
}

struct PngReadGuard {
    png_structp png;
    png_infop info;
    ~PngReadGuard() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

} // namespace

void CPNGDecoder::MakePicture(CDataSource& source, CPicture& picture, int) {
    PngReadState state{&source, 0, {}};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, PngError, PngWarning);
    if (!png) RaiseImageError(CTextException::OutOfMemory, "Out of memory.");
    PngReadGuard guard{png, nullptr};
    guard.info = png_create_info_struct(png);
    if (!guard.info) RaiseImageError(CTextException::OutOfMemory, "Out of memory.");
    png_set_read_fn(png, &state, PngRead);
#ifdef PNG_IGNORE_ADLER32
    // Every chunk's CRC already guards the compressed bytes; the stream's own checksum over
    // the inflated bytes would cost a tenth of the decode and catch nothing more.
    png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif

    CPictureWriteLock lock(picture);
    if (!DecodeInto(png, guard.info, &picture)) RaiseImageError(state.code, state.message);
}
