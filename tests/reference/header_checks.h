// The coder's two verdicts on a main picture and its test of a hidden one, from the library's
// checks, for the tests and fuzz targets that hold the programs' messages to them.
#pragma once

#include <cstdint>

#include "vorn.h"

enum class header_check { accepted, not_supported, corrupted };

// Corrupted for a raster beyond the end of the file, not supported for every other refusal.
inline header_check check_main_header(const uint8_t* image, uint32_t length, vorn_geometry& geometry)
{
    switch (vorn_check_carrier(image, length, &geometry)) {
    case VORN_OK: return header_check::accepted;
    case VORN_ERR_RASTER_BEYOND_END: return header_check::corrupted;
    default: return header_check::not_supported;
    }
}

// Whether a hidden picture's file image may be used with the main picture.
inline bool same_geometry(const uint8_t* image, uint32_t length, const vorn_geometry& main)
{
    return vorn_check_hidden(&main, image, length) == VORN_OK;
}
