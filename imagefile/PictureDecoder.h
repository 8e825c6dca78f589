#pragma once

#include <cstdint>

#include "imagefile/DataSource.h"
#include "imagefile/Picture.h"

// A format decoder: reads the source from its current position and fills the picture.
// wantedBpp is 0 (the decoder's choice: 8 bpp for sources of 8 bits or less, 32 above), 8 or
// 32; a decoder may leave a depth it does not produce itself to its caller.
class CPictureDecoder {
public:
    virtual ~CPictureDecoder() = default;
    virtual void MakePicture(CDataSource& source, CPicture& picture, int wantedBpp) = 0;
};

class CBMPDecoder : public CPictureDecoder {
public:
    void MakePicture(CDataSource& source, CPicture& picture, int wantedBpp) override;
};

class CJPEGDecoder : public CPictureDecoder {
public:
    void MakePicture(CDataSource& source, CPicture& picture, int wantedBpp) override;
};

class CPNGDecoder : public CPictureDecoder {
public:
    void MakePicture(CDataSource& source, CPicture& picture, int wantedBpp) override;
};

class CTIFFDecoder : public CPictureDecoder {
public:
    void MakePicture(CDataSource& source, CPicture& picture, int wantedBpp) override;
};

class CGIFDecoder : public CPictureDecoder {
public:
    void MakePicture(CDataSource& source, CPicture& picture, int wantedBpp) override;
};

class CTGADecoder : public CPictureDecoder {
public:
    void MakePicture(CDataSource& source, CPicture& picture, int wantedBpp) override;
};

class CPGMDecoder : public CPictureDecoder {
public:
    void MakePicture(CDataSource& source, CPicture& picture, int wantedBpp) override;
};

class CPCXDecoder : public CPictureDecoder {
public:
    void MakePicture(CDataSource& source, CPicture& picture, int wantedBpp) override;
};

class CPICTDecoder : public CPictureDecoder {
public:
    void MakePicture(CDataSource& source, CPicture& picture, int wantedBpp) override;
};

// Windows metafiles (placeable and plain) and enhanced metafiles, played onto a white picture.
class CMetafileDecoder : public CPictureDecoder {
public:
    void MakePicture(CDataSource& source, CPicture& picture, int wantedBpp) override;
};

// Keeps a picture locked for writing while a decoder fills it.
class CPictureWriteLock {
public:
    explicit CPictureWriteLock(CPicture& picture) : m_picture(picture) {
        picture.Lock(false, true);
    }
    ~CPictureWriteLock() { m_picture.Unlock(); }
    CPictureWriteLock(const CPictureWriteLock&) = delete;
    CPictureWriteLock& operator=(const CPictureWriteLock&) = delete;

private:
    CPicture& m_picture;
};

// Refuses sizes no picture can have before anything is allocated for them.
void CheckPictureSize(int64_t width, int64_t height);
