#pragma once

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <jpeglib.h>

#include "imagefile/Bands.h"

// The library reports a fatal error by calling error_exit, which must not return; ours
// keeps the message and jumps back to the decoder's or encoder's setjmp. Warnings are
// dropped: a damaged but readable stream still gives its picture.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

inline void JpegErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    longjmp(err->jump, 1);
}

inline void JpegOutputMessage(j_common_ptr) {}

inline jpeg_error_mgr* InitJpegErrorManager(JpegErrorManager* err) {
    jpeg_std_error(&err->pub);
    err->pub.error_exit = JpegErrorExit;
    err->pub.output_message = JpegOutputMessage;
    err->message[0] = '\0';
    return &err->pub;
}

// Colour conversion and the DCTs are done by us on every core, around the library's
// sequential entropy coding. The threads never call the library, and the library is never
// called while they run, so an error can never jump over a running thread.

// Four floats, one SSE register on x86 and a NEON register elsewhere; eight-point DCTs run on
// four rows or columns at once.
typedef float JpegFloat4 __attribute__((vector_size(16)));
typedef int32_t JpegInt4 __attribute__((vector_size(16)));

// An 8 x 8 block as b[row][half]: half 0 holds columns 0-3, half 1 columns 4-7.
struct JpegFloatBlock {
    JpegFloat4 v[8][2];
};

inline void Transpose4(JpegFloat4& a, JpegFloat4& b, JpegFloat4& c, JpegFloat4& d) {
    const JpegFloat4 t0 = __builtin_shufflevector(a, b, 0, 4, 1, 5);
    const JpegFloat4 t1 = __builtin_shufflevector(a, b, 2, 6, 3, 7);
    const JpegFloat4 t2 = __builtin_shufflevector(c, d, 0, 4, 1, 5);
    const JpegFloat4 t3 = __builtin_shufflevector(c, d, 2, 6, 3, 7);
    a = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
    b = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
    c = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
    d = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}

inline void TransposeBlock(JpegFloatBlock& m) {
    auto& v = m.v;
    Transpose4(v[0][0], v[1][0], v[2][0], v[3][0]);
    Transpose4(v[4][1], v[5][1], v[6][1], v[7][1]);
    Transpose4(v[0][1], v[1][1], v[2][1], v[3][1]);
    Transpose4(v[4][0], v[5][0], v[6][0], v[7][0]);
    for (int i = 0; i < 4; ++i) std::swap(v[i][1], v[i + 4][0]);
}
