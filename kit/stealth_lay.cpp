#include "stealth_lay.h"

#include <algorithm>

#include "stc.h"
#include "stealth_cost.h"

namespace {

// At a small payload the trellis changes only the cheapest elements: the others are made wet,
// which it steps over without work. Dry stay the cheapest dry_per_bit elements a message bit
// (measured on photographs: the changes' total cost within a fraction of a per cent of all dry),
// and a part's every element where that is most of them anyway.
constexpr uint64_t dry_per_bit = 12;

// The cost above which elements are wet: the (dry / n) quantile of an even sample of the costs
// (the order has mixed them), or none.
float wet_from(const std::vector<float>& costs, uint64_t dry)
{
    const uint64_t n = costs.size();
    if (dry * 2 > n) return stc_wet_cost;
    const uint64_t step = std::max<uint64_t>(1, n >> 16);
    std::vector<float> sample;
    for (uint64_t i = 0; i < n; i += step) sample.push_back(costs[size_t(i)]);
    const size_t at = size_t(uint64_t(sample.size()) * dry / n);
    std::nth_element(sample.begin(), sample.begin() + long(at), sample.end());
    return sample[at];
}

}  // namespace

bool stealth_lay(std::vector<uint8_t>& bytes, const float* costs, const stealth_order& order, uint64_t first,
                 uint64_t n, const uint8_t* message, uint64_t m, const uint8_t* directions, unsigned threads)
{
    std::vector<uint8_t> parities(static_cast<size_t>(n));
    stealth_gather_parities(order, bytes.data(), first, n, parities.data(), threads);
    std::vector<float> chosen(static_cast<size_t>(n));
    stealth_gather(order, costs, first, n, chosen.data(), threads);
    std::vector<uint8_t> stego;
    const float wet = wet_from(chosen, m * dry_per_bit);
    if (wet < stc_wet_cost) {
        // A select, not a branch: which elements are wet is a coin toss to a predictor.
        for (float& cost : chosen) cost = cost > wet ? stc_wet_cost : cost;
        // A part whose wet elements leave some segment no way to hold its bits goes all dry.
        if (!stc_embed(parities.data(), chosen.data(), n, message, m, stc_height, threads, stego))
            stealth_gather(order, costs, first, n, chosen.data(), threads);
    }
    if (stego.empty() && !stc_embed(parities.data(), chosen.data(), n, message, m, stc_height, threads, stego))
        return false;
    // Only the elements whose parity changes are touched (a few in a hundred): no pass over the
    // picture. Each goes the way stealth_change() says, its direction bit moved to bit 0.
    for (size_t i = 0; i < stego.size(); ++i) {
        if (stego[i] == parities[i]) continue;
        const uint32_t at = order.at(first + i);
        const uint8_t wanted = stego[i], direction = uint8_t(directions[at / 8] >> (at % 8) & 1);
        bytes[at] = stealth_change(&bytes[at], &wanted, 1, &direction)[0];
    }
    return true;
}

std::vector<uint8_t> stealth_read(const uint8_t* bytes, const stealth_order& order, uint64_t first, uint64_t n,
                                  uint64_t m, unsigned threads)
{
    std::vector<uint8_t> parities(static_cast<size_t>(n));
    stealth_gather_parities(order, bytes, first, n, parities.data(), threads);
    return stc_extract(parities.data(), n, m, stc_height);
}
