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

extern "C" {

// Reads the file in `buffer` as the kit reads pictures, for `role` ("source": a carrier or a
// hidden picture; "coded": one whose low bits matter), and leaves its coder file image there:
// {asIs, alphaDropped, note}, the note being what reading left out (kit::reading_note(), empty
// when nothing). A failure names the picture `name`; "otherFormat" is true when the file is of
// none of the formats the kit reads, which the browser may decode instead.
EMSCRIPTEN_KEEPALIVE int web_read_picture(web_buffer* buffer, const char* role, const char* name)
{
    return answered([&](json_object& said) -> kit::status {
        const bool other_format = !is_vorn_format(*buffer);
        input_picture picture;
        const kit::status read =
            kit::read_picture(std::move(*buffer), text_of(name),
                              text_of(role) == "coded" ? picture_role::coded : picture_role::source, page_limits,
                              picture, page_progress());
        if (!read.ok()) {
            said.add_flag("otherFormat", other_format);
            return read;
        }
        said.add_flag("asIs", picture.as_is);
        said.add_flag("alphaDropped", picture.pixels.alpha_dropped);
        said.add_text("note", kit::reading_note(picture));
        return kit::image_of(std::move(picture), *buffer);
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

// Whether a hiding can be asked for, before any picture is read: the build and fit words, and
// which pictures are given (flags).
EMSCRIPTEN_KEEPALIVE int web_check_hide(const char* build, const char* fit, int hidden1, int hidden2, int keyed)
{
    return answered([&](json_object&) {
        vorn_build b;
        vorn_fit f;
        kit::status checked = kit::build_from_word(text_of(build), b);
        if (checked.ok()) checked = kit::fit_from_word(text_of(fit), f);
        if (checked.ok()) checked = kit::check_hide(hidden1 != 0, hidden2 != 0, keyed != 0);
        return checked;
    });
}

// kit::hide: the coded picture replaces the carrier in `carrier`; hidden1 and hidden2 (null where
// not given) are used up. Each picture is named by its name. With a password (a buffer of the
// password's UTF-8, wiped here) the picture is keyed; `salt` is for the tests alone (see
// with_test_salt()), null otherwise. {notes, report}: the kit's texts. The kit's steps are
// reported as they come, a keyed one's too once its key is derived.
EMSCRIPTEN_KEEPALIVE int web_hide(web_buffer* carrier, const char* carrier_name, web_buffer* hidden1,
                                  const char* hidden1_name, web_buffer* hidden2, const char* hidden2_name,
                                  const char* build, const char* fit, web_buffer* password, const web_buffer* salt)
{
    std::string secret;
    const int failed = answered([&](json_object& said) -> kit::status {
        if (password) secret = password_of(password);
        kit::hide_request request;
        kit::status done = kit::build_from_word(text_of(build), request.build);
        if (done.ok()) done = kit::fit_from_word(text_of(fit), request.fit);
        if (done.ok() && password) done = keyed_ready();
        if (!done.ok()) return done;
        request.password = password ? &secret : nullptr;
        request.report = page_progress();

        web_buffer* given[3] = {carrier, hidden1, hidden2};
        const char* names[3] = {carrier_name, hidden1_name, hidden2_name};
        input_picture pictures[3];
        for (int i = 0; i < 3; ++i) {
            if (!given[i]) continue;
            done = kit::read_picture(std::move(*given[i]), text_of(names[i]), picture_role::source, page_limits,
                                     pictures[i]);
            if (!done.ok()) return done;
        }
        kit::hide_result result;
        done = with_test_salt(salt, [&] {
            return reporting_after_key(true, [&] {
                return kit::hide(std::move(pictures[0]), hidden1 ? &pictures[1] : nullptr,
                                 hidden2 ? &pictures[2] : nullptr, request, result);
            });
        });
        if (!done.ok()) return done;
        *carrier = std::move(result.coded);
        said.add_texts("notes", result.notes);
        said.add_texts("report", result.report);
        return {};
    });
    kit::wipe(secret);
    return failed;
}

// kit::decode: every hidden picture of the coded picture in `coded` (taken), named `name`, into
// picture1 and picture2 (empty where it holds none), raw or reconstructed. The build and content
// words given (null: guessed from the picture), and the password's buffer (wiped here; null: none).
// {keyed, notes} and the layout taken out, described (describe_layout()).
EMSCRIPTEN_KEEPALIVE int web_decode(web_buffer* coded, const char* name, const char* build, const char* content,
                                    web_buffer* password, int raw, web_buffer* picture1, web_buffer* picture2)
{
    std::string secret;
    const int failed = answered([&](json_object& said) -> kit::status {
        if (password) secret = password_of(password);
        kit::decode_request request;
        if (build) {
            vorn_build named;
            const kit::status known = kit::build_from_word(build, named);
            if (!known.ok()) return known;
            request.build = named;
        }
        if (content) {
            kit::content named;
            const kit::status known = kit::content_from_word(content, named);
            if (!known.ok()) return known;
            request.holds = named;
        }
        request.keyed = password != nullptr;
        if (password) {
            const kit::status ready = keyed_ready();
            if (!ready.ok()) return ready;
        }
        kit::decode_result result;
        const kit::status taken = reporting_after_key(false, [&] {
            return kit::decode(std::move(*coded), text_of(name), request, password ? &secret : nullptr, raw != 0,
                               result, page_progress());
        });
        if (!taken.ok()) return taken;
        *picture1 = std::move(result.pictures[0]);
        *picture2 = std::move(result.pictures[1]);
        said.add_flag("keyed", result.keyed);
        said.add_texts("notes", result.notes);
        describe_layout(said, result.layout);
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
