// libjpeg's error handling for the kit's JPEG reader and writer: a fatal error must not return,
// so its message is kept and control jumps back to the setjmp of the call that started the
// work, which frees the codec and reports.
#pragma once

#include <csetjmp>
#include <cstdio>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

struct jpeg_errors {
    jpeg_error_mgr fields;
    std::jmp_buf escape;
    char text[JMSG_LENGTH_MAX];
};

inline void on_jpeg_fatal_error(j_common_ptr codec)
{
    auto* manager = reinterpret_cast<jpeg_errors*>(codec->err);
    (*codec->err->format_message)(codec, manager->text);
    std::longjmp(manager->escape, 1);
}
