#pragma once

#include <string>

#include "imagefile/DataSource.h"
#include "imagefile/Picture.h"

// A format encoder. EncodeToFile opens a file sink sized from the picture's memory in use,
// encodes into it and writes the file; on any failure it raises CTextException and leaves an
// existing file untouched.
class CPictureEncoder {
public:
    virtual ~CPictureEncoder() = default;
    void EncodeToFile(const std::string& path, const CPicture& picture);

    // Bytes the sink may hold for a picture: 1.2 times its memory in use, or 4096 more than
    // that for small pictures, whose headers weigh more.
    static size_t SinkCapacity(const CPicture& picture);

protected:
    virtual void DoEncode(CFileSink& sink, const CPicture& picture) = 0;
};

class CBMPEncoder : public CPictureEncoder {
protected:
    void DoEncode(CFileSink& sink, const CPicture& picture) override;
};

class CJPEGEncoder : public CPictureEncoder {
public:
    int m_quality = 95;
    bool m_optimizeCoding = false;
    int m_smoothingFactor = 0;
    // Dots per inch; written only when either is non-zero.
    int m_densityX = 0;
    int m_densityY = 0;
    // Leaves colour conversion, downsampling and the DCT to the library, on one core. Smoothing
    // always takes this way; otherwise it is the reference the threaded way is held to.
    bool m_libraryPipeline = false;

protected:
    void DoEncode(CFileSink& sink, const CPicture& picture) override;
};

class CPNGEncoder : public CPictureEncoder {
protected:
    void DoEncode(CFileSink& sink, const CPicture& picture) override;
};

class CTIFFEncoder : public CPictureEncoder {
protected:
    void DoEncode(CFileSink& sink, const CPicture& picture) override;
};

class CGIFEncoder : public CPictureEncoder {
protected:
    void DoEncode(CFileSink& sink, const CPicture& picture) override;
};

// Saves the picture in the format named by the text after the last "." of path, lower-cased:
// "jpg", "tif", "png", "bmp" or "gif". JPEG, PNG and GIF are given a 32-bit copy of a picture
// of another depth. Returns false, writing nothing, for any other extension.
bool EncodePictureByExtension(const std::string& path, const CPicture& picture);
