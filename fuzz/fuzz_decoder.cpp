// libFuzzer entry: one decoder, or the whole recognition path, over arbitrary bytes. Every
// input must end in a picture or a CTextException; anything else (a crash, a sanitizer
// report, another exception) is a finding.

#include <cstddef>
#include <cstdint>

#include "imagefile/DataSource.h"
#include "imagefile/ImageDecoder.h"
#include "imagefile/PictureDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte picks the depth asked for, so the 8- and 32-bit paths are both covered.
    static const int kDepths[4] = {0, 8, 32, 0};
    const int wanted = size ? kDepths[data[0] & 3] : 0;
    CDibPicture picture;
    try {
#ifdef ORVANE_FUZZ_DECODER
        CMemorySource source(data, size);
        ORVANE_FUZZ_DECODER decoder;
        decoder.MakePicture(source, picture, wanted);
#else
        ImageDecoder().MakePictureFromMemory(data, size, picture, wanted);
#endif
    } catch (const CTextException&) {
    }
    return 0;
}
