// constants.cpp: the numbers the worker needs from vorn.h and the glue (codes, builds, the
// geometry struct's layout), as one JSON text built from the headers themselves, so that the
// page cannot drift from the engine it runs.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <string>

#include "glue.h"
#include "vorn.h"

namespace {

#define NAMED(name) "\"" #name "\":" + std::to_string(name) + ","
#define FIELD(type, field) "\"" #field "\":" + std::to_string(offsetof(type, field)) + ","

std::string constants_json()
{
    std::string json = "{";
    json += NAMED(VORN_OK) NAMED(VORN_VORNHOLD2) NAMED(VORN_VORNHOLD);
    json += NAMED(VORN_LAYOUT_NONE) NAMED(VORN_LAYOUT_HIDDEN1) NAMED(VORN_LAYOUT_HIDDEN2_VORNHOLD)
        NAMED(VORN_LAYOUT_HIDDEN2_VORNHOLD2) NAMED(VORN_LAYOUT_BOTH_VORNHOLD)
            NAMED(VORN_LAYOUT_BOTH_VORNHOLD2);
    json += NAMED(VORN_KEYED_SALT_BYTES);
    json += NAMED(VORN_FIT_CONTAIN) NAMED(VORN_FIT_COVER) NAMED(VORN_FIT_STRETCH);
    json += NAMED(WEB_FAILED) NAMED(WEB_UNKNOWN_FORMAT) NAMED(WEB_ROLE_SOURCE) NAMED(WEB_ROLE_CODED);
    json += NAMED(WEB_READ_AS_IS) NAMED(WEB_READ_ALPHA_DROPPED);
    json += NAMED(WEB_PNG_DECODED) NAMED(WEB_PNG_CODED) NAMED(WEB_PNG_RECONSTRUCTED);
    json += "\"vorn_geometry\":{" FIELD(vorn_geometry, length) FIELD(vorn_geometry, offset_raster)
        FIELD(vorn_geometry, width) FIELD(vorn_geometry, height) FIELD(vorn_geometry, string_length);
    json += "\"size\":" + std::to_string(sizeof(vorn_geometry)) + "}}";
    return json;
}

}  // namespace

extern "C" {

// The JSON text; static, not to be freed.
EMSCRIPTEN_KEEPALIVE const char *web_constants()
{
    static const std::string json = constants_json();
    return json.c_str();
}

}  // extern "C"
