#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

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
