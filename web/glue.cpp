// glue.cpp: the module's byte buffers and the engine calls that need more than one engine
// function, for the page's worker.
//
// A picture lives in a buffer (a std::vector inside the module) from the moment its file's bytes
// are written into it until the worker frees it: JavaScript writes the file in once, every step
// (reading, encoding, extracting, revealing, the preview, the PNG) works on buffers in place, and
// only results are read out. The engine functions that take plain pointers are called directly
// from JavaScript on a buffer's data.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "glue.h"
#include "vorn.h"

namespace {

// The work buffer of the size `size_of` gives for this picture. Empty, with `error` set, when
// the picture is refused.
std::vector<uint8_t> work_for(vorn_error (*size_of)(const vorn_geometry *, size_t *),
                              const web_buffer &image, vorn_error &error)
{
    vorn_geometry geometry;
    size_t size = 0;
    error = vorn_check_carrier(image.data(), image.size(), &geometry);
    if (error == VORN_OK)
        error = size_of(&geometry, &size);
    if (error != VORN_OK)
        return {};
    return std::vector<uint8_t>(size);
}

uint8_t *data_or_null(web_buffer *buffer)
{
    return buffer ? buffer->data() : nullptr;
}

size_t length_or_0(const web_buffer *buffer)
{
    return buffer ? buffer->size() : 0;
}

}  // namespace

extern "C" {

// A buffer of `length` bytes (0 included), or null when the memory cannot be had. Freed with
// web_buffer_free().
EMSCRIPTEN_KEEPALIVE web_buffer *web_buffer_new(size_t length)
{
    try {
        return new web_buffer(length);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

EMSCRIPTEN_KEEPALIVE uint8_t *web_buffer_data(web_buffer *buffer)
{
    return buffer->data();
}

EMSCRIPTEN_KEEPALIVE size_t web_buffer_length(const web_buffer *buffer)
{
    return buffer->size();
}

EMSCRIPTEN_KEEPALIVE void web_buffer_free(web_buffer *buffer)
{
    delete buffer;
}

// vorn_encode() in place: `image` holds the carrier and then the coded picture; hidden1 and
// hidden2 may be null, and their rasters are used up. *refused names the hidden picture an
// error is about (1 or 2), 0 otherwise. WEB_FAILED (web_failure_text()) when the work buffer
// cannot be had.
EMSCRIPTEN_KEEPALIVE int web_encode(web_buffer *image, web_buffer *hidden1, web_buffer *hidden2,
                                    int build, int *refused)
{
    *refused = 0;
    return guarded([&] {
        vorn_error error;
        std::vector<uint8_t> work = work_for(vorn_encode_work_size, *image, error);
        if (error != VORN_OK)
            return int(error);
        return int(vorn_encode(image->data(), image->size(), data_or_null(hidden1),
                               length_or_0(hidden1), data_or_null(hidden2), length_or_0(hidden2),
                               vorn_build(build), work.data(), work.size(), refused));
    });
}

// The programs' decoding: Decoded_2 is written over `coded`, Decoded_1 into `decoded1`, a
// buffer of the same length.
EMSCRIPTEN_KEEPALIVE int web_decode(web_buffer *coded, int build, web_buffer *decoded1)
{
    return guarded([&] {
        vorn_error error;
        std::vector<uint8_t> work = work_for(vorn_program_decode_work_size, *coded, error);
        if (error != VORN_OK)
            return int(error);
        return int(vorn_program_decode(coded->data(), coded->size(), vorn_build(build),
                                       decoded1->data(), coded->data(), work.data(), work.size()));
    });
}

// Hidden picture `which` of a coded picture of this layout, reconstructed (vorn_reconstruct())
// into `picture`, a buffer of the coded picture's length.
EMSCRIPTEN_KEEPALIVE int web_reconstruct(const web_buffer *coded, int layout, int which, web_buffer *picture)
{
    return guarded([&] {
        vorn_error error;
        std::vector<uint8_t> work = work_for(vorn_reconstruct_work_size, *coded, error);
        if (error != VORN_OK)
            return int(error);
        return int(vorn_reconstruct(coded->data(), coded->size(), vorn_layout(layout), which,
                                    picture->data(), picture->size(), work.data(), work.size()));
    });
}

// A keyed picture's hidden picture `which`, as vorn_keyed_decode() left it, reconstructed in
// place (vorn_keyed_reconstruct()).
EMSCRIPTEN_KEEPALIVE int web_keyed_reconstruct(web_buffer *picture, int layout, int which)
{
    return guarded([&] {
        vorn_error error;
        std::vector<uint8_t> work = work_for(vorn_reconstruct_work_size, *picture, error);
        if (error != VORN_OK)
            return int(error);
        return int(vorn_keyed_reconstruct(picture->data(), picture->size(), vorn_layout(layout), which,
                                          work.data(), work.size()));
    });
}

}  // extern "C"
