// The kit's whole operations: hiding, taking out and revealing, each from the files' bytes to the
// files' bytes, made of the kit's steps (kit.h) in the one order every front end shares.
#include "operations.h"

#include <algorithm>
#include <exception>

#include "fault.h"
#include "kit.h"
#include "side_by_side.h"

namespace kit {

namespace {

// The reading limit a front end asked for, or the kit's, with the words that raise it.
read_limits limits_for(uint64_t max_pixels, const front_end& words)
{
    read_limits limits;
    if (max_pixels != 0) limits.max_pixels = max_pixels;
    limits.option = words.max_megapixels.empty() ? nullptr : words.max_megapixels.c_str();
    return limits;
}

// Reads the given files side by side, the threads shared among them, the largest file first
// where they are fewer than the pictures, so that the last to begin is a small one. A picture
// that cannot be read is told of in the inputs' order, whichever was read first. The carrier
// (the first) is read as the engine takes it, the hidden pictures as `hidden` says.
status read_all(std::vector<picture_file*>& files, picture_role hidden, const read_limits& limits,
                const progress& report, int threads, std::vector<input_picture>& pictures)
{
    const unsigned budget = threads_for(threads);
    const int each = int(std::max<size_t>(1, budget / files.size()));
    std::vector<size_t> order(files.size());
    for (size_t i = 0; i < files.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return files[a]->file.size() > files[b]->file.size(); });
    pictures.clear();
    pictures.resize(files.size());
    std::vector<status> read(files.size());
    std::vector<std::function<void()>> jobs;
    for (const size_t i : order)
        jobs.push_back([&, i] {
            read[i] = read_picture(std::move(files[i]->file), files[i]->name, i == 0 ? picture_role::source : hidden,
                                   limits, pictures[i], report, each);
        });
    const status ran = guarded("", [&] { run_side_by_side(jobs, budget); });
    if (!ran.ok()) return ran;
    for (const status& one : read)
        if (!one.ok()) return one;
    return {};
}

// A coded picture's form in words; `classic` is what a classic one's are.
std::string form_words_of(bool compact, bool stealth, bool keyed, unsigned carrier_bits, const std::string& classic)
{
    if (stealth) return std::string("stealth") + (keyed ? ", keyed" : "");
    if (compact)
        return "compact, " + std::to_string(carrier_bits) + (carrier_bits == 1 ? " low bit" : " low bits") +
               (keyed ? ", keyed" : "");
    return keyed ? "keyed" : classic;
}

// The front end's words that take out what was hidden; nullopt when nothing was.
std::optional<std::string> taking_out_words(const hide_result& result, const front_end& words)
{
    if (result.keyed) return words.password;
    if (result.compact) return std::string();
    const std::optional<content> holds = layout_content(result.layout);
    if (!holds) return std::nullopt;
    std::string taking = with_value(words.hidden, words.holds[int(*holds)]);
    if (const std::optional<vorn_build> build = layout_build(result.layout))
        taking.append(" ").append(with_value(words.build, build_name(*build)));
    return taking;
}

// Asks a front end for the password, which is wiped when it goes.
struct asked_password {
    std::string text;
    bool given = false;
    ~asked_password() { wipe(text); }
};

status ask(const std::function<status(std::string&)>& callback, asked_password& password)
{
    if (!callback) return {};
    password.given = true;
    return callback(password.text);
}

}  // namespace

hiding_form default_form()
{
    return has_compact() ? hiding_form::compact : hiding_form::classic;
}

status hide_pictures(picture_file carrier, std::optional<picture_file> hidden1, std::optional<picture_file> hidden2,
                     const hide_options& options, hide_outcome& outcome)
{
    outcome = hide_outcome();
    const hiding_form form = options.form.value_or(default_form());
    const bool keyed = bool(options.password);
    status done = check_hide(hidden1.has_value(), hidden2.has_value(), keyed, form, options.carrier_bits);
    if (!done.ok()) return done;

    std::vector<picture_file*> files{&carrier};
    if (hidden1) files.push_back(&*hidden1);
    if (hidden2) files.push_back(&*hidden2);
    std::vector<input_picture> pictures;
    // The compact forms store the hidden pictures with their own codecs, which take R G B rows.
    const picture_role hidden = form == hiding_form::classic ? picture_role::source : picture_role::stored;
    done = read_all(files, hidden, limits_for(options.max_pixels, options.words), options.report, options.threads,
                    pictures);
    if (!done.ok()) return done;

    // The password is asked once every input is read, so that nobody types it for a hiding that
    // a broken input would stop.
    asked_password password;
    done = ask(options.password, password);
    if (!done.ok()) return done;

    hide_request request;
    request.form = form;
    request.stealth_where_unseen = !options.form && form == hiding_form::compact && options.carrier_bits == 0;
    request.carrier_bits = options.carrier_bits;
    request.build = options.build;
    request.fit = options.fit;
    request.password = keyed ? &password.text : nullptr;
    request.report = options.report;
    request.threads = options.threads;
    hide_result result;
    done = hide(std::move(pictures[0]), hidden1 ? &pictures[1] : nullptr,
                hidden2 ? &pictures[hidden1 ? 2 : 1] : nullptr, request, result);
    wipe(password.text);
    outcome.notes = std::move(result.notes);
    if (!done.ok()) return done;

    done = file_of(std::move(result.coded), options.format, picture_kind::coded, options.output_name, outcome.coded,
                   options.report, options.threads);
    if (!done.ok()) return done;
    outcome.width = result.geometry.width;
    outcome.height = result.geometry.height;
    outcome.report = std::move(result.report);
    outcome.form_words = form_words_of(result.compact, result.stealth, result.keyed, result.carrier_bits,
                                       std::string("build ") + build_name(options.build));
    outcome.form = result.stealth ? hiding_form::stealth : result.compact ? hiding_form::compact : hiding_form::classic;
    outcome.keyed = result.keyed;
    outcome.carrier_bits = result.carrier_bits;
    outcome.layout = result.layout;
    outcome.taking_out = taking_out_words(result, options.words);
    return {};
}

status take_out_pictures(picture_file coded_file, const take_out_options& options,
                         const std::function<status(taken_picture&&)>& deliver, take_out_outcome& outcome)
{
    outcome = take_out_outcome();
    const std::string name = coded_file.name;
    decode_request request;
    request.build = options.build;
    request.holds = options.holds;
    request.keyed = bool(options.password);
    if (options.ask_again) request.password_again = options.password;
    request.threads = options.threads;
    request.words = options.words;
    request.limits = limits_for(options.max_pixels, options.words);

    input_picture input;
    status done = read_picture(std::move(coded_file.file), name, picture_role::coded, request.limits, input,
                               options.report, options.threads);
    bytes coded;
    if (done.ok()) done = image_of(std::move(input), coded);
    decode_plan plan;
    if (done.ok()) done = plan_decode(coded, name, request, plan);
    if (!done.ok()) return done;

    // Every picture that may come out is told before any work; a keyed or compact picture's
    // contents are known only once it is open.
    std::vector<int> which;
    for (int hidden = 1; hidden <= 2; ++hidden)
        if (request.keyed || plan.compact || vorn_layout_holds(plan.layout, hidden)) which.push_back(hidden);
    if (options.before_work) done = options.before_work(which);
    if (!done.ok()) return done;

    asked_password password;
    done = ask(options.password, password);
    if (!done.ok()) return done;
    decode_result result;
    done = decode(std::move(coded), name, request, password.given ? &password.text : nullptr, options.raw, result,
                  options.report, &plan);
    wipe(password.text);
    outcome.notes = std::move(result.notes);
    if (!done.ok()) return done;
    outcome.compact = result.compact;
    outcome.keyed = result.keyed;
    outcome.carrier_bits = result.carrier_bits;
    outcome.layout = result.layout;
    outcome.form_words =
        form_words_of(result.compact, result.stealth, result.keyed, result.carrier_bits, layout_words(result.layout));

    // Each picture in turn is written into its file on every thread and handed on, letting go of it.
    for (int hidden = 1; hidden <= 2; ++hidden) {
        rgb_picture& picture = result.pictures[hidden - 1];
        if (picture.empty()) continue;
        taken_picture taken{hidden, {}};
        done = file_of(std::move(picture), options.format,
                       options.raw ? picture_kind::decoded : picture_kind::reconstructed,
                       hidden_file_name(options.folder, hidden), taken.file, options.report, options.threads);
        if (done.ok()) done = deliver(std::move(taken));
        if (!done.ok()) return done;
    }
    return {};
}

status reveal_picture(picture_file picture, const reveal_options& options, bytes& revealed)
{
    const std::string name = picture.name;
    input_picture input;
    status done = read_picture(std::move(picture.file), name, picture_role::coded,
                               limits_for(options.max_pixels, options.words), input, options.report, options.threads);
    bytes image;
    if (done.ok()) done = image_of(std::move(input), image);
    if (done.ok()) done = reveal(image, name);
    if (done.ok())
        done = file_of(std::move(image), options.format, picture_kind::decoded, options.output_name, revealed,
                       options.report, options.threads);
    return done;
}

status open_picture(picture_file picture, bool coded, uint64_t max_pixels, const front_end& words,
                    const progress& report, opened_picture& opened)
{
    opened = opened_picture();
    opened.other_format = !is_vorn_format(picture.file);
    input_picture input;
    status done = read_picture(std::move(picture.file), picture.name, coded ? picture_role::coded : picture_role::source,
                               limits_for(max_pixels, words), input, report);
    if (!done.ok()) return done;
    opened.as_is = input.as_is;
    opened.alpha_dropped = input.pixels.alpha_dropped;
    opened.note = reading_note(input);
    return image_of(std::move(input), opened.image);
}

}  // namespace kit
