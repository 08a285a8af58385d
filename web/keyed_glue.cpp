// keyed_glue.cpp: the keyed form for the page's worker. The worker passes the password as the
// UTF-8 of what was typed, in a buffer of its own, which is wiped as soon as it is read; the kit
// normalises it, derives the key and draws the salt.
#include <emscripten/emscripten.h>
#include <sodium.h>

#include "glue.h"

std::string password_of(web_buffer* typed)
{
    struct wiper {
        web_buffer* secret;
        ~wiper() { sodium_memzero(secret->data(), secret->size()); }
    } wipe{typed};
    return std::string(typed->begin(), typed->end());
}

kit::status keyed_ready()
{
    // libsodium's random source in WebAssembly (crypto.getRandomValues) is set up by
    // sodium_init(); the kit draws the salt before the engine first calls it.
    if (sodium_init() < 0) return {kit::fault::memory, "the browser's keyed form could not start"};
    return {};
}

// TEST ONLY, for the browser tests that compare keyed bytes with the native library's for a
// given salt. The engine draws the salt with libsodium's randombytes_buf(), which in WebAssembly
// takes each byte from Module.getRandomValue(); while `body` runs, the given salt's bytes are
// handed out first, so that the hiding runs through the kit exactly as the page's does (the
// engine's private salted entry would bypass the kit's steps).
kit::status with_test_salt(const web_buffer* salt, const std::function<kit::status()>& body)
{
    if (!salt) return body();
    if (salt->size() != VORN_KEYED_SALT_BYTES)
        return {kit::fault::usage, "the salt must be " + std::to_string(VORN_KEYED_SALT_BYTES) + " bytes"};
    const kit::status ready = keyed_ready();
    if (!ready.ok()) return ready;
    EM_ASM(
        {
            const given = HEAPU8.slice($0 >>> 0, ($0 >>> 0) + $1);
            const drawn = Module.getRandomValue;
            let next = 0;
            Module.vornDrawnRandom = drawn;
            Module.getRandomValue = () => (next < given.length ? given[next++] : drawn());
        },
        salt->data(), salt->size());
    const kit::status done = body();
    EM_ASM({
        Module.getRandomValue = Module.vornDrawnRandom;
        delete Module.vornDrawnRandom;
    });
    return done;
}

extern "C" {

// kit::open_keyed on the keyed picture in `coded`, named `name`, with the password in `password`
// (its buffer wiped here): picture1 and picture2 receive hidden pictures 1 and 2 (empty where
// the layout holds none), raw or reconstructed. The layout its tag verified, described
// (describe_layout()).
EMSCRIPTEN_KEEPALIVE int web_open_keyed(const web_buffer* coded, const char* name, web_buffer* password, int raw,
                                        web_buffer* picture1, web_buffer* picture2)
{
    std::string secret;
    const int failed = answered([&](json_object& said) -> kit::status {
        secret = password_of(password);
        const kit::status ready = keyed_ready();
        if (!ready.ok()) return ready;
        vorn_layout layout = VORN_LAYOUT_NONE;
        kit::bytes pictures[2];
        const kit::status opened = kit::open_keyed(*coded, text_of(name), secret, raw != 0, layout, pictures);
        if (!opened.ok()) return opened;
        *picture1 = std::move(pictures[0]);
        *picture2 = std::move(pictures[1]);
        describe_layout(said, layout);
        return {};
    });
    kit::wipe(secret);
    return failed;
}

}  // extern "C"
