// What the glue's files share: the buffer type, and the way a C++ failure becomes a return code
// with its text kept for the worker.
#pragma once

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "fault.h"

// A buffer the worker holds by its address.
using web_buffer = std::vector<uint8_t>;

// Returned when the reason is a text (web_failure_text()) rather than an engine error code.
constexpr int WEB_FAILED = -1;
// Returned by web_read_picture() for a file that is not a PNG, JPEG or BMP.
constexpr int WEB_UNKNOWN_FORMAT = -2;

// What a picture is read for: a carrier or hidden picture, or a picture whose low bits matter.
constexpr int WEB_ROLE_SOURCE = 0;
constexpr int WEB_ROLE_CODED = 1;

// The kinds of PNG web_png_of() writes, each with vorn's settings for it.
constexpr int WEB_PNG_DECODED = 0;        // raw levels, revealed pictures
constexpr int WEB_PNG_CODED = 1;
constexpr int WEB_PNG_RECONSTRUCTED = 2;  // reconstructed hidden pictures

// What web_read_picture() found, as bits.
constexpr int32_t WEB_READ_AS_IS = 1;          // a BMP the engine takes as it stands
constexpr int32_t WEB_READ_ALPHA_DROPPED = 2;  // the file's transparency was left out

// The text of the last WEB_FAILED; the worker runs one call at a time.
void set_failure(std::string text);

// Runs `body` (returning an int code) and turns a kit fault or a failed allocation into
// WEB_FAILED with its text, so that no exception leaves the module.
template <typename Body>
int guarded(Body body)
{
    try {
        return body();
    } catch (const kit_fault &fault) {
        set_failure(fault.text);
    } catch (const std::bad_alloc &) {
        set_failure("not enough memory for this picture in the browser");
    }
    return WEB_FAILED;
}
