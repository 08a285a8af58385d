// The names of the outcomes, and the library's version.
#include "vorn.h"

#ifndef VORN_VERSION_STRING
#define VORN_VERSION_STRING "unknown"
#endif

const char* vorn_strerror(vorn_error error)
{
    switch (error) {
    case VORN_OK: return "success";
    case VORN_ERR_ARGUMENT: return "invalid argument (a null pointer, or an unknown build or layout)";
    case VORN_ERR_HEADER_TOO_SHORT: return "too short for a BMP header";
    case VORN_ERR_NOT_BMP: return "not a BMP file (it does not begin with \"BM\")";
    case VORN_ERR_BIT_COUNT: return "not a 24-bit BMP";
    case VORN_ERR_NEGATIVE_SIZE: return "negative width or height";
    case VORN_ERR_ROW_TOO_LONG: return "rows longer than 2 GiB";
    case VORN_ERR_FILE_TOO_LONG: return "file of 4 GiB or more";
    case VORN_ERR_RASTER_BEYOND_END: return "corrupted: the header promises more rows than the file holds";
    case VORN_ERR_LENGTH_DIFFERS: return "file length differs from the carrier's";
    case VORN_ERR_WIDTH_DIFFERS: return "width differs from the carrier's";
    case VORN_ERR_HEIGHT_DIFFERS: return "height differs from the carrier's";
    case VORN_ERR_OFFSET_DIFFERS: return "raster offset differs from the carrier's";
    case VORN_ERR_SIZE_OVERFLOW: return "too large for this system's address space";
    case VORN_ERR_BUFFER_TOO_SMALL: return "buffer smaller than the size asked for";
    case VORN_ERR_RANGE: return "piece beyond the end of the file";
    case VORN_ERR_PASSWORD_EMPTY: return "the password is empty";
    case VORN_ERR_TOO_SMALL_FOR_KEY: return "too small for a keyed picture (22 pixels at least, 43 for hidden picture 1 alone)";
    case VORN_ERR_KEY_MISMATCH: return "wrong password, or the picture was changed after it was coded";
    case VORN_ERR_KEY_MEMORY: return "not enough memory to derive the key (256 MiB)";
    }
    return "unknown error";
}

const char* vorn_version(void) { return VORN_VERSION_STRING; }
