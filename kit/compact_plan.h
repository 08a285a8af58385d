// The compact form's choices: how many low bits k the carrier gives up, how each hidden picture
// is stored, and how far a picture is scaled down when even the floor quality does not fit.
//
// By default k is the best balance: the k whose worst of the carrier's PSNR and each hidden
// picture's (lossless: infinite) is highest. Every k is tried: the carrier dithered around random
// bits gives its PSNR, the pictures stored in that k's room give theirs (compact_trials.h).
// Trying stops at the first k whose carrier PSNR is no better than the best balance found,
// since a larger k only lowers it, and once the pictures' PSNR reaches the carrier's.
//
// One exception: pictures that come back bit for bit, with the carrier at exact_carrier_psnr
// or more, are taken over lossy ones that would give a worst PSNR less than exact_margin higher.
// Above 43 dB neither the carrier's nor a picture's difference shows, and an exact copy is what a
// hidden picture is for; a small picture goes lossless at two bits rather than near-lossless at
// one.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "compact_trials.h"
#include "kit.h"

// Each hidden picture's trials (compact_trials.h), in the pictures' order.
using trial_set = std::vector<std::unique_ptr<picture_trials>>;

struct hidden_to_store {
    int which = 0;     // 1 or 2
    rgb_picture pixels;  // replaced by the scaled picture where it had to shrink
};

struct compact_plan {
    unsigned k = 0;
    std::vector<stored_file> stored;  // in the pictures' order
    std::vector<std::string> notes;   // what scaling did
};

constexpr double exact_carrier_psnr = 43;
constexpr double exact_margin = 3;

// The smallest side a picture is scaled down to: below it a picture shows too little to be
// worth hiding, and the carrier is refused instead.
constexpr uint32_t smallest_scaled_side = 64;

// The PSNR of `carrier` (a coder file image) at k bits, dithered around random bits (the same
// on every run).
double carrier_psnr_at(const std::vector<uint8_t>& carrier, unsigned k);

// The PSNR of a coded picture's colour bytes against its carrier's (file images of geometry `g`).
double coded_psnr(const std::vector<uint8_t>& carrier, const std::vector<uint8_t>& coded, const vorn_geometry& g);

// The stealth budget: the bits per colour byte under which a picture's changes go unseen by
// tests for hidden data, shrinking as the carrier grows (the square-root law: what is safe grows
// as the square root of the carrier's size, not as its size): stealth_budget_bits at
// stealth_budget_reference colour bytes (a 1920 x 1080 picture), stealth_budget_bits *
// sqrt(stealth_budget_reference / colour bytes) elsewhere, never above stealth_budget_most.
// Measured with scripts/steganalysis.sh's full run on 133 crops of 128 x 128 (where the cap
// holds; 5 folds): the six classic tests stay at AUC <= .53 at every budget tried up to 0.2, so
// the trained SPAM detector sets it. With a picture of 1/16 of a crop's area it reads .79 at 0.2,
// .68 at 0.1, .64 at 0.08 and .59 at 0.06 (each +-.06 over the folds): 0.08 is the largest
// budget it reads at .65 or less. A picture of a quarter of a crop's area then fits no crop
// (at 0.1, 44 of 133). Since a detector sees more in a larger picture, the budget is not raised
// for larger carriers: it holds up to a 1920 x 1080 carrier and shrinks as the root law says
// beyond.
constexpr double stealth_budget_bits = 0.08;
constexpr double stealth_budget_reference = 1920.0 * 1080 * 3;
constexpr double stealth_budget_most = 0.08;

// The stored pictures' bytes the stealth form takes in a carrier of geometry g within the
// budget (0: not even the container's overhead).
uint64_t stealth_room(const vorn_geometry& g);

// The fewest colour bytes a carrier needs for `stored` bytes of pictures within the budget.
uint64_t stealth_colour_bytes_for(uint64_t stored);

// The default form takes the stealth form where every picture fits its budget bit for bit or at
// this PSNR or more (where a picture's difference does not show), the compact form elsewhere.
constexpr double stealth_least_psnr = 42;

// The stealth plan for `pictures` as they are (no scaling) when every one fits the budget bit for
// bit or at stealth_least_psnr or more: true with it; false otherwise, the trials it made left
// in `tried` for plan_compact().
bool plan_unseen(const vorn_geometry& g, const std::vector<hidden_to_store>& pictures, const kit::progress& report,
                 compact_plan& plan, trial_set& tried);

// The note for a picture the default form leaves in the compact form: tests for hidden data would
// find it, and the size (about `stored` bytes now, both sides scaled alike) that would go unseen.
std::string seen_note(const vorn_geometry& g, const std::vector<hidden_to_store>& pictures, uint64_t stored);

// Plans the hiding of `pictures` (one or two) in `carrier` (geometry g); forced_k 0 chooses k.
// `stealth`: the stealth embedding within stealth_room() instead (plan.k 0). Raises an input
// fault naming `name` when the carrier is too small for the pictures even scaled down to the
// smallest side.
// `tried`: the pictures' trials made so far (plan_unseen()'s), taken over rather than made again.
compact_plan plan_compact(const std::vector<uint8_t>& carrier, const vorn_geometry& g,
                          std::vector<hidden_to_store>& pictures, unsigned forced_k, bool stealth,
                          const std::string& name, const kit::progress& report, trial_set tried = {});
