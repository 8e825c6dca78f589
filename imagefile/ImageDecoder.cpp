#include "imagefile/ImageDecoder.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "imagefile/ByteOrder.h"
#include "imagefile/ImageError.h"
#include "imagefile/PictureDecoder.h"

void CheckPictureSize(int64_t width, int64_t height) {
    if (width <= 0 || height <= 0)
        RaiseImageError(CTextException::Malformed, "Illegal image size.");
    // Divided rather than multiplied: two sizes from a file can overflow any product.
    if (width > kMaxPicturePixels / height)
        RaiseImageError(CTextException::OutOfMemory, "Out of memory creating bitmap.");
}

namespace {

// Lets go of the source however decoding ends.
struct SourceCloser {
    CDataSource& source;
    ~SourceCloser() { source.Close(); }
};

bool Match(const uint8_t* head, size_t size, size_t offset, const char* bytes, size_t n) {
    return offset + n <= size && std::memcmp(head + offset, bytes, n) == 0;
}

bool LooksLikeTarga(const uint8_t* h, size_t n) {
    if (n < 17) return false;
    const auto oneOf = [](uint8_t v, std::initializer_list<int> values) {
        return std::find(values.begin(), values.end(), int(v)) != values.end();
    };
    return h[1] <= 1 && oneOf(h[2], {0, 1, 2, 3, 9, 10, 11}) &&
           oneOf(h[7], {0, 8, 15, 16, 24, 32}) && oneOf(h[16], {8, 15, 16, 24, 32});
}

} // namespace

ImageDecoder::FileType ImageDecoder::Recognize(const std::string& path, const uint8_t* h, size_t n,
                                               size_t totalSize) {
    std::string upper = path;
    for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
    if (upper.find(".WMF") != std::string::npos) return FileType::WindowsMetafile;
    if (upper.find(".EMF") != std::string::npos) return FileType::EnhancedMetafile;

    if (Match(h, n, 0, "BM", 2)) return FileType::Bitmap;
    if (LooksLikeTarga(h, n)) return FileType::Targa;
    if (Match(h, n, 0, "GIF8", 4)) return FileType::Gif;
    if (Match(h, n, 0, "II*\0", 4) || Match(h, n, 0, "MM\0*", 4)) return FileType::Tiff;
    if (totalSize > 540 &&
        (Match(h, n, 522, "\x00\x11\x02\xFF", 4) || Match(h, n, 522, "\x00\x11\x01", 3) ||
         Match(h, n, 522, "\x11\x01\x01\x00", 4)))
        return FileType::Pict;
    if (Match(h, n, 0, "\xFF\xD8\xFF", 3)) return FileType::Jpeg;
    if (Match(h, n, 0, "\x89PNG", 4)) return FileType::Png;
    if ((Match(h, n, 0, "\xC5\xD0\xD3\xC6", 4) || Match(h, n, 0, "\xC6\xD3\xD0\xC5", 4)) &&
        n >= 28 && LE32(h + 20) != 0 && LE32(h + 24) != 0)
        return FileType::EpsTiffPreview;
    if (n >= 3 && h[0] == 0x0A && h[2] == 0x01) return FileType::Pcx;
    if (n >= 2 && h[0] == 'P' && (h[1] == '2' || h[1] == '5')) return FileType::Pgm;
    return FileType::Unknown;
}

void ImageDecoder::MakePictureFromFile(const std::string& path, CPicture& picture, int wantedBpp,
                                       ProgressSink* progress) {
    CFileSource source;
    if (const int code = source.Open(path)) RaiseImageError(code, "Opening " + path + " failed");
    source.SetProgressSink(progress);
    SourceCloser closer{source};
    Decode(source, path, picture, wantedBpp);
}

void ImageDecoder::MakePictureFromMemory(const uint8_t* data, size_t size, CPicture& picture,
                                         int wantedBpp, ProgressSink* progress) {
    if (!data && size) {
        char text[64];
        std::snprintf(text, sizeof text, "Reading from memory at %p failed",
                      static_cast<const void*>(data));
        RaiseImageError(CTextException::WrongSignature, text);
    }
    CMemorySource source(data, size);
    source.SetProgressSink(progress);
    SourceCloser closer{source};
    Decode(source, std::string(), picture, wantedBpp);
}

void ImageDecoder::Decode(CDataSource& source, const std::string& path, CPicture& picture,
                          int wantedBpp) {
    if (wantedBpp != 0 && wantedBpp != 1 && wantedBpp != 8 && wantedBpp != 32)
        RaiseImageError(CTextException::Malformed, "Illegal bpp value.");
    // The PICT test looks at the version opcode behind its 512-byte preamble, so the peek
    // reaches a little past 512 bytes.
    const size_t headSize = std::min<size_t>(526, source.GetFileSize());
    const uint8_t* head = source.GetBufferPtr(headSize);

    CBMPDecoder bmp;
    CJPEGDecoder jpeg;
    CPNGDecoder png;
    CTIFFDecoder tiff;
    CGIFDecoder gif;
    CTGADecoder tga;
    CPCXDecoder pcx;
    CPGMDecoder pgm;
    CPICTDecoder pict;
    CMetafileDecoder metafile;
    CPictureDecoder* decoder = nullptr;
    switch (Recognize(path, head, headSize, source.GetFileSize())) {
    case FileType::Unknown:
        RaiseImageError(CTextException::UnknownFileType, "Unknown file type.");
    case FileType::Bitmap:
        decoder = &bmp;
        break;
    case FileType::Jpeg:
        decoder = &jpeg;
        break;
    case FileType::Png:
        decoder = &png;
        break;
    case FileType::Tiff:
        decoder = &tiff;
        break;
    case FileType::Gif:
        decoder = &gif;
        break;
    case FileType::Targa:
        decoder = &tga;
        break;
    case FileType::Pcx:
        decoder = &pcx;
        break;
    case FileType::Pgm:
        decoder = &pgm;
        break;
    case FileType::Pict:
        decoder = &pict;
        break;
    case FileType::WindowsMetafile:
    case FileType::EnhancedMetafile:
        decoder = &metafile;
        break;
    case FileType::EpsTiffPreview:
        // The TIFF section's offset is at 20; its own offsets count from there.
        source.Seek(LE32(head + 20));
        decoder = &tiff;
        break;
    }
    decoder->MakePicture(source, picture, wantedBpp);

    if (wantedBpp != 0 && picture.GetBitsPerPixel() != wantedBpp) {
        CDibPicture copy;
        copy.CopyWithDepth(picture, uint16_t(wantedBpp));
        picture.CopyWithDepth(copy, 0);
    }
}
