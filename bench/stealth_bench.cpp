// Times the stealth embedding's steps (costs, keyed order, syndrome-trellis embedding, reading)
// on carriers tiled from the sample photograph, and measures the trellis's coding efficiency
// against the rate-distortion bound at each constraint height.
//   vorn_stealth_bench [efficiency | speed]   (both without an argument)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <random>

#include "keyed_order.h"
#include "stc.h"
#include "stealth_cost.h"
#include "stealth_lay.h"

namespace {

// Wall-clock and processor seconds since the timer began (processor time counts every thread's:
// on a shared machine the fairer measure of the work).
struct timer {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    std::clock_t processor = std::clock();
    double wall_seconds() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count(); }
    double processor_seconds() const { return double(std::clock() - processor) / CLOCKS_PER_SEC; }
};

// The least expected cost of m bits over these costs, and the flip probabilities' sum with it.
double bound(const std::vector<float>& costs, double m)
{
    double low = 0, high = 1e4, spent = 0;
    for (int round = 0; round < 80; ++round) {
        const double lambda = (low + high) / 2;
        double bits = 0;
        spent = 0;
        for (float cost : costs) {
            const double p = 1 / (1 + std::exp(lambda * cost));
            if (p > 0 && p < 1) bits -= p * std::log2(p) + (1 - p) * std::log2(1 - p);
            spent += p * cost;
        }
        (bits > m ? low : high) = lambda;
    }
    return spent;
}

void efficiency()
{
    const size_t n = size_t(1) << 17;
    std::mt19937 random(1);
    std::vector<uint8_t> parities(n), message(n / 8);
    for (uint8_t& p : parities) p = uint8_t(random() & 1);
    for (uint8_t& b : message) b = uint8_t(random());
    std::vector<float> uniform(n), constant(n, 1.0f);
    for (float& c : uniform) c = float(random() % 1000000) / 1e6f;
    std::printf("distortion / bound, n = %zu (random costs | constant costs)\n  h   ", n);
    const double payloads[] = {0.05, 0.1, 0.2, 0.5};
    for (double a : payloads) std::printf("   a=%-4g       ", a);
    std::printf("  processor time an element at a=0.2\n");
    for (unsigned h = 6; h <= 11; ++h) {
        std::printf("  %2u  ", h);
        double time = 0;
        for (double a : payloads) {
            const uint64_t m = uint64_t(a * double(n));
            for (const std::vector<float>* costs : {&uniform, &constant}) {
                std::vector<uint8_t> stego;
                const timer start;
                stc_embed(parities.data(), costs->data(), n, message.data(), m, h, 1, stego);
                if (a == 0.2 && costs == &uniform) time = start.processor_seconds();
                double spent = 0;
                for (size_t i = 0; i < n; ++i) spent += stego[i] != parities[i] ? (*costs)[i] : 0;
                std::printf(" %.3f", spent / bound(*costs, double(m)));
            }
            std::printf("     ");
        }
        std::printf("  %.0f ns\n", time / double(n) * 1e9);
    }
}

// A width x height carrier tiled from the 512 x 512 sample photograph (a BMP, bottom-up BGR).
std::vector<uint8_t> carrier(uint32_t width, uint32_t height)
{
    std::ifstream file(VORN_SAMPLES_DIR "/Main.bmp", std::ios::binary);
    const std::vector<uint8_t> bmp((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const uint32_t side = 512;
    if (bmp.size() != 54 + side * side * 3) return {};
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            for (uint32_t c = 0; c < 3; ++c)
                rgb[(size_t(y) * width + x) * 3 + c] = bmp[54 + (size_t(y % side) * side + x % side) * 3 + 2 - c];
    return rgb;
}

void speed()
{
    struct size {
        uint32_t width, height;
    };
    uint8_t key[keyed_order_key_bytes] = {7};
    std::printf("seconds wall (processor): costs, order, embed (trellis and changes), extract; changes\n");
    for (const size& s : {size{1920, 1080}, size{4096, 4096}}) {
        const std::vector<uint8_t> cover = carrier(s.width, s.height);
        if (cover.empty()) {
            std::printf("no sample photograph\n");
            return;
        }
        const uint32_t count = uint32_t(cover.size());
        for (double payload : {0.05, 0.2})
            for (unsigned threads : {1u, 2u}) {
                timer all, step;
                const std::vector<float> costs = stealth_costs(cover.data(), s.width, s.height, threads);
                const double cost_time = step.wall_seconds(), cost_processor = step.processor_seconds();
                step = timer();
                const stealth_order order = stealth_rows_order(key, count, 0);
                const std::vector<uint8_t> directions = keyed_stream(key, keyed_direction_nonce, count / 8 + 1);
                const double order_time = step.wall_seconds(), order_processor = step.processor_seconds();
                const uint64_t m = uint64_t(payload * count);
                std::vector<uint8_t> message(size_t(m / 8 + 1), 0x5a), stego = cover;
                step = timer();
                const bool laid = stealth_lay(stego.data(), costs.data(), order, 0, count, message.data(), m,
                                              directions.data(), threads);
                const double embed_time = step.wall_seconds(), embed_processor = step.processor_seconds();
                const double total = all.wall_seconds(), total_processor = all.processor_seconds();
                step = timer();
                const std::vector<uint8_t> read = stealth_read(stego.data(), order, 0, count, m, threads);
                const double extract_time = step.wall_seconds(), extract_processor = step.processor_seconds();
                size_t changes = 0;
                for (size_t i = 0; i < cover.size(); ++i) changes += stego[i] != cover[i];
                std::printf("%4ux%-4u %.2f bpc %u thread%s: %.2f (%.2f) %.2f (%.2f) %.2f (%.2f) %.2f (%.2f)  "
                            "embedding %.2f (%.2f); %.4f changed%s\n",
                            s.width, s.height, payload, threads, threads > 1 ? "s" : " ", cost_time, cost_processor,
                            order_time, order_processor, embed_time, embed_processor, extract_time,
                            extract_processor, total, total_processor, double(changes) / count,
                            laid && std::memcmp(read.data(), message.data(), size_t(m / 8)) == 0 ? "" : " FAILED");
            }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const bool all = argc < 2;
    if (all || std::strcmp(argv[1], "efficiency") == 0) efficiency();
    if (all || std::strcmp(argv[1], "speed") == 0) speed();
}
