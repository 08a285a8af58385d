#include "stealth_lay.h"

#include <algorithm>
#include <cstdint>
#include <functional>

#include "side_by_side.h"
#include "stc.h"
#include "stealth_cost.h"

namespace {

// At a small payload the trellis changes only the cheapest elements: the others are made wet,
// which it steps over without work. Dry stay the cheapest dry_per_bit elements a message bit
// (on the benchmark's 4096 x 4096 photograph: the very changes it makes with every element dry
// down to 9, segments that could not hold their bits at 7), and a part's
// every element where that is most of them anyway.
constexpr uint64_t dry_per_bit = 10;

// The cost above which a part's elements are wet: the (dry / n) quantile of an even sample of
// the part's costs (the order has mixed them), or none.
float wet_from(const float* costs, const stealth_order& order, uint64_t first, uint64_t n, uint64_t dry)
{
    if (dry * 2 > n) return stc_wet_cost;
    const uint64_t step = std::max<uint64_t>(1, n >> 16);
    std::vector<float> sample;
    for (uint64_t i = 0; i < n; i += step) sample.push_back(costs[order.at(first + i)]);
    const size_t at = size_t(uint64_t(sample.size()) * dry / n);
    std::nth_element(sample.begin(), sample.begin() + long(at), sample.end());
    return sample[at];
}

struct change {
    uint32_t at;
    uint8_t parity;
};

// Codes one segment of the part from its own gathered elements, and lists the elements whose
// parity changes (as colour bytes). A segment whose wet elements leave it no way to hold its bits
// goes all dry.
bool code_segment(const uint8_t* bytes, const float* costs, const stealth_order& order, uint64_t first,
                  const stc_segment& segment, const uint8_t* message, float wet, std::vector<change>& changes)
{
    const uint64_t at = first + segment.first_element, count = segment.elements;
    std::vector<uint8_t> parities(static_cast<size_t>(count)), stego;
    std::vector<float> chosen(static_cast<size_t>(count));
    stealth_gather_parities(order, bytes, at, count, parities.data(), 1);
    stealth_gather(order, costs, at, count, chosen.data(), 1);
    if (wet < stc_wet_cost) {
        std::vector<float> dried(chosen);
        // A select, not a branch: which elements are wet is a coin toss to a predictor.
        for (float& cost : dried) cost = cost > wet ? stc_wet_cost : cost;
        if (!stc_embed_segment(parities.data(), dried.data(), segment, message, stc_height, stego)) stego.clear();
    }
    if (stego.empty() && !stc_embed_segment(parities.data(), chosen.data(), segment, message, stc_height, stego))
        return false;
    for (size_t i = 0; i < stego.size(); ++i)
        if (stego[i] != parities[i]) changes.push_back({order.at(at + i), stego[i]});
    return true;
}

}  // namespace

bool stealth_lay(uint8_t* bytes, const float* costs, const stealth_order& order, uint64_t first,
                 uint64_t n, const uint8_t* message, uint64_t m, const uint8_t* directions, unsigned threads)
{
    if (m > n) return false;
    // Each segment gathers, codes and lists its changes on its own, in memory of its own size:
    // the picture's bytes change only once every segment has read them.
    const std::vector<stc_segment> segments = stc_segments(n, m);
    const float wet = wet_from(costs, order, first, n, m * dry_per_bit);
    std::vector<std::vector<change>> changes(segments.size());
    std::vector<char> coded(segments.size(), 0);
    std::vector<std::function<void()>> jobs;
    for (size_t s = 0; s < segments.size(); ++s)
        jobs.push_back([&, s] {
            coded[s] = code_segment(bytes, costs, order, first, segments[s], message, wet, changes[s]);
        });
    run_side_by_side(jobs, threads);
    if (std::find(coded.begin(), coded.end(), 0) != coded.end()) return false;
    // Each change goes the way stealth_change() says, its direction bit moved to bit 0.
    for (const std::vector<change>& listed : changes)
        for (const change& c : listed) {
            const uint8_t direction = uint8_t(directions[c.at / 8] >> (c.at % 8) & 1);
            bytes[c.at] = stealth_change(&bytes[c.at], &c.parity, 1, &direction)[0];
        }
    return true;
}

std::vector<uint8_t> stealth_read(const uint8_t* bytes, const stealth_order& order, uint64_t first, uint64_t n,
                                  uint64_t m, unsigned threads)
{
    if (m / 8 >= uint64_t(SIZE_MAX)) return {};
    // Segment by segment, each gathered into memory of its own size (a segment is one segment of
    // itself, so stc_extract() reads it alone), the bits placed where the segment's start.
    const std::vector<stc_segment> segments = stc_segments(n, m);
    std::vector<std::vector<uint8_t>> bits(segments.size());
    std::vector<std::function<void()>> jobs;
    for (size_t s = 0; s < segments.size(); ++s)
        jobs.push_back([&, s] {
            const stc_segment& segment = segments[s];
            std::vector<uint8_t> parities(static_cast<size_t>(segment.elements));
            stealth_gather_parities(order, bytes, first + segment.first_element, segment.elements, parities.data(), 1);
            bits[s] = stc_extract(parities.data(), segment.elements, segment.bits, stc_height);
        });
    run_side_by_side(jobs, threads);
    // A byte at a time: a segment's bits shifted to where it starts (the unused low bits of its
    // last byte are 0, so they add nothing to the next segment's first).
    std::vector<uint8_t> message(static_cast<size_t>((m + 7) / 8));
    for (size_t s = 0; s < segments.size(); ++s) {
        const uint64_t first_bit = segments[s].first_bit;
        const unsigned shift = unsigned(first_bit % 8);
        for (size_t j = 0; j < bits[s].size(); ++j) {
            const size_t at = size_t(first_bit / 8) + j;
            message[at] |= uint8_t(bits[s][j] >> shift);
            if (shift != 0 && at + 1 < message.size()) message[at + 1] |= uint8_t(bits[s][j] << (8 - shift));
        }
    }
    return message;
}
