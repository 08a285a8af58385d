// Taking hidden pictures out: the decode decision, once for every front end, and the steps that
// follow it.
#include "fault.h"
#include "keyed_steps.h"
#include "kit.h"
#include "picture_memory.h"

namespace kit {

namespace {

const char* content_text(content holds)
{
    return holds == content::hidden1   ? "hidden picture 1 alone"
           : holds == content::hidden2 ? "hidden picture 2 alone"
                                       : "hidden pictures 1 and 2";
}

}  // namespace

// Every fact is the engine's: a layout holds what vorn_layout_holds() says, and was written by
// the build whose vorn_layout_of() gives it (by both alike when both give it).
std::optional<content> layout_content(vorn_layout layout)
{
    const bool one = vorn_layout_holds(layout, 1), two = vorn_layout_holds(layout, 2);
    if (one && two) return content::both;
    if (one) return content::hidden1;
    if (two) return content::hidden2;
    return std::nullopt;
}

std::optional<vorn_build> layout_build(vorn_layout layout)
{
    const bool one = vorn_layout_holds(layout, 1), two = vorn_layout_holds(layout, 2);
    const bool by2 = vorn_layout_of(VORN_VORNHOLD2, one, two) == layout;
    const bool by1 = vorn_layout_of(VORN_VORNHOLD, one, two) == layout;
    if (by1 == by2) return std::nullopt;
    return by1 ? VORN_VORNHOLD : VORN_VORNHOLD2;
}

const char* content_name(content holds)
{
    return holds == content::hidden1 ? "hidden1" : holds == content::hidden2 ? "hidden2" : "both";
}

vorn_layout layout_for(vorn_build build, content holds)
{
    return vorn_layout_of(build, holds != content::hidden2, holds != content::hidden1);
}

std::string layout_words(vorn_layout layout)
{
    const std::optional<content> holds = layout_content(layout);
    if (!holds) return "no hidden picture";
    std::string words = content_text(*holds);
    if (*holds != content::hidden1) words += std::string(", written by ") + build_name(layout_build(layout).value_or(VORN_VORNHOLD2));
    return words;
}

status plan_decode(const bytes& coded, const std::string& name, const decode_request& request, decode_plan& plan)
{
    plan = decode_plan();
    if (request.keyed) return has_keyed() ? status() : status{fault::usage, "this build has no keyed pictures (no libsodium for its system)"};
    vorn_build build = request.build.value_or(VORN_VORNHOLD2);
    content holds = request.holds.value_or(content::both);
    if (!request.holds || !request.build) {
        vorn_layout guessed;
        const vorn_error error = vorn_detect(coded.data(), coded.size(), &guessed);
        if (error != VORN_OK) return {fault::input, name + ": " + vorn_strerror(error)};
        if (!request.holds && guessed == VORN_LAYOUT_NONE)
            return {fault::input, name + ": holds no hidden picture (its four low bits are 0 everywhere); "
                                         "give what it holds (--hidden) to decode it all the same"};
        if (!request.holds && looks_keyed(coded))
            return {fault::input, name + ": no hidden picture found (its low bits look random); if it was "
                                         "hidden with a password, give the password"};
        if (!request.holds) holds = layout_content(guessed).value_or(content::both);
        if (!request.build) build = layout_build(guessed).value_or(VORN_VORNHOLD2);
        plan.note = name + ": assuming " + content_text(holds);
        if (holds != content::hidden1) plan.note += std::string(", written by ") + build_name(build);
        plan.note += " (guessed from the picture; give --hidden and --build to choose)";
    }
    plan.layout = layout_for(build, holds);
    return {};
}

status take_out(const bytes& coded, const std::string& name, vorn_layout layout, int which, bool raw, bytes& picture)
{
    return guarded(name, [&] {
        picture = large_buffer(coded.size());
        vorn_error error;
        if (raw) {
            error = vorn_extract(coded.data(), coded.size(), layout, which, picture.data(), picture.size());
        } else {
            std::vector<uint8_t> work = engine_work(vorn_reconstruct_work_size, coded);
            error = vorn_reconstruct(coded.data(), coded.size(), layout, which, picture.data(), picture.size(),
                                     work.data(), work.size());
        }
        if (error != VORN_OK) raise_fault(fault::input, name + ": " + vorn_strerror(error));
    });
}

std::string hidden_file_name(const std::string& folder, int which)
{
    const std::string name = "hidden-" + std::to_string(which) + ".png";
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace kit
