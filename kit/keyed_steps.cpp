// The keyed form in the kit: the password as the format takes it, keying a carrier and opening a
// keyed picture, over the engine's keyed calls and libsodium.
#include <sodium.h>
#include <utf8proc.h>

#include <algorithm>
#include <cstdlib>

#include "fault.h"
#include "keyed_steps.h"
#include "kit.h"
#include "picture_memory.h"
#include "side_by_side.h"

namespace {

// The engine's keyed errors as faults: the key derivation's memory is the system's.
[[noreturn]] void keyed_fault(const std::string& name, vorn_error error)
{
    if (error == VORN_ERR_KEY_MEMORY) throw std::bad_alloc();
    raise_fault(kit::fault::input, name + ": " + vorn_strerror(error));
}

}  // namespace

void keyed_hide(std::vector<uint8_t>& carrier, std::vector<uint8_t> (&hidden)[2], vorn_build build,
                const std::string& typed, const std::string& name)
{
    const bool has1 = !hidden[0].empty(), has2 = !hidden[1].empty();
    std::string password = normalised(typed);
    std::vector<uint8_t> work = engine_work(vorn_keyed_work_size, carrier);
    const vorn_error error = vorn_keyed_encode(
        carrier.data(), carrier.size(), has1 ? hidden[0].data() : nullptr, hidden[0].size(),
        has2 ? hidden[1].data() : nullptr, hidden[1].size(), vorn_layout_of(build, has1, has2), password.data(),
        password.size(), work.data(), work.size());
    kit::wipe(password);
    if (error != VORN_OK) keyed_fault(name, error);
}

bool low_bits_look_keyed(const std::vector<uint8_t>& coded)
{
    int likely = 0;
    return vorn_keyed_likely(coded.data(), coded.size(), &likely) == VORN_OK && likely;
}

// The lowest bits of eight colour bytes in a row make a byte, judged as vorn_keyed_likely() judges
// its bytes (chi-square below 380 over 256 values, five expected per value at least): a compact
// picture sealed in one low bit, whose bit 1 is its carrier's, shows random bits in bit 0 alone.
bool lowest_bit_looks_random(const std::vector<uint8_t>& coded)
{
    vorn_geometry g;
    if (vorn_check_carrier(coded.data(), coded.size(), &g) != VORN_OK) return false;
    constexpr uint64_t enough = 256 * 5, most = uint64_t(1) << 20;
    const uint64_t groups = std::min<uint64_t>(uint64_t(g.width) * 3 * g.height / 8, most);
    if (groups < enough) return false;
    std::vector<uint8_t> bits(size_t(groups), 0);
    if (vorn_compact_read(coded.data(), coded.size(), 1, 0, groups * 8, bits.data(), bits.size()) != VORN_OK)
        return false;
    uint64_t counts[256] = {};
    for (const uint8_t value : bits) ++counts[value];
    const double expected = double(groups) / 256;
    double chi = 0;
    for (const uint64_t count : counts) chi += (double(count) - expected) * (double(count) - expected) / expected;
    return chi < 380;
}

bool looks_keyed(const std::vector<uint8_t>& coded)
{
    return low_bits_look_keyed(coded) || lowest_bit_looks_random(coded);
}

namespace kit {

bool has_keyed() { return true; }

void wipe(std::string& secret)
{
    if (!secret.empty()) sodium_memzero(secret.data(), secret.size());
    secret.clear();
}

status normalise_password(const std::string& typed, std::string& password)
{
    utf8proc_uint8_t* out = nullptr;
    const utf8proc_ssize_t length =
        utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(typed.data()), utf8proc_ssize_t(typed.size()),
                     &out, utf8proc_option_t(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
    if (length < 0) return {fault::input, "the password is not valid UTF-8"};
    password.assign(reinterpret_cast<const char*>(out), size_t(length));
    sodium_memzero(out, size_t(length));
    std::free(out);
    if (password.empty()) return {fault::input, "the password is empty; a keyed picture needs one"};
    return {};
}

status open_keyed(const bytes& coded, const std::string& name, const std::string& typed, bool raw,
                  vorn_layout& layout, bytes (&pictures)[2], const progress& report, int threads)
{
    return guarded(name, [&] {
        if (report) report("deriving the key from the password", -1);
        std::string password = normalised(typed);
        bytes opened[2] = {bytes(coded.size()), bytes(coded.size())};
        std::vector<uint8_t> work = engine_work(vorn_keyed_work_size, coded);
        layout = VORN_LAYOUT_NONE;
        const vorn_error error = vorn_keyed_decode(coded.data(), coded.size(), password.data(), password.size(),
                                                   opened[0].data(), opened[1].data(), coded.size(), &layout,
                                                   work.data(), work.size());
        wipe(password);
        if (error != VORN_OK) keyed_fault(name, error);
        const unsigned parts = threads_for(threads);
        if (!raw) work = reconstruct_work(coded, parts);
        for (int which = 1; which <= 2; ++which) {
            if (!vorn_layout_holds(layout, which)) {
                opened[which - 1] = bytes();
                continue;
            }
            if (raw) continue;
            if (report) report("reconstructing hidden picture " + std::to_string(which), -1);
            const vorn_error rebuilt = vorn_keyed_reconstruct_threaded(opened[which - 1].data(), coded.size(), layout,
                                                                       which, work.data(), work.size(), parts);
            if (rebuilt != VORN_OK) keyed_fault(name, rebuilt);
        }
        pictures[0] = std::move(opened[0]);
        pictures[1] = std::move(opened[1]);
    });
}

}  // namespace kit
