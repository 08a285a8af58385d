// glue.cpp: the module's byte buffers, the answers of the glue's calls, and what the worker needs
// to show a picture (its size, its pixels for a canvas) or to hand the kit one the browser
// decoded.
//
// A picture lives in a buffer (a std::vector inside the module) from the moment its file's bytes
// are written into it until the worker frees it: JavaScript writes the file in once, every step
// works on buffers in place or into buffers the worker gives, and only results are read out.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <memory>
#include <new>

#include "glue.h"

namespace {

std::string answer;  // the last call's; the worker runs one call at a time

// Calls the worker's progress hook, if it set one for the call under way.
EM_JS(void, post_progress, (const char* step, double done), {
    if (Module.vornProgress) Module.vornProgress(UTF8ToString(step), done);
});

const char* fault_word(kit::fault kind)
{
    switch (kind) {
    case kit::fault::none: break;
    case kit::fault::usage: return "usage";
    case kit::fault::input: return "input";
    case kit::fault::output: return "output";
    case kit::fault::memory: return "memory";
    }
    return "none";
}

// `text` as a JSON string: quotes, backslashes and control characters escaped, the rest (UTF-8)
// as it stands.
std::string json_string(const std::string& text)
{
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            static const char hex[] = "0123456789abcdef";
            quoted += "\\u00";
            quoted += hex[c >> 4];
            quoted += hex[c & 15];
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

}  // namespace

void json_object::name(const char* name)
{
    if (members.size() > 1) members += ',';
    members += json_string(name) + ':';
}

void json_object::add_text(const char* name, const std::string& text)
{
    this->name(name);
    members += json_string(text);
}

void json_object::add_text_or_null(const char* name, const char* text)
{
    this->name(name);
    members += text ? json_string(text) : "null";
}

void json_object::add_flag(const char* name, bool flag)
{
    this->name(name);
    members += flag ? "true" : "false";
}

void json_object::add_number(const char* name, int64_t number)
{
    this->name(name);
    members += std::to_string(number);
}

void json_object::add_texts(const char* name, const std::vector<std::string>& texts)
{
    this->name(name);
    members += '[';
    for (size_t i = 0; i < texts.size(); ++i) members += (i ? "," : "") + json_string(texts[i]);
    members += ']';
}

void json_object::add_numbers(const char* name, const std::vector<int>& numbers)
{
    this->name(name);
    members += '[';
    for (size_t i = 0; i < numbers.size(); ++i) members += (i ? "," : "") + std::to_string(numbers[i]);
    members += ']';
}

int answered(const std::function<kit::status(json_object&)>& body)
{
    try {
        json_object said;
        const kit::status status = body(said);
        if (!status.ok()) {
            said.add_text("fault", fault_word(status.kind));
            said.add_text("text", status.text);
        }
        answer = said.text();
        return status.ok() ? 0 : 1;
    } catch (const std::bad_alloc&) {
        answer = R"({"fault":"memory","text":"not enough memory for this picture in the browser"})";
        return 1;
    }
}

std::string text_of(const char* text)
{
    return text ? text : "";
}

kit::progress page_progress()
{
    // Each report crosses into JavaScript and becomes a message to the page: a new step goes at
    // once, and a step's amount only when it has moved on by a hundredth or reached the end, so
    // that a step reporting per row sends no more than a hundred messages.
    struct posted {
        std::string step;
        double done = -1;
    };
    auto last = std::make_shared<posted>();
    return [last](const std::string& step, double done) {
        if (step == last->step && (done < 0 || (done < 1 && done >= last->done && done - last->done < 0.01))) return;
        last->step = step;
        last->done = done;
        post_progress(step.c_str(), done);
    };
}

extern "C" {

// A buffer of `length` bytes (0 included), or null when the memory cannot be had. Freed with
// web_buffer_free().
EMSCRIPTEN_KEEPALIVE web_buffer* web_buffer_new(size_t length)
{
    try {
        return new web_buffer(length);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

EMSCRIPTEN_KEEPALIVE uint8_t* web_buffer_data(web_buffer* buffer)
{
    return buffer->data();
}

EMSCRIPTEN_KEEPALIVE size_t web_buffer_length(const web_buffer* buffer)
{
    return buffer->size();
}

EMSCRIPTEN_KEEPALIVE void web_buffer_free(web_buffer* buffer)
{
    delete buffer;
}

// The last call's answer (see glue.h); static until the next call.
EMSCRIPTEN_KEEPALIVE const char* web_answer()
{
    return answer.c_str();
}

// The size of a picture the engine takes: {width, height}.
EMSCRIPTEN_KEEPALIVE int web_geometry(const web_buffer* image)
{
    return answered([&](json_object& said) -> kit::status {
        vorn_geometry geometry;
        const vorn_error error = vorn_check_carrier(image->data(), image->size(), &geometry);
        if (error != VORN_OK) return {kit::fault::input, vorn_strerror(error)};
        said.add_number("width", geometry.width);
        said.add_number("height", geometry.height);
        return {};
    });
}

// The pixels of a picture the engine takes, as opaque RGBA, top row first, as a canvas takes
// them, into `rgba`.
EMSCRIPTEN_KEEPALIVE int web_rgba_of(const web_buffer* image, web_buffer* rgba)
{
    return answered([&](json_object&) -> kit::status {
        vorn_geometry geometry;
        const vorn_error error = vorn_check_carrier(image->data(), image->size(), &geometry);
        if (error != VORN_OK) return {kit::fault::input, vorn_strerror(error)};
        const size_t pixels = size_t(geometry.width) * geometry.height;
        rgba->assign(pixels * 4, 0);
        // The R G B values go to the last three quarters; spreading them to four bytes each
        // from the front never overwrites a value not yet moved, since pixel i's RGBA ends
        // before pixel i + 1's RGB begins.
        uint8_t* bytes = rgba->data();
        vorn_bmp_to_rgb(image->data(), image->size(), bytes + pixels, pixels * 3);
        for (size_t i = 0; i < pixels; ++i) {
            const uint8_t* rgb = bytes + pixels + i * 3;
            const uint8_t r = rgb[0], g = rgb[1], b = rgb[2];
            bytes[i * 4] = r;
            bytes[i * 4 + 1] = g;
            bytes[i * 4 + 2] = b;
            bytes[i * 4 + 3] = 255;
        }
        return {};
    });
}

// Replaces RGBA pixels (the browser's decoding of a format the kit does not read, top row
// first) in `buffer` with their equivalent 24-bit BMP, which the kit then reads as it stands:
// {note}, what was left out of the picture named `name` (its transparency, when `alpha_dropped`)
// in the kit's words, as web_read_picture() says it.
EMSCRIPTEN_KEEPALIVE int web_bmp_from_rgba(web_buffer* buffer, uint32_t width, uint32_t height, const char* name,
                                           int alpha_dropped)
{
    return answered([&](json_object& said) -> kit::status {
        said.add_text("note", alpha_dropped ? kit::transparency_note(text_of(name)) : "");
        size_t length = 0;
        const vorn_error error = vorn_bmp_length(width, height, &length);
        if (error != VORN_OK) return {kit::fault::input, vorn_strerror(error)};
        web_buffer image(length);
        vorn_bmp_from_rgb(buffer->data(), width, height, size_t(width) * 4, 4, image.data(), image.size());
        *buffer = std::move(image);
        return {};
    });
}

// The file a page offers of what came from the file named `from`: {name, size}, the kit's name
// for the offer `what` ("coded", "hidden-1", "hidden-2", "revealed") in `format` ("png" or
// "bmp"), and the file's `size` in words.
EMSCRIPTEN_KEEPALIVE int web_offered_file(const char* from, const char* what, const char* format, double size)
{
    return answered([&](json_object& said) -> kit::status {
        kit::offered offer;
        kit::output_format as;
        kit::status known = kit::offered_from_word(text_of(what), offer);
        if (known.ok()) known = kit::format_from_word(text_of(format), as);
        if (!known.ok()) return known;
        said.add_text("name", kit::offered_file_name(text_of(from), offer, as));
        said.add_text("size", kit::file_size_words(uint64_t(size)));
        return {};
    });
}

}  // extern "C"
