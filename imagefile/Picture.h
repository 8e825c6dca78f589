#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "imagefile/TextException.h"

// One palette entry, in the order blue, green, red, alpha.
struct RGBAPIXEL {
    uint8_t b, g, r, a;
    bool operator==(const RGBAPIXEL&) const = default;
};
static_assert(sizeof(RGBAPIXEL) == 4);

// The 40-byte header that starts every packed device-independent bitmap.
#pragma pack(push, 1)
struct BITMAPINFOHEADER {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
#pragma pack(pop)
static_assert(sizeof(BITMAPINFOHEADER) == 40);

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_RLE8 = 1;
constexpr uint32_t BI_RLE4 = 2;
constexpr uint32_t BI_BITFIELDS = 3;

// Pictures above this many pixels are refused, so that a hostile size can never make the
// program allocate without bound.
constexpr int64_t kMaxPicturePixels = int64_t(1) << 28;

class CImageObject {
public:
    virtual ~CImageObject() = default;
    virtual void AssertValid() const {}
};

// The in-memory raster image: 1, 8 or 32 bits per pixel, rows stored bottom-up as in a
// device-independent bitmap, reached through a line array whose entry 0 is the top row.
class CPicture : public CImageObject {
public:
    CPicture();
    CPicture(const CPicture&) = delete;
    CPicture& operator=(const CPicture&) = delete;
    ~CPicture() override;

    // Frees the old contents and makes a picture of the given size, zero-filled. 1 and 8 bpp
    // pictures get a grey ramp palette. Raises code 10 when the memory cannot be had.
    virtual void Create(int width, int height, uint16_t bpp, bool alpha);
    // Create for writers that fill every pixel themselves: the pixel contents are left
    // undefined, which spares a pass over the memory when it is reused.
    void CreateForOverwrite(int width, int height, uint16_t bpp, bool alpha);
    virtual size_t GetMemUsed() const;
    virtual int GetBytesPerLine() const;
    virtual void Lock(bool readable, bool writable);
    virtual void Unlock();

    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    uint16_t GetBitsPerPixel() const { return m_bpp; }
    bool HasAlpha() const { return m_alpha; }
    void SetHasAlpha(bool alpha) { m_alpha = alpha; }
    int GetLockCount() const { return m_lockCount; }

    // 2^bpp entries for 1 and 8 bpp, null for 32 bpp.
    RGBAPIXEL* GetPalette() const { return m_palette; }
    int GetPaletteSize() const { return m_bpp <= 8 ? 1 << m_bpp : 0; }
    void SetPaletteEntry(int index, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255);
    void SetPalette(const RGBAPIXEL* entries, int count);

    // Entry 0 is the top row of the image.
    uint8_t** GetLineArray() const { return const_cast<uint8_t**>(m_lines.data()); }
    // The first byte of the pixel block, which holds the bottom row.
    uint8_t* GetBits() const { return m_bits; }

    int GetDitherType() const { return m_ditherType; }
    void SetDitherType(int type) { m_ditherType = type; }
    int GetDitherPaletteMode() const { return m_ditherPaletteMode; }
    void SetDitherPaletteMode(int mode) { m_ditherPaletteMode = mode; }

    // Makes this picture a copy of source at the given depth (0: the source's own).
    void CopyWithDepth(const CPicture& source, uint16_t bpp);

    // Index of the palette entry nearest to colour (laid out like a pixel: blue in the
    // lowest byte), by the sum of absolute channel differences; ties go to the lowest index.
    int FindNearestIndex(uint32_t colour) const;

    // Builds the picture from a packed DIB (header, palette, rows) of size bytes. Accepts
    // 1, 4, 8, 16, 24 and 32 bpp uncompressed DIBs; 4 bpp becomes 8 and 16/24 become 32.
    // Raises code 2 for a DIB it cannot read.
    void CreateFromDIB(const uint8_t* dib, size_t size);
    // A packed DIB holding header, palette and pixels, as the clipboard carries it.
    std::vector<uint8_t> GetDibCopy() const;
    // A complete .bmp file: the 14-byte file header followed by GetDibCopy.
    std::vector<uint8_t> GetBmpFile() const;

    static int StrideFor(int width, uint16_t bpp);
    static size_t HeaderAndPaletteSize(uint16_t bpp);

protected:
    // The class-specific part of Create: sets m_header, m_palette (null above 8 bpp) and
    // m_bits for a picture whose pixel block needs pixelBytes bytes. Memory may be reused.
    // Returns whether the pixel block is known to be zero-filled.
    virtual bool Allocate(size_t pixelBytes, uint16_t bpp) = 0;
    virtual void FreeContents() = 0;
    void InitLineArray();
    void CreateImpl(int width, int height, uint16_t bpp, bool alpha, bool zero);
    // The packed DIB behind `before` zeroed bytes, in one block.
    std::vector<uint8_t> DibAfter(size_t before) const;
    void ResetFields();

    int m_width = 0;
    int m_height = 0;
    uint16_t m_bpp = 0;
    RGBAPIXEL* m_palette = nullptr;
    bool m_alpha = false;
    std::vector<uint8_t*> m_lines;
    int m_lockCount = 0;
    int m_ditherType = 0;
    int m_ditherPaletteMode = 2;

    BITMAPINFOHEADER* m_header = nullptr;
    uint8_t* m_bits = nullptr;
};

// Header, palette and pixels in one heap block laid out as a packed DIB.
class CDibPicture : public CPicture {
public:
    CDibPicture();
    ~CDibPicture() override;
    // The packed DIB block itself.
    const uint8_t* GetDibBlock() const { return m_block; }

protected:
    bool Allocate(size_t pixelBytes, uint16_t bpp) override;
    void FreeContents() override;

private:
    uint8_t* m_block = nullptr;
    size_t m_blockSize = 0;
};

// Header and palette in one heap block, the pixels in a block of their own that is kept
// for the next Create of the same or smaller size, so a picture that is recreated often
// (a filter's destination, a capture) does not fault in fresh pages every time.
class CDibSectionPicture : public CPicture {
public:
    CDibSectionPicture();
    ~CDibSectionPicture() override;

protected:
    bool Allocate(size_t pixelBytes, uint16_t bpp) override;
    void FreeContents() override;

private:
    uint8_t* m_headerBlock = nullptr;
    uint8_t* m_pixelBlock = nullptr;
    size_t m_pixelCapacity = 0;
};
