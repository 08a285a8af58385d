// glue.cpp: the few entry points the page's worker calls beyond the engine's own functions.
//
// The engine takes every buffer from its caller. Encoding and decoding also need a work buffer
// whose size depends on the picture; these wrappers ask for that size, take the buffer with
// malloc and free it again, so that JavaScript only handles the file images. The report comes
// back as five int32 values in its field order, which JavaScript reads without knowing the
// struct's layout. Everything else (checks, extract, detect, reveal, conversions) is called
// directly from JavaScript.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <cstdlib>

#include "vorn.h"

namespace {

void flatten(const vorn_report &report, int32_t *fields)
{
    fields[0] = report.hidden1;
    fields[1] = report.hidden2;
    fields[2] = report.hidden1_permutation;
    fields[3] = report.hidden2_permutation;
    fields[4] = report.decoded2_permutation;
}

// The work buffer of the size `size_of` gives for this picture, from malloc. Null, with `error`
// set, when the picture is refused or the memory cannot be had; the caller frees it otherwise.
void *take_work(vorn_error (*size_of)(const vorn_geometry *, size_t *), const uint8_t *image,
                size_t length, size_t &size, vorn_error &error)
{
    vorn_geometry geometry;
    error = vorn_check_carrier(image, length, &geometry);
    if (error == VORN_OK)
        error = size_of(&geometry, &size);
    if (error != VORN_OK)
        return nullptr;
    void *work = std::malloc(size ? size : 1);
    if (!work)
        error = VORN_ERR_NO_MEMORY;
    return work;
}

}  // namespace

extern "C" {

// vorn_encode() with its work buffer; VORN_ERR_NO_MEMORY when that buffer cannot be had.
// report_fields receives five int32 values.
EMSCRIPTEN_KEEPALIVE int web_encode(uint8_t *coded, const uint8_t *carrier, size_t length,
                                    uint8_t *hidden1, size_t hidden1_length, uint8_t *hidden2,
                                    size_t hidden2_length, int build, int32_t *report_fields)
{
    size_t work_size = 0;
    vorn_error error = VORN_OK;
    void *work = take_work(vorn_encode_work_size, carrier, length, work_size, error);
    if (!work)
        return error;
    vorn_report report{};
    error = vorn_encode(coded, carrier, length, hidden1, hidden1_length, hidden2, hidden2_length,
                        vorn_build(build), work, work_size, &report);
    std::free(work);
    flatten(report, report_fields);
    return error;
}

// vorn_decode() with its work buffer, as web_encode().
EMSCRIPTEN_KEEPALIVE int web_decode(const uint8_t *coded, size_t length, int build,
                                    uint8_t *decoded1, uint8_t *decoded2, int32_t *report_fields)
{
    size_t work_size = 0;
    vorn_error error = VORN_OK;
    void *work = take_work(vorn_decode_work_size, coded, length, work_size, error);
    if (!work)
        return error;
    vorn_report report{};
    error = vorn_decode(coded, length, vorn_build(build), decoded1, decoded2, work, work_size,
                        &report);
    std::free(work);
    flatten(report, report_fields);
    return error;
}

}  // extern "C"
