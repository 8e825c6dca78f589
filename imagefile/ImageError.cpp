#include "imagefile/ImageError.h"

#include <cstdarg>
#include <cstdio>

namespace {

bool RaisedWithoutPrefix(const std::string& message) {
    static const char* const kPlain[] = {
        "Out of memory creating bitmap.",
        "Can't allocate global memory block.",
        "Buffer overflow while encoding.\n",
        "End of file reached while decoding.\n",
        "Out of memory.",
    };
    for (const char* plain : kPlain)
        if (message == plain) return true;
    return false;
}

} // namespace

std::string FormatImageError(const std::string& message) {
    if (RaisedWithoutPrefix(message)) return message;
    return "Decoder error: " + message + "\n";
}

void RaiseImageError(int code, const std::string& message) {
    throw CTextException(code, FormatImageError(message));
}

void ImageDiagnostic(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}
