// Encoding streamed row by row.
//
// Error diffusion passes error only to the next pixel of a row and down to the row below, so the
// value an entry ends with is fixed as soon as its row is walked: its scaled source byte, plus
// the share from the pixel above, plus the share from its neighbour in walking order. A stage
// therefore keeps one row of shares from above, carries the side share along the walk, and
// composes every result byte the moment its value is final. Nothing else is stored, and the
// wrapping 32-bit sums come out exactly as in the plain stages.
//
// A scrambled lower layer is not moved: the stage above it reads it through the permutation, one
// gathered row at a time. With both hidden pictures the hidden-2 and main stages share one walk
// over the rows, since the main stage at a byte needs only the hidden-2 byte at the same place.
#include "encode.h"

#include <algorithm>
#include <array>
#include <cstring>
#ifndef VORN_NO_THREADS
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#endif

#include "layout.h"
#include "permute.h"
#include "sizes.h"

namespace {

constexpr uint32_t below_level = 0x00FFFFFF;

// The kept bits of every stage depend on a value's level (its top byte) alone: the bits the
// stage keeps are the level's low bits, a level above the highest storable one keeps them all
// (levels 128 to 255 are negative values, which keep none). A table per stage, filled from
// kept_bits itself, turns a dithered value into its bits without branches: a dithered value often
// lies just outside the storable range, and mispredicted clamps would cost more than the
// dithering. `reversed` stores the bits with reverse_nibble applied.
using level_table = std::array<uint8_t, 256>;

constexpr level_table kept_by_level(int32_t top, int shift, uint8_t mask, bool reversed = false)
{
    level_table table{};
    for (uint32_t level = 0; level < 256; ++level) {
        const uint8_t bits = kept_bits(int32_t(level << 24), top, shift, mask);
        table[level] = reversed ? reverse_nibble(bits) : bits;
    }
    return table;
}

uint8_t level_of(int32_t v) { return uint8_t(uint32_t(v) >> 24); }

// How a stage scales its source byte, places the decided bits of the layer beneath, and composes
// its result byte (the stage table of encoding, row by row).
struct hidden1_rule {
    static constexpr bool has_lower = false;
    static constexpr level_table kept = kept_by_level(0x3000000, 24, 0x03);
    static uint32_t value(uint8_t source) { return uint32_t(source) << 18; }
    static uint32_t fixed(uint8_t) { return 0; }
    static uint8_t compose(int32_t v, uint8_t) { return kept[level_of(v)]; }
};

// Four bits of its own when hidden picture 2 is alone; vornhold2 stores them reversed.
template <bool Reversed>
struct hidden2_alone_rule {
    static constexpr bool has_lower = false;
    static constexpr level_table kept = kept_by_level(0xF000000, 24, 0x0F, Reversed);
    static uint32_t value(uint8_t source) { return uint32_t(source) << 20; }
    static uint32_t fixed(uint8_t) { return 0; }
    static uint8_t compose(int32_t v, uint8_t) { return kept[level_of(v)]; }
};

// Two bits above the hidden-1 value: the combined nibble, looked up whole by the hidden-1 value
// and the level.
template <bool Reversed>
struct hidden2_above_rule {
    static constexpr bool has_lower = true;
    static constexpr std::array<level_table, 4> nibbles = [] {
        const level_table kept = kept_by_level(0x3000000, 22, 0x0C);
        std::array<level_table, 4> tables{};
        for (uint8_t hidden1 = 0; hidden1 < 4; ++hidden1) {
            for (size_t level = 0; level < 256; ++level) {
                const uint8_t nibble = uint8_t(hidden1 | kept[level]);
                tables[hidden1][level] = Reversed ? reverse_nibble(nibble) : nibble;
            }
        }
        return tables;
    }();
    static uint32_t value(uint8_t source) { return uint32_t(source) << 18; }
    static uint32_t fixed(uint8_t lower) { return uint32_t(lower) << 22; }
    static uint8_t compose(int32_t v, uint8_t lower) { return nibbles[lower & 3][level_of(v)]; }
};

// The carrier: six bits above two hidden ones, else four (above four hidden ones, or none).
template <int LowBits>
struct main_rule {
    static constexpr bool has_lower = LowBits != 0;
    static constexpr int shift = LowBits == 2 ? 22 : 20;
    static constexpr level_table kept =
        LowBits == 2 ? kept_by_level(0x3F000000, 22, 0xFC) : kept_by_level(0xF000000, 20, 0xF0);
    static uint32_t value(uint8_t source) { return uint32_t(source) << shift; }
    static uint32_t fixed(uint8_t lower) { return uint32_t(lower) << shift; }
    static uint8_t compose(int32_t v, uint8_t lower) { return uint8_t(lower | kept[level_of(v)]); }
};

// One byte of a walked row: rewrites it with its result and gives its error and the half of
// that error. The fixed part lies below bit 24, so the error is the value's low 24 bits minus
// that part, negative exactly when the low bits are the smaller; halving toward zero then adds
// one before the arithmetic shift.
struct byte_error {
    uint32_t whole;
    uint32_t half;
};

template <class Rule>
byte_error dither_byte(uint8_t& byte, const uint8_t* lower, ptrdiff_t i, uint32_t from_above,
                       uint32_t from_side)
{
    const uint8_t low = Rule::has_lower ? lower[i] : 0;
    const uint32_t v = Rule::value(byte) + from_above + from_side;
    byte = Rule::compose(int32_t(v), low);
    const uint32_t kept_low = v & below_level;
    const uint32_t fixed = Rule::fixed(low);
    const uint32_t error = kept_low - fixed;
    const uint32_t borrow = error > kept_low;  // the subtraction wrapped: the error is negative
    return {error, uint32_t(int32_t(error + borrow) >> 1)};
}

// Walks the pixels of one row in serpentine order, rewriting each byte with its result. `down`
// holds the shares the row above passed down and receives those this row passes on; `lower` is
// the layer beneath. The side share runs along the walk, one per channel: whole in the first
// row, halved in the others. The last pixel passes its whole error down.
template <class Rule, bool FirstRow>
void dither_row(uint8_t* bytes, const uint8_t* lower, uint32_t* down, uint32_t width,
                bool right_to_left)
{
    if (width == 0) return;
    uint32_t side[3] = {0, 0, 0};
    const ptrdiff_t step = right_to_left ? -3 : 3;
    ptrdiff_t at = right_to_left ? ptrdiff_t(width - 1) * 3 : 0;
    for (uint32_t left = width - 1; left > 0; --left, at += step) {
        for (ptrdiff_t i = at; i < at + 3; ++i) {
            const byte_error error = dither_byte<Rule>(bytes[i], lower, i, down[i], side[i - at]);
            down[i] = error.half;
            side[i - at] = FirstRow ? error.whole : error.half;
        }
    }
    for (ptrdiff_t i = at; i < at + 3; ++i)
        down[i] = dither_byte<Rule>(bytes[i], lower, i, down[i], side[i - at]).whole;
}

// Bytes that no error reaches (row padding, bytes after the last row) keep their plain value.
template <class Rule>
void compose_untouched(uint8_t* bytes, const uint8_t* lower, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        bytes[i] = Rule::compose(int32_t(Rule::value(bytes[i])), Rule::has_lower ? lower[i] : 0);
}

template <class Rule>
void stage_row(uint8_t* row, const uint8_t* lower, uint32_t* down, const raster_geometry& g,
               uint32_t y)
{
    if (y == 0)
        dither_row<Rule, true>(row, lower, down, g.width, true);
    else
        dither_row<Rule, false>(row, lower, down, g.width, y % 2 == 0);
    const size_t pixels = size_t(g.width) * 3;
    compose_untouched<Rule>(row + pixels, Rule::has_lower ? lower + pixels : nullptr,
                            g.string_length - pixels);
}

// The layer beneath a stage as the stage must see it: in place, or as the permutation left it.
struct lower_layer {
    const uint8_t* raster;  // null: no layer beneath
    bool permuted;
    uint8_t* gathered;      // room for one row
};

const uint8_t* lower_row(const lower_layer& lower, uint32_t y, const raster_geometry& g)
{
    if (!lower.raster) return nullptr;
    const uint8_t* own = lower.raster + size_t(y) * g.string_length;
    if (!lower.permuted) return own;
    // A plain copy first reads the source row in order; the gather then overwrites the pixels.
    // The permutation moves pixels only, so the row's padding stays its own.
    const uint8_t* from = permuted_source_row(lower.raster, y, g);
    const size_t pixels = size_t(g.width) * 3;
    std::memcpy(lower.gathered, from, pixels);
    gather_permuted_row(from, g.width, lower.gathered, [](uint8_t b) { return b; });
    std::memcpy(lower.gathered + pixels, own + pixels, g.string_length - pixels);
    return lower.gathered;
}

const uint8_t* lower_tail(const lower_layer& lower, const raster_geometry& g)
{
    return lower.raster ? lower.raster + size_t(g.height) * g.string_length : nullptr;
}

size_t tail_bytes(const raster_geometry& g)
{
    return size_t(g.length) - g.offset_raster - size_t(g.height) * g.string_length;
}

template <class Rule>
void stage_pass(uint8_t* raster, const lower_layer& lower, uint32_t* down, const raster_geometry& g)
{
    std::fill_n(down, walked_row_bytes(g), 0u);
    for (uint32_t y = 0; y < walked_rows(g); ++y)
        stage_row<Rule>(raster + size_t(y) * g.string_length, lower_row(lower, y, g), down, g, y);
    const size_t tail = size_t(g.height) * g.string_length;
    compose_untouched<Rule>(raster + tail, lower_tail(lower, g), tail_bytes(g));
}

// The hidden-2 stage above hidden 1 and the main stage above both, in one walk over the rows.
// With threads, the hidden-2 rows run on a second thread, which publishes its finished rows in
// batches; the main stage follows on the calling thread as soon as the row it needs is out.
// Where no thread can be started, or the library is built without threads, the hidden-2 rows
// are all done first. (A mutex and a condition variable, not std::atomic's wait: some C++
// libraries can miss a wake-up there.)
constexpr uint32_t rows_per_signal = 32;

#ifndef VORN_NO_THREADS
struct rows_out {
    std::mutex lock;
    std::condition_variable advanced;
    uint32_t count = 0;
    void publish(uint32_t rows)
    {
        {
            const std::lock_guard<std::mutex> hold(lock);
            count = rows;
        }
        advanced.notify_one();
    }
    uint32_t wait_beyond(uint32_t y)
    {
        std::unique_lock<std::mutex> hold(lock);
        advanced.wait(hold, [&] { return count > y; });
        return count;
    }
};

// Runs `beside` on a second thread while `here` runs on the calling thread, and returns when
// both are done. Where no thread can be started, runs `beside` to its end first, then `here`,
// so `here` may wait for what `beside` publishes.
template <class Beside, class Here>
void run_in_parallel(Beside beside, Here here)
{
    std::thread helper;
    try {
        helper = std::thread(beside);
    } catch (const std::exception&) {  // no thread to be had, or no memory for one
        beside();
    }
    here();
    if (helper.joinable()) helper.join();
}
#else
// Without threads every row is out before anyone asks.
struct rows_out {
    uint32_t count = 0;
    void publish(uint32_t rows) { count = rows; }
    uint32_t wait_beyond(uint32_t) { return count; }
};

template <class Beside, class Here>
void run_in_parallel(Beside beside, Here here)
{
    beside();
    here();
}
#endif

template <class Hidden2>
void combined_pass(uint8_t* layer2, const lower_layer& layer1, uint8_t* main, uint32_t* down2,
                   uint32_t* down_main, const raster_geometry& g, bool helper)
{
    using carrier = main_rule<4>;
    std::fill_n(down2, walked_row_bytes(g), 0u);
    std::fill_n(down_main, walked_row_bytes(g), 0u);
    rows_out out;
    const auto hidden2_rows = [&] {
        for (uint32_t y = 0; y < walked_rows(g); ++y) {
            const size_t row = size_t(y) * g.string_length;
            stage_row<Hidden2>(layer2 + row, lower_row(layer1, y, g), down2, g, y);
            // Waking the other thread costs a system call: publish in batches of rows.
            if ((y + 1) % rows_per_signal != 0 && y + 1 != g.height) continue;
            out.publish(y + 1);
        }
    };
    const auto main_rows = [&] {
        uint32_t known = 0;
        for (uint32_t y = 0; y < walked_rows(g); ++y) {
            if (y >= known) known = out.wait_beyond(y);
            const size_t row = size_t(y) * g.string_length;
            stage_row<carrier>(main + row, layer2 + row, down_main, g, y);
        }
    };
    if (helper) {
        run_in_parallel(hidden2_rows, main_rows);
    } else {
        hidden2_rows();
        main_rows();
    }
    const size_t tail = size_t(g.height) * g.string_length;
    compose_untouched<Hidden2>(layer2 + tail, lower_tail(layer1, g), tail_bytes(g));
    compose_untouched<carrier>(main + tail, layer2 + tail, tail_bytes(g));
}


// The stages in order; `Reversed` is the build's choice for the hidden-2 nibble.
template <bool Reversed>
void encode_with(uint8_t* main, uint8_t* layer1, uint8_t* layer2, const stage_rows& rows,
                 const raster_geometry& g, bool helper)
{
    const bool scrambled = scrambles(g);
    uint32_t* down = rows.shares;
    uint32_t* second_down = rows.shares + walked_row_bytes(g);
    lower_layer lower{nullptr, false, rows.lower};
    if (layer1) {
        stage_pass<hidden1_rule>(layer1, lower, down, g);
        lower = {layer1, scrambled, rows.lower};
    }
    if (layer2) {
        if (layer1) {
            combined_pass<hidden2_above_rule<Reversed>>(layer2, lower, main, down, second_down, g, helper);
            return;
        }
        stage_pass<hidden2_alone_rule<Reversed>>(layer2, lower, down, g);
        lower = {layer2, scrambled, rows.lower};
    }
    if (layer2)
        stage_pass<main_rule<4>>(main, lower, down, g);
    else if (layer1)
        stage_pass<main_rule<2>>(main, lower, down, g);
    else
        stage_pass<main_rule<0>>(main, lower, down, g);
}

// Runs the stages over the rasters of the images and writes the coded bytes over the raster of
// `main_image`. A null hidden image is an absent picture. The hidden images' rasters are spent
// afterwards: they are not left as permuted layers. The scrambled layer (hidden 1, else hidden 2
// when it is alone) is moved when scrambles(g). `helper`: the hidden-2 and main stages may run on
// two threads.
void encode_layers(uint8_t* main_image, uint8_t* hidden1_image, uint8_t* hidden2_image,
                   const stage_rows& rows, const raster_geometry& g, vorn_build build, bool helper)
{
    uint8_t* main = main_image + g.offset_raster;
    uint8_t* layer1 = hidden1_image ? hidden1_image + g.offset_raster : nullptr;
    uint8_t* layer2 = hidden2_image ? hidden2_image + g.offset_raster : nullptr;
    if (build == VORN_VORNHOLD2)
        encode_with<true>(main, layer1, layer2, rows, g, helper);
    else
        encode_with<false>(main, layer1, layer2, rows, g, helper);
}

}  // namespace

int vorn_scrambles(const vorn_geometry* geometry)
{
    return geometry && scrambles(*geometry);
}

vorn_error vorn_encode_work_size(const vorn_geometry* geometry, size_t* size)
{
    if (!geometry) return VORN_ERR_ARGUMENT;
    return hand_out_size(stage_rows_bytes(*geometry), size);
}

vorn_error vorn_encode_threaded(uint8_t* image, size_t length, uint8_t* hidden1, size_t hidden1_length,
                                uint8_t* hidden2, size_t hidden2_length, vorn_build build, void* work,
                                size_t work_size, int* refused, unsigned threads)
{
    if (refused) *refused = 0;
    if (!image || !known_build(build)) return VORN_ERR_ARGUMENT;
    raster_geometry g{};
    if (const vorn_error error = check_header(image, length, g)) return error;
    const uint8_t* hidden[2] = {hidden1, hidden2};
    const size_t hidden_length[2] = {hidden1_length, hidden2_length};
    for (int which = 1; which <= 2; ++which) {
        if (!hidden[which - 1]) continue;
        const vorn_error error = hidden_difference(hidden[which - 1], hidden_length[which - 1], g);
        if (error == VORN_OK) continue;
        if (refused) *refused = which;
        return error;
    }
    if (const vorn_error error = check_work(work, work_size, stage_rows_bytes(g))) return error;
    encode_layers(image, hidden1, hidden2, stage_rows_in(work, g), g, build, threads > 1);
    return VORN_OK;
}

vorn_error vorn_encode(uint8_t* image, size_t length, uint8_t* hidden1, size_t hidden1_length,
                       uint8_t* hidden2, size_t hidden2_length, vorn_build build, void* work,
                       size_t work_size, int* refused)
{
    return vorn_encode_threaded(image, length, hidden1, hidden1_length, hidden2, hidden2_length, build, work,
                                work_size, refused, 2);
}
