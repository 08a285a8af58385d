#include "keyed_order.h"

#include <sodium.h>

#include <algorithm>
#include <unordered_map>
#include <utility>

namespace {

void nonce_bytes(uint64_t nonce, unsigned char out[crypto_stream_chacha20_NONCEBYTES])
{
    for (size_t i = 0; i < crypto_stream_chacha20_NONCEBYTES; ++i) out[i] = uint8_t(nonce >> (8 * i));
}

// The keystream's words, a chunk of blocks at a time.
class word_source {
public:
    word_source(const uint8_t* key, uint64_t nonce) : key_(key) { nonce_bytes(nonce, nonce_); }
    ~word_source() { sodium_memzero(chunk_, sizeof chunk_); }
    word_source(const word_source&) = delete;
    word_source& operator=(const word_source&) = delete;

    uint32_t next()
    {
        if (at_ == sizeof chunk_) {
            crypto_stream_chacha20_xor_ic(chunk_, zeros, sizeof chunk_, nonce_, block_, key_);
            block_ += sizeof chunk_ / 64;
            at_ = 0;
        }
        const uint32_t word = uint32_t(chunk_[at_]) | uint32_t(chunk_[at_ + 1]) << 8 | uint32_t(chunk_[at_ + 2]) << 16 |
                              uint32_t(chunk_[at_ + 3]) << 24;
        at_ += 4;
        return word;
    }

private:
    static constexpr size_t chunk_bytes = 4096;
    static const unsigned char zeros[chunk_bytes];
    const uint8_t* key_;
    unsigned char nonce_[crypto_stream_chacha20_NONCEBYTES];
    unsigned char chunk_[chunk_bytes];
    uint64_t block_ = 0;
    size_t at_ = chunk_bytes;
};

const unsigned char word_source::zeros[word_source::chunk_bytes] = {};

}  // namespace

std::vector<uint32_t> keyed_order(const uint8_t key[keyed_order_key_bytes], uint32_t n)
{
    std::vector<uint32_t> order(n);
    for (uint32_t i = 0; i < n; ++i) order[i] = i;
    word_source words(key, keyed_order_nonce);
    // The swaps' partners depend on the keystream alone: drawn a batch ahead, so that their
    // entries are fetched from memory while the swaps before them are made.
    constexpr uint32_t batch = 64;
    uint32_t partner[batch];
    for (uint32_t top = n > 0 ? n - 1 : 0; top > 0;) {
        const uint32_t count = std::min(batch, top);
        for (uint32_t b = 0; b < count; ++b) {
            const uint32_t bound = top - b + 1;
            // 2^32 mod bound, in uint32_t: the wrap of 0 - bound is the point.
            const uint32_t reject_below = (0u - bound) % bound;
            uint32_t r = words.next();
            while (r < reject_below) r = words.next();
            partner[b] = r % bound;
#if defined(__GNUC__) || defined(__clang__)
            __builtin_prefetch(order.data() + partner[b], 1);
#endif
        }
        for (uint32_t b = 0; b < count; ++b) std::swap(order[top - b], order[partner[b]]);
        top -= count;
    }
    return order;
}

std::vector<uint32_t> keyed_order_tail(const uint8_t key[keyed_order_key_bytes], uint32_t n, uint32_t count)
{
    // Fisher-Yates settles entry top at the swap of top: only the entries moved so far are kept.
    std::vector<uint32_t> tail;
    std::unordered_map<uint32_t, uint32_t> moved;
    const auto entry = [&moved](uint32_t at) {
        const auto found = moved.find(at);
        return found == moved.end() ? at : found->second;
    };
    word_source words(key, keyed_order_nonce);
    count = std::min(count, n);
    for (uint32_t top = n - 1; tail.size() < count; --top) {
        if (top == 0) {
            tail.push_back(entry(0));
            break;
        }
        const uint32_t bound = top + 1;
        const uint32_t reject_below = (0u - bound) % bound;  // 2^32 mod bound, as keyed_order()
        uint32_t r = words.next();
        while (r < reject_below) r = words.next();
        const uint32_t partner = r % bound;
        const uint32_t top_entry = entry(top);
        tail.push_back(entry(partner));
        moved[partner] = top_entry;
    }
    return tail;
}

std::vector<uint8_t> keyed_stream(const uint8_t key[keyed_order_key_bytes], uint64_t nonce, size_t count)
{
    std::vector<uint8_t> stream(count);
    unsigned char nonce_buffer[crypto_stream_chacha20_NONCEBYTES];
    nonce_bytes(nonce, nonce_buffer);
    if (count > 0) crypto_stream_chacha20(stream.data(), count, nonce_buffer, key);
    return stream;
}
