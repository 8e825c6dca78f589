// orvane-convert: decodes an image file with the program's decoders and writes it with its
// encoders, chosen by the output file's extension.
//
//   orvane-convert [--bpp 8|32] INPUT OUTPUT
//   orvane-convert [--bpp 8|32] --info INPUT      prints "WIDTH HEIGHT BPP ALPHA"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imagefile/ImageDecoder.h"
#include "imagefile/Picture.h"
#include "imagefile/PictureEncoder.h"

namespace {

struct Options {
    int wantedBpp = 0;
    bool info = false;
    std::vector<std::string> files;
};

int Usage() {
    std::fprintf(stderr, "usage: orvane-convert [--bpp 8|32] INPUT OUTPUT\n"
                         "       orvane-convert [--bpp 8|32] --info INPUT\n"
                         "OUTPUT's extension chooses the format: jpg, tif, png, bmp or gif.\n");
    return 2;
}

bool ParseArguments(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--info") {
            options.info = true;
        } else if (arg == "--bpp") {
            if (++i >= argc) return false;
            const std::string value = argv[i];
            if (value == "8")
                options.wantedBpp = 8;
            else if (value == "32")
                options.wantedBpp = 32;
            else
                return false;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return false;
        } else {
            options.files.push_back(arg);
        }
    }
    return options.files.size() == (options.info ? 1u : 2u);
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseArguments(argc, argv, options)) return Usage();

    try {
        CDibSectionPicture picture;
        ImageDecoder decoder;
        decoder.MakePictureFromFile(options.files[0], picture, options.wantedBpp);

        if (options.info) {
            std::printf("%d %d %d %d\n", picture.GetWidth(), picture.GetHeight(),
                        picture.GetBitsPerPixel(), picture.HasAlpha() ? 1 : 0);
            return 0;
        }

        const std::string& output = options.files[1];
        if (!EncodePictureByExtension(output, picture)) {
            std::fprintf(stderr,
                         "%s: unknown output format; use the extension jpg, tif, png, bmp or "
                         "gif. Nothing was written.\n",
                         output.c_str());
            return 1;
        }
    } catch (const CTextException& e) {
        std::fputs(e.GetText().c_str(), stderr);
        const std::string& text = e.GetText();
        if (text.empty() || text.back() != '\n') std::fputc('\n', stderr);
        return 1;
    }
    return 0;
}
