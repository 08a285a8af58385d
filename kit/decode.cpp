// Taking hidden pictures out: the decode decision, once for every front end, and the steps that
// follow it.
#include <atomic>

#include "fault.h"
#include "keyed_steps.h"
#include "kit.h"
#include "picture_memory.h"
#include "side_by_side.h"

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
    // Hidden picture 1 alone is laid out alike by both builds: given it, nothing is guessed.
    const bool build_matters = !request.holds || layout_build(layout_for(VORN_VORNHOLD2, holds)).has_value();
    if (!request.holds || (!request.build && build_matters)) {
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

status take_out(const bytes& coded, const std::string& name, vorn_layout layout, int which, bool raw, bytes& picture,
                const progress& report, int threads)
{
    if (report) report((raw ? "taking out hidden picture " : "reconstructing hidden picture ") + std::to_string(which), -1);
    return guarded(name, [&] {
        picture = large_buffer(coded.size());
        vorn_error error;
        if (raw) {
            error = vorn_extract(coded.data(), coded.size(), layout, which, picture.data(), picture.size());
        } else {
            const unsigned parts = threads_for(threads);
            std::vector<uint8_t> work = reconstruct_work(coded, parts);
            error = vorn_reconstruct_threaded(coded.data(), coded.size(), layout, which, picture.data(),
                                              picture.size(), work.data(), work.size(), parts);
        }
        if (error != VORN_OK) raise_fault(fault::input, name + ": " + vorn_strerror(error));
    });
}

namespace {

// vorn_keyed_likely() judges pictures of at least this many colour bytes; below it a keyed
// picture's low bits cannot be told from a classic one's.
constexpr uint64_t judged_colour_bytes = 5120;

bool judged(const bytes& coded)
{
    vorn_geometry g;
    return vorn_check_carrier(coded.data(), coded.size(), &g) == VORN_OK &&
           uint64_t(g.width) * g.height * 3 >= judged_colour_bytes;
}

// Every picture `layout` holds, taken out: raw ones side by side, reconstructed ones one after
// the other, each on every thread; `coded` let go once the last is out.
void take_out_all(bytes& coded, const std::string& name, vorn_layout layout, bool raw, decode_result& result,
                  const progress& report, int threads)
{
    std::atomic<int> taking{0};
    std::vector<std::function<void()>> jobs;
    for (int which = 1; which <= 2; ++which)
        if (vorn_layout_holds(layout, which)) ++taking;
    for (int which = 1; which <= 2; ++which)
        if (vorn_layout_holds(layout, which))
            jobs.push_back([&, which] {
                const status taken = take_out(coded, name, layout, which, raw, result.pictures[which - 1], report,
                                              raw ? 1 : threads);
                if (--taking == 0) coded = bytes();
                if (!taken.ok()) raise_fault(taken.kind, taken.text);
            });
    run_side_by_side(jobs, raw ? threads_for(threads) : 1);
    result.layout = layout;
}

}  // namespace

status decode(bytes&& coded_picture, const std::string& name, const decode_request& request,
              const std::string* password, bool raw, decode_result& result, const progress& report)
{
    result = decode_result();
    bytes coded = std::move(coded_picture);
    decode_request plain = request;
    plain.keyed = false;
    if (password) {
        vorn_layout layout;
        const status opened = open_keyed(coded, name, *password, raw, layout, result.pictures, report, request.threads);
        if (opened.ok()) {
            result.layout = layout;
            result.keyed = true;
            return opened;
        }
        // A picture the password does not open is a classic one only where its low bits can be
        // judged and do not look keyed; otherwise the password is wrong or the picture changed.
        decode_plan plan;
        if (opened.kind != fault::input || !judged(coded) || looks_keyed(coded) ||
            !plan_decode(coded, name, plain, plan).ok())
            return opened;
        result.notes.push_back(name + ": holds no keyed picture; its hidden pictures are taken out without the "
                                      "password");
    }
    decode_plan plan;
    const status planned = plan_decode(coded, name, plain, plan);
    if (!planned.ok()) return planned;
    if (!plan.note.empty()) result.notes.push_back(plan.note);
    return guarded(name, [&] { take_out_all(coded, name, plan.layout, raw, result, report, request.threads); });
}

std::string hidden_file_name(const std::string& folder, int which)
{
    const std::string name = "hidden-" + std::to_string(which) + ".png";
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace kit
