#include "imagefile/PictureEncoder.h"

#include <cctype>
#include <memory>

#include "imagefile/ImageError.h"

size_t CPictureEncoder::SinkCapacity(const CPicture& picture) {
    const size_t used = picture.GetMemUsed();
    return used > 19999 ? used + used / 5 : used + 4096;
}

void CPictureEncoder::EncodeToFile(const std::string& path, const CPicture& picture) {
    CFileSink sink;
    if (const int code = sink.Open(path, SinkCapacity(picture)))
        RaiseImageError(code, "Opening " + path + " failed");
    DoEncode(sink, picture);
    sink.Close();
}

bool EncodePictureByExtension(const std::string& path, const CPicture& picture) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));

    std::unique_ptr<CPictureEncoder> encoder;
    bool trueColour = false;
    if (ext == "jpg")
        encoder = std::make_unique<CJPEGEncoder>(), trueColour = true;
    else if (ext == "tif")
        encoder = std::make_unique<CTIFFEncoder>();
    else if (ext == "png")
        encoder = std::make_unique<CPNGEncoder>(), trueColour = true;
    else if (ext == "bmp")
        encoder = std::make_unique<CBMPEncoder>();
    else if (ext == "gif")
        encoder = std::make_unique<CGIFEncoder>(), trueColour = true;
    else
        return false;

    if (trueColour && picture.GetBitsPerPixel() != 32) {
        CDibPicture copy;
        copy.CopyWithDepth(picture, 32);
        encoder->EncodeToFile(path, copy);
    } else {
        encoder->EncodeToFile(path, picture);
    }
    return true;
}
