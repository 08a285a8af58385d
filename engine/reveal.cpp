// The reveal filter: every byte from offset_raster on shows its low four bits as its high ones.
#include <cstring>

#include "bmp.h"

vorn_error vorn_reveal(const uint8_t* image, size_t length, uint8_t* revealed, size_t revealed_length)
{
    if (!image || !revealed) return VORN_ERR_ARGUMENT;
    if (length < bmp_fields_length) return VORN_ERR_HEADER_TOO_SHORT;
    if (uint64_t(length) > bmp_max_length) return VORN_ERR_FILE_TOO_LONG;
    if (revealed_length < length) return VORN_ERR_BUFFER_TOO_SMALL;
    // A negative offset counts as very large: the head copy then takes the whole file.
    const uint32_t offset = uint32_t(read_le32(image + 10));
    const size_t head = offset < length ? offset : length;
    if (revealed != image) std::memcpy(revealed, image, head);
    for (size_t i = head; i < length; ++i) revealed[i] = uint8_t(image[i] << 4);
    return VORN_OK;
}
