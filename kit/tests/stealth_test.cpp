// The stealth embedding's pieces: syndrome-trellis coding round trips at every height, rate and
// thread count, leaves wet elements alone and stays near the rate-distortion bound; the costs and
// the +-1 changes keep every byte in range; the keyed order is a reproducible permutation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include "keyed_order.h"
#include "stc.h"
#include "stealth_cost.h"
#include "stealth_lay.h"
#include "stealth_order.h"

namespace {

std::vector<uint8_t> random_bytes(size_t count, uint32_t seed, unsigned top = 255)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes) byte = uint8_t(random() % (top + 1));
    return bytes;
}

std::vector<float> random_costs(size_t count, uint32_t seed, double wet_share)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0, 1);
    std::vector<float> costs(count);
    for (float& cost : costs) cost = unit(random) < wet_share ? stc_wet_cost : unit(random);
    return costs;
}

// The least expected cost of carrying m bits in changes of these costs (flip probabilities
// e^(-l c) / (1 + e^(-l c)) whose entropy sums to m).
double distortion_bound(const std::vector<float>& costs, double m)
{
    double low = 0, high = 1e4, cost_sum = 0;
    for (int round = 0; round < 100; ++round) {
        const double lambda = (low + high) / 2;
        double bits = 0;
        cost_sum = 0;
        for (float cost : costs) {
            const double p = 1 / (1 + std::exp(lambda * cost));
            if (p > 0 && p < 1) bits -= p * std::log2(p) + (1 - p) * std::log2(1 - p);
            cost_sum += p * cost;
        }
        (bits > m ? low : high) = lambda;
    }
    return cost_sum;
}

// Checked against a second implementation written from the headers' descriptions alone.
TEST(stealth_format, reproduces_its_vectors)
{
    uint8_t key[keyed_order_key_bytes];
    for (size_t i = 0; i < sizeof key; ++i) key[i] = uint8_t(i);
    EXPECT_EQ(keyed_order(key, 16), (std::vector<uint32_t>{6, 4, 15, 14, 0, 10, 13, 3, 11, 8, 1, 12, 2, 7, 5, 9}));
    // The tail a reader draws alone is the whole order's, read from its end.
    const std::vector<uint32_t> order = keyed_order(key, 100000);
    EXPECT_EQ(keyed_order_tail(key, 100000, 5000), std::vector<uint32_t>(order.rbegin(), order.rbegin() + 5000));
    EXPECT_EQ(keyed_order_tail(key, 16, 20), (std::vector<uint32_t>{9, 5, 7, 2, 12, 1, 8, 11, 3, 13, 10, 0, 14, 15, 4, 6}));
    EXPECT_EQ(keyed_stream(key, keyed_direction_nonce, 4), (std::vector<uint8_t>{0x2f, 0xa4, 0xf1, 0x02}));
    const uint32_t columns[] = {0x153, 0x19f, 0x1bd, 0x157, 0x1f9, 0x147};
    for (uint64_t k = 0; k < 6; ++k) EXPECT_EQ(stc_column(9, k), columns[k]);
    std::vector<uint8_t> parities;
    for (char c : std::string("010010100101001010010100")) parities.push_back(uint8_t(c - '0'));
    EXPECT_EQ(stc_extract(parities.data(), 24, 10, 9), (std::vector<uint8_t>{0xe1, 0x00}));
    // The rows layout of 220 elements: 16 rows of 14 (the last, row 15, of 10), drawn in the
    // order above; column 10 on skips row 15, which P has third.
    const stealth_order rows = stealth_rows_order(key, 220, 0);
    const std::pair<uint64_t, uint32_t> elements[] = {{0, 84}, {1, 56}, {2, 210}, {3, 196}, {159, 135},
                                                      {160, 94}, {161, 66}, {162, 206}, {219, 139}};
    for (const auto& e : elements) EXPECT_EQ(rows.at(e.first), e.second) << e.first;
}

// Every layout is a permutation of the elements, and a gather of any run of the sequence gives
// what at() names, on any number of threads.
TEST(stealth_order, gathers_follow_the_sequence_in_every_layout)
{
    uint8_t key[keyed_order_key_bytes] = {3};
    for (const uint64_t n : {1u, 2u, 3u, 220u, 224u, 5632u, 99999u}) {
        for (const bool shuffled : {false, true}) {
            SCOPED_TRACE(std::to_string(n) + (shuffled ? " shuffled" : " rows"));
            const uint64_t lead = 7;
            const stealth_order order = shuffled ? stealth_shuffled_order(key, n, lead) : stealth_rows_order(key, n, lead);
            std::vector<uint32_t> seen;
            for (uint64_t t = 0; t < n; ++t) seen.push_back(order.at(t));
            std::sort(seen.begin(), seen.end());
            for (uint64_t t = 0; t < n; ++t) ASSERT_EQ(seen[size_t(t)], lead + t);
            const std::vector<uint8_t> bytes = random_bytes(size_t(lead + n), uint32_t(n));
            std::vector<float> values(bytes.begin(), bytes.end());
            for (const auto& run : {std::pair<uint64_t, uint64_t>{0, n}, {n / 3, n - n / 3}, {n / 2, n / 4 + 1}}) {
                if (run.first + run.second > n) continue;
                std::vector<uint8_t> parities(size_t(run.second));
                std::vector<float> gathered(size_t(run.second));
                stealth_gather_parities(order, bytes.data(), run.first, run.second, parities.data(), unsigned(n % 3));
                stealth_gather(order, values.data(), run.first, run.second, gathered.data(), 2);
                for (uint64_t i = 0; i < run.second; ++i) {
                    const uint32_t at = order.at(run.first + i);
                    ASSERT_EQ(parities[size_t(i)], bytes[at] & 1) << i;
                    ASSERT_EQ(gathered[size_t(i)], values[at]) << i;
                }
            }
        }
    }
}

TEST(stc, round_trips_the_message_and_leaves_wet_elements)
{
    struct row {
        uint64_t n, m;
        unsigned h;
        double wet_share;
    };
    const row rows[] = {{1000, 500, 4, 0},    {1000, 1, 7, 0},        {97, 97, 7, 0},          {5000, 1250, 10, 0.3},
                        {300000, 15000, 7, 0}, {300000, 150000, 8, 0.1}, {400000, 7, 6, 0}, {1, 1, 12, 0}};
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << "n " << r.n << " m " << r.m << " h " << r.h);
        const std::vector<uint8_t> parities = random_bytes(r.n, 1, 1), message = random_bytes((r.m + 7) / 8, 2);
        const std::vector<float> costs = random_costs(r.n, 3, r.wet_share);
        std::vector<uint8_t> one, two;
        ASSERT_TRUE(stc_embed(parities.data(), costs.data(), r.n, message.data(), r.m, r.h, 1, one));
        ASSERT_TRUE(stc_embed(parities.data(), costs.data(), r.n, message.data(), r.m, r.h, 2, two));
        EXPECT_EQ(one, two);
        std::vector<uint8_t> wanted = message;
        if (r.m % 8) wanted.back() &= uint8_t(0xff << (8 - r.m % 8));
        EXPECT_EQ(stc_extract(one.data(), r.n, r.m, r.h), wanted);
        for (size_t i = 0; i < r.n; ++i) ASSERT_TRUE(costs[i] < stc_wet_cost || one[i] == parities[i]) << i;
    }
}

TEST(stc, cuts_segments_that_cover_every_element_and_bit)
{
    const uint64_t cases[][2] = {{1, 1}, {131072, 7}, {131073, 131073}, {6220800, 311040}, {50331648, 1}};
    for (const auto& c : cases) {
        const std::vector<stc_segment> segments = stc_segments(c[0], c[1]);
        uint64_t elements = 0, bits = 0;
        for (const stc_segment& segment : segments) {
            EXPECT_EQ(segment.first_element, elements);
            EXPECT_EQ(segment.first_bit, bits);
            EXPECT_LE(segment.elements, stc_segment_elements);
            EXPECT_LE(segment.bits, segment.elements);
            elements += segment.elements;
            bits += segment.bits;
        }
        EXPECT_EQ(elements, c[0]);
        EXPECT_EQ(bits, c[1]);
    }
    EXPECT_EQ(stc_first_part_elements(1000000, 480), 480 * stc_first_part_spread);
    EXPECT_EQ(stc_first_part_elements(1000, 480), 500u);
}

TEST(stc, refuses_what_cannot_be_laid)
{
    const std::vector<uint8_t> zeros(100, 0), ones(20, 0xff);
    const std::vector<float> dry(100, 1.0f), wet(100, stc_wet_cost);
    std::vector<uint8_t> stego;
    EXPECT_FALSE(stc_embed(zeros.data(), dry.data(), 100, ones.data(), 101, 7, 1, stego));
    EXPECT_FALSE(stc_embed(zeros.data(), wet.data(), 100, ones.data(), 10, 7, 1, stego));
    EXPECT_FALSE(stc_embed(zeros.data(), dry.data(), 100, ones.data(), 10, 13, 1, stego));
    EXPECT_TRUE(stego.empty());
}

TEST(stc, stays_near_the_rate_distortion_bound)
{
    struct row {
        double payload;
        unsigned h;
        bool constant_costs;
        double within;
    };
    const row rows[] = {{0.5, 10, false, 1.15}, {0.5, 7, false, 1.25}, {0.1, 9, false, 1.22},
                        {0.5, 10, true, 1.12},  {0.2, 9, true, 1.2},   {0.05, 9, true, 1.3}};
    const size_t n = 40000;
    const std::vector<uint8_t> parities = random_bytes(n, 4, 1), message = random_bytes(n / 8, 5);
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << "payload " << r.payload << " h " << r.h);
        const std::vector<float> costs = r.constant_costs ? std::vector<float>(n, 1.0f) : random_costs(n, 6, 0);
        const uint64_t m = uint64_t(r.payload * n);
        std::vector<uint8_t> stego;
        ASSERT_TRUE(stc_embed(parities.data(), costs.data(), n, message.data(), m, r.h, 0, stego));
        double spent = 0;
        for (size_t i = 0; i < n; ++i) spent += stego[i] != parities[i] ? costs[i] : 0;
        EXPECT_LT(spent, r.within * distortion_bound(costs, double(m)));
    }
}

TEST(stealth_cost, keeps_bytes_in_range_and_prices_flat_areas_high)
{
    const uint32_t width = 70, height = 150;
    std::vector<uint8_t> rgb = random_bytes(size_t(width) * height * 3, 7);
    for (uint32_t y = 0; y < height / 2; ++y)  // the top half flat, at the ends of the range
        for (uint32_t i = 0; i < width * 3; ++i) rgb[size_t(y) * width * 3 + i] = i % 2 ? 255 : 0;
    const std::vector<float> costs = stealth_costs(rgb.data(), width, height, 1);
    EXPECT_EQ(costs, stealth_costs(rgb.data(), width, height, 3));
    EXPECT_GT(costs[10 * width * 3 + 30], 10 * costs[140 * width * 3 + 30]);

    const std::vector<uint8_t> directions = random_bytes(rgb.size() / 8 + 1, 8), flips = random_bytes(rgb.size(), 9, 1);
    std::vector<uint8_t> wanted = rgb;
    for (size_t i = 0; i < rgb.size(); ++i) wanted[i] ^= flips[i];
    const std::vector<uint8_t> changed = stealth_change(rgb.data(), wanted.data(), rgb.size(), directions.data());
    size_t up = 0, moved = 0;  // among bytes free to go either way
    for (size_t i = 0; i < rgb.size(); ++i) {
        ASSERT_EQ(changed[i] & 1, wanted[i] & 1);
        ASSERT_LE(std::abs(int(changed[i]) - int(rgb[i])), 1);
        ASSERT_FALSE((rgb[i] == 0 && changed[i] == 255) || (rgb[i] == 255 && changed[i] == 0));
        const bool free = rgb[i] > 0 && rgb[i] < 255;
        moved += free && changed[i] != rgb[i];
        up += free && changed[i] > rgb[i];
    }
    EXPECT_NEAR(double(up) / double(moved), 0.5, 0.05);
}

TEST(stealth_lay, lays_a_message_in_keyed_order_and_reads_it_back)
{
    const uint32_t width = 64, height = 48, count = width * height * 3;
    uint8_t key[keyed_order_key_bytes];
    for (size_t i = 0; i < sizeof key; ++i) key[i] = uint8_t(i);
    const std::vector<uint32_t> order = keyed_order(key, count);
    std::vector<uint32_t> sorted = order;
    std::sort(sorted.begin(), sorted.end());
    for (uint32_t i = 0; i < count; ++i) ASSERT_EQ(sorted[i], i);
    EXPECT_EQ(order, keyed_order(key, count));
    key[31] ^= 1;
    EXPECT_NE(order, keyed_order(key, count));

    std::vector<uint8_t> picture = random_bytes(count, 10);
    const std::vector<uint8_t> cover = picture, message = random_bytes(100, 11);
    const std::vector<float> costs = stealth_costs(picture.data(), width, height, 0);
    const std::vector<uint8_t> directions = keyed_stream(key, keyed_direction_nonce, count / 8);
    stealth_order listed;
    listed.listed = order;
    const uint64_t n = count / 2;  // the first half of the order only: the others keep their bytes
    ASSERT_TRUE(stealth_lay(picture.data(), costs.data(), listed, 0, n, message.data(), 800, directions.data(), 2));
    EXPECT_EQ(stealth_read(picture.data(), listed, 0, n, 800, 1), message);
    size_t changes = 0;
    for (uint64_t i = 0; i < count; ++i) {
        changes += picture[order[i]] != cover[order[i]];
        if (i >= n) {
            ASSERT_EQ(picture[order[i]], cover[order[i]]);
        }
    }
    EXPECT_LT(changes, 800u / 4);

    // Several segments in the rows layout, most elements wet for the trellis: read back whole.
    const uint32_t wide = 400, high = 260, bytes_in = wide * high * 3;
    std::vector<uint8_t> large = random_bytes(bytes_in, 13);
    const std::vector<float> large_costs = stealth_costs(large.data(), wide, high, 0);
    const std::vector<uint8_t> large_message = random_bytes(1500, 14),
                               large_directions = keyed_stream(key, keyed_direction_nonce, bytes_in / 8);
    const stealth_order rows = stealth_rows_order(key, bytes_in - 7, 7);
    ASSERT_TRUE(stealth_lay(large.data(), large_costs.data(), rows, 100, bytes_in - 107, large_message.data(), 12000,
                            large_directions.data(), 2));
    EXPECT_EQ(stealth_read(large.data(), rows, 100, bytes_in - 107, 12000, 2), large_message);

    // The cheapest elements all in the first segment: the others, all wet, hold their bits only
    // coded again all dry.
    std::vector<float> rising(large_costs.size());
    for (uint64_t t = 0; t < bytes_in - 107; ++t) rising[rows.at(100 + t)] = float(t);
    const std::vector<uint8_t> other_message = random_bytes(1500, 15);
    ASSERT_TRUE(stealth_lay(large.data(), rising.data(), rows, 100, bytes_in - 107, other_message.data(), 12000,
                            large_directions.data(), 1));
    EXPECT_EQ(stealth_read(large.data(), rows, 100, bytes_in - 107, 12000, 1), other_message);

    // Half the picture flat, half noise: the changes go to the noise.
    std::vector<uint8_t> halves = random_bytes(count, 12);
    std::fill(halves.begin(), halves.begin() + count / 2, uint8_t(120));
    const std::vector<uint8_t> plain = halves;
    const std::vector<float> half_costs = stealth_costs(halves.data(), width, height, 1);
    ASSERT_TRUE(stealth_lay(halves.data(), half_costs.data(), listed, 0, count, message.data(), 800, directions.data(), 1));
    size_t in_flat = 0, in_noise = 0;
    for (uint32_t i = 0; i < count; ++i) (i < count / 2 ? in_flat : in_noise) += halves[i] != plain[i];
    EXPECT_LT(in_flat * 20, in_noise);
}

}  // namespace
