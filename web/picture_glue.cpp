// picture_glue.cpp: the kit's calls on the module's buffers, for the page's worker: reading,
// hiding, taking out, the programs' decoding, revealing and writing PNG. A picture the worker
// holds is its coder file image, which the kit reads back as it stands. The kit's progress
// reports go to the page as they come (page_progress()).
#include <emscripten/emscripten.h>

#include <cstdint>
#include <string>

#include "glue.h"

namespace {

// The largest picture the page reads: 128 megapixels, so that a carrier and two hidden pictures
// held, their working copies and the results fit in the module's 4 GiB of memory.
const read_limits page_limits{uint64_t(128) << 20, nullptr};


}  // namespace

void describe_layout(json_object& said, vorn_layout layout)
{
    const std::optional<vorn_build> build = kit::layout_build(layout);
    const std::optional<kit::content> holds = kit::layout_content(layout);
    said.add_number("layout", layout);
    said.add_text_or_null("build", build ? kit::build_name(*build) : nullptr);
    said.add_text_or_null("content", holds ? kit::content_name(*holds) : nullptr);
    said.add_text("words", kit::layout_words(layout));
    std::vector<int> which;
    for (int hidden = 1; hidden <= 2; ++hidden)
        if (vorn_layout_holds(layout, hidden)) which.push_back(hidden);
    said.add_numbers("holds", which);
}

// A compact picture has no layout: the same members as describe_layout() gives, with no build,
// content or words, and the hidden pictures it held.
void describe_compact(json_object& said, bool hidden1, bool hidden2)
{
    said.add_number("layout", VORN_LAYOUT_NONE);
    said.add_text_or_null("build", nullptr);
    said.add_text_or_null("content", nullptr);
    said.add_text("words", "");
    std::vector<int> which;
    if (hidden1) which.push_back(1);
    if (hidden2) which.push_back(2);
    said.add_numbers("holds", which);
}

extern "C" {

// Reads the file in `buffer` as the kit reads pictures, for `role` ("source": a carrier or a
// hidden picture; "coded": one whose low bits matter), and leaves its coder file image there:
// {asIs, alphaDropped, note}, the note being what reading left out (empty
// when nothing). A failure names the picture `name`; "otherFormat" is true when the file is of
// none of the formats the kit reads, which the browser may decode instead.
EMSCRIPTEN_KEEPALIVE int web_read_picture(web_buffer* buffer, const char* role, const char* name)
{
    return answered([&](json_object& said) -> kit::status {
        kit::opened_picture opened;
        const kit::status read = kit::open_picture({text_of(name), std::move(*buffer)}, text_of(role) == "coded",
                                                   page_limits.max_pixels, kit::page_words(), page_progress(), opened);
        if (!read.ok()) {
            said.add_flag("otherFormat", opened.other_format);
            return read;
        }
        said.add_flag("asIs", opened.as_is);
        said.add_flag("alphaDropped", opened.alpha_dropped);
        said.add_text("note", opened.note);
        *buffer = std::move(opened.image);
        return {};
    });
}

// The PNG file of a picture in `image`, written as the kit writes a picture of `kind` ("coded",
// "decoded": raw levels and revealed pictures, "reconstructed"), into `png`; `name` names it in
// the kit's reports and texts. `image` is let go.
EMSCRIPTEN_KEEPALIVE int web_png_of(web_buffer* image, const char* kind, const char* name, web_buffer* png)
{
    return answered([&](json_object&) {
        const std::string word = text_of(kind);
        const kit::picture_kind as = word == "coded"           ? kit::picture_kind::coded
                                     : word == "reconstructed" ? kit::picture_kind::reconstructed
                                                               : kit::picture_kind::decoded;
        return kit::file_of(std::move(*image), kit::output_format::png, as, text_of(name), *png, page_progress());
    });
}

// Whether a hiding can be asked for, before any picture is read: the form, build and fit words,
// the carrier bits asked for (0: the kit's choice), and which pictures are given (flags).
EMSCRIPTEN_KEEPALIVE int web_check_hide(const char* form, unsigned carrier_bits, const char* build, const char* fit,
                                        int hidden1, int hidden2, int keyed)
{
    return answered([&](json_object&) {
        kit::hiding_form h;
        vorn_build b;
        vorn_fit f;
        kit::status checked = kit::form_from_word(text_of(form), h);
        if (checked.ok()) checked = kit::build_from_word(text_of(build), b);
        if (checked.ok()) checked = kit::fit_from_word(text_of(fit), f);
        if (checked.ok()) checked = kit::check_hide(hidden1 != 0, hidden2 != 0, keyed != 0, h, carrier_bits);
        return checked;
    });
}

// kit::hide_pictures: the coded picture's BMP replaces the carrier in `carrier`; hidden1 and
// hidden2 (null where not given) are used up. Each picture is named by its name. The form word
// ("compact" or "classic"; null: the kit's default) and the carrier bits (0: the kit's choice) go
// to the kit as they are. With a password (a buffer of the password's UTF-8, wiped here) the
// picture is keyed. {notes, report, compact, carrierBits, formWords}: the kit's texts, and whether it wrote a compact picture
// with its k. The kit's steps are reported as they come, a keyed one's too once its key is derived.
EMSCRIPTEN_KEEPALIVE int web_hide(web_buffer* carrier, const char* carrier_name, web_buffer* hidden1,
                                  const char* hidden1_name, web_buffer* hidden2, const char* hidden2_name,
                                  const char* form, unsigned carrier_bits, const char* build, const char* fit,
                                  web_buffer* password)
{
    std::string secret;
    const int failed = answered([&](json_object& said) -> kit::status {
        if (password) secret = password_of(password);
        kit::hide_options asked;
        kit::status done = kit::build_from_word(text_of(build), asked.build);
        if (done.ok()) done = kit::fit_from_word(text_of(fit), asked.fit);
        if (done.ok() && form) {
            kit::hiding_form named;
            done = kit::form_from_word(form, named);
            asked.form = named;
        }
        // The compact form draws its salt and filling from libsodium with or without a password.
        if (done.ok()) done = keyed_ready();
        if (!done.ok()) return done;
        asked.carrier_bits = carrier_bits;
        if (password) asked.password = [&](std::string& typed) { typed = secret; return kit::status(); };
        asked.format = kit::output_format::bmp;
        asked.max_pixels = page_limits.max_pixels;
        asked.words = kit::page_words();
        asked.report = page_progress();
        auto given = [](web_buffer* buffer, const char* name) {
            return buffer ? std::optional(kit::picture_file{text_of(name), std::move(*buffer)}) : std::nullopt;
        };
        kit::hide_outcome hidden;
        done = reporting_after_key(true, [&] {
            return kit::hide_pictures(*given(carrier, carrier_name), given(hidden1, hidden1_name),
                                      given(hidden2, hidden2_name), asked, hidden);
        });
        said.add_texts("notes", hidden.notes);
        if (!done.ok()) return done;
        *carrier = std::move(hidden.coded);
        said.add_texts("report", hidden.report);
        said.add_flag("compact", hidden.form != kit::hiding_form::classic);  // stealth: compact, k 0
        said.add_number("carrierBits", hidden.carrier_bits);
        said.add_text("formWords", hidden.form_words);
        return {};
    });
    kit::wipe(secret);
    return failed;
}

// kit::take_out_pictures: every hidden picture of the coded picture in `coded` (taken), named
// `name`, into picture1 and picture2 as coder file images (empty where it holds none), raw or
// reconstructed. The build and content words given (null: guessed from the picture), and the
// password's buffer (wiped here; null: none). {keyed, compact, carrierBits, notes, formWords} and
// the layout taken out, described (describe_layout()), or for a compact picture the pictures it
// held (describe_compact()).
EMSCRIPTEN_KEEPALIVE int web_decode(web_buffer* coded, const char* name, const char* build, const char* content,
                                    web_buffer* password, int raw, web_buffer* picture1, web_buffer* picture2)
{
    std::string secret;
    const int failed = answered([&](json_object& said) -> kit::status {
        if (password) secret = password_of(password);
        kit::take_out_options asked;
        kit::status done = keyed_ready();  // a compact picture is opened by libsodium, password or not
        if (done.ok() && build) {
            vorn_build named;
            done = kit::build_from_word(build, named);
            asked.build = named;
        }
        if (done.ok() && content) {
            kit::content named;
            done = kit::content_from_word(content, named);
            asked.holds = named;
        }
        if (!done.ok()) return done;
        if (password) asked.password = [&](std::string& typed) { typed = secret; return kit::status(); };
        asked.raw = raw != 0;
        asked.format = kit::output_format::bmp;
        asked.max_pixels = page_limits.max_pixels;
        asked.words = kit::page_words();
        asked.report = page_progress();
        kit::take_out_outcome taken;
        web_buffer* pictures[2] = {picture1, picture2};
        done = reporting_after_key(false, [&] {
            return kit::take_out_pictures(
                {text_of(name), std::move(*coded)}, asked,
                [&](kit::taken_picture&& picture) {
                    *pictures[picture.which - 1] = std::move(picture.file);
                    return kit::status();
                },
                taken);
        });
        said.add_texts("notes", taken.notes);
        if (!done.ok()) return done;
        said.add_flag("keyed", taken.keyed);
        said.add_flag("compact", taken.compact);
        said.add_number("carrierBits", taken.carrier_bits);
        said.add_text("formWords", taken.form_words);
        if (taken.compact)
            describe_compact(said, !picture1->empty(), !picture2->empty());
        else
            describe_layout(said, taken.layout);
        return {};
    });
    kit::wipe(secret);
    return failed;
}

// The programs' decoding: Decoded_2 is written over `coded`, Decoded_1 into `decoded1`.
EMSCRIPTEN_KEEPALIVE int web_program_decode(web_buffer* coded, const char* name, const char* build,
                                            web_buffer* decoded1)
{
    return answered([&](json_object&) {
        vorn_build named;
        const kit::status known = kit::build_from_word(text_of(build), named);
        if (!known.ok()) return known;
        return kit::program_decode(*coded, text_of(name), named, *decoded1);
    });
}

// kit::reveal in place.
EMSCRIPTEN_KEEPALIVE int web_reveal(web_buffer* image, const char* name)
{
    return answered([&](json_object&) { return kit::reveal(*image, text_of(name)); });
}

}  // extern "C"
