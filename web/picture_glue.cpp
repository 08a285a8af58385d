// picture_glue.cpp: pictures into and out of the module with vorn's own readers and PNG writer
// (the same code and libraries as the command), so that a file gives the page the pixels it
// gives vorn.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <string>

#include "glue.h"
#include "hidden_fit.h"
#include "input_picture.h"
#include "png_codec.h"
#include "vorn.h"

namespace {

std::string failure_text;
std::string fit_done;  // what the last web_fit_hidden() did

// The largest picture the page reads: 128 megapixels, so that a carrier and two hidden pictures
// held, their working copies and the results fit in the module's 4 GiB of memory.
const read_limits page_limits{uint64_t(128) << 20, nullptr};

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
    *flags = 0;
    return guarded([&] {
        if (!is_vorn_format(*buffer))
            return WEB_UNKNOWN_FORMAT;
        const std::string path(reinterpret_cast<const char *>(name->data()));
        input_picture picture = picture_from_file(std::move(*buffer), path,
                                                  role == WEB_ROLE_CODED ? picture_role::coded
                                                                         : picture_role::source,
                                                  page_limits);
        if (picture.as_is)
            *flags |= WEB_READ_AS_IS;
        else if (picture.pixels.alpha_dropped)
            *flags |= WEB_READ_ALPHA_DROPPED;
        *buffer = coder_image(picture);
        return 0;
    });
}

// Makes hidden picture `which` go with the carrier by the engine's policy, as vorn does: kept as
// it is when the engine takes it beside this carrier, its pixels put into the carrier's frame
// when it has the carrier's size, otherwise scaled into the frame as `fit` says; then
// web_fit_text() says what scaling did (empty when nothing was scaled).
EMSCRIPTEN_KEEPALIVE int web_fit_hidden(const web_buffer *carrier, web_buffer *hidden, int which, int fit)
{
    fit_done.clear();
    return guarded([&] {
        vorn_geometry frame;
        vorn_check_carrier(carrier->data(), carrier->size(), &frame);  // held, so accepted
        fitted_hidden fitted = fit_hidden_picture(std::move(*hidden), which, *carrier, frame, vorn_fit(fit),
                                                  "hidden picture " + std::to_string(which));
        *hidden = std::move(fitted.image);
        fit_done = std::move(fitted.done);
        return 0;
    });
}

// The text of the last web_fit_hidden(); static until the next call.
EMSCRIPTEN_KEEPALIVE const char *web_fit_text()
{
    return fit_done.c_str();
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
        vorn_bmp_from_rgb(buffer->data(), width, height, size_t(width) * 4, 4, image.data(),
                          image.size());
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
        vorn_bmp_to_rgb(image->data(), image->size(), bytes + pixels, pixels * 3);
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

// The PNG file of an accepted picture of at least one pixel, written as vorn writes its PNGs:
// with the settings for its kind (WEB_PNG_CODED, WEB_PNG_DECODED, WEB_PNG_RECONSTRUCTED). A new
// buffer; null (web_failure_text()) when it cannot be written.
EMSCRIPTEN_KEEPALIVE web_buffer *web_png_of(const web_buffer *image, int kind)
{
    web_buffer *png = nullptr;
    guarded([&] {
        const png_settings &settings = kind == WEB_PNG_CODED           ? coded_png_settings
                                       : kind == WEB_PNG_RECONSTRUCTED ? reconstructed_png_settings
                                                                       : decoded_png_settings;
        png = new web_buffer(write_png_of_image(image->data(), image->size(), "the PNG", settings));
        return 0;
    });
    return png;
}

}  // extern "C"
