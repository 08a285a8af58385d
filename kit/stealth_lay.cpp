#include "stealth_lay.h"

#include "stc.h"
#include "stealth_cost.h"

bool stealth_lay(std::vector<uint8_t>& bytes, const float* costs, const uint32_t* order, uint64_t n,
                 const uint8_t* message, uint64_t m, const uint8_t* directions, unsigned threads)
{
    std::vector<uint8_t> parities(static_cast<size_t>(n));
    std::vector<float> chosen_costs(static_cast<size_t>(n));
    for (size_t i = 0; i < parities.size(); ++i) {
        parities[i] = bytes[order[i]] & 1;
        chosen_costs[i] = costs[order[i]];
    }
    std::vector<uint8_t> stego;
    if (!stc_embed(parities.data(), chosen_costs.data(), n, message, m, stc_height, threads, stego)) return false;
    std::vector<uint8_t> wanted = bytes;
    for (size_t i = 0; i < stego.size(); ++i) wanted[order[i]] = stego[i];
    bytes = stealth_change(bytes.data(), wanted.data(), bytes.size(), directions);
    return true;
}

std::vector<uint8_t> stealth_read(const uint8_t* bytes, const uint32_t* order, uint64_t n, uint64_t m)
{
    std::vector<uint8_t> parities(static_cast<size_t>(n));
    for (size_t i = 0; i < parities.size(); ++i) parities[i] = bytes[order[i]] & 1;
    return stc_extract(parities.data(), n, m, stc_height);
}
