// keyed_glue.cpp: the keyed form for the page's worker. The worker passes the password as the
// UTF-8 of what was typed, in a buffer of its own, which is wiped as soon as it is read; the kit
// normalises it, derives the key and draws the salt.
#include <emscripten/emscripten.h>
#include <sodium.h>

#include "glue.h"

namespace {

// What to report once the key is derived, while a keyed call runs; empty otherwise.
std::function<void()> after_key;

// Fills `size` bytes at `buffer` from the browser's random source, at most 65536 bytes a call of
// crypto.getRandomValues; addresses read as unsigned (memory reaches 4 GiB).
EM_JS(void, browser_random_fill, (void* buffer, size_t size), {
    const start = buffer >>> 0;
    const end = start + (size >>> 0);
    for (let at = start; at < end; at += 65536) crypto.getRandomValues(HEAPU8.subarray(at, Math.min(end, at + 65536)));
});

}  // namespace

// The module is linked with --wrap=crypto_pwhash: every key derivation comes here, so that the
// page hears when the key is ready and the engine's keyed call moves on to the pictures.
extern "C" int __real_crypto_pwhash(unsigned char* out, unsigned long long out_length, const char* password,
                                    unsigned long long password_length, const unsigned char* salt,
                                    unsigned long long passes, size_t memory, int algorithm);

extern "C" int __wrap_crypto_pwhash(unsigned char* out, unsigned long long out_length, const char* password,
                                    unsigned long long password_length, const unsigned char* salt,
                                    unsigned long long passes, size_t memory, int algorithm)
{
    const int derived =
        __real_crypto_pwhash(out, out_length, password, password_length, salt, passes, memory, algorithm);
    if (after_key) after_key();
    return derived;
}

kit::status reporting_after_key(bool hiding, const std::function<kit::status()>& body)
{
    const kit::progress report = page_progress();
    after_key = [report, hiding] { report(kit::step_after_key(hiding), -1); };
    struct ending {
        ~ending() { after_key = nullptr; }
    } end;
    return body();
}

std::string password_of(web_buffer* typed)
{
    struct wiper {
        web_buffer* secret;
        ~wiper() { sodium_memzero(secret->data(), secret->size()); }
    } wipe{typed};
    return std::string(typed->begin(), typed->end());
}

// The module is linked with --wrap=randombytes_buf too: libsodium's own in WebAssembly crosses into
// JavaScript once per byte, which for the compact form's filling of the carrier's low bits
// (megabytes) took most of a hiding. Here the browser fills the whole buffer.
extern "C" void __wrap_randombytes_buf(void* const buffer, const size_t size)
{
    if (size > 0) browser_random_fill(buffer, size);
}

kit::status keyed_ready()
{
    // libsodium's random source in WebAssembly (crypto.getRandomValues) is set up by
    // sodium_init(); the kit draws the salt before the engine first calls it.
    if (sodium_init() < 0) return {kit::fault::memory, "the browser's keyed form could not start"};
    return {};
}

extern "C" {

// Whether the password and its confirmation (buffers of what was typed, wiped here) were typed
// alike, as the kit judges them.
EMSCRIPTEN_KEEPALIVE int web_check_typed_twice(web_buffer* password, web_buffer* confirmation)
{
    std::string first, second;
    const int failed = answered([&](json_object&) {
        first = password_of(password);
        second = password_of(confirmation);
        return kit::check_typed_twice(first, second);
    });
    kit::wipe(first);
    kit::wipe(second);
    return failed;
}

}  // extern "C"
