// picture_glue.cpp: the kit's calls on the module's buffers, for the page's worker: reading,
// hiding, the decode decision, taking out, the programs' decoding, revealing and writing PNG. A
// picture the worker holds is its coder file image, which the kit reads back as it stands.
#include <emscripten/emscripten.h>

#include <cstdint>
#include <string>

#include "glue.h"

namespace {

// The largest picture the page reads: 128 megapixels, so that a carrier and two hidden pictures
// held, their working copies and the results fit in the module's 4 GiB of memory.
const read_limits page_limits{uint64_t(128) << 20, nullptr};

kit::status build_named(const char* word, vorn_build& build)
{
    return word_named(word, kit::build_named, "build", "vornhold2 or vornhold", build);
}

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
// {asIs, alphaDropped}. A failure names the picture `name`; "otherFormat" is true when the file
// is of none of the formats the kit reads, which the browser may decode instead.
EMSCRIPTEN_KEEPALIVE int web_read_picture(web_buffer* buffer, const char* role, const char* name)
{
    return answered([&](json_object& said) -> kit::status {
        const bool other_format = !is_vorn_format(*buffer);
        input_picture picture;
        const kit::status read =
            kit::read_picture(std::move(*buffer), text_of(name),
                              text_of(role) == "coded" ? picture_role::coded : picture_role::source, page_limits,
                              picture);
        if (!read.ok()) {
            said.add_flag("otherFormat", other_format);
            return read;
        }
        said.add_flag("asIs", picture.as_is);
        said.add_flag("alphaDropped", picture.pixels.alpha_dropped);
        return kit::image_of(std::move(picture), *buffer);
    });
}

// The PNG file of a picture in `image`, written as the kit writes a picture of `kind` ("coded",
// "decoded": raw levels and revealed pictures, "reconstructed"), into `png`. `image` is let go.
EMSCRIPTEN_KEEPALIVE int web_png_of(web_buffer* image, const char* kind, web_buffer* png)
{
    return answered([&](json_object&) {
        const std::string word = text_of(kind);
        const kit::picture_kind as = word == "coded"           ? kit::picture_kind::coded
                                     : word == "reconstructed" ? kit::picture_kind::reconstructed
                                                               : kit::picture_kind::decoded;
        return kit::file_of(std::move(*image), kit::output_format::png, as, "the PNG", *png);
    });
}

// Whether a hiding can be asked for, before any picture is read: the build and fit words, and
// which pictures are given (flags).
EMSCRIPTEN_KEEPALIVE int web_check_hide(const char* build, const char* fit, int hidden1, int hidden2, int keyed)
{
    return answered([&](json_object&) {
        vorn_build b;
        vorn_fit f;
        kit::status checked = build_named(build, b);
        if (checked.ok()) checked = word_named(fit, kit::fit_named, "fit", "contain or cover or stretch", f);
        if (checked.ok()) checked = kit::check_hide(hidden1 != 0, hidden2 != 0, keyed != 0);
        return checked;
    });
}

// kit::hide: the coded picture replaces the carrier in `carrier`; hidden1 and hidden2 (null where
// not given) are used up. Each picture is named by its name. With a password (a buffer of the
// password's UTF-8, wiped here) the picture is keyed; `salt` is for the tests alone (see
// with_test_salt()), null otherwise. {notes, report}: the kit's texts.
EMSCRIPTEN_KEEPALIVE int web_hide(web_buffer* carrier, const char* carrier_name, web_buffer* hidden1,
                                  const char* hidden1_name, web_buffer* hidden2, const char* hidden2_name,
                                  const char* build, const char* fit, web_buffer* password, const web_buffer* salt)
{
    std::string secret;
    const int failed = answered([&](json_object& said) -> kit::status {
        if (password) secret = password_of(password);
        kit::hide_request request;
        kit::status done = build_named(build, request.build);
        if (done.ok()) done = word_named(fit, kit::fit_named, "fit", "contain or cover or stretch", request.fit);
        if (done.ok() && password) done = keyed_ready();
        if (!done.ok()) return done;
        request.password = password ? &secret : nullptr;

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
            return kit::hide(std::move(pictures[0]), hidden1 ? &pictures[1] : nullptr,
                             hidden2 ? &pictures[2] : nullptr, request, result);
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

// kit::plan_decode for the coded picture in `coded`, named `name`: the build and content words
// given (null: to be guessed), and whether a password will be given. {note} and the layout to
// take out, described (describe_layout()).
EMSCRIPTEN_KEEPALIVE int web_plan_decode(const web_buffer* coded, const char* name, const char* build,
                                         const char* content, int keyed)
{
    return answered([&](json_object& said) -> kit::status {
        kit::decode_request request;
        request.keyed = keyed != 0;
        if (build) {
            vorn_build named;
            const kit::status known = build_named(build, named);
            if (!known.ok()) return known;
            request.build = named;
        }
        if (content) {
            kit::content named;
            const kit::status known =
                word_named(content, kit::content_named, "content", "hidden1 or hidden2 or both", named);
            if (!known.ok()) return known;
            request.holds = named;
        }
        kit::decode_plan plan;
        const kit::status planned = kit::plan_decode(*coded, text_of(name), request, plan);
        if (!planned.ok()) return planned;
        said.add_text("note", plan.note);
        describe_layout(said, plan.layout);
        return {};
    });
}

// kit::take_out: hidden picture `which` of `coded` in `layout`, raw or reconstructed, into
// `picture`.
EMSCRIPTEN_KEEPALIVE int web_take_out(const web_buffer* coded, const char* name, int layout, int which, int raw,
                                      web_buffer* picture)
{
    return answered([&](json_object&) {
        return kit::take_out(*coded, text_of(name), vorn_layout(layout), which, raw != 0, *picture);
    });
}

// The programs' decoding: Decoded_2 is written over `coded`, Decoded_1 into `decoded1`.
EMSCRIPTEN_KEEPALIVE int web_program_decode(web_buffer* coded, const char* name, const char* build,
                                            web_buffer* decoded1)
{
    return answered([&](json_object&) {
        vorn_build named;
        const kit::status known = build_named(build, named);
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
