#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "imagefile/DataSource.h"
#include "imagefile/Picture.h"
#include "imagefile/ProgressSink.h"

// Recognises an image file by its name and first bytes and hands it to the format's decoder.
class ImageDecoder {
public:
    enum class FileType {
        Unknown,
        WindowsMetafile,
        EnhancedMetafile,
        Bitmap,
        Targa,
        Gif,
        Tiff,
        Pict,
        Jpeg,
        Png,
        EpsTiffPreview,
        Pcx,
        Pgm,
    };

    // wantedBpp: 0 lets the decoder choose (8 bpp for sources of 8 bits or less, 32 above;
    // 1 for single-sample 1-bit TIFF), or 1, 8 or 32. Raises CTextException on any failure;
    // the picture then stays valid but may be partly filled.
    void MakePictureFromFile(const std::string& path, CPicture& picture, int wantedBpp = 0,
                             ProgressSink* progress = nullptr);
    void MakePictureFromMemory(const uint8_t* data, size_t size, CPicture& picture,
                               int wantedBpp = 0, ProgressSink* progress = nullptr);

    // The first match in recognition order. head holds the first bytes of the data (up to
    // 512 of them), totalSize the size of all of it; path may be empty.
    static FileType Recognize(const std::string& path, const uint8_t* head, size_t headSize,
                              size_t totalSize);

private:
    void Decode(CDataSource& source, const std::string& path, CPicture& picture, int wantedBpp);
};
