// The GIF decoder unpacks image data with its own LZW decoder. The oracle here draws the same
// canvas row by row through the GIF library's DGifGetLine; both must agree to the byte, in
// the pixels, the palette and the error raised, on every corpus GIF and on damaged copies.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

#include <gif_lib.h>

#include "ImageTestUtil.h"
#include "imagefile/DataSource.h"
#include "imagefile/PictureDecoder.h"
#include "imagefile/TextException.h"

using namespace imagetest;

namespace {

struct Outcome {
    std::string error; // empty when decoding succeeded
    int width = 0, height = 0;
    std::vector<uint8_t> pixels, palette;
};

struct MemoryReader {
    const std::vector<uint8_t>* bytes;
    size_t pos;
};

int ReadMemory(GifFileType* gif, GifByteType* buffer, int length) {
    auto* r = static_cast<MemoryReader*>(gif->UserData);
    const size_t n = std::min(size_t(length > 0 ? length : 0), r->bytes->size() - r->pos);
    std::memcpy(buffer, r->bytes->data() + r->pos, n);
    r->pos += n;
    return int(n);
}

std::string GifText(int error) {
    const char* text = GifErrorString(error);
    return text ? text : "GIF decoding failed.";
}

// The canvas rules of the decoder, with the library decoding every row.
Outcome Failed(const std::string& text) {
    Outcome out;
    out.error = text;
    return out;
}

Outcome DecodeWithLibrary(const std::vector<uint8_t>& bytes) {
    Outcome out;
    MemoryReader reader{&bytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, ReadMemory, &error);
    if (!gif) return Failed(GifText(error));
    struct Closer {
        GifFileType* gif;
        ~Closer() {
            int e = 0;
            DGifCloseFile(gif, &e);
        }
    } closer{gif};
    const int w = gif->SWidth, h = gif->SHeight;
    if (w <= 0 || h <= 0 || int64_t(w) * h > 64 << 20) return Failed("size");
    out.width = w;
    out.height = h;
    out.pixels.assign(size_t(w) * size_t(h), 0);
    // Entries no colour map sets keep the picture's own starting palette.
    CDibSectionPicture blank;
    blank.Create(1, 1, 8, false);
    for (int i = 0; i < 256; ++i) {
        const RGBAPIXEL c = blank.GetPalette()[i];
        out.palette.insert(out.palette.end(), {c.r, c.g, c.b});
    }
    std::memset(out.pixels.data(), gif->SBackGroundColor & 0xFF, size_t(w));
    auto setPalette = [&](const ColorMapObject* map) {
        for (int i = 0; i < map->ColorCount && i < 256; ++i) {
            out.palette[size_t(3 * i)] = map->Colors[i].Red;
            out.palette[size_t(3 * i + 1)] = map->Colors[i].Green;
            out.palette[size_t(3 * i + 2)] = map->Colors[i].Blue;
        }
    };
    if (gif->SColorMap) setPalette(gif->SColorMap);
    auto cutShort = [&] {
        return gif->Error == D_GIF_ERR_READ_FAILED && reader.pos == bytes.size();
    };
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR) {
            if (cutShort()) break;
            out.error = GifText(gif->Error);
            return out;
        }
        if (type == TERMINATE_RECORD_TYPE) break;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif, &code, &block) == GIF_ERROR) {
                out.error = GifText(gif->Error);
                return out;
            }
            while (block)
                if (DGifGetExtensionNext(gif, &block) == GIF_ERROR) {
                    out.error = GifText(gif->Error);
                    return out;
                }
            continue;
        }
        if (type != IMAGE_DESC_RECORD_TYPE) continue;
        if (DGifGetImageDesc(gif) == GIF_ERROR) {
            out.error = GifText(gif->Error);
            return out;
        }
        const GifImageDesc& d = gif->Image;
        if (d.Left < 0 || d.Top < 0 || d.Width <= 0 || d.Height <= 0 || d.Left + d.Width > w ||
            d.Top + d.Height > h)
            break;
        if (const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap) setPalette(map);
        std::vector<int> order;
        if (d.Interlace) {
            static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass)
                for (int row = kStart[pass]; row < d.Height; row += kStep[pass])
                    order.push_back(row);
        } else {
            for (int row = 0; row < d.Height; ++row) order.push_back(row);
        }
        for (int row : order) {
            uint8_t* line = out.pixels.data() + size_t(d.Top + row) * size_t(w) + size_t(d.Left);
            if (DGifGetLine(gif, line, d.Width) == GIF_ERROR) {
                if (cutShort()) return out;
                out.error = GifText(gif->Error);
                return out;
            }
        }
    }
    return out;
}

Outcome DecodeWithOurs(const std::vector<uint8_t>& bytes) {
    Outcome out;
    CMemorySource source(bytes.data(), bytes.size());
    CDibSectionPicture picture;
    try {
        CGIFDecoder().MakePicture(source, picture, 0);
    } catch (const CTextException& e) {
        out.error = e.what();
    }
    if (picture.GetWidth() <= 0) {
        if (out.error.empty()) out.error = "no picture";
        return out;
    }
    out.width = picture.GetWidth();
    out.height = picture.GetHeight();
    for (int y = 0; y < out.height; ++y)
        out.pixels.insert(out.pixels.end(), picture.GetLineArray()[y],
                          picture.GetLineArray()[y] + out.width);
    out.palette.assign(768, 0);
    for (int i = 0; i < 256; ++i) {
        out.palette[size_t(3 * i)] = picture.GetPalette()[i].r;
        out.palette[size_t(3 * i + 1)] = picture.GetPalette()[i].g;
        out.palette[size_t(3 * i + 2)] = picture.GetPalette()[i].b;
    }
    return out;
}

void ExpectSame(const std::vector<uint8_t>& bytes, const std::string& what) {
    const Outcome ref = DecodeWithLibrary(bytes);
    const Outcome ours = DecodeWithOurs(bytes);
    if (ref.error == "size") return; // refused by the picture's size check before any decoding
    ASSERT_EQ(ours.error.empty(), ref.error.empty())
        << what << ": ours \"" << ours.error << "\", library \"" << ref.error << "\"";
    if (!ref.error.empty()) {
        EXPECT_NE(ours.error.find(ref.error), std::string::npos)
            << what << ": ours \"" << ours.error << "\", library \"" << ref.error << "\"";
        if (ref.pixels.empty()) return; // refused before the canvas was made
    }
    ASSERT_EQ(ours.width, ref.width)
        << what << " ours \"" << ours.error << "\" ref \"" << ref.error << "\"";
    ASSERT_EQ(ours.height, ref.height) << what;
    size_t firstDiff = 0;
    while (firstDiff < ref.pixels.size() && ref.pixels[firstDiff] == ours.pixels[firstDiff])
        ++firstDiff;
    EXPECT_EQ(firstDiff, ref.pixels.size()) << what << ": first differing pixel";
    EXPECT_EQ(ours.palette, ref.palette) << what;
}

std::vector<std::string> CorpusGifs() {
    std::vector<std::string> files;
    for (const auto& f : std::filesystem::recursive_directory_iterator(
             std::string(ORVANE_SHARED_TESTDATA) + "/gif"))
        if (f.path().extension() == ".gif") files.push_back(f.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(GifLzw, EveryCorpusFileDecodesAsTheLibraryDoes) {
    const auto files = CorpusGifs();
    ASSERT_GT(files.size(), 100u);
    for (const auto& file : files) ExpectSame(ReadFile(file), file);
}

// The sanitizer build runs every decode several times slower: it takes fewer samples.
#if defined(__SANITIZE_ADDRESS__)
constexpr size_t kCutsPerFile = 15;
constexpr int kDamageRounds = 10;
#else
constexpr size_t kCutsPerFile = 60;
constexpr int kDamageRounds = 40;
#endif

// Small files with a small canvas, which can be decoded many times over quickly.
bool Small(const std::vector<uint8_t>& bytes) {
    if (bytes.size() < 64 || bytes.size() > 40000) return false;
    return (bytes[6] | bytes[7] << 8) * (bytes[8] | bytes[9] << 8) <= 1 << 20;
}

TEST(GifLzw, CutShortFilesKeepWhatTheLibraryKeeps) {
    for (const auto& file : CorpusGifs()) {
        const auto bytes = ReadFile(file);
        if (!Small(bytes)) continue;
        const size_t step = std::max<size_t>(1, bytes.size() / kCutsPerFile);
        for (size_t n = 13; n < bytes.size(); n += step) {
            const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(n));
            ExpectSame(cut, file + " cut at " + std::to_string(n));
        }
    }
}

TEST(GifLzw, DamagedImageDataFailsAsTheLibraryDoes) {
    std::mt19937 rng(1234);
    for (const auto& file : CorpusGifs()) {
        const auto bytes = ReadFile(file);
        if (!Small(bytes)) continue;
        for (int round = 0; round < kDamageRounds; ++round) {
            auto damaged = bytes;
            const int changes = 1 + int(rng() % 4);
            for (int i = 0; i < changes; ++i) {
                // Past the headers, where the image data lies.
                const size_t at = 13 + rng() % (damaged.size() - 13);
                damaged[at] = uint8_t(rng());
            }
            ExpectSame(damaged, file + " damaged round " + std::to_string(round));
        }
    }
}

} // namespace
