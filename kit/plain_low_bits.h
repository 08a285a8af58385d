// Whether a picture's lowest bits simply continue its colours, as an ordinary photograph's do:
// where the six bits above them step up by one between neighbours, the two below wrap from high
// to low. Every classic layout stores a hidden picture's bits in bits 1 and 0, which the carrier
// was dithered around without regard to them, so they wrap no more often than not.
#pragma once

#include <cstdint>
#include <vector>

// `coded` is a coder file image the engine accepts. False for a picture too small to tell.
bool low_bits_continue_colours(const std::vector<uint8_t>& coded);
