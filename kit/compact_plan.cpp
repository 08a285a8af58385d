#include "compact_plan.h"

#include <sodium.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <new>

#include "compact_scale.h"
#include "compact_seal.h"
#include "embedding.h"
#include "fault.h"
#include "picture_memory.h"
#include "side_by_side.h"

namespace {

// The overhead the container adds to the pictures' bytes: the lead in fields, and the sealed
// header and the body's tag in bytes.
constexpr uint64_t sealed_overhead_bytes = 40 + 2 * compact_tag_bytes;

// The room at k low bits per colour byte; k 0 stands for the stealth embedding within its budget.
uint64_t body_room(const vorn_geometry& g, unsigned k)
{
    return k == 0 ? stealth_room(g) : body_room(low_bits_embedding(), g, k);
}

// The stealth carrier's PSNR as the balance sees it: a few bytes changed by one leave it far
// above any stored picture's.
constexpr double stealth_carrier_psnr = 70;

// The budget's bits for this many colour bytes.
double stealth_budget_of(double colour_bytes)
{
    return std::min(stealth_budget_most, stealth_budget_bits * std::sqrt(stealth_budget_reference / colour_bytes));
}

std::string bits_text(unsigned k) { return std::to_string(k) + (k == 1 ? " low bit" : " low bits"); }

// The step's amounts, for the kit's reporter (none where it is empty).
amount_done amounts_of(const kit::progress& report, const std::string& step)
{
    if (!report) return {};
    report(step, 0);
    return [report, step](double done) { report(step, done); };
}

struct balance {
    bool found = false;
    unsigned k = 0;
    double worst = 0;
    bool exact = false;  // every picture comes back bit for bit
    storage_option option;
};

// Whether `candidate` is the better balance than `best`: the higher worst PSNR, except that
// pictures coming back bit for bit are worth a little where the carrier keeps exact_carrier_psnr.
bool better_balance(const balance& candidate, const balance& best)
{
    if (!best.found) return true;
    if (candidate.exact != best.exact) {
        const balance& exact = candidate.exact ? candidate : best;
        const balance& lossy = candidate.exact ? best : candidate;
        const bool exact_wins = exact.worst >= exact_carrier_psnr && lossy.worst < exact.worst + exact_margin;
        return candidate.exact == exact_wins;
    }
    return candidate.worst > best.worst;
}

// The k with the best balance among `ks` (ascending), stopping as soon as no larger k can do
// better: when its carrier's PSNR is no higher than the best balance's worst (nor, while that
// is lossy, high enough for pictures bit for bit to be worth it), or the pictures' PSNR reaches
// the carrier's.
balance best_balance(std::vector<std::unique_ptr<picture_trials>>& trials, const vorn_geometry& g,
                     const std::vector<unsigned>& ks, const double* carrier_psnr, const kit::progress& report)
{
    balance best;
    for (const unsigned k : ks) {
        const uint64_t room = body_room(g, k);
        if (room == 0) continue;
        const bool higher = !best.found || carrier_psnr[k] > best.worst;
        const bool exact_worth = best.found && !best.exact && carrier_psnr[k] >= exact_carrier_psnr &&
                                 carrier_psnr[k] > best.worst - exact_margin;
        if (!higher && !exact_worth) break;
        const amount_done searched = amounts_of(report, k == 0 ? std::string("trying the stealth budget")
                                                                 : "trying " + bits_text(k) + " per colour byte");
        storage_option option = higher ? best_storage(trials, room, nullptr, searched) : exact_storage(trials, room);
        if (!option.fits) continue;
        const bool pictures_at_least_carrier = option.worst >= carrier_psnr[k];
        balance candidate{true, k, std::min(carrier_psnr[k], option.worst), option.worst == lossless_psnr,
                          std::move(option)};
        if (better_balance(candidate, best)) best = std::move(candidate);
        if (pictures_at_least_carrier) break;
    }
    return best;
}

std::vector<std::unique_ptr<picture_trials>> trials_of(const std::vector<hidden_to_store>& pictures)
{
    std::vector<std::unique_ptr<picture_trials>> trials;
    for (const hidden_to_store& p : pictures) trials.push_back(std::make_unique<picture_trials>(p.which, p.pixels));
    return trials;
}

// The fewest bytes a picture takes at the floor quality, by the codecs that take it.
uint64_t floor_size(picture_trials& trials)
{
    uint64_t least = UINT64_MAX;
    for (const codec_row& row : codec_table)
        if (!row.lossless && codec_takes(row.id, trials.pixels->width, trials.pixels->height))
            least = std::min(least, trials.trial(row.id, floor_quality, false).size);
    return least;
}

// The fewest bytes a picture takes at all: at the floor quality, or lossless where that is smaller,
// as it is for a tiny or flat picture.
uint64_t least_size(picture_trials& trials)
{
    uint64_t least = floor_size(trials);
    for (const codec_row& row : codec_table)
        if (row.lossless && codec_takes(row.id, trials.pixels->width, trials.pixels->height))
            least = std::min(least, trials.trial(row.id, lossless_effort(*trials.pixels), false).size);
    return least;
}

bool at_smallest(const rgb_picture& p) { return std::min(p.width, p.height) <= smallest_scaled_side; }

// The side scaled by `factor`, at least one pixel.
uint32_t scaled_side(uint32_t side, double factor) { return std::max<uint32_t>(1, uint32_t(std::lround(side * factor))); }

// The refusal: the carrier (of the same shape) that the pictures, scaled as small as they go and
// stored in the fewest bytes, would need at least.
[[noreturn]] void too_small(const vorn_geometry& g, std::vector<std::unique_ptr<picture_trials>>& trials,
                            unsigned k, const std::string& name)
{
    uint64_t bytes = sealed_overhead_bytes;
    std::string sizes;
    for (const auto& t : trials) {
        bytes += least_size(*t);
        sizes += (sizes.empty() ? "" : " and ") + kit::size_text(t->pixels->width, t->pixels->height);
    }
    const uint64_t fields = k == 0 ? stealth_colour_bytes_for(bytes - sealed_overhead_bytes)
                                   : compact_lead_fields + (bytes * 8 + k - 1) / k;
    const double pixels = double((fields + 2) / 3);
    const double aspect = g.height > 0 ? double(g.width) / double(g.height) : 1;
    const uint64_t width = uint64_t(std::ceil(std::sqrt(pixels * aspect)));
    const uint64_t height = uint64_t(std::ceil(pixels / double(std::max<uint64_t>(width, 1))));
    const bool two = trials.size() > 1;
    raise_fault(kit::fault::input,
                name + ": too small to hide " + (two ? "these pictures" : "this picture") + " (it is " +
                    kit::size_text(g.width, g.height) + "): at " + (two ? "their" : "its") + " smallest (" + sizes +
                    ") and the lowest quality, " + (two ? "they need" : "it needs") + " a carrier of about " +
                    kit::size_text(width, height) + " pixels" +
                    (k == 0 ? " to stay hard to detect (the compact form holds more)"
                            : k < VORN_COMPACT_MAX_BITS ? " at " + bits_text(k) + " per colour byte" : ""));
}

// What the carrier's PSNR is measured on: the carrier, or a mosaic of a large one.
std::vector<uint8_t> carrier_trial_image(const std::vector<uint8_t>& carrier)
{
    vorn_geometry g;
    if (vorn_check_carrier(carrier.data(), carrier.size(), &g) != VORN_OK) throw std::bad_alloc();
    if (uint64_t(g.width) * g.height <= trial_pixels) return carrier;
    return mosaic_of_image(carrier);
}

}  // namespace

uint64_t stealth_room(const vorn_geometry& g)
{
    const double colour_bytes = double(g.width) * 3 * double(g.height);
    if (colour_bytes <= 0) return 0;
    const uint64_t budget = uint64_t(colour_bytes * stealth_budget_of(colour_bytes) / 8);
    const uint64_t room = std::min(budget, stealth_embedding().room(g, stealth_rows));
    return room < sealed_overhead_bytes ? 0 : room - sealed_overhead_bytes;
}

uint64_t stealth_colour_bytes_for(uint64_t stored)
{
    const double bits = 8 * double(stored + sealed_overhead_bytes);
    const double below_most = bits / stealth_budget_most;
    const double root_law = bits / stealth_budget_bits * (bits / stealth_budget_bits) / stealth_budget_reference;
    return uint64_t(std::ceil(std::max(below_most, root_law)));
}

bool plan_unseen(const vorn_geometry& g, const std::vector<hidden_to_store>& pictures, const kit::progress& report,
                 compact_plan& plan, trial_set& tried)
{
    const uint64_t room = stealth_room(g);
    if (room == 0) return false;
    const amount_done searched = amounts_of(report, "trying the stealth budget");
    tried = trials_of(pictures);
    trial_set& trials = tried;
    // Hopeless at a glance, and then not searched: even the floor quality's JPEG (no lossy picture
    // at the least PSNR is smaller) and the lossless estimate are each beyond twice the room (the
    // margin for a picture some other codec takes far better).
    uint64_t least = 0;
    for (const std::unique_ptr<picture_trials>& p : trials)
        least += std::min(p->trial(stored_codec::jpeg, floor_quality, false).size, p->lossless_floor());
    if (least > 2 * room) return false;
    const storage_option option = best_storage(trials, room, nullptr, searched);
    if (!option.fits || option.worst < stealth_least_psnr) return false;
    std::vector<stored_file> files = realise(trials, room, option);
    for (const stored_file& stored : files)
        if (stored.choice.psnr < stealth_least_psnr) return false;
    if (files.empty()) return false;
    plan = compact_plan();
    plan.stored = std::move(files);
    return true;
}

std::string seen_note(const vorn_geometry& g, const std::vector<hidden_to_store>& pictures, uint64_t stored)
{
    const bool two = pictures.size() > 1;
    const std::string finds = std::string("tests for hidden data would find that this picture holds ") +
                              (two ? "hidden pictures" : "a hidden picture");
    if (stealth_room(g) == 0) return finds + ": the carrier is too small to hide anything unseen";
    const double factor = std::sqrt(double(stealth_room(g)) / double(std::max<uint64_t>(stored, 1)));
    std::string sizes;
    for (const hidden_to_store& p : pictures)
        sizes += (sizes.empty() ? "" : " and ") + kit::size_text(scaled_side(p.pixels.width, std::min(factor, 1.0)),
                                                                 scaled_side(p.pixels.height, std::min(factor, 1.0)));
    return finds + ": " + (two ? "they are" : "it is") +
           " too large to hide unseen at full quality; " + (two ? "pictures" : "a picture") + " of about " + sizes +
           " would go unseen (the stealth form stores " + (two ? "these" : "this one") +
           " at lower quality or smaller)";
}

double carrier_psnr_at(const std::vector<uint8_t>& carrier, unsigned k)
{
    vorn_geometry g;
    size_t stream_length = 0;
    if (vorn_check_carrier(carrier.data(), carrier.size(), &g) != VORN_OK ||
        vorn_compact_stream_length(&g, k, &stream_length) != VORN_OK)
        throw std::bad_alloc();
    if (sodium_init() < 0) throw std::bad_alloc();
    // The same bits on every run, so that the same pictures always make the same choice.
    static const uint8_t seed[randombytes_SEEDBYTES] = {'v', 'o', 'r', 'n', 'h', 'o', 'l', 'd'};
    std::vector<uint8_t> stream = large_buffer(stream_length);
    randombytes_buf_deterministic(stream.data(), stream.size(), seed);
    std::vector<uint8_t> coded = carrier;
    const compact_key unused;  // the low bits draw no order from the key
    low_bits_embedding().lay(coded, k, unused, stream);
    return coded_psnr(carrier, coded, g);
}

double coded_psnr(const std::vector<uint8_t>& carrier, const std::vector<uint8_t>& coded, const vorn_geometry& g)
{
    uint64_t squared = 0;
    const size_t per_row = size_t(g.width) * 3;
    for (uint32_t y = 0; y < g.height; ++y) {
        const size_t row = g.offset_raster + size_t(y) * g.string_length;
        for (size_t i = row; i < row + per_row; ++i) {
            const int d = int(coded[i]) - int(carrier[i]);
            squared += uint64_t(d * d);
        }
    }
    const uint64_t count = uint64_t(per_row) * g.height;
    return count == 0 ? 0 : psnr_of(double(squared) / double(count));
}

compact_plan plan_compact(const std::vector<uint8_t>& carrier, const vorn_geometry& g,
                          std::vector<hidden_to_store>& pictures, unsigned forced_k, bool stealth,
                          const std::string& name, const kit::progress& report, trial_set tried)
{
    std::vector<unsigned> candidates;
    for (unsigned k = 1; k <= VORN_COMPACT_MAX_BITS; ++k)
        if (!stealth && (forced_k == 0 || k == forced_k)) candidates.push_back(k);
    if (stealth) candidates.push_back(0);
    const unsigned most = candidates.back();

    // The carrier's PSNR at every k tried, side by side; a large carrier's from a mosaic of it.
    if (report && !stealth) report("dithering the carrier at every depth", -1);
    double carrier_psnr[VORN_COMPACT_MAX_BITS + 1] = {stealth_carrier_psnr};
    const std::vector<uint8_t> tried_carrier = stealth ? std::vector<uint8_t>() : carrier_trial_image(carrier);
    std::vector<std::function<void()>> jobs;
    for (const unsigned k : candidates)
        if (k > 0 && body_room(g, k) > 0) jobs.push_back([&, k] { carrier_psnr[k] = carrier_psnr_at(tried_carrier, k); });
    run_side_by_side(jobs);

    std::vector<std::pair<uint32_t, uint32_t>> own;
    for (const hidden_to_store& p : pictures) own.emplace_back(p.pixels.width, p.pixels.height);
    std::vector<unsigned> ks = candidates;
    for (;;) {
        // The trials given are of the pictures as they came; once scaled, they are tried afresh.
        trial_set trials = tried.size() == pictures.size() ? std::move(tried) : trials_of(pictures);
        tried.clear();
        const balance best = best_balance(trials, g, ks, carrier_psnr, report);
        if (best.found) {
            std::vector<stored_file> files =
                realise(trials, body_room(g, best.k), best.option, amounts_of(report, "coding the hidden pictures"));
            if (!files.empty()) {
                compact_plan plan;
                plan.k = best.k;
                plan.stored = std::move(files);
                for (size_t i = 0; i < pictures.size(); ++i)
                    if (pictures[i].pixels.width != own[i].first || pictures[i].pixels.height != own[i].second)
                        plan.notes.push_back("hidden picture " + std::to_string(pictures[i].which) + " scaled down from " +
                                             kit::size_text(own[i].first, own[i].second) + " to " +
                                             kit::size_text(pictures[i].pixels.width, pictures[i].pixels.height) +
                                             (stealth ? " to stay hard to detect" : " to fit the carrier"));
                return plan;
            }
            // Coded whole, the pictures did not fit after all: a larger k, or else scaling.
            ks.erase(std::remove_if(ks.begin(), ks.end(), [&](unsigned k) { return k <= best.k; }), ks.end());
            if (!ks.empty()) continue;
        }
        ks = {most};
        const uint64_t room = body_room(g, most);
        bool scaled = false;
        {
            // The area that would fit at the floor quality, with a margin; again smaller if a
            // scaled picture still does not fit. A carrier with no room at all has the pictures
            // scaled to their smallest all the same, so that its refusal names the carrier they
            // would need as small as they go.
            double area = 0;
            if (room > 0) {
                uint64_t floor_total = 0;
                for (auto& t : trials) floor_total += floor_size(*t);
                area = 0.85 * double(room) / double(std::max<uint64_t>(floor_total, 1));
                if (area >= 1) area = 0.8;
            }
            for (hidden_to_store& p : pictures) {
                if (at_smallest(p.pixels)) continue;
                const uint32_t short_side = std::min(p.pixels.width, p.pixels.height);
                const double factor =
                    std::max(std::sqrt(area), double(smallest_scaled_side) / double(short_side));
                const uint32_t width = scaled_side(p.pixels.width, factor), height = scaled_side(p.pixels.height, factor);
                if (report) report("scaling hidden picture " + std::to_string(p.which) + " down", -1);
                p.pixels = scaled_picture(p.pixels, width, height);
                scaled = true;
            }
        }
        if (!scaled) too_small(g, trials, most, name);
    }
}
