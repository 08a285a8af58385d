#include "stc.h"

#include <algorithm>
#include <functional>
#include <limits>

#include "side_by_side.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define STC_SSE2 1
#endif
// Not on Windows: there GCC may spill 32- and 64-byte vectors to a stack aligned to 16 only.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__) && !defined(__EMSCRIPTEN__) && !defined(_WIN32)
#include <immintrin.h>
#define STC_AVX2 1
#endif

namespace {

constexpr float unreachable = std::numeric_limits<float>::infinity();

uint32_t mix(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

bool bit_of(const uint8_t* bytes, uint64_t i) { return (bytes[i / 8] >> (7 - i % 8)) & 1; }

// floor(s n / count) without overflowing for any n: s (n / count) + s (n % count) / count.
uint64_t share(uint64_t s, uint64_t n, uint64_t count) { return s * (n / count) + s * (n % count) / count; }

bool is_wet(float cost) { return !(cost < stc_wet_cost); }

// One element of the trellis, where changing its parity costs `rho`. The path costs of the states
// below half are in lo, those of the others in hi, state half + v at hi[v ^ x], where x is the
// element's column (low h - 1 bits; the top bit is always set, so that state s < half pairs with
// state half + (s ^ column)) xor the offset that the previous step left. The new path costs go to
// nlo and nhi, state half + (s ^ column) at nhi[s], so the next step's offset is this column.
// A decision bit is 1 where the better path into the state changed the parity: state s's in
// low[s / 8] bit s % 8, state half + (s ^ column)'s in high[s / 8] bit s % 8. Every variant
// computes the same minima with the same ties (kept parity wins): their output is the same (but
// for x87's extended precision in a 32-bit build without SSE2; readers never depend on it).
[[maybe_unused]] void step_plain(const float* lo, const float* hi, float* nlo, float* nhi, uint32_t half, uint32_t x, float rho,
                uint8_t* low, uint8_t* high)
{
    for (uint32_t s0 = 0; s0 < half; s0 += 8) {
        uint32_t low_bits = 0, high_bits = 0;
        for (uint32_t l = 0; l < 8; ++l) {
            const uint32_t s = s0 + l;
            const float a = lo[s], b = hi[s ^ x], into_low = b + rho, into_high = a + rho;
            nlo[s] = into_low < a ? into_low : a;
            nhi[s] = into_high < b ? into_high : b;
            low_bits |= uint32_t(into_low < a) << l;
            high_bits |= uint32_t(into_high < b) << l;
        }
        low[s0 / 8] = uint8_t(low_bits);
        high[s0 / 8] = uint8_t(high_bits);
    }
}

#ifdef STC_SSE2
// Lane i of the result is lane i ^ L of v.
template <int L>
__m128 xor_lanes(__m128 v)
{
    return _mm_shuffle_ps(v, v, _MM_SHUFFLE(3 ^ L, 2 ^ L, 1 ^ L, 0 ^ L));
}

template <int L>
void step_sse2_lanes(const float* lo, const float* hi, float* nlo, float* nhi, uint32_t half, uint32_t x, float rho,
                     uint8_t* low, uint8_t* high)
{
    const uint32_t blocks = x & ~3u;
    const __m128 r = _mm_set1_ps(rho);
    for (uint32_t s0 = 0; s0 < half; s0 += 8) {
        int low_bits = 0, high_bits = 0;
        for (uint32_t part = 0; part < 2; ++part) {
            const uint32_t s = s0 + 4 * part, u = s ^ blocks;
            const __m128 a = _mm_loadu_ps(lo + s), b = xor_lanes<L>(_mm_loadu_ps(hi + u));
            const __m128 into_low = _mm_add_ps(b, r), into_high = _mm_add_ps(a, r);
            _mm_storeu_ps(nlo + s, _mm_min_ps(into_low, a));
            _mm_storeu_ps(nhi + s, _mm_min_ps(into_high, b));
            low_bits |= _mm_movemask_ps(_mm_cmplt_ps(into_low, a)) << (4 * part);
            high_bits |= _mm_movemask_ps(_mm_cmplt_ps(into_high, b)) << (4 * part);
        }
        low[s0 / 8] = uint8_t(low_bits);
        high[s0 / 8] = uint8_t(high_bits);
    }
}

void step_sse2(const float* lo, const float* hi, float* nlo, float* nhi, uint32_t half, uint32_t x, float rho,
               uint8_t* low, uint8_t* high)
{
    switch (x & 3) {
    case 0: step_sse2_lanes<0>(lo, hi, nlo, nhi, half, x, rho, low, high); break;
    case 1: step_sse2_lanes<1>(lo, hi, nlo, nhi, half, x, rho, low, high); break;
    case 2: step_sse2_lanes<2>(lo, hi, nlo, nhi, half, x, rho, low, high); break;
    default: step_sse2_lanes<3>(lo, hi, nlo, nhi, half, x, rho, low, high); break;
    }
}
#endif

#ifdef STC_AVX2
__attribute__((target("avx2"))) void step_avx2(const float* lo, const float* hi, float* nlo, float* nhi,
                                               uint32_t half, uint32_t x, float rho, uint8_t* low, uint8_t* high)
{
    const uint32_t blocks = x & ~7u;
    const __m256i lanes = _mm256_xor_si256(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(int(x & 7)));
    const __m256 r = _mm256_set1_ps(rho);
    for (uint32_t s = 0; s < half; s += 8) {
        const __m256 a = _mm256_loadu_ps(lo + s), b = _mm256_permutevar8x32_ps(_mm256_loadu_ps(hi + (s ^ blocks)), lanes);
        const __m256 into_low = _mm256_add_ps(b, r), into_high = _mm256_add_ps(a, r);
        _mm256_storeu_ps(nlo + s, _mm256_min_ps(into_low, a));
        _mm256_storeu_ps(nhi + s, _mm256_min_ps(into_high, b));
        low[s / 8] = uint8_t(_mm256_movemask_ps(_mm256_cmp_ps(into_low, a, _CMP_LT_OQ)));
        high[s / 8] = uint8_t(_mm256_movemask_ps(_mm256_cmp_ps(into_high, b, _CMP_LT_OQ)));
    }
}

__attribute__((target("avx512f"))) void step_avx512(const float* lo, const float* hi, float* nlo, float* nhi,
                                                    uint32_t half, uint32_t x, float rho, uint8_t* low, uint8_t* high)
{
    if (half < 16) return step_avx2(lo, hi, nlo, nhi, half, x, rho, low, high);
    const uint32_t blocks = x & ~15u;
    const __m512i lanes = _mm512_xor_si512(_mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
                                           _mm512_set1_epi32(int(x & 15)));
    const __m512 r = _mm512_set1_ps(rho);
    // The zero-masked forms with every lane kept: the plain ones trip GCC 12's warning about the
    // undefined vector they start from.
    const __mmask16 all = 0xffff;
    for (uint32_t s = 0; s < half; s += 16) {
        const __m512 a = _mm512_loadu_ps(lo + s),
                     b = _mm512_maskz_permutexvar_ps(all, lanes, _mm512_loadu_ps(hi + (s ^ blocks)));
        const __m512 into_low = _mm512_maskz_add_ps(all, b, r), into_high = _mm512_maskz_add_ps(all, a, r);
        _mm512_storeu_ps(nlo + s, _mm512_maskz_min_ps(all, into_low, a));
        _mm512_storeu_ps(nhi + s, _mm512_maskz_min_ps(all, into_high, b));
        const uint32_t low_bits = _mm512_cmp_ps_mask(into_low, a, _CMP_LT_OQ);
        const uint32_t high_bits = _mm512_cmp_ps_mask(into_high, b, _CMP_LT_OQ);
        low[s / 8] = uint8_t(low_bits);
        low[s / 8 + 1] = uint8_t(low_bits >> 8);
        high[s / 8] = uint8_t(high_bits);
        high[s / 8 + 1] = uint8_t(high_bits >> 8);
    }
}
#endif

using step_function = void (*)(const float*, const float*, float*, float*, uint32_t, uint32_t, float, uint8_t*,
                               uint8_t*);

step_function best_step()
{
#ifdef STC_AVX2
    if (__builtin_cpu_supports("avx512f")) return step_avx512;
    if (__builtin_cpu_supports("avx2")) return step_avx2;
#endif
#ifdef STC_SSE2
    return step_sse2;
#else
    return step_plain;
#endif
}

// Block b's elements within a segment: [block_start(b), block_start(b + 1)).
struct blocks_of {
    uint64_t elements, bits;
    uint64_t start(uint64_t b) const { return share(b, elements, bits); }
};

std::vector<uint32_t> columns(unsigned h, uint64_t width)
{
    std::vector<uint32_t> table(static_cast<size_t>(width));
    for (uint64_t k = 0; k < width; ++k) table[size_t(k)] = stc_column(h, k);
    return table;
}

// The syndrome of a segment's parities, bit b for block b.
std::vector<uint8_t> syndrome(const uint8_t* parities, const stc_segment& segment, unsigned h)
{
    std::vector<uint8_t> bits(static_cast<size_t>(segment.bits));
    if (segment.bits == 0) return bits;
    const blocks_of blocks{segment.elements, segment.bits};
    const std::vector<uint32_t> column = columns(h, (segment.elements + segment.bits - 1) / segment.bits);
    uint32_t state = 0;
    for (uint64_t b = 0; b < segment.bits; ++b) {
        const uint64_t start = blocks.start(b), end = blocks.start(b + 1);
        // Without a branch: a parity is a coin toss, which no predictor guesses.
        for (uint64_t j = start; j < end; ++j) state ^= column[size_t(j - start)] & (0u - uint32_t(parities[j] & 1));
        bits[size_t(b)] = uint8_t(state & 1);
        state >>= 1;
    }
    return bits;
}

// Codes one segment: `parities`, `costs` and `stego` start at its first element. The trellis
// looks for the change vector e of least cost with H e = m xor H x, so that it needs no parity
// and a wet element is one it steps over.
bool embed_segment(const uint8_t* parities, const float* costs, const stc_segment& segment, const uint8_t* message,
                   unsigned h, step_function step, uint8_t* stego)
{
    std::copy(parities, parities + segment.elements, stego);
    if (segment.bits == 0) return true;
    std::vector<uint8_t> target = syndrome(parities, segment, h);
    for (uint64_t b = 0; b < segment.bits; ++b) target[size_t(b)] ^= uint8_t(bit_of(message, segment.first_bit + b));

    const uint32_t half = uint32_t(1) << (h - 1), row_bytes = half / 8 * 2;
    const blocks_of blocks{segment.elements, segment.bits};
    const std::vector<uint32_t> column = columns(h, (segment.elements + segment.bits - 1) / segment.bits);
    // The dry elements of each block, listed once without a branch: wet and dry mixed at random
    // would make a branch on each element a coin toss, in both passes below.
    std::vector<uint32_t> dry(static_cast<size_t>(segment.elements));
    std::vector<uint64_t> dry_start(static_cast<size_t>(segment.bits) + 1);
    uint64_t count = 0;
    for (uint64_t b = 0; b < segment.bits; ++b) {
        dry_start[size_t(b)] = count;
        for (uint64_t j = blocks.start(b), end = blocks.start(b + 1); j < end; ++j) {
            dry[size_t(count)] = uint32_t(j);
            count += !is_wet(costs[j]);
        }
    }
    dry_start[size_t(segment.bits)] = count;
    std::vector<uint8_t> decisions(size_t(count) * row_bytes);
    std::vector<float> lo(half, unreachable), hi(half, unreachable), nlo(half), nhi(half);
    lo[0] = 0;
    uint8_t* row = decisions.data();
    uint32_t offset = 0;
    for (uint64_t b = 0; b < segment.bits; ++b) {
        const uint64_t start = blocks.start(b);
        for (uint64_t k = dry_start[size_t(b)]; k < dry_start[size_t(b) + 1]; ++k) {
            const uint32_t j = dry[size_t(k)];
            const uint32_t col = column[size_t(j - start)] & (half - 1);
            step(lo.data(), hi.data(), nlo.data(), nhi.data(), half, col ^ offset, costs[j], row, row + half / 8);
            offset = col;
            row += row_bytes;
            lo.swap(nlo);
            hi.swap(nhi);
        }
        // Row b is done: keep the states whose bit 0 is the target's, and move to row b + 1.
        const uint32_t wanted = target[size_t(b)];
        for (uint32_t t = 0; t < half / 2; ++t) nlo[t] = lo[2 * t + wanted];
        for (uint32_t t = half / 2; t < half; ++t) nlo[t] = hi[(2 * t - half + wanted) ^ offset];
        offset = 0;
        lo.swap(nlo);
        std::fill(hi.begin(), hi.end(), unreachable);
    }
    const uint32_t best = uint32_t(std::min_element(lo.begin(), lo.end()) - lo.begin());
    if (lo[best] == unreachable) return false;

    uint32_t state = best;
    for (uint64_t b = segment.bits; b-- > 0;) {
        state = (state << 1) | target[size_t(b)];
        const uint64_t start = blocks.start(b);
        for (uint64_t k = dry_start[size_t(b) + 1]; k-- > dry_start[size_t(b)];) {
            const uint32_t j = dry[size_t(k)];
            row -= row_bytes;
            const uint32_t col = column[size_t(j - start)];
            const bool changed = state < half ? (row[state / 8] >> (state % 8)) & 1
                                              : (row[half / 8 + ((state - half) ^ (col & (half - 1))) / 8] >>
                                                 (((state - half) ^ (col & (half - 1))) % 8)) & 1;
            if (changed) {
                state ^= col;
                stego[j] ^= 1;
            }
        }
    }
    return true;
}

}  // namespace

std::vector<stc_segment> stc_segments(uint64_t n, uint64_t m)
{
    std::vector<stc_segment> segments;
    if (n == 0) return segments;
    const uint64_t count = (n - 1) / stc_segment_elements + 1;
    for (uint64_t s = 0; s < count; ++s) {
        const uint64_t first = share(s, n, count), first_bit = share(s, m, count);
        segments.push_back({first, share(s + 1, n, count) - first, first_bit, share(s + 1, m, count) - first_bit});
    }
    return segments;
}

uint32_t stc_column(unsigned h, uint64_t k)
{
    const uint32_t mask = (uint32_t(1) << h) - 1;
    // The wrap of the multiplication is the point: a well-spread input to the mix.
    return (mix(0x9e3779b9u * uint32_t(k + 1)) & mask) | 1u | (uint32_t(1) << (h - 1));
}

uint64_t stc_first_part_elements(uint64_t n, uint64_t bits)
{
    return bits > n / 2 / stc_first_part_spread ? n / 2 : bits * stc_first_part_spread;
}

bool stc_embed(const uint8_t* parities, const float* costs, uint64_t n, const uint8_t* message, uint64_t m,
               unsigned h, unsigned threads, std::vector<uint8_t>& stego)
{
    stego.clear();
    if (m > n || n > std::numeric_limits<size_t>::max() || h < stc_min_height || h > stc_max_height) return false;
    const std::vector<stc_segment> segments = stc_segments(n, m);
    for (const stc_segment& segment : segments)
        if (segment.bits > segment.elements) return false;
    std::vector<uint8_t> result(static_cast<size_t>(n));
    std::vector<char> coded(segments.size());
    const step_function step = best_step();
    std::vector<std::function<void()>> jobs;
    for (size_t s = 0; s < segments.size(); ++s)
        jobs.push_back([&, s] {
            const stc_segment& segment = segments[s];
            const size_t first = size_t(segment.first_element);
            coded[s] = embed_segment(parities + first, costs + first, segment, message, h, step, result.data() + first);
        });
    run_side_by_side(jobs, threads);
    if (std::find(coded.begin(), coded.end(), 0) != coded.end()) return false;
    stego = std::move(result);
    return true;
}

bool stc_embed_segment(const uint8_t* parities, const float* costs, const stc_segment& segment, const uint8_t* message,
                       unsigned h, std::vector<uint8_t>& stego)
{
    stego.assign(static_cast<size_t>(segment.elements), 0);
    if (h < stc_min_height || h > stc_max_height || segment.bits > segment.elements) return false;
    return embed_segment(parities, costs, segment, message, h, best_step(), stego.data());
}

std::vector<uint8_t> stc_extract(const uint8_t* parities, uint64_t n, uint64_t m, unsigned h)
{
    if (h < stc_min_height || h > stc_max_height || m / 8 >= std::numeric_limits<size_t>::max()) return {};
    std::vector<uint8_t> message(static_cast<size_t>((m + 7) / 8));
    const std::vector<stc_segment> segments = stc_segments(n, m);
    // The segments side by side, each into its own bits; gathered after.
    std::vector<std::vector<uint8_t>> bits(segments.size());
    std::vector<std::function<void()>> jobs;
    for (size_t s = 0; s < segments.size(); ++s)
        jobs.push_back([&, s] { bits[s] = syndrome(parities + segments[s].first_element, segments[s], h); });
    run_side_by_side(jobs);
    for (size_t s = 0; s < segments.size(); ++s)
        for (uint64_t b = 0; b < segments[s].bits; ++b) {
            const uint64_t i = segments[s].first_bit + b;
            message[size_t(i / 8)] |= uint8_t(bits[s][size_t(b)] << (7 - i % 8));
        }
    return message;
}
