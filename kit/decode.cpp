// Taking hidden pictures out: the decode decision, once for every front end, and the steps that
// follow it.
#include <algorithm>
#include <atomic>

#include "compact_steps.h"
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

// Every fact is the engine's descriptor's: what a layout holds, and the builds that write it.
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
    const vorn_layout_info* info = vorn_layout_describe(layout);
    if (!info) return std::nullopt;
    const bool by1 = info->builds & (1u << VORN_VORNHOLD), by2 = info->builds & (1u << VORN_VORNHOLD2);
    if (by1 == by2) return std::nullopt;  // both builds lay it out alike (or none writes it)
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

namespace {

// The decision from vorn_score_layouts' figures. A layout is taken only when its fit reaches
// sure_fit (its pictures read as dithered pictures, its bits relate as the layout says) and
// beats every other layout's by clear_margin; anything less is refused rather than guessed, so
// that a wrong picture is never written as if it were the right one. On photographs, samples
// and fitted pictures of many sizes (vorn_detect_accuracy), the layout a picture was written in
// mostly reaches 0.8 to 1 and the best wrong one stays below 0.55, while a picture with nothing
// hidden reaches 0.1 in no layout: below plausible_fit a layout is not named at all.
constexpr double sure_fit = 0.5, clear_margin = 0.3, plausible_fit = 0.2;

// The front end's words that ask for `layout`: "--hidden 2 --build vornhold".
std::string layout_options(vorn_layout layout, const front_end& words)
{
    const content holds = layout_content(layout).value_or(content::both);
    std::string options = with_value(words.hidden, words.holds[int(holds)]);
    if (const std::optional<vorn_build> build = layout_build(layout))
        options.append(" ").append(with_value(words.build, build_name(*build)));
    return options;
}

// What a refusal of a picture whose low bits look random says: a picture hidden with a password
// looks so, and nothing can be taken out of it without the password; so does a coded picture
// that was changed since.
std::string looks_random_text(const std::string& name, const front_end& words)
{
    return name + ": no hidden picture found without a password (its low bits look random, as a "
                  "password-protected picture's do); if it was hidden with a password, give it" +
           (words.password.empty() ? "" : " (" + words.password + ")") + "; if not, the picture looks changed: " +
           changed_advice();
}

// The layouts a picture may be taken out as, given what the request says.
std::vector<vorn_layout> allowed_layouts(const decode_request& request)
{
    std::vector<vorn_layout> allowed;
    for (int i = 0; i < VORN_LAYOUT_COUNT; ++i) {
        const vorn_layout layout = vorn_layout(i);
        const std::optional<content> holds = layout_content(layout);
        const std::optional<vorn_build> build = layout_build(layout);
        if (holds && (!request.holds || holds == request.holds) && (!request.build || !build || build == request.build))
            allowed.push_back(layout);
    }
    return allowed;
}

// The layout the figures settle on among `allowed`, or the refusal naming those it may be.
status settled_layout(const vorn_layout_scores& scores, const std::vector<vorn_layout>& allowed,
                      const std::string& name, const decode_request& request, vorn_layout& chosen)
{
    std::vector<vorn_layout> ranked = allowed;
    std::stable_sort(ranked.begin(), ranked.end(), [&](vorn_layout a, vorn_layout b) {
        return scores.layout[a].fit > scores.layout[b].fit;
    });
    const double best = scores.layout[ranked[0]].fit;
    const double next = ranked.size() > 1 ? scores.layout[ranked[1]].fit : -1;
    if (best >= sure_fit && best - next >= clear_margin) {
        chosen = ranked[0];
        return {};
    }
    if (!request.holds && !request.build && best < plausible_fit)
        return {fault::input, name + ": holds no hidden picture (its low bits read as one in no layout); to decode "
                                     "it all the same, name what it holds and its build (" +
                                     name_alone(request.words.hidden) + ", " + name_alone(request.words.build) +
                                     "); if it was a coded picture, it looks changed: " + changed_advice()};
    // The plausible layouts, best first; when none is, every one allowed, in the table's order.
    std::vector<vorn_layout> named;
    for (const vorn_layout layout : ranked)
        if (scores.layout[layout].fit >= plausible_fit) named.push_back(layout);
    if (named.empty()) named = allowed;
    // Where only the build is unknown, the builds are named; otherwise what each layout holds.
    bool one_content = true;
    for (const vorn_layout layout : named) one_content = one_content && layout_content(layout) == layout_content(named[0]);
    std::string text = name + ": cannot tell " + (one_content && named.size() > 1 ? "which build wrote it: "
                                                  : named.size() > 1                ? "what it holds: "
                                                                                    : "for sure what it holds: perhaps ");
    for (size_t i = 0; i < named.size(); ++i) {
        if (i > 0) text += i + 1 == named.size() ? " or " : ", ";
        text += one_content && named.size() > 1 ? build_name(layout_build(named[i]).value_or(VORN_VORNHOLD2))
                                                : content_text(layout_content(named[i]).value_or(content::both));
        text += " (" + (request.words.decode.empty() ? "" : request.words.decode + " ") +
                layout_options(named[i], request.words) + ")";
    }
    return {fault::input, text};
}

}  // namespace

status plan_decode(const bytes& coded, const std::string& name, const decode_request& request, decode_plan& plan)
{
    plan = decode_plan();
    // A compact picture without a password is known from its header alone, before any guess.
    const status tried = guarded(name, [&] { plan.compact = opens_as_compact(coded); });
    if (!tried.ok() || plan.compact) return tried;
    if (request.keyed) return has_keyed() ? status() : status{fault::usage, "this build has no keyed pictures (no libsodium for its system)"};
    // Low bits that look random (a keyed picture's, or one changed after it was coded) hold no
    // classic picture whatever layout is named: taken out, they would give noise.
    if (request.holds && looks_keyed(coded))
        return {fault::input, looks_random_text(name, request.words)};
    vorn_build build = request.build.value_or(VORN_VORNHOLD2);
    content holds = request.holds.value_or(content::both);
    // Hidden picture 1 alone is laid out alike by both builds: given it, nothing is looked for.
    const bool build_matters = !request.holds || layout_build(layout_for(VORN_VORNHOLD2, holds)).has_value();
    if (!request.holds || (!request.build && build_matters)) {
        vorn_layout_scores scores;
        const vorn_error error = vorn_score_layouts(coded.data(), coded.size(), &scores);
        if (error != VORN_OK) return {fault::input, name + ": " + vorn_strerror(error)};
        if (!request.holds && !scores.low_bits)
            return {fault::input, name + ": holds no hidden picture (its four low bits are 0 everywhere); "
                                         "to decode it all the same, name what it holds (" +
                                         name_alone(request.words.hidden) + ")"};
        if (!request.holds && looks_keyed(coded))
            return {fault::input, looks_random_text(name, request.words)};
        // Fields that are 0 everywhere read alike in every layout: the given content is taken out
        // as the default build writes it.
        if (scores.low_bits) {
            vorn_layout chosen;
            const status settled = settled_layout(scores, allowed_layouts(request), name, request, chosen);
            if (!settled.ok()) return settled;
            holds = layout_content(chosen).value_or(content::both);
            if (!request.build) build = layout_build(chosen).value_or(VORN_VORNHOLD2);
        }
        plan.note = name + ": assuming " + content_text(holds);
        if (holds != content::hidden1) plan.note += std::string(", written by ") + build_name(build);
        plan.note += " (read from the picture; name what it holds and its build to choose otherwise)";
    }
    plan.layout = layout_for(build, holds);
    return {};
}

namespace {

void report_taking(const progress& report, bool raw, int which)
{
    if (report) report((raw ? "taking out hidden picture " : "reconstructing hidden picture ") + std::to_string(which), -1);
}

// Hidden picture `which` reconstructed into `picture`, which holds coded.size() bytes, with
// `work` as reconstruct_work() gives it for `parts` threads. Throws an input fault.
void reconstruct_into(const bytes& coded, const std::string& name, vorn_layout layout, int which, bytes& picture,
                      std::vector<uint8_t>& work, unsigned parts)
{
    const vorn_error error = vorn_reconstruct_threaded(coded.data(), coded.size(), layout, which, picture.data(),
                                                       picture.size(), work.data(), work.size(), parts);
    if (error != VORN_OK) raise_fault(fault::input, name + ": " + vorn_strerror(error));
}

}  // namespace

status take_out(const bytes& coded, const std::string& name, vorn_layout layout, int which, bool raw, bytes& picture,
                const progress& report, int threads)
{
    report_taking(report, raw, which);
    return guarded(name, [&] {
        picture = large_buffer(coded.size());
        if (raw) {
            const vorn_error error =
                vorn_extract(coded.data(), coded.size(), layout, which, picture.data(), picture.size());
            if (error != VORN_OK) raise_fault(fault::input, name + ": " + vorn_strerror(error));
        } else {
            const unsigned parts = threads_for(threads);
            std::vector<uint8_t> work = reconstruct_work(coded, parts);
            reconstruct_into(coded, name, layout, which, picture, work, parts);
        }
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

// Every picture `layout` holds, reconstructed one after the other, each on every thread, with
// one work buffer between them; `coded` let go once the last is out. The pictures' memory is
// taken and first touched side by side before either is reconstructed: on a large picture the
// system's first touch of fresh pages costs about as much as the filter's work on them.
void reconstruct_all(bytes& coded, const std::string& name, vorn_layout layout, bytes (&pictures)[2],
                     const progress& report, int threads)
{
    const unsigned parts = threads_for(threads);
    std::vector<std::function<void()>> taking;
    for (int which = 1; which <= 2; ++which)
        if (vorn_layout_holds(layout, which))
            taking.push_back([&, which] { pictures[which - 1] = large_buffer(coded.size()); });
    run_side_by_side(taking, parts);
    std::vector<uint8_t> work = reconstruct_work(coded, parts);
    for (int which = 1; which <= 2; ++which)
        if (vorn_layout_holds(layout, which)) {
            report_taking(report, false, which);
            reconstruct_into(coded, name, layout, which, pictures[which - 1], work, parts);
        }
    coded = bytes();
}

// Every picture `layout` holds, taken out raw, side by side; `coded` let go once the last is out.
void take_out_raw(bytes& coded, const std::string& name, vorn_layout layout, bytes (&pictures)[2],
                  const progress& report, int threads)
{
    std::atomic<int> taking{0};
    std::vector<std::function<void()>> jobs;
    for (int which = 1; which <= 2; ++which)
        if (vorn_layout_holds(layout, which)) ++taking;
    for (int which = 1; which <= 2; ++which)
        if (vorn_layout_holds(layout, which))
            jobs.push_back([&, which] {
                const status taken = take_out(coded, name, layout, which, true, pictures[which - 1], report, 1);
                if (--taking == 0) coded = bytes();
                if (!taken.ok()) raise_fault(taken.kind, taken.text);
            });
    run_side_by_side(jobs, threads_for(threads));
}

// Every picture `layout` holds, taken out: raw ones side by side, reconstructed ones as
// reconstruct_all() takes them; `coded` let go once the last is out.
void take_out_all(bytes& coded, const std::string& name, vorn_layout layout, bool raw, decode_result& result,
                  const progress& report, int threads)
{
    bytes pictures[2];
    if (!raw) reconstruct_all(coded, name, layout, pictures, report, threads);
    else take_out_raw(coded, name, layout, pictures, report, threads);
    for (int which = 0; which < 2; ++which) result.pictures[which] = coder_picture(std::move(pictures[which]));
    result.layout = layout;
}

// How often a password typed at a prompt is asked for when it opens nothing: each try costs one
// key derivation, and a slip is rarely made three times.
constexpr int password_tries = 3;

// The refusal of a password that opens nothing: it is wrong, or the picture was changed.
std::string refused_text(const std::string& name)
{
    return name + ": " + vorn_strerror(VORN_ERR_KEY_MISMATCH);
}

// A compact picture under the password, then the keyed form. The keyed form has its own salt and
// so its own key: derived only where the picture could be a keyed one (two random low bits, or
// too few colour bytes to tell, and no compact picture's mark), so that a wrong password costs
// one derivation on a compact picture.
status open_under_password(const bytes& coded, const std::string& name, const decode_request& request,
                           const std::string& password, bool raw, decode_result& result, const progress& report)
{
    bool opened_compact = false;
    const status compact = guarded(name, [&] {
        opened_compact = open_compact(coded, name, &password, request.limits, result, report);
    });
    if (!compact.ok() || opened_compact) return compact;
    const bool could_be_keyed = (!judged(coded) || low_bits_look_keyed(coded)) && !carries_compact_mark(coded);
    if (!could_be_keyed) return {fault::input, refused_text(name)};
    vorn_layout layout;
    bytes pictures[2];
    const status opened = open_keyed(coded, name, password, raw, layout, pictures, report, request.threads);
    if (opened.ok()) {
        for (int which = 0; which < 2; ++which) result.pictures[which] = coder_picture(std::move(pictures[which]));
        result.layout = layout;
        result.keyed = true;
    }
    return opened;
}

}  // namespace

status decode(bytes&& coded_picture, const std::string& name, const decode_request& request,
              const std::string* password, bool raw, decode_result& result, const progress& report,
              const decode_plan* given_plan)
{
    result = decode_result();
    bytes coded = std::move(coded_picture);
    decode_request plain = request;
    plain.keyed = false;
    decode_plan plan;
    // Compact pictures first: without a password (anyone may open those), then under the one given.
    bool opened_compact = false;
    status compact = guarded(name, [&] {
        opened_compact = open_compact(coded, name, nullptr, request.limits, result, report);
        if (opened_compact && password)
            result.notes.push_back(name + ": a compact picture without a password; it opens without one");
    });
    if (!compact.ok() || opened_compact) return compact;
    if (password) {
        std::string typed_again;
        const std::string* tried = password;
        status opened;
        bool classic = false;
        for (int tries = 1;; ++tries) {
            opened = open_under_password(coded, name, request, *tried, raw, result, report);
            if (opened.ok() || opened.text != refused_text(name)) break;
            // A picture the password does not open is a classic one only where its low bits can
            // be judged and do not look keyed; otherwise the password is wrong or the picture
            // changed, and a password typed at a prompt is asked for again.
            if (tries == 1) classic = judged(coded) && !looks_keyed(coded) && plan_decode(coded, name, plain, plan).ok();
            if (classic || tries == password_tries || !request.password_again) break;
            wipe(typed_again);
            opened = request.password_again(typed_again);
            if (!opened.ok()) break;
            tried = &typed_again;
        }
        wipe(typed_again);
        if (opened.ok() || (!classic && opened.text != refused_text(name))) return opened;
        if (!classic)
            return {opened.kind, opened.text + "; if the password is right, the picture looks changed: " +
                                     changed_advice()};
        result.notes.push_back(name + ": holds no keyed picture; its hidden pictures are taken out without the "
                                      "password");
    } else if (given_plan) {
        plan = *given_plan;
    } else {
        const status planned = plan_decode(coded, name, plain, plan);
        if (!planned.ok()) return planned;
    }
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
