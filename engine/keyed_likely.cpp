// The keyed calls that need no key, and so no libsodium: the work size the keyed calls share, and
// the test of whether a picture's low bits look random. They are in every build of the library.
#include <algorithm>

#include "keyed.h"
#include "sizes.h"

vorn_error vorn_keyed_work_size(const vorn_geometry* geometry, size_t* size)
{
    if (!geometry) return VORN_ERR_ARGUMENT;
    return hand_out_size(vorn_internal::keyed_work_bytes(*geometry), size);
}

vorn_error vorn_keyed_likely(const uint8_t* coded, size_t length, int* likely)
{
    if (!coded || !likely) return VORN_ERR_ARGUMENT;
    raster_geometry g{};
    if (const vorn_error error = check_header(coded, length, g)) return error;
    // The two lowest bits of four colour bytes in a row make a byte: random bits spread it evenly
    // over its 256 values, while any picture's bits, scrambled or not, favour some (a picture's
    // give thousands). Chi-square with 255 degrees of freedom, five expected per value at least:
    // random bits stay below 380 all but about once in 1.6 million, so that a keyed picture is
    // practically never taken for a plain one.
    constexpr uint64_t enough = 256 * 5, most = uint64_t(1) << 20;
    const uint64_t groups = std::min<uint64_t>(uint64_t(g.width) * 3 * g.height / 4, most);
    *likely = 0;
    if (groups < enough) return VORN_OK;
    // The colour bytes are walked row by row (a group may span two rows), each group's value
    // counted once its fourth byte is in.
    uint64_t counts[256] = {};
    const uint64_t per_row = uint64_t(g.width) * 3;
    uint64_t left = groups * 4;
    unsigned value = 0, in_group = 0;
    for (const uint8_t* row = coded + g.offset_raster; left > 0; row += g.string_length) {
        const uint64_t take = std::min(per_row, left);
        for (uint64_t i = 0; i < take; ++i) {
            value = (value << 2 | (row[i] & 3u)) & 0xFF;
            if (++in_group == 4) {
                ++counts[value];
                in_group = 0;
            }
        }
        left -= take;
    }
    const double expected = double(groups) / 256;
    double chi = 0;
    for (const uint64_t count : counts) chi += (double(count) - expected) * (double(count) - expected) / expected;
    *likely = chi < 380;
    return VORN_OK;
}
