// glue.cpp: the few entry points the page's worker calls beyond the engine's own functions.
//
// The engine takes every buffer from its caller. Encoding and decoding also need a work buffer
// whose size depends on the picture; these wrappers ask for that size, take the buffer with
// malloc and free it again, so that JavaScript only handles the file images. What was done
// comes back as five int32 values, which JavaScript reads without knowing any struct's layout. Everything else (checks, extract, detect, reveal, conversions) is called
// directly from JavaScript.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdlib>

#include "vorn.h"

namespace {

// The page's worker allocates with malloc; when that fails the glue says so with this code,
// which the engine's codes never use.
constexpr int no_memory = -1;

// The report the worker reads, five int32 values: the refusal of hidden picture 1 and 2 (0 when
// it was stored or not given), whether the layer of hidden 1 and of hidden 2 alone was
// scrambled (1) or left in place (2), 0 when there is none, and the same for Decoded_2.
void report_encode(const vorn_geometry &g, bool hidden1, bool hidden2, int refused, vorn_error error,
                   int32_t *fields)
{
    const int32_t moved = vorn_scrambles(&g) ? 1 : 2;
    fields[0] = refused == 1 ? error : VORN_OK;
    fields[1] = refused == 2 ? error : VORN_OK;
    fields[2] = hidden1 ? moved : 0;
    fields[3] = hidden2 && !hidden1 ? moved : 0;
    fields[4] = 0;
}

// The work buffer of the size `size_of` gives for this picture, from malloc. Null, with `error`
// set, when the picture is refused or the memory cannot be had; the caller frees it otherwise.
void *take_work(vorn_error (*size_of)(const vorn_geometry *, size_t *), const uint8_t *image,
                size_t length, vorn_geometry &geometry, size_t &size, int &error)
{
    error = vorn_check_carrier(image, length, &geometry);
    if (error == VORN_OK)
        error = size_of(&geometry, &size);
    if (error != VORN_OK)
        return nullptr;
    void *work = std::malloc(size ? size : 1);
    if (!work)
        error = no_memory;
    return work;
}

}  // namespace

extern "C" {

// vorn_encode() in place with its work buffer. A refused hidden picture comes back in the
// report (its field holds the reason) with VORN_OK, as the worker expects; -1 when the work
// buffer cannot be had. report_fields receives five int32 values.
EMSCRIPTEN_KEEPALIVE int web_encode(uint8_t *image, size_t length, uint8_t *hidden1,
                                    size_t hidden1_length, uint8_t *hidden2, size_t hidden2_length,
                                    int build, int32_t *report_fields)
{
    size_t work_size = 0;
    int error = VORN_OK;
    vorn_geometry g{};
    void *work = take_work(vorn_encode_work_size, image, length, g, work_size, error);
    if (!work)
        return error;
    int refused = 0;
    const vorn_error done = vorn_encode(image, length, hidden1, hidden1_length, hidden2,
                                        hidden2_length, vorn_build(build), work, work_size, &refused);
    std::free(work);
    report_encode(g, hidden1, hidden2, refused, done, report_fields);
    return refused ? VORN_OK : done;
}

// vorn_program_decode() with its work buffer, as web_encode().
EMSCRIPTEN_KEEPALIVE int web_decode(const uint8_t *coded, size_t length, int build,
                                    uint8_t *decoded1, uint8_t *decoded2, int32_t *report_fields)
{
    size_t work_size = 0;
    int error = VORN_OK;
    vorn_geometry g{};
    void *work = take_work(vorn_program_decode_work_size, coded, length, g, work_size, error);
    if (!work)
        return error;
    error = vorn_program_decode(coded, length, vorn_build(build), decoded1, decoded2, work,
                                work_size);
    std::free(work);
    for (int i = 0; i < 4; ++i)
        report_fields[i] = 0;
    report_fields[4] = vorn_scrambles(&g) ? 1 : 2;
    return error;
}

}  // extern "C"
