#include <algorithm>

#include "imagefile/ImageError.h"
#include "imagefile/JPEGCommon.h"
#include "imagefile/PictureEncoder.h"

#include <jerror.h>

namespace {

// The library compresses straight into the sink's memory; running out of it is the sink's
// overflow.
struct SinkDestination {
    jpeg_destination_mgr pub;
    CFileSink* sink;
    bool overflow;
};

void InitDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<SinkDestination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->sink->GetData() + dest->sink->GetSize();
    dest->pub.free_in_buffer = dest->sink->GetCapacity() - dest->sink->GetSize();
}
boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
    reinterpret_cast<SinkDestination*>(cinfo->dest)->overflow = true;
    ERREXIT(cinfo, JERR_FILE_WRITE);
    return FALSE;
}
void TermDestination(j_compress_ptr) {}

struct EncodeSettings {
    int quality, smoothing, densityX, densityY;
    bool optimize;
};

bool CreateCompress(jpeg_compress_struct* cinfo, JpegErrorManager* err) {
    if (setjmp(err->jump)) return false;
    jpeg_create_compress(cinfo);
    return true;
}

// The only frame the library may jump out of; nothing in it needs destroying.
bool EncodeFrom(jpeg_compress_struct* cinfo, JpegErrorManager* err, const CPicture* picture,
                const EncodeSettings* s) {
    if (setjmp(err->jump)) return false;
    cinfo->image_width = JDIMENSION(picture->GetWidth());
    cinfo->image_height = JDIMENSION(picture->GetHeight());
    // The pixels go in as they are stored; the library picks red, green and blue out of them,
    // which is the same as handing it RGB rows without a copy.
    cinfo->input_components = 4;
    cinfo->in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(cinfo);
    cinfo->dct_method = JDCT_FLOAT;
    jpeg_set_quality(cinfo, s->quality, TRUE);
    cinfo->optimize_coding = s->optimize ? TRUE : FALSE;
    cinfo->smoothing_factor = s->smoothing;
    if (s->densityX != 0 || s->densityY != 0) {
        cinfo->density_unit = 1;
        cinfo->X_density = UINT16(s->densityX);
        cinfo->Y_density = UINT16(s->densityY);
    }
    jpeg_start_compress(cinfo, TRUE);
    uint8_t* const* lines = picture->GetLineArray();
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW rows[16];
        const int first = int(cinfo->next_scanline);
        const int n = std::min(16, picture->GetHeight() - first);
        for (int i = 0; i < n; ++i) rows[i] = lines[first + i];
        jpeg_write_scanlines(cinfo, rows, JDIMENSION(n));
    }
    jpeg_finish_compress(cinfo);
    return true;
}

struct CompressGuard {
    jpeg_compress_struct* cinfo;
    ~CompressGuard() { jpeg_destroy_compress(cinfo); }
};

} // namespace

void CJPEGEncoder::DoEncode(CFileSink& sink, const CPicture& source) {
    CDibPicture copy;
    const CPicture* picture = &source;
    if (source.GetBitsPerPixel() != 32) {
        copy.CopyWithDepth(source, 32);
        picture = &copy;
    }

    jpeg_compress_struct cinfo;
    JpegErrorManager err;
    cinfo.err = InitJpegErrorManager(&err);
    if (!CreateCompress(&cinfo, &err)) RaiseImageError(CTextException::OutOfMemory, err.message);
    CompressGuard guard{&cinfo};
    SinkDestination dest{{}, &sink, false};
    dest.pub.init_destination = InitDestination;
    dest.pub.empty_output_buffer = EmptyOutputBuffer;
    dest.pub.term_destination = TermDestination;
    cinfo.dest = &dest.pub;

    const EncodeSettings settings{m_quality, m_smoothingFactor, m_densityX, m_densityY,
                                  m_optimizeCoding};
    if (!EncodeFrom(&cinfo, &err, picture, &settings)) {
        if (dest.overflow)
            RaiseImageError(CTextException::EndOfData, "Buffer overflow while encoding.\n");
        RaiseImageError(CTextException::NotSupported, err.message);
    }
    sink.Commit(sink.GetCapacity() - sink.GetSize() - dest.pub.free_in_buffer);
}
