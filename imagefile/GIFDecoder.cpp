#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

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

// The row of an interlaced image that holds the n-th row of its data.
int InterlacedRow(int n, int height) {
    static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        const int rows =
            kStart[pass] < height ? (height - kStart[pass] + kStep[pass] - 1) / kStep[pass] : 0;
        if (n < rows) return kStart[pass] + n * kStep[pass];
        n -= rows;
    }
    return height - 1; // not reached: there are exactly height rows
}

// Decoded pixels before they go to their rows; its pages are only touched as pixels arrive.
class PixelBuffer {
public:
    size_t size() const { return m_size; }
    uint8_t* get() const { return m_data.get(); }
    void reset(size_t size) {
        m_data.reset(new uint8_t[size]);
        m_size = size;
    }

private:
    std::unique_ptr<uint8_t[]> m_data;
    size_t m_size = 0;
};

// Unpacks GIF LZW data that follows the format's rules. Each string in the table is a run of
// pixels already written, so a code is expanded by one copy out of the output instead of a
// walk through a chain of prefixes. Returns false, at the first thing the rules do not allow
// (a code not yet defined, an early end code, too little data); the caller then decodes the
// file again through the GIF library, whose way with broken data is the one kept.
bool DecodeRegularLzw(const std::vector<uint8_t>& data, int minCodeSize, uint8_t* out,
                      size_t total) {
    constexpr int kMaxBits = 12;
    constexpr uint32_t kTableSize = 1u << kMaxBits;
    if (minCodeSize < 2 || minCodeSize > 8) return false;
    struct Entry {
        size_t offset;
        uint32_t length;
    };
    Entry table[kTableSize];

    const uint32_t clear = 1u << minCodeSize, endCode = clear + 1;
    int bits = minCodeSize + 1;
    uint32_t next = clear + 2;
    bool havePrevious = false;
    Entry previous{0, 0};

    const uint8_t* in = data.data();
    const uint8_t* const inEnd = in + data.size();
    uint64_t held = 0;
    int heldBits = 0;
    size_t pos = 0;
    while (pos < total) {
        while (heldBits < bits) {
            if (in == inEnd) return false;
            held |= uint64_t(*in++) << heldBits;
            heldBits += 8;
        }
        const uint32_t code = uint32_t(held) & ((1u << bits) - 1);
        held >>= bits;
        heldBits -= bits;

        if (code == clear) {
            bits = minCodeSize + 1;
            next = clear + 2;
            havePrevious = false;
            continue;
        }
        if (code == endCode) return false; // before the last pixel
        Entry current{pos, 1};
        if (code < clear) {
            out[pos] = uint8_t(code);
        } else if (havePrevious && code < next) {
            const Entry e = table[code];
            current.length = e.length;
            std::memcpy(out + pos, out + e.offset, std::min<size_t>(e.length, total - pos));
        } else if (havePrevious && code == next && next < kTableSize) {
            // The string being defined: the previous one and its own first pixel.
            current.length = previous.length + 1;
            const size_t n = std::min<size_t>(previous.length, total - pos);
            std::memcpy(out + pos, out + previous.offset, n);
            if (pos + n < total) out[pos + n] = out[previous.offset];
        } else {
            return false;
        }
        if (havePrevious && next < kTableSize) {
            table[next++] = {previous.offset, previous.length + 1};
            if (next == (1u << bits) && bits < kMaxBits) ++bits;
        }
        previous = current;
        havePrevious = true;
        pos = std::min<size_t>(pos + current.length, total);
    }
    return true;
}

// Draws every record onto the canvas. With `fast`, image data is unpacked by
// DecodeRegularLzw and false is returned as soon as a record is not regular, before anything
// else is read; otherwise the library unpacks every row.
bool DrawRecords(CDataSource& source, CPicture& picture, bool fast) {
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
    std::vector<uint8_t> data;
    PixelBuffer pixels;
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

        if (fast) {
            int codeSize = 0;
            GifByteType* block = nullptr;
            data.clear();
            if (DGifGetCode(gif, &codeSize, &block) == GIF_ERROR) return false;
            while (block) {
                data.insert(data.end(), block + 1, block + 1 + block[0]);
                if (DGifGetCodeNext(gif, &block) == GIF_ERROR) return false;
            }
            const size_t width = size_t(d.Width), total = width * size_t(d.Height);
            if (pixels.size() < total) pixels.reset(total);
            if (!DecodeRegularLzw(data, codeSize, pixels.get(), total)) return false;
            for (int row = 0; row < d.Height; ++row) {
                const int y = d.Interlace ? InterlacedRow(row, d.Height) : row;
                std::memcpy(lines[d.Top + y] + d.Left, pixels.get() + size_t(row) * width, width);
            }
            ++imageNumber;
            continue;
        }

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
    return true;
}

} // namespace

void CGIFDecoder::MakePicture(CDataSource& source, CPicture& picture, int) {
    const size_t start = source.GetPosition();
    if (DrawRecords(source, picture, true)) return;
    // Damaged or cut-short image data: start again and let the library decode every row.
    source.Seek(start);
    DrawRecords(source, picture, false);
}
