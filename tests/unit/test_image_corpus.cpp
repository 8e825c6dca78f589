// Every file of the shared test corpus in the formats we read: good files decode, damaged
// ones decode or raise CTextException, and decoded pictures are compared with the corpus's
// reference renderings where it has them.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "ImageTestUtil.h"
#include "imagefile/ImageDecoder.h"

using namespace imagetest;

namespace {

const std::string kCorpus = ORVANE_SHARED_TESTDATA;

struct Entry {
    std::string path, status;
};

std::vector<Entry> CorpusFiles() {
    std::vector<Entry> entries;
    std::ifstream in(kCorpus + "/SOURCES.txt");
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> cols;
        std::stringstream ss(line);
        for (std::string col; std::getline(ss, col, '\t');) cols.push_back(col);
        if (cols.size() < 5) continue;
        const std::string format = cols[0].substr(0, cols[0].find('/'));
        if (format == "bmp" || format == "jpeg" || format == "png" || format == "tiff" ||
            format == "gif" || format == "eps" || format == "tga" || format == "pcx" ||
            format == "pgm" || format == "pict" || format == "wmf" || format == "emf")
            entries.push_back({cols[0], cols[4]});
    }
    return entries;
}

// Files listed as good that this program refuses, each with the words of its refusal.
const std::map<std::string, std::string>& KnownRefusals() {
    static const std::map<std::string, std::string> refusals = {
        // OS/2 bitmaps have a 12-byte header.
        {"bmp/bmpsuite-2.8/g/pal8os2.bmp", "BITMAPINFOHEADER has wrong size"},
        {"bmp/image-rs/images/bmp/images/Core_1_Bit.bmp", "BITMAPINFOHEADER has wrong size"},
        {"bmp/image-rs/images/bmp/images/Core_4_Bit.bmp", "BITMAPINFOHEADER has wrong size"},
        {"bmp/twelvemonkeys/os2/money-16-(os2).bmp", "BITMAPINFOHEADER has wrong size"},
        {"bmp/twelvemonkeys/os2/money-2-(os2).bmp", "BITMAPINFOHEADER has wrong size"},
        // Runs past the end of a row.
        {"bmp/image-rs/images/bmp/images/imagemagick_invalid_run_length_issue_2321.bmp",
         "overruns a row"},
        {"bmp/twelvemonkeys/bmp/blauesglas_4.rle", "delta escape"},
        {"bmp/twelvemonkeys/bmp/blauesglas_8.rle", "delta escape"},
        // PostScript without a TIFF preview.
        {"eps/pillow/illu10_no_preview.eps", "Unknown file type"},
        {"eps/pillow/zero_bb.eps", "Unknown file type"},
        // LZW minimum code size 11, which the GIF library refuses.
        {"gif/pillow/issue_2811.gif", "Failed to read"},
        // Colour profiles and metadata kept beside the GIF tests.
        {"gif/pygif-test-suite/test-suite/empty.icc", "Unknown file type"},
        {"gif/pygif-test-suite/test-suite/empty.xmp", "Unknown file type"},
        {"gif/pygif-test-suite/test-suite/sRGB.icc", "Unknown file type"},
        {"gif/pygif-test-suite/test-suite/test.xmp", "Unknown file type"},
        // 12-bit JPEG samples.
        {"jpeg/libjpeg-turbo/monkey12.jpg", "precision 12"},
        // Floating-point, 12-bit and BigTIFF files.
        {"tiff/image-rs/images/tiff/testsuite/rgb32f_bw.tiff", "32-bit samples"},
        {"tiff/image-rs/images/tiff/testsuite/rgb32f_color.tiff", "32-bit samples"},
        {"tiff/libtiff/test_float64_predictor2_be_lzw.tif", "64-bit samples"},
        {"tiff/libtiff/test_float64_predictor2_le_lzw.tif", "64-bit samples"},
        {"tiff/pillow/12bit.cropped.tif", "12-bit samples"},
        {"tiff/pillow/hopper_bigtiff.tif", "Unknown file type"},
        // Colour pixmaps (P6) kept beside the greymaps, and a multi-page PCX container.
        {"pgm/gdk-pixbuf-pnm/randomly-modified/valid.1.ppm", "Unknown file type"},
        {"pgm/gdk-pixbuf-pnm/randomly-modified/valid.2.ppm", "Unknown file type"},
        {"pgm/gdk-pixbuf-pnm/randomly-modified/valid.3.ppm", "Unknown file type"},
        {"pgm/gdk-pixbuf-pnm/randomly-modified/valid.4.ppm", "Unknown file type"},
        {"pcx/twelvemonkeys/input.dcx", "Unknown file type"},
        {"pcx/kryptan-pcx/cga/md5sum", "Unknown file type"},
        // QuickTime-compressed pictures.
        {"pict/twelvemonkeys/J19.pict", "Library not compiled for PICT/JPEG"},
        {"pict/twelvemonkeys/foo.pict", "Library not compiled for PICT/JPEG"},
        {"pict/twelvemonkeys/qt_jpeg.pict", "Library not compiled for PICT/JPEG"},
        {"pict/twelvemonkeys/qt_mire.pict", "Library not compiled for PICT/JPEG"},
        {"pict/twelvemonkeys/qt_png.pict", "Library not compiled for PICT/JPEG"},
        {"pict/twelvemonkeys/u2.pict", "Library not compiled for PICT/JPEG"},
        // Fax streams the TIFF library's own decoder rejects.
        {"tiff/libtiff/testfax3_bug54_1dnoEOL.tif", "scanline"},
        {"tiff/libtiff/testfax3_bug_513.tiff", "Fax3Decode1D"},
    };
    return refusals;
}

bool IsInput(const std::string& status) {
    return status.rfind("good", 0) == 0 || status.rfind("BAD", 0) == 0 ||
           status.rfind("questionable", 0) == 0 || status.rfind("edge", 0) == 0 ||
           status.rfind("malformed", 0) == 0 || status.rfind("image OK", 0) == 0 ||
           status.rfind("related", 0) == 0;
}

} // namespace

TEST(ImageCorpus, GoodFilesDecodeAndDamagedOnesFailCleanly) {
    int good = 0, goodDecoded = 0, refused = 0, damaged = 0, damagedRejected = 0;
    for (const Entry& e : CorpusFiles()) {
        if (!IsInput(e.status)) continue;
        const bool isGood = e.status == "good";
        CDibSectionPicture picture;
        std::string error;
        try {
            ImageDecoder().MakePictureFromFile(kCorpus + "/" + e.path, picture);
            EXPECT_GT(picture.GetWidth(), 0) << e.path;
        } catch (const CTextException& x) {
            error = x.GetText();
        }
        if (isGood) {
            ++good;
            const auto known = KnownRefusals().find(e.path);
            if (known != KnownRefusals().end()) {
                ++refused;
                EXPECT_NE(error.find(known->second), std::string::npos) << e.path << ": " << error;
            } else {
                EXPECT_EQ(error, "") << e.path;
                if (error.empty()) ++goodDecoded;
            }
        } else {
            ++damaged;
            if (!error.empty()) ++damagedRejected;
        }
    }
    std::printf("corpus: %d of %d good files decode (%d refused as known); %d other files: %d "
                "rejected with CTextException, %d decoded\n",
                goodDecoded, good, refused, damaged, damagedRejected, damaged - damagedRejected);
    EXPECT_GT(good, 600);
}

namespace {

struct Comparison {
    int exact = 0, close = 0, total = 0;
};

// Compares colours where the reference is opaque; close means no channel off by more than 8
// (how 5- and 6-bit channels widened by shifting differ from fully scaled ones).
void Compare(const std::string& input, const std::string& reference, Comparison& c) {
    if (!std::filesystem::exists(kCorpus + "/" + input)) return;
    ++c.total;
    CDibPicture picture, ref;
    try {
        ImageDecoder().MakePictureFromFile(kCorpus + "/" + input, picture, 32);
        ImageDecoder().MakePictureFromFile(kCorpus + "/" + reference, ref, 32);
    } catch (const CTextException& e) {
        std::printf("  %s: %s", input.c_str(), e.GetText().c_str());
        return;
    }
    if (picture.GetWidth() != ref.GetWidth() || picture.GetHeight() != ref.GetHeight()) {
        std::printf("  %s: size differs\n", input.c_str());
        return;
    }
    int worst = 0;
    for (int y = 0; y < ref.GetHeight(); ++y)
        for (int x = 0; x < ref.GetWidth(); ++x) {
            const uint8_t* r = ref.GetLineArray()[y] + 4 * x;
            const uint8_t* p = picture.GetLineArray()[y] + 4 * x;
            if (ref.HasAlpha() && r[3] != 255) continue;
            for (int i = 0; i < 3; ++i) worst = std::max(worst, std::abs(int(r[i]) - int(p[i])));
        }
    if (worst == 0)
        ++c.exact;
    else if (worst <= 8)
        ++c.close;
    else
        std::printf("  %s: differs by up to %d\n", input.c_str(), worst);
}

} // namespace

TEST(ImageCorpus, ReferenceRenderings) {
    Comparison bmp, gif;
    for (const auto& f : std::filesystem::directory_iterator(kCorpus + "/bmp/bmpsuite-2.8/html")) {
        if (f.path().extension() != ".png") continue;
        const std::string stem = f.path().stem();
        const std::string ref = "bmp/bmpsuite-2.8/html/" + stem + ".png";
        for (const char* dir : {"g", "q"}) {
            const std::string input = std::string("bmp/bmpsuite-2.8/") + dir + "/" + stem + ".bmp";
            if (std::filesystem::exists(kCorpus + "/" + input) && !KnownRefusals().count(input))
                Compare(input, ref, bmp);
        }
    }
    Compare("bmp/gdk-pixbuf/reftests/mandatory-bitmasks.bmp",
            "bmp/gdk-pixbuf/reftests/mandatory-bitmasks.bmp.ref.png", bmp);
    const std::string pygif = "gif/pygif-test-suite/test-suite/";
    for (const auto& f : std::filesystem::directory_iterator(kCorpus + "/" + pygif)) {
        if (f.path().extension() != ".gif") continue;
        const std::string stem = f.path().stem();
        if (std::filesystem::exists(kCorpus + "/" + pygif + stem + ".png"))
            Compare(pygif + stem + ".gif", pygif + stem + ".png", gif);
    }
    std::printf("reference renderings: bitmaps %d exact, %d within 8 of %d; GIF %d exact, %d "
                "within 8 of %d\n",
                bmp.exact, bmp.close, bmp.total, gif.exact, gif.close, gif.total);
    Comparison tga, pcx, metafile;
    const std::string gdk = "tga/gdk-pixbuf/reftests/tga/gtk-logo-";
    for (const char* corner : {"bottom-left", "bottom-right", "top-left", "top-right"}) {
        const std::string c = corner;
        for (const char* kind : {"24bpp-", "rle-24bpp-"})
            Compare(gdk + kind + c + ".tga", gdk + "opaque.ref.png", tga);
        for (const char* kind : {"32bpp-", "rle-32bpp-"})
            Compare(gdk + kind + c + ".tga", gdk.substr(0, gdk.size() - 1) + ".ref.png", tga);
        for (const char* kind : {"cmap-8bpp-", "cmap-rle-8bpp-"})
            Compare(gdk + kind + c + ".tga", gdk + "cmap.ref.png", tga);
        for (const char* kind : {"gray-8bpp-", "gray-rle-8bpp-"})
            Compare(gdk + kind + c + ".tga", gdk + "gray-opaque.ref.png", tga);
        for (const char* kind : {"gray-16bpp-", "gray-rle-16bpp-"})
            Compare(gdk + kind + c + ".tga", gdk + "gray.ref.png", tga);
    }
    const std::string common = "tga/pillow/tga/common/";
    for (const char* mode : {"l", "la", "p", "rgb", "rgba"})
        for (const char* variant : {"_bl_raw", "_bl_rle", "_tl_raw", "_tl_rle"})
            Compare(common + "200x32_" + mode + variant + ".tga",
                    common + "200x32_" + mode + ".png", tga);
    for (const char* name : {"marbles", "gmarbles", "tiny"})
        Compare(std::string("pcx/kryptan-pcx/") + name + ".pcx",
                std::string("pcx/kryptan-pcx/") + name + ".png", pcx);
    for (const char* name : {"CGA_BW", "CGA_FSD", "CGA_RGBI", "CGA_TST1"})
        Compare(std::string("pcx/twelvemonkeys/") + name + ".PCX",
                std::string("pcx/kryptan-pcx/cga/") + name + ".png", pcx);
    Compare("wmf/wmf2svg/fulltest.wmf", "wmf/wmf2svg/fulltest.png", metafile);
    Compare("emf/wmf2svg/fulltest.emf", "emf/wmf2svg/fulltest.png", metafile);
    Compare("wmf/pillow/drawing.wmf", "wmf/pillow/drawing_wmf_ref.png", metafile);
    Compare("emf/pillow/drawing.emf", "emf/pillow/drawing_emf_ref.png", metafile);
    std::printf("reference renderings: TGA %d exact, %d within 8 of %d; PCX %d exact, %d within "
                "8 of %d; metafiles %d exact, %d within 8 of %d\n",
                tga.exact, tga.close, tga.total, pcx.exact, pcx.close, pcx.total, metafile.exact,
                metafile.close, metafile.total);
    EXPECT_GE(tga.exact + tga.close, 50);
    EXPECT_GE(pcx.exact + pcx.close, 3);
    // Every bmpsuite file of the good set matches; the rest differ where this program's bitmap
    // rules (2-bit, delta escapes, masks other than 5-5-5 and 5-6-5, 32-bit copied as stored)
    // and GIF rules (the last palette for all records, records outside the screen) decide.
    EXPECT_GE(bmp.exact + bmp.close, 13);
    EXPECT_GE(gif.exact, 9);
}
