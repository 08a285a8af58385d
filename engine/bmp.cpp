// The checks of vorn.h, and the coder's raw header fields.
#include "bmp.h"

vorn_error vorn_program_read_fields(const uint8_t* image, size_t length, vorn_program_fields* fields)
{
    if (!image || !fields) return VORN_ERR_ARGUMENT;
    if (length < bmp_fields_length) return VORN_ERR_HEADER_TOO_SHORT;
    fields->offset_raster = read_le32(image + 10);
    fields->width = read_le32(image + 18);
    fields->height = read_le32(image + 22);
    // Wraps in 32 bits, as the row length of a 32-bit program would.
    fields->string_length = int32_t(uint32_t(string_length(fields->width)));
    return VORN_OK;
}

vorn_error vorn_check_carrier(const uint8_t* image, size_t length, vorn_geometry* geometry)
{
    if (!image || !geometry) return VORN_ERR_ARGUMENT;
    return check_header(image, length, *geometry);
}

vorn_error vorn_check_hidden(const vorn_geometry* carrier, const uint8_t* image, size_t length)
{
    if (!carrier || !image) return VORN_ERR_ARGUMENT;
    return hidden_difference(image, length, *carrier);
}
