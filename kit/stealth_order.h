// The sequence in which a stealth picture's elements (its colour bytes after the lead) carry a
// message, drawn from the order key, and its values gathered in that sequence.
//
// Two layouts (the stealth embedding's parameter says which):
//  - shuffled (0): element t is colour byte lead + P[n - 1 - t], P = keyed_order(key, n). Every
//    element a cache miss and a shuffle of n entries: slow on large pictures, read only.
//  - rows (1): the n elements as R = ceil(n / W) rows of W = floor(sqrt(n)) elements, row r the
//    elements rW to min(n, rW + W) - 1 (the last row holds L = n - (R - 1)W, 1 to W);
//    P = keyed_order(key, R) orders the rows. The sequence goes down the rows in the order P, one
//    column at a time, column 0 first, skipping the last row's missing columns: element t is
//    element P[i] W + c of the n, where for t < LR: c = floor(t / R), i = t mod R; beyond:
//    c = L + floor((t - LR) / (R - 1)), j = (t - LR) mod (R - 1), i = j, or j + 1 where j is at or
//    past the last row's place in P. Its colour byte is that plus lead. A column's elements lie
//    all over the picture, so the trellis's blocks mix textured and flat places as a whole
//    shuffle's do, while a gather moves rows of W bytes rather than single bytes, and the shuffle
//    has R entries rather than n.
#pragma once

#include <cstdint>
#include <vector>

#include "keyed_order.h"

struct stealth_order {
    uint64_t n = 0, lead = 0;
    uint64_t width = 0, rows = 0, last = 0;  // rows: W, R and L
    uint64_t last_at = 0;                    // rows: the last row's place in P
    std::vector<uint32_t> row_order;         // rows: P
    std::vector<uint32_t> listed;            // shuffled: colour byte of element t (the lead added)

    // Element t's colour byte (t < n).
    uint32_t at(uint64_t t) const
    {
        if (!listed.empty()) return listed[size_t(t)];
        uint64_t c = 0, i = 0;
        if (t < last * rows) {
            c = t / rows;
            i = t % rows;
        } else {
            c = last + (t - last * rows) / (rows - 1);
            i = (t - last * rows) % (rows - 1);
            i += i >= last_at;
        }
        return uint32_t(lead + uint64_t(row_order[size_t(i)]) * width + c);
    }
};

// The shuffled layout of n elements (n < 2^32) after `lead` colour bytes.
stealth_order stealth_shuffled_order(const uint8_t key[keyed_order_key_bytes], uint64_t n, uint64_t lead);

// The rows layout of n elements (n < 2^32) after `lead` colour bytes.
stealth_order stealth_rows_order(const uint8_t key[keyed_order_key_bytes], uint64_t n, uint64_t lead);

// out[i] = values[order.at(first + i)] for i < count (first + count <= n), on `threads` threads
// (0: run_side_by_side()'s budget). values is indexed by colour byte; parities takes bit 0.
void stealth_gather_parities(const stealth_order& order, const uint8_t* values, uint64_t first, uint64_t count,
                             uint8_t* out, unsigned threads);
void stealth_gather(const stealth_order& order, const float* values, uint64_t first, uint64_t count, float* out,
                    unsigned threads);
