#include <csetjmp>
#include <cstdio>

#include <png.h>

#include "imagefile/ImageError.h"
#include "imagefile/PictureEncoder.h"

namespace {

struct PngWriteState {
    CFileSink* sink;
    char message[256];
};

void PngError(png_structp png, png_const_charp text) {
    auto* state = static_cast<PngWriteState*>(png_get_error_ptr(png));
    if (state->message[0] == '\0') std::snprintf(state->message, sizeof state->message, "%s", text);
    png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

void PngWrite(png_structp png, png_bytep data, size_t length) {
    auto* state = static_cast<PngWriteState*>(png_get_io_ptr(png));
    if (state->sink->WriteSome(data, length) != length) {
        std::snprintf(state->message, sizeof state->message, "Error writting file");
        png_longjmp(png, 1);
    }
}
void PngFlush(png_structp) {}

bool IsGrey(const RGBAPIXEL& p, uint8_t v) {
    return p.r == v && p.g == v && p.b == v;
}

// The only frame libpng may jump out of; nothing in it needs destroying.
bool EncodeFrom(png_structp png, png_infop info, const CPicture* picture) {
    if (setjmp(png_jmpbuf(png))) return false;
    const png_uint_32 width = png_uint_32(picture->GetWidth());
    const png_uint_32 height = png_uint_32(picture->GetHeight());
    const RGBAPIXEL* palette = picture->GetPalette();
    png_color_8 sigBit{};
    switch (picture->GetBitsPerPixel()) {
    case 1: {
        // Grey keeps black as 0 and white as 1; a picture with the opposite palette is written
        // inverted, and one with other colours as a two-entry palette, so colours survive.
        const bool blackWhite = IsGrey(palette[0], 0) && IsGrey(palette[1], 255);
        const bool whiteBlack = IsGrey(palette[0], 255) && IsGrey(palette[1], 0);
        if (blackWhite || whiteBlack) {
            png_set_IHDR(png, info, width, height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                         PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
            if (whiteBlack) png_set_invert_mono(png);
            sigBit.gray = 1;
        } else {
            png_set_IHDR(png, info, width, height, 1, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                         PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
            png_color entries[2];
            for (int i = 0; i < 2; ++i) entries[i] = {palette[i].r, palette[i].g, palette[i].b};
            png_set_PLTE(png, info, entries, 2);
            sigBit.red = sigBit.green = sigBit.blue = 8;
        }
        break;
    }
    case 8: {
        png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_color entries[256];
        for (int i = 0; i < 256; ++i) entries[i] = {palette[i].r, palette[i].g, palette[i].b};
        png_set_PLTE(png, info, entries, 256);
        sigBit.red = sigBit.green = sigBit.blue = 8;
        break;
    }
    default:
        png_set_IHDR(png, info, width, height, 8,
                     picture->HasAlpha() ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        sigBit.red = sigBit.green = sigBit.blue = 8;
        sigBit.alpha = picture->HasAlpha() ? 8 : 0;
        break;
    }
    png_set_sBIT(png, info, &sigBit);
    png_write_info(png, info);
    if (picture->GetBitsPerPixel() == 32) {
        png_set_bgr(png);
        if (!picture->HasAlpha()) png_set_filler(png, 0, PNG_FILLER_AFTER);
    }
    uint8_t* const* lines = picture->GetLineArray();
    for (png_uint_32 y = 0; y < height; ++y) png_write_row(png, lines[y]);
    png_write_end(png, info);
    return true;
}

struct PngWriteGuard {
    png_structp png;
    png_infop info;
    ~PngWriteGuard() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

} // namespace

void CPNGEncoder::DoEncode(CFileSink& sink, const CPicture& picture) {
    PngWriteState state{&sink, {}};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, PngError, PngWarning);
    if (!png) RaiseImageError(CTextException::OutOfMemory, "Out of memory.");
    PngWriteGuard guard{png, nullptr};
    guard.info = png_create_info_struct(png);
    if (!guard.info) RaiseImageError(CTextException::OutOfMemory, "Out of memory.");
    png_set_write_fn(png, &state, PngWrite, PngFlush);
    if (!EncodeFrom(png, guard.info, &picture))
        RaiseImageError(CTextException::NotSupported, state.message);
}
