// orvane-convert: decodes an image file with the program's decoders, applies the editor's
// operations in the order given, and writes it with its encoders, chosen by the output file's
// extension.
//
//   orvane-convert [--bpp 8|32] [OPERATIONS] INPUT OUTPUT
//   orvane-convert [--bpp 8|32] --info INPUT      prints "WIDTH HEIGHT BPP ALPHA"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imagefile/ImageDecoder.h"
#include "imagefile/Picture.h"
#include "imagefile/PictureEncoder.h"
#include "tools/ConvertOperations.h"

#ifdef ORVANE_CONVERT_DRAWS_TEXT
#include <QGuiApplication>
#include <memory>

#include "imagefile/MetafileTextQt.h"
#endif

namespace {

#ifdef ORVANE_CONVERT_DRAWS_TEXT
bool IsMetafileName(const std::string& path) {
    const auto type = ImageDecoder::Recognize(path, nullptr, 0, 0);
    return type == ImageDecoder::FileType::WindowsMetafile ||
           type == ImageDecoder::FileType::EnhancedMetafile;
}
#endif

struct Options {
    int wantedBpp = 0;
    bool info = false;
    std::vector<std::string> files;
};

int Usage(const std::string& error = {}) {
    if (!error.empty()) std::fprintf(stderr, "orvane-convert: %s\n", error.c_str());
    std::fprintf(stderr,
                 "usage: orvane-convert [--bpp 8|32] [OPERATIONS] INPUT OUTPUT\n"
                 "       orvane-convert [--bpp 8|32] --info INPUT\n"
                 "OUTPUT's extension chooses the format: jpg, tif, png, bmp or gif.\n"
                 "OPERATIONS, applied in the order given:\n%s",
                 convertops::UsageText());
    return 2;
}

// The converter's own options among the arguments the operations left over.
bool ParseArguments(const std::vector<std::string>& args, Options& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            options.files.insert(options.files.end(), args.begin() + long(i) + 1, args.end());
            break;
        }
        if (arg == "--info") {
            options.info = true;
        } else if (arg == "--bpp") {
            if (++i >= args.size()) return false;
            const std::string& value = args[i];
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
    const convertops::ParseResult parsed =
        convertops::ParseOperations(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) return Usage(parsed.error);
    Options options;
    if (!ParseArguments(parsed.rest, options)) return Usage();
    if (options.info && !parsed.operations.empty()) return Usage("--info takes no operations");

#ifdef ORVANE_CONVERT_DRAWS_TEXT
    // Text in metafiles is drawn with the desktop's fonts, which need an application object;
    // it never shows a window, so it needs no display either.
    std::unique_ptr<QGuiApplication> fonts;
    if (IsMetafileName(options.files[0])) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        // The toolkit's notes about the environment are no business of a converter's output.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        fonts = std::make_unique<QGuiApplication>(argc, argv);
        InstallMetafileTextRenderer();
    }
#endif
    try {
        CDibSectionPicture picture;
        ImageDecoder decoder;
        decoder.MakePictureFromFile(options.files[0], picture, options.wantedBpp);

        if (options.info) {
            std::printf("%d %d %d %d\n", picture.GetWidth(), picture.GetHeight(),
                        picture.GetBitsPerPixel(), picture.HasAlpha() ? 1 : 0);
            return 0;
        }

        const std::string error = convertops::ApplyOperations(parsed, picture);
        if (!error.empty()) return Usage(error);

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
