// What the glue's files share: the buffer type, and the one way every call answers the worker.
//
// The glue only carries pictures, words and texts between the worker and the picture kit
// (kit.h): every decision and every refusal is the kit's. A call that can fail returns 0, or 1
// when it failed, and leaves its answer in web_answer(): a JSON object with what the call says
// ({} when it says nothing), and on failure "fault" (the kit's kind of fault: "usage", "input",
// "output" or "memory") and "text" (the kit's text). Words and names arrive as NUL-terminated
// UTF-8, a null pointer where none is given.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "kit.h"
#include "operations.h"
#include "page_words.h"

// A buffer the worker holds by its address.
using web_buffer = kit::bytes;

// The answer being built: a JSON object's members, added in turn.
class json_object {
public:
    void add_text(const char* name, const std::string& text);
    void add_text_or_null(const char* name, const char* text);
    void add_flag(const char* name, bool flag);
    void add_number(const char* name, int64_t number);
    void add_texts(const char* name, const std::vector<std::string>& texts);
    void add_numbers(const char* name, const std::vector<int>& numbers);
    std::string text() const { return members + "}"; }

private:
    void name(const char* name);
    std::string members = "{";
};

// Runs `body`, keeps its answer for web_answer() (with the status's fault and text when it
// failed, a failed allocation included) and returns 0 or 1, so that no exception leaves the
// module.
int answered(const std::function<kit::status(json_object&)>& body);

// `text` as a std::string; empty for null.
std::string text_of(const char* text);

// The kit's progress reports for the page: each goes to the worker's Module.vornProgress(step,
// done) while the worker has set it, which posts it to the page.
kit::progress page_progress();

// What a layout holds, in the kit's words and values, as members of `said`: "layout" (its
// number), "build" and "content" (the kit's names, null where none), "words"
// and "holds" (the hidden pictures it holds, 1 and/or 2).
void describe_layout(json_object& said, vorn_layout layout);

// The same members for a compact picture, which has no layout: no build, content or words, and
// "holds", the hidden pictures it held.
void describe_compact(json_object& said, bool hidden1, bool hidden2);

// ---- keyed_glue.cpp ------------------------------------------------------------------------------

// The password the worker wrote into `typed` (UTF-8 as typed; the kit normalises it), its
// buffer wiped at once. The caller wipes the result with kit::wipe().
std::string password_of(web_buffer* typed);

// Readies libsodium before the kit keys a picture: in WebAssembly its random source must be set
// up before the first salt is drawn.
kit::status keyed_ready();

// Runs `body` (a keyed call) so that the page hears kit::step_after_key(hiding) as soon as the
// key is derived: the engine derives it and works on the pictures in one call.
kit::status reporting_after_key(bool hiding, const std::function<kit::status()>& body);
