// png_settings.h: how vorn's PNG writer compresses a picture, and how it is handed the rows.
#pragma once

#include <cstdint>
#include <functional>

// How the writer compresses: zlib's level and strategy, and libspng's choice of row filters
// (SPNG_FILTER_CHOICE_* bits). Where ISA-L deflates (png_deflate.h), it does so at its level 1
// with matches at most 2^history_bits bytes back (1 to 15), and level and strategy are zlib's
// alone.
struct png_settings {
    int level;
    int strategy;
    int filters;
    int history_bits;
};

// Makes row `y` of a picture (0 is the top) as width * 3 bytes R G B: into `row`, or anywhere
// else they already stand, returning where. It may be called from several threads at once, each
// with a `row` of its own, and for rows in any order.
using png_row_maker = std::function<const uint8_t*(uint32_t y, uint8_t* row)>;
