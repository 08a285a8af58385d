#include "stealth_order.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "side_by_side.h"

namespace {

uint64_t root_of(uint64_t n)
{
    uint64_t r = uint64_t(std::sqrt(double(n)));
    while (r * r > n) --r;
    while ((r + 1) * (r + 1) <= n) ++r;
    return r;
}

constexpr uint64_t gather_ahead = 16;

// The rows layout gathers a tile of columns at a time: each drawn row's few bytes of the tile
// come in one cache line and feed as many output runs, one per column.
template <class T, class Take>
void gather_rows(const stealth_order& order, const T* values, uint64_t first, uint64_t count, T* out,
                 unsigned threads, Take take)
{
    const uint64_t R = order.rows, L = order.last;
    constexpr uint64_t tile = 64 / sizeof(T) < 8 ? 8 : 64 / sizeof(T) * 4;
    // Element t of column c, place i in P.
    const auto element = [R, L, &order](uint64_t c, uint64_t i) {
        return c < L ? c * R + i : L * R + (c - L) * (R - 1) + i - (i > order.last_at);
    };
    const auto column_of = [R, L](uint64_t t) { return t < L * R ? t / R : L + (t - L * R) / (R - 1); };
    const uint64_t first_column = column_of(first), end_column = column_of(first + count - 1) + 1;
    std::vector<std::function<void()>> jobs;
    for (uint64_t c0 = first_column; c0 < end_column; c0 += tile)
        jobs.push_back([&, c0] {
            const uint64_t c1 = std::min(end_column, c0 + tile);
            for (uint64_t i = 0; i < R; ++i) {
#if defined(__GNUC__) || defined(__clang__)
                // The rows come in the key's order, which no prefetcher foresees: fetch a few ahead.
                // Only within the row: the last one is short.
                if (i + gather_ahead < R) {
                    const uint64_t ahead = order.row_order[size_t(i + gather_ahead)];
                    const uint64_t ahead_end = ahead + 1 == R ? std::min(c1, L) : c1;
                    const char* next = reinterpret_cast<const char*>(values + order.lead + ahead * order.width);
                    for (uint64_t b = c0 * sizeof(T); b < ahead_end * sizeof(T); b += 64) __builtin_prefetch(next + b);
                }
#endif
                const T* row = values + order.lead + uint64_t(order.row_order[size_t(i)]) * order.width;
                const uint64_t columns = i == order.last_at ? std::min(c1, L) : c1;
                for (uint64_t c = c0; c < columns; ++c) {
                    const uint64_t t = element(c, i);
                    if (t - first < count) out[size_t(t - first)] = take(row[c]);  // unsigned: t >= first too
                }
            }
        });
    run_side_by_side(jobs, threads);
}

template <class T, class Take>
void gather(const stealth_order& order, const T* values, uint64_t first, uint64_t count, T* out, unsigned threads,
            Take take)
{
    if (count == 0) return;
    if (order.listed.empty()) return gather_rows(order, values, first, count, out, threads, take);
    // Every element a cache miss: parts side by side, so that two threads wait on twice the misses.
    constexpr uint64_t part = uint64_t(1) << 20;
    std::vector<std::function<void()>> jobs;
    for (uint64_t begin = 0; begin < count; begin += part)
        jobs.push_back([&, begin] {
            for (uint64_t i = begin; i < std::min(count, begin + part); ++i)
                out[size_t(i)] = take(values[order.listed[size_t(first + i)]]);
        });
    run_side_by_side(jobs, threads);
}

}  // namespace

stealth_order stealth_shuffled_order(const uint8_t key[keyed_order_key_bytes], uint64_t n, uint64_t lead)
{
    stealth_order order;
    order.n = n;
    order.lead = lead;
    order.listed = keyed_order(key, uint32_t(n));
    std::reverse(order.listed.begin(), order.listed.end());
    for (uint32_t& element : order.listed) element += uint32_t(lead);
    return order;
}

stealth_order stealth_rows_order(const uint8_t key[keyed_order_key_bytes], uint64_t n, uint64_t lead)
{
    stealth_order order;
    order.n = n;
    order.lead = lead;
    order.width = root_of(n);
    if (order.width == 0) return order;
    order.rows = (n - 1) / order.width + 1;
    order.last = n - (order.rows - 1) * order.width;
    order.row_order = keyed_order(key, uint32_t(order.rows));
    order.last_at = uint64_t(std::find(order.row_order.begin(), order.row_order.end(), uint32_t(order.rows - 1)) -
                             order.row_order.begin());
    return order;
}

void stealth_gather_parities(const stealth_order& order, const uint8_t* values, uint64_t first, uint64_t count,
                             uint8_t* out, unsigned threads)
{
    gather(order, values, first, count, out, threads, [](uint8_t v) { return uint8_t(v & 1); });
}

void stealth_gather(const stealth_order& order, const float* values, uint64_t first, uint64_t count, float* out,
                    unsigned threads)
{
    gather(order, values, first, count, out, threads, [](float v) { return v; });
}
