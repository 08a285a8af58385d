// Hiding in the compact form: the pictures at their own sizes, stored as planned, sealed and laid
// into the carrier's low bits.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>

#include "compact_container.h"
#include "compact_plan.h"
#include "compact_seal.h"
#include "compact_steps.h"
#include "embedding.h"
#include "fault.h"
#include "side_by_side.h"

namespace {

// A hidden picture's pixels, its input let go.
rgb_picture pixels_of(input_picture& picture)
{
    rgb_picture pixels = rgb_of(picture);
    picture = input_picture();
    return pixels;
}

std::string bytes_text(uint64_t count)
{
    char text[32];
    if (count < 1000) return std::to_string(count) + " bytes";
    if (count < 1000000) return std::to_string((count + 500) / 1000) + " KB";
    std::snprintf(text, sizeof text, "%.1f MB", double(count) / 1e6);
    return text;
}

std::string decibels(double psnr)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dB", psnr);
    return text;
}

std::string stored_text(const stored_file& stored, const rgb_picture& pixels)
{
    const stored_choice& c = stored.choice;
    std::string text = "hidden picture " + std::to_string(c.which) + " (" + kit::size_text(pixels.width, pixels.height) +
                       ") as " + codec_words(c.codec);
    const bool lossless = codec_of(c.codec).lossless;
    if (!lossless) text += " at quality " + std::to_string(c.quality);
    text += ", " + bytes_text(stored.file.size());
    if (!lossless) text += " (" + decibels(c.psnr) + ")";
    return text;
}

// The colour bytes that differ between two file images of geometry g.
uint64_t changed_bytes(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after, const vorn_geometry& g)
{
    uint64_t changed = 0;
    const size_t per_row = size_t(g.width) * 3;
    for (uint32_t y = 0; y < g.height; ++y) {
        const size_t row = g.offset_raster + size_t(y) * g.string_length;
        for (size_t i = row; i < row + per_row; ++i) changed += before[i] != after[i];
    }
    return changed;
}

}  // namespace

void compact_hide(std::vector<uint8_t>&& carrier_image, input_picture* (&hidden)[2], const kit::hide_request& request,
                  const std::string& name, kit::hide_result& result)
{
    const thread_budget budget(request.threads);
    std::vector<uint8_t> carrier = std::move(carrier_image);
    vorn_geometry g;
    vorn_check_carrier(carrier.data(), carrier.size(), &g);  // accepted as it was read
    // Each hidden picture's pixels, side by side.
    std::vector<hidden_to_store> pictures;
    for (int which = 1; which <= 2; ++which)
        if (hidden[which - 1]) pictures.push_back({which, rgb_picture()});
    std::vector<std::function<void()>> conversions;
    for (hidden_to_store& p : pictures)
        conversions.push_back([&p, &hidden] { p.pixels = pixels_of(*hidden[p.which - 1]); });
    run_side_by_side(conversions);

    // The key is derived while the pictures are tried: both take a while, and neither needs the
    // other.
    bool stealth = request.form == kit::hiding_form::stealth;
    compact_key key;
    draw_salt(key);
    std::string password;
    if (request.password) password = normalised(*request.password);
    compact_plan plan;
    const std::vector<std::function<void()>> jobs = {
        [&] {
            if (request.password && request.report) request.report("deriving the key from the password", -1);
            derive_key(request.password ? &password : nullptr, key);
            kit::wipe(password);
        },
        [&] {
            trial_set tried;
            if (request.stealth_where_unseen && plan_unseen(g, pictures, request.report, plan, tried)) {
                stealth = true;
                return;
            }
            plan = plan_compact(carrier, g, pictures, request.carrier_bits, stealth, name, request.report,
                                std::move(tried));
            if (request.stealth_where_unseen) {
                uint64_t stored = 0;
                for (const stored_file& file : plan.stored) stored += file.file.size();
                plan.notes.push_back(seen_note(g, pictures, stored));
            }
        }};
    run_side_by_side(jobs);
    kit::wipe(password);
    const embedding& laid = stealth ? stealth_embedding() : low_bits_embedding();
    const auto pixels_of_picture = [&](int which) -> const rgb_picture& {
        return pictures[pictures.size() > 1 && pictures[1].which == which ? 1 : 0].pixels;
    };

    // The stored pictures' plaintext is wiped before it is freed, as the key is.
    std::vector<stored_entry> entries;
    std::vector<uint8_t> body;
    const wiped_when_gone body_wiped(body);
    struct files_wiped {
        compact_plan& plan;
        ~files_wiped()
        {
            for (stored_file& stored : plan.stored) wipe_bytes(stored.file);
        }
    } const stored_wiped{plan};
    for (size_t i = 0; i < plan.stored.size(); ++i) {
        const stored_file& stored = plan.stored[i];
        const rgb_picture& pixels = pixels_of_picture(stored.choice.which);
        entries.push_back({uint8_t(stored.choice.which), stored.choice.codec, pixels.width, pixels.height,
                           uint32_t(stored.file.size())});
        body.insert(body.end(), stored.file.begin(), stored.file.end());
    }
    // The carrier is sealed and dithered (one serial chain) while the stored pictures' PSNR,
    // which only the notes need, is measured beside it. The step's amount counts the parts done:
    // sealing, laying and measuring the carrier, and each picture measured.
    const std::string step = stealth ? "laying the hidden pictures" : "dithering the carrier";
    size_t parts = 3;
    for (const stored_file& stored : plan.stored) parts += stored.estimated;
    std::atomic<size_t> parts_done{0};
    const auto part_done = [&] {
        const size_t done = ++parts_done;
        if (request.report) request.report(step, double(done) / double(parts));
    };
    if (request.report) request.report(step, 0);
    double carrier_psnr = 0;
    uint64_t changed = 0;
    // The plan's k is the low-bits embedding's parameter; the stealth one writes its rows layout.
    const unsigned parameter = stealth ? unsigned(stealth_rows) : plan.k;
    std::vector<std::function<void()>> jobs_after = {[&] {
        const std::vector<uint8_t> frame =
            sealed_frame(laid, parameter, g, key, header_bytes(entries, laid.id, uint8_t(parameter)), body);
        part_done();
        const std::vector<uint8_t> original = carrier;
        laid.lay(carrier, parameter, key, frame);
        part_done();
        carrier_psnr = coded_psnr(original, carrier, g);
        changed = changed_bytes(original, carrier, g);
        part_done();
    }};
    for (stored_file& stored : plan.stored)
        if (stored.estimated)
            jobs_after.push_back([&] {
                measure_stored(stored, pixels_of_picture(stored.choice.which));
                part_done();
            });
    run_side_by_side(jobs_after);

    for (const std::string& note : plan.notes) result.notes.push_back(note);
    bool lossy = false;
    for (const stored_file& stored : plan.stored) lossy = lossy || stored.choice.codec != stored_codec::webp_lossless;
    if (request.form == kit::hiding_form::stealth && lossy)  // forced: the default takes it at 42 dB or more only
        result.notes.push_back("the stealth form hides " + bytes_text(stealth_room(g)) +
                               " unseen in this carrier: the hidden pictures are stored at lower quality to fit "
                               "(the compact form keeps them nearer their own)");
    for (const stored_file& stored : plan.stored)
        result.notes.push_back(stored_text(stored, pixels_of_picture(stored.choice.which)));
    const uint64_t colour_bytes = uint64_t(g.width) * 3 * g.height;
    if (stealth) {
        char share[32];
        std::snprintf(share, sizeof share, "%.2f %%", 100.0 * double(changed) / double(colour_bytes));
        result.notes.back() += "; " + std::to_string(changed) + " of the carrier's colour bytes changed by one (" +
                               share + ", " + decibels(carrier_psnr) + ")";
        result.report.push_back("stealth form: the hidden pictures coded and encrypted (XChaCha20-Poly1305), laid "
                                "by changes of one where the carrier's texture hides them, within what tests for "
                                "hidden data do not see");
    } else {
        result.notes.back() += "; the carrier keeps " + std::to_string(8 - plan.k) + " of its 8 bits (" +
                               decibels(carrier_psnr) + ")";
        result.report.push_back("compact form: the hidden pictures coded and encrypted (XChaCha20-Poly1305) in the " +
                                (plan.k == 1 ? std::string("lowest bit") : std::to_string(plan.k) + " lowest bits") +
                                " of every colour byte");
    }
    result.report.push_back(request.password ? "keyed with the password (Argon2id)"
                                             : "no password: anyone with vorn can take the hidden pictures out");
    result.geometry = g;
    result.compact = true;
    result.stealth = stealth;
    result.keyed = request.password != nullptr;
    result.carrier_bits = plan.k;
    result.coded = std::move(carrier);
}

namespace kit {

bool has_compact() { return true; }

}  // namespace kit
