#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

#include <tiffio.h>

#include "imagefile/ImageError.h"
#include "imagefile/Picture.h"

// Per-handle message handlers: errors are kept for the exception (the last one wins), warnings
// go to the diagnostic output only.
struct TiffMessages {
    std::string lastError;
};

inline int TiffErrorHandler(TIFF*, void* user, const char* module, const char* format,
                            va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    auto* messages = static_cast<TiffMessages*>(user);
    messages->lastError = module ? std::string(module) + ": " + text : std::string(text);
    return 1;
}

inline int TiffWarningHandler(TIFF*, void*, const char* module, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    if (module)
        ImageDiagnostic("Warning in LIBTIFF(%s): %s\n", module, text);
    else
        ImageDiagnostic("Warning in LIBTIFF: %s\n", text);
    return 1;
}

// Owns the options object that carries the handlers into TIFFClientOpenExt.
class TiffOpenOptions {
public:
    explicit TiffOpenOptions(TiffMessages* messages) : m_options(TIFFOpenOptionsAlloc()) {
        if (!m_options) RaiseImageError(CTextException::OutOfMemory, "Out of memory.");
        TIFFOpenOptionsSetErrorHandlerExtR(m_options, TiffErrorHandler, messages);
        TIFFOpenOptionsSetWarningHandlerExtR(m_options, TiffWarningHandler, messages);
        // A damaged directory can ask the library for any amount of memory; nothing a
        // picture within the size limit needs comes near this.
        TIFFOpenOptionsSetMaxSingleMemAlloc(m_options, tmsize_t(kMaxPicturePixels) * 4);
    }
    ~TiffOpenOptions() { TIFFOpenOptionsFree(m_options); }
    TiffOpenOptions(const TiffOpenOptions&) = delete;
    TiffOpenOptions& operator=(const TiffOpenOptions&) = delete;
    TIFFOpenOptions* get() const { return m_options; }

private:
    TIFFOpenOptions* m_options;
};

struct TiffCloser {
    TIFF* tif;
    ~TiffCloser() {
        if (tif) TIFFClose(tif);
    }
};
