// Syndrome-trellis codes: lays m message bits into the parities (low bits) of n cover elements
// so that H y = m, changing the set of elements of least total cost; and reads them back.
//
// The matrix H (m rows, n columns), per segment (below): message bit b owns block b, cover
// elements [floor(b n / m), floor((b + 1) n / m)) of the segment, so blocks are ceil(n / m) or
// floor(n / m) wide. Element k of a block (k from 0) has the column stc_column(h, k): h bits, bit r
// the entry in row b + r (rows past the segment's last are dropped). So H is the h x w submatrix
// laid down its diagonal, one row lower for each block.
// The submatrix's column k at height h: (mix(0x9e3779b9 * (k + 1)) & (2^h - 1)) | 1 | 2^(h - 1),
// all on uint32_t (the product wraps), where mix(x) is: x ^= x >> 16; x *= 0x7feb352d;
// x ^= x >> 15; x *= 0x846ca68b; x ^= x >> 16. First and last rows all ones, the rest
// pseudo-random (two dozen other seeds and an affine family measured within 1 % of this one).
// Constraint height: stc_height (see its comment for the measurements); a reader needs the height
// the writer used, so it is fixed for a format, not chosen per picture.
//
// Segments: the n elements and m bits are cut into S = ceil(n / stc_segment_elements) segments;
// segment s holds elements [floor(s n / S), floor((s + 1) n / S)) and message bits
// [floor(s m / S), floor((s + 1) m / S)), each coded on its own as above. S depends on n alone, so
// the output is the same for any number of threads, and a reader that knows n and m cuts alike.
//
// The reader must know m. A format lays a fixed-length first part (its header, which gives the
// rest's length) into the first stc_first_part_elements(n, bits) elements and the rest into the
// elements after them: two independent codings, each read with its own n and m.
//
// Bits: message bit i is bit 7 - i % 8 of byte i / 8 (the first bit the high bit).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Measured (vorn_stealth_bench efficiency, one segment, random costs, distortion / its bound at
// 0.05 | 0.5 bits an element): h = 7: 1.28 | 1.21, 8: 1.23 | 1.16, 9: 1.20 | 1.13,
// 10: 1.15 | 1.10. Processor time an element at h = 9 (10): AVX-512 39 (71) ns, AVX2 54 (103),
// SSE2 86 (169), plain C++ 298 (552); each step up in h doubles it. 9 keeps a 1920 x 1080
// picture's trellis near 0.15 s on two threads, and the plain build (the page) within seconds.
constexpr unsigned stc_height = 9;
constexpr unsigned stc_min_height = 4, stc_max_height = 12;
constexpr uint64_t stc_segment_elements = uint64_t(1) << 17;
// A cost at or above this (or not a number) makes its element wet: its parity never changes.
constexpr float stc_wet_cost = 1e30f;
// A first part spreads over this many elements a bit.
constexpr uint64_t stc_first_part_spread = 32;

struct stc_segment {
    uint64_t first_element, elements, first_bit, bits;
};

// The segments of n elements carrying m bits (none when n is 0).
std::vector<stc_segment> stc_segments(uint64_t n, uint64_t m);

// Column k of the submatrix at height h (stc_min_height to stc_max_height).
uint32_t stc_column(unsigned h, uint64_t k);

// The elements a first part of `bits` bits takes at the front of n: bits x stc_first_part_spread,
// at most half of n (the caller checks that bits fit).
uint64_t stc_first_part_elements(uint64_t n, uint64_t bits);

// Lays message bits 0 to m - 1 (m <= n) into the parities (0 or 1) of n elements with costs[i]
// the cost of changing element i's parity (>= 0; wet at stc_wet_cost). `stego` receives the n
// new parities. Segments run on `threads` threads (0: run_side_by_side()'s budget). False (stego
// left empty) when m > n, n exceeds memory's addresses, h is out of range, or the wet elements
// leave a segment no way to hold its bits. Throws std::bad_alloc when the trellis's memory cannot be had (about
// 2^h / 8 bytes an element of the segments in flight).
bool stc_embed(const uint8_t* parities, const float* costs, uint64_t n, const uint8_t* message, uint64_t m,
               unsigned h, unsigned threads, std::vector<uint8_t>& stego);

// One segment of stc_embed() (stc_segments(n, m)[s]) on its own, on this thread: `parities` and
// `costs` hold the segment's elements alone, `message` is the whole message, and `stego` receives
// the segment's new parities. The same result as stc_embed() gives for that segment.
bool stc_embed_segment(const uint8_t* parities, const float* costs, const stc_segment& segment, const uint8_t* message,
                       unsigned h, std::vector<uint8_t>& stego);

// The m bits (ceil(m / 8) bytes, the unused low bits of the last 0) that n parities hold at
// height h (out of range, or m / 8 beyond memory's addresses: none).
std::vector<uint8_t> stc_extract(const uint8_t* parities, uint64_t n, uint64_t m, unsigned h);
