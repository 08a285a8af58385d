// keyed_glue.cpp: the keyed form for the page's worker, on the module's buffers. The library
// draws the salt for every encoding; only the browser tests give one, to compare keyed bytes with
// the native library's. The worker passes the password as NFC UTF-8 in a buffer of its own,
// which these calls wipe before they return, whatever happens.
#include <emscripten/emscripten.h>
#include <sodium.h>

#include <cstdint>
#include <vector>

#include "glue.h"
#include "keyed_testing.h"
#include "vorn.h"

namespace {

// The keyed calls' work buffer for this picture. Empty, with `error` set, when the picture is
// refused.
std::vector<uint8_t> keyed_work(const web_buffer &image, vorn_error &error)
{
    vorn_geometry geometry;
    size_t size = 0;
    error = vorn_check_carrier(image.data(), image.size(), &geometry);
    if (error == VORN_OK)
        error = vorn_keyed_work_size(&geometry, &size);
    if (error != VORN_OK)
        return {};
    return std::vector<uint8_t>(size);
}

// Runs `body` on the password's bytes and wipes them afterwards, also when it throws.
template <typename Body>
int with_password(web_buffer *password, Body body)
{
    struct wiper {
        web_buffer *secret;
        ~wiper() { sodium_memzero(secret->data(), secret->size()); }
    } wipe{password};
    return guarded([&] {
        return body(reinterpret_cast<const char *>(password->data()), password->size());
    });
}

}  // namespace

extern "C" {

// vorn_keyed_encode() in place: `image` holds the carrier and then the keyed picture; hidden1
// and hidden2 are null exactly where `layout` does not store them, and their rasters are used
// up. `salt` is null, except from a test, whose salt holds VORN_KEYED_SALT_BYTES bytes (else
// VORN_ERR_ARGUMENT). WEB_FAILED (web_failure_text()) when the work buffer cannot be had.
EMSCRIPTEN_KEEPALIVE int web_keyed_encode(web_buffer *image, web_buffer *hidden1, web_buffer *hidden2,
                                          int layout, web_buffer *password, const web_buffer *salt)
{
    return with_password(password, [&](const char *text, size_t length) {
        if (salt && salt->size() != VORN_KEYED_SALT_BYTES)
            return int(VORN_ERR_ARGUMENT);
        vorn_error error;
        std::vector<uint8_t> work = keyed_work(*image, error);
        if (error != VORN_OK)
            return int(error);
        uint8_t *data1 = hidden1 ? hidden1->data() : nullptr, *data2 = hidden2 ? hidden2->data() : nullptr;
        const size_t length1 = hidden1 ? hidden1->size() : 0, length2 = hidden2 ? hidden2->size() : 0;
        if (!salt)
            return int(vorn_keyed_encode(image->data(), image->size(), data1, length1, data2, length2,
                                         vorn_layout(layout), text, length, work.data(), work.size()));
        return int(vorn_testing_keyed_encode(image->data(), image->size(), data1, length1, data2, length2,
                                             vorn_layout(layout), text, length, salt->data(),
                                             VORN_TESTING_KEY_FORMAT, work.data(), work.size()));
    });
}

// vorn_keyed_decode(): picture1 and picture2, buffers of the coded picture's length, receive its
// hidden pictures, and *layout the layout whose tag verified. VORN_ERR_KEY_MISMATCH when none
// did (a wrong password, or a changed picture).
EMSCRIPTEN_KEEPALIVE int web_keyed_decode(const web_buffer *coded, web_buffer *password,
                                          web_buffer *picture1, web_buffer *picture2, int32_t *layout)
{
    *layout = VORN_LAYOUT_NONE;
    return with_password(password, [&](const char *text, size_t length) {
        vorn_error error;
        std::vector<uint8_t> work = keyed_work(*coded, error);
        if (error != VORN_OK)
            return int(error);
        if (picture1->size() != coded->size() || picture2->size() != coded->size())
            return int(VORN_ERR_BUFFER_TOO_SMALL);
        vorn_layout found = VORN_LAYOUT_NONE;
        error = vorn_keyed_decode(coded->data(), coded->size(), text, length, picture1->data(),
                                  picture2->data(), coded->size(), &found, work.data(), work.size());
        *layout = found;
        return int(error);
    });
}

// Replaces an accepted picture with the 24-bit BMP of its pixels (a 54-byte header, no bytes
// after the last row), the file a PNG of it is read back as. A keyed picture binds its file
// length, so a carrier is keyed in this form for its PNG download to open too, as vorn takes a
// carrier it writes as PNG. WEB_FAILED when the memory cannot be had.
EMSCRIPTEN_KEEPALIVE int web_take_pixels(web_buffer *image)
{
    return guarded([&] {
        vorn_geometry geometry;
        vorn_check_carrier(image->data(), image->size(), &geometry);  // held, so accepted
        size_t rgb_length = 0, length = 0;
        vorn_error error = vorn_rgb_length(&geometry, &rgb_length);
        if (error == VORN_OK)
            error = vorn_bmp_length(geometry.width, geometry.height, &length);
        if (error != VORN_OK)
            return int(error);
        std::vector<uint8_t> rgb(rgb_length);
        vorn_bmp_to_rgb(image->data(), image->size(), rgb.data(), rgb.size());
        web_buffer framed(length);
        vorn_bmp_from_rgb(rgb.data(), geometry.width, geometry.height, size_t(geometry.width) * 3, 3,
                          framed.data(), framed.size());
        *image = std::move(framed);
        return 0;
    });
}

// Whether the low bits of an accepted picture look random, as a keyed picture's do (1 or 0).
EMSCRIPTEN_KEEPALIVE int web_keyed_likely(const web_buffer *coded)
{
    int likely = 0;
    return vorn_keyed_likely(coded->data(), coded->size(), &likely) == VORN_OK && likely;
}

}  // extern "C"
