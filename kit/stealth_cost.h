// What changing each colour byte of an RGB picture by 1 costs, by how well its neighbourhood's
// texture hides the change, and the +-1 changes that give the bytes the parities asked for.
//
// The cost of every colour byte, each channel on its own (borders mirrored: -1 is 0, w is w - 1):
//   R = |X * KB|, KB = [-1 2 -1; 2 -4 2; -1 2 -1], the high-pass residual (noise and edges);
//   A = R averaged over 3 x 3;  W = 1 / (A + stealth_cost_floor);  cost = W averaged over 15 x 15.
// Textured bytes cost little, flat ones much (1 / stealth_cost_floor at most); none is wet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr float stealth_cost_floor = 0.01f;

// The costs of the width x height picture's colour bytes (rgb: 3 bytes a pixel, rows top down),
// in the same order. Rows in fixed bands on `threads` threads (0: run_side_by_side()'s budget):
// the same for any number. Throws std::bad_alloc when the memory (a float a byte) fails.
std::vector<float> stealth_costs(const uint8_t* rgb, uint32_t width, uint32_t height, unsigned threads);

// The bytes with wanted[i]'s parity: each byte whose parity differs goes +1 or -1, +1 from 0,
// -1 from 255, otherwise the way direction bit i says (bit i % 8 of directions[i / 8]; 1: +1),
// which a caller draws at random so that the changes do not lean one way. Never leaves 0..255.
std::vector<uint8_t> stealth_change(const uint8_t* bytes, const uint8_t* wanted, size_t count,
                                    const uint8_t* directions);
