// picture_glue.cpp: pictures into and out of the module with vorn's own readers and PNG writer
// (the same code and libraries as the command), so that a file gives the page the pixels it
// gives vorn.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "bmp_reader.h"
#include "glue.h"
#include "jpeg_reader.h"
#include "png_codec.h"
#include "rgb_picture.h"
#include "vorn.h"

namespace {

std::string failure_text;

bool starts_with(const web_buffer &file, const char *magic, size_t length)
{
    return file.size() >= length && std::memcmp(file.data(), magic, length) == 0;
}

// Replaces `into` with the equivalent 24-bit BMP of `pixels` (sized by size_picture(), so its
// length is known to fit).
void store_equivalent_bmp(const rgb_picture &pixels, web_buffer &into)
{
    size_t length = 0;
    vorn_bmp_length(pixels.width, pixels.height, &length);
    into.resize(length);
    into.shrink_to_fit();
    vorn_bmp_from_rgb(pixels.rgb.data(), pixels.width, pixels.height, size_t(pixels.width) * 3, 3,
                      into.data());
}

}  // namespace

void set_failure(std::string text)
{
    failure_text = std::move(text);
}

extern "C" {

EMSCRIPTEN_KEEPALIVE const char *web_failure_text()
{
    return failure_text.c_str();
}

// Reads the file in `buffer` as vorn reads its inputs and leaves the coder file image there: a
// BMP the engine takes as it stands stays as it is; other BMPs, PNGs and (unless `role` is
// WEB_ROLE_CODED, whose low bits matter) JPEGs become their equivalent 24-bit BMP. `name` (a
// NUL-terminated buffer) begins every failure text. *flags receives WEB_READ_AS_IS and
// WEB_READ_ALPHA_DROPPED. WEB_UNKNOWN_FORMAT when the file is none of these formats.
EMSCRIPTEN_KEEPALIVE int web_read_picture(web_buffer *buffer, int role, const web_buffer *name,
                                          int32_t *flags)
{
    return guarded([&] {
        const std::string path(reinterpret_cast<const char *>(name->data()));
        web_buffer &file = *buffer;
        rgb_picture pixels;
        *flags = 0;
        if (starts_with(file, "BM", 2)) {
            vorn_geometry geometry;
            if (vorn_check_carrier(file.data(), file.size(), &geometry) == VORN_OK) {
                *flags = WEB_READ_AS_IS;
                return 0;
            }
            pixels = read_bmp(file, path);
        } else if (starts_with(file, "\x89PNG\r\n\x1a\n", 8)) {
            pixels = read_png(file, path);
        } else if (starts_with(file, "\xff\xd8\xff", 3)) {
            if (role == WEB_ROLE_CODED)
                fail(exit_class::input,
                     path + ": a JPEG cannot hold hidden bits (its compression changes the low "
                            "bits); give the PNG or BMP that encoding wrote");
            pixels = read_jpeg(file, path);
        } else {
            return WEB_UNKNOWN_FORMAT;
        }
        if (pixels.alpha_dropped)
            *flags = WEB_READ_ALPHA_DROPPED;
        store_equivalent_bmp(pixels, file);
        return 0;
    });
}

// Replaces RGBA pixels (a browser's decoding, top row first) in `buffer` with their equivalent
// 24-bit BMP. The engine's error when the picture is too large.
EMSCRIPTEN_KEEPALIVE int web_bmp_from_rgba(web_buffer *buffer, uint32_t width, uint32_t height)
{
    return guarded([&] {
        size_t length = 0;
        const vorn_error error = vorn_bmp_length(width, height, &length);
        if (error != VORN_OK)
            return int(error);
        web_buffer image(length);
        vorn_bmp_from_rgb(buffer->data(), width, height, size_t(width) * 4, 4, image.data());
        *buffer = std::move(image);
        return 0;
    });
}

// The pixels of an accepted picture as opaque RGBA, top row first, as a canvas takes them, in a
// new buffer; null (web_failure_text()) when the memory cannot be had.
EMSCRIPTEN_KEEPALIVE web_buffer *web_rgba_of(const web_buffer *image, const vorn_geometry *geometry)
{
    web_buffer *rgba = nullptr;
    guarded([&] {
        const size_t pixels = size_t(geometry->width) * geometry->height;
        rgba = new web_buffer(pixels * 4);
        // The R G B values go to the last three quarters; spreading them to four bytes each
        // from the front never overwrites a value not yet moved, since pixel i's RGBA ends
        // before pixel i + 1's RGB begins.
        uint8_t *bytes = rgba->data();
        vorn_bmp_to_rgb(image->data(), image->size(), bytes + pixels);
        for (size_t i = 0; i < pixels; ++i) {
            const uint8_t *rgb = bytes + pixels + i * 3;
            const uint8_t r = rgb[0], g = rgb[1], b = rgb[2];
            bytes[i * 4] = r;
            bytes[i * 4 + 1] = g;
            bytes[i * 4 + 2] = b;
            bytes[i * 4 + 3] = 255;
        }
        return 0;
    });
    return rgba;
}

// The PNG file of an accepted picture of at least one pixel, written as vorn writes its PNGs,
// in a new buffer; null (web_failure_text()) when it cannot be written.
EMSCRIPTEN_KEEPALIVE web_buffer *web_png_of(const web_buffer *image, const vorn_geometry *geometry)
{
    web_buffer *png = nullptr;
    guarded([&] {
        rgb_picture pixels;
        pixels.width = geometry->width;
        pixels.height = geometry->height;
        pixels.rgb.allocate(size_t(geometry->width) * geometry->height * 3);
        vorn_bmp_to_rgb(image->data(), image->size(), pixels.rgb.data());
        png = new web_buffer(write_png(pixels, "the PNG"));
        return 0;
    });
    return png;
}

}  // extern "C"
