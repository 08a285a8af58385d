// keyed_glue.cpp: the keyed calls for the page's worker, each with its work buffer from malloc.
// The worker draws the salt (crypto.getRandomValues) and passes the password as NFC UTF-8.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdlib>

#include "vorn.h"

namespace {

// As in glue.cpp: the code for a work buffer that cannot be had, which the engine never uses.
constexpr int no_memory = -1;

void *keyed_work(const uint8_t *image, size_t length, size_t &size, int &error)
{
    vorn_geometry geometry{};
    error = vorn_check_carrier(image, length, &geometry);
    if (error == VORN_OK)
        error = vorn_keyed_work_size(&geometry, &size);
    if (error != VORN_OK)
        return nullptr;
    void *work = std::malloc(size ? size : 1);
    if (!work)
        error = no_memory;
    return work;
}

}  // namespace

extern "C" {

// vorn_keyed_encode() in place; hidden1 or hidden2 may be null as the layout says.
EMSCRIPTEN_KEEPALIVE int web_keyed_encode(uint8_t *image, size_t length, uint8_t *hidden1,
                                          size_t hidden1_length, uint8_t *hidden2,
                                          size_t hidden2_length, int layout, const char *password,
                                          size_t password_length, const uint8_t *salt)
{
    size_t size = 0;
    int error = VORN_OK;
    void *work = keyed_work(image, length, size, error);
    if (!work)
        return error;
    error = vorn_keyed_encode(image, length, hidden1, hidden1_length, hidden2, hidden2_length,
                              vorn_layout(layout), password, password_length, salt, work, size);
    std::free(work);
    return error;
}

// vorn_keyed_decode(): the layout found goes to *layout (an int32).
EMSCRIPTEN_KEEPALIVE int web_keyed_decode(const uint8_t *coded, size_t length,
                                          const char *password, size_t password_length,
                                          uint8_t *picture1, uint8_t *picture2, int32_t *layout)
{
    size_t size = 0;
    int error = VORN_OK;
    void *work = keyed_work(coded, length, size, error);
    if (!work)
        return error;
    vorn_layout found = VORN_LAYOUT_NONE;
    error = vorn_keyed_decode(coded, length, password, password_length, picture1, picture2, length,
                              &found, work, size);
    std::free(work);
    *layout = found;
    return error;
}

}  // extern "C"
