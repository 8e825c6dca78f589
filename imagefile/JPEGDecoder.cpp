#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "imagefile/ImageError.h"
#include "imagefile/JPEGCommon.h"
#include "imagefile/PictureDecoder.h"

namespace {

// The whole compressed stream is handed to the library at once; running out means the file
// was cut short, and a fake end marker lets the library finish with what it has, as every
// JPEG reader does.
void InitSource(j_decompress_ptr) {}
boolean FillInputBuffer(j_decompress_ptr cinfo) {
    static const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};
    WARNMS(cinfo, JWRN_JPEG_EOF);
    cinfo->src->next_input_byte = kEndOfImage;
    cinfo->src->bytes_in_buffer = 2;
    return TRUE;
}
void SkipInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    if (size_t(count) > cinfo->src->bytes_in_buffer) {
        FillInputBuffer(cinfo);
        return;
    }
    cinfo->src->next_input_byte += count;
    cinfo->src->bytes_in_buffer -= size_t(count);
}
void TermSource(j_decompress_ptr) {}

// Adobe writes CMYK inverted; the library hands back what is stored.
void CmykRowToBgra(const uint8_t* in, uint8_t* out, int width, bool inverted) {
    for (int x = 0; x < width; ++x, in += 4, out += 4) {
        int c = in[0], m = in[1], y = in[2], k = in[3];
        if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        out[0] = uint8_t(y * k / 255);
        out[1] = uint8_t(m * k / 255);
        out[2] = uint8_t(c * k / 255);
        out[3] = 255;
    }
}

// Everything the library may jump out of lives in this frame, which holds nothing that
// needs destroying; errors come back as false with the text in the error manager. A C++
// exception from Create passes through normally and the caller's guard frees the library.
bool DecodeInto(jpeg_decompress_struct* cinfo, JpegErrorManager* err, CPicture* picture,
                int wantedBpp, std::vector<uint8_t>* cmykBuffer) {
    if (setjmp(err->jump)) return false;
    jpeg_read_header(cinfo, TRUE);
    cinfo->dct_method = JDCT_FLOAT;
    cinfo->do_fancy_upsampling = FALSE;
    const bool grey = cinfo->jpeg_color_space == JCS_GRAYSCALE;
    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    if (cmyk)
        cinfo->out_color_space = JCS_CMYK;
    else if (grey && wantedBpp != 32)
        cinfo->out_color_space = JCS_GRAYSCALE;
    else
        cinfo->out_color_space = JCS_EXT_BGRA;
    jpeg_calc_output_dimensions(cinfo);
    CheckPictureSize(cinfo->output_width, cinfo->output_height);
    const int width = int(cinfo->output_width), height = int(cinfo->output_height);
    picture->CreateForOverwrite(width, height, cinfo->out_color_space == JCS_GRAYSCALE ? 8 : 32,
                                false);
    uint8_t* cmykRow = nullptr;
    if (cmyk) {
        cmykBuffer->resize(size_t(width) * 4);
        cmykRow = cmykBuffer->data();
    }
    jpeg_start_decompress(cinfo);
    uint8_t* const* lines = picture->GetLineArray();
    while (cinfo->output_scanline < cinfo->output_height) {
        const int line = int(cinfo->output_scanline);
        if (cmyk) {
            JSAMPROW row = cmykRow;
            jpeg_read_scanlines(cinfo, &row, 1);
            CmykRowToBgra(cmykRow, lines[line], width, cinfo->saw_Adobe_marker);
        } else {
            JSAMPROW rows[16];
            const int n = std::min(16, height - line);
            for (int i = 0; i < n; ++i) rows[i] = lines[line + i];
            jpeg_read_scanlines(cinfo, rows, JDIMENSION(n));
        }
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

struct DecompressGuard {
    jpeg_decompress_struct* cinfo;
    ~DecompressGuard() { jpeg_destroy_decompress(cinfo); }
};

bool CreateDecompress(jpeg_decompress_struct* cinfo, JpegErrorManager* err) {
    if (setjmp(err->jump)) return false;
    jpeg_create_decompress(cinfo);
    return true;
}

} // namespace

void CJPEGDecoder::MakePicture(CDataSource& source, CPicture& picture, int wantedBpp) {
    size_t size = 0;
    const uint8_t* data = source.ReadEverything(&size);

    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    cinfo.err = InitJpegErrorManager(&err);
    if (!CreateDecompress(&cinfo, &err)) RaiseImageError(CTextException::OutOfMemory, err.message);
    DecompressGuard guard{&cinfo};

    jpeg_source_mgr src{};
    src.init_source = InitSource;
    src.fill_input_buffer = FillInputBuffer;
    src.skip_input_data = SkipInputData;
    src.resync_to_restart = jpeg_resync_to_restart;
    src.term_source = TermSource;
    src.next_input_byte = data;
    src.bytes_in_buffer = size;
    cinfo.src = &src;

    CPictureWriteLock lock(picture);
    std::vector<uint8_t> cmykRow;
    if (!DecodeInto(&cinfo, &err, &picture, wantedBpp, &cmykRow))
        RaiseImageError(CTextException::NotSupported, err.message);
}
