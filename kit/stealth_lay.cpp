#include "stealth_lay.h"

#include <algorithm>
#include <functional>

#include "side_by_side.h"
#include "stc.h"
#include "stealth_cost.h"

namespace {

// Runs work(begin, end) over [0, count) in fixed parts, side by side: gathering through a keyed
// order misses the cache at nearly every element, and two threads wait on twice the misses.
void in_parts(uint64_t count, unsigned threads, const std::function<void(size_t, size_t)>& work)
{
    constexpr uint64_t part = uint64_t(1) << 20;
    std::vector<std::function<void()>> jobs;
    for (uint64_t begin = 0; begin < count; begin += part)
        jobs.push_back([&work, begin, count] { work(size_t(begin), size_t(std::min(count, begin + part))); });
    run_side_by_side(jobs, threads);
}

std::vector<uint8_t> parities_of(const uint8_t* bytes, const uint32_t* order, uint64_t n, unsigned threads)
{
    std::vector<uint8_t> parities(static_cast<size_t>(n));
    in_parts(n, threads, [&](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) parities[i] = bytes[order[i]] & 1;
    });
    return parities;
}

}  // namespace

bool stealth_lay(std::vector<uint8_t>& bytes, const float* costs, const uint32_t* order, uint64_t n,
                 const uint8_t* message, uint64_t m, const uint8_t* directions, unsigned threads)
{
    const std::vector<uint8_t> parities = parities_of(bytes.data(), order, n, threads);
    std::vector<float> chosen_costs(static_cast<size_t>(n));
    in_parts(n, threads, [&](size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) chosen_costs[i] = costs[order[i]];
    });
    std::vector<uint8_t> stego;
    if (!stc_embed(parities.data(), chosen_costs.data(), n, message, m, stc_height, threads, stego)) return false;
    // Only the elements whose parity changes are touched (a few in a hundred): no pass over the
    // picture. Each goes the way stealth_change() says, its direction bit moved to bit 0.
    for (size_t i = 0; i < stego.size(); ++i) {
        if (stego[i] == parities[i]) continue;
        const uint32_t at = order[i];
        const uint8_t wanted = stego[i], direction = uint8_t(directions[at / 8] >> (at % 8) & 1);
        bytes[at] = stealth_change(&bytes[at], &wanted, 1, &direction)[0];
    }
    return true;
}

std::vector<uint8_t> stealth_read(const uint8_t* bytes, const uint32_t* order, uint64_t n, uint64_t m,
                                  unsigned threads)
{
    const std::vector<uint8_t> parities = parities_of(bytes, order, n, threads);
    return stc_extract(parities.data(), n, m, stc_height);
}
