// A message laid into chosen colour bytes of a picture by +-1 changes, syndrome-trellis coded
// (stc.h) against the bytes' costs (stealth_cost.h), and read back: the steps a stealth embedding
// takes for each part it lays (the part's bytes are elements first .. first + n - 1 of an order).
#pragma once

#include <cstdint>
#include <vector>

#include "stealth_order.h"

// Lays message bits 0 to m - 1 into the parities of bytes[order.at(first)] ..
// bytes[order.at(first + n - 1)], at height stc_height, changing bytes in place by +1 or -1
// (stealth_change(), directions and costs indexed like bytes). The other bytes stay as they were.
// The trellis's segments are coded side by side on `threads` threads (0: run_side_by_side()'s
// budget), each in memory of its own size. False, bytes untouched, when a segment cannot hold
// its bits (stc_embed_segment()).
bool stealth_lay(uint8_t* bytes, const float* costs, const stealth_order& order, uint64_t first,
                 uint64_t n, const uint8_t* message, uint64_t m, const uint8_t* directions, unsigned threads);

// The m bits (ceil(m / 8) bytes) that the parities of those bytes hold, gathered on `threads`
// threads (0: run_side_by_side()'s budget).
std::vector<uint8_t> stealth_read(const uint8_t* bytes, const stealth_order& order, uint64_t first, uint64_t n,
                                  uint64_t m, unsigned threads);
