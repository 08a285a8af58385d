// Fitting the compact form's hidden pictures into a room of bytes: which codec and quality each
// is stored with, found by coding them and measuring what comes back.
//
// Each picture goes lossless (WebP) where all fit; otherwise the best, by the worse picture's
// PSNR, of one picture lossless and the other lossy in what is left, and both lossy at one
// quality (the highest that fits, by binary search from the floor quality up) with the codec
// that gives the better PSNR, JPEG without chroma subsampling or lossy WebP. A picture of more
// than trial_pixels pixels is tried on a mosaic of tiles taken across it, its sizes scaled by
// the areas; its choice is then coded whole and the quality lowered while it does not fit.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "stored_picture.h"

// The lowest quality a lossy picture is stored at. JPEG's quality 30 (without chroma subsampling)
// keeps a photograph near 30 dB, where the classic form's 2-bit pictures begin; below it blocks
// and ringing take over, and a picture scaled down to fit loses less than one coded coarser.
constexpr int floor_quality = 30;

// Pictures above this many pixels are tried on a mosaic (256 tiles of 64 x 64, a megapixel):
// coding a large picture a dozen times would cost more than the rest of hiding. At 1920 x 1080
// trying the mosaic halves the time of hiding two pictures, and the measured quality moved by
// 0.02 dB at most (scripts/quality.py).
constexpr uint64_t trial_pixels = 1200000;

constexpr double lossless_psnr = std::numeric_limits<double>::infinity();

struct coded_trial {
    uint64_t size = 0;  // of the whole picture: the tried one's, scaled by the areas
    double psnr = -1;   // of the tried picture; < 0 until measured
};

// 256 tiles of 64 x 64 taken evenly across a large picture, side by side in a picture of their
// own: what is tried in its place.
rgb_picture mosaic_of(const rgb_picture& picture);

// The same mosaic of a coder file image, as a coder file image: the carrier's, tried at each
// depth, without turning the whole carrier into pixels first.
std::vector<uint8_t> mosaic_of_image(const std::vector<uint8_t>& image);

// One picture's trials. The tries of one codec are not safe to make from two threads at once;
// those of different codecs are.
struct picture_trials {
    int which = 0;
    const rgb_picture* pixels = nullptr;  // the picture as it is stored
    rgb_picture mosaic;                   // what is tried for a large picture; else empty
    double area_ratio = 1;               // the picture's area over the tried one's
    std::map<int, coded_trial> tried[codec_count];  // per codec (codec_index()), by quality or effort

    explicit picture_trials(int which, const rgb_picture& pixels);
    const rgb_picture& tried_pixels() const { return mosaic.rgb.empty() ? *pixels : mosaic; }
    // The trial of the codec at `quality` (lossless: its effort), measured when asked.
    const coded_trial& trial(stored_codec codec, int quality, bool measured);
    // Fewer bytes than the picture takes lossless, by an estimate much cheaper than its trial:
    // the entropy of its prediction residuals, less the most lossless WebP was seen to gain on
    // photographs. Trials that would need fewer bytes than this are not made.
    uint64_t lossless_floor();
    // Above the PSNR lossy WebP can give the picture at any quality: that of its chroma alone
    // averaged over 2 x 2 pixels (4:2:0), less nothing else it loses.
    double chroma_ceiling();

private:
    double lossless_floor_ = -1, chroma_ceiling_ = -1;
};

// The lossless WebP effort for a picture: strong for small pictures, quick for large ones.
int lossless_effort(const rgb_picture& pixels);

// How each picture is stored in a room: codec, quality, the size and PSNR the trials expect.
struct stored_choice {
    int which = 0;
    stored_codec codec = stored_codec::webp_lossless;
    int quality = 0;
    uint64_t size = 0;
    double psnr = 0;
};

struct storage_option {
    bool fits = false;
    double worst = 0;  // the lowest PSNR among the pictures
    std::vector<stored_choice> choices;
};

// How far a search or a coding is, from 0 to 1, told as it goes (from any thread).
using amount_done = std::function<void(double done)>;

// The best storage of every picture in `room` bytes, from the trials; fits false when not even
// the floor quality fits. `lossless_allowed[i]` false leaves lossless out for picture i. `done`
// hears how far the search is: the lossless trials a tenth, each set of lossy pictures its share
// of the first lossy codec's search (the qualities left open, on a logarithmic scale), the
// further codecs the last tenth.
storage_option best_storage(std::vector<std::unique_ptr<picture_trials>>& pictures, uint64_t room,
                            const bool* lossless_allowed = nullptr, const amount_done& done = {});

// Every picture lossless, `fits` when they all fit `room`: what the balance of k prefers where it
// costs little.
storage_option exact_storage(std::vector<std::unique_ptr<picture_trials>>& pictures, uint64_t room);

// A picture coded whole as chosen. `choice.psnr` is the trials' estimate until measure_stored()
// has measured it, which a lossy picture tried on a mosaic needs.
struct stored_file {
    stored_choice choice;
    std::vector<uint8_t> file;
    bool estimated = false;  // choice.psnr is the mosaic's estimate
};

// Measures the PSNR of an estimated stored file against the whole picture it was coded from,
// by decoding it. It decides nothing (the files already fit): hiding runs it beside the
// carrier's dithering, which takes as long.
void measure_stored(stored_file& stored, const rgb_picture& whole);

// Codes every picture whole as the option says and, where the files do not fit `room` (the
// trials of a mosaic only estimate), lowers the lossy quality, or stores a lossless picture
// lossy after all. Empty when nothing down to the floor quality fits. `done` hears the share of
// the pictures coded so far.
std::vector<stored_file> realise(std::vector<std::unique_ptr<picture_trials>>& pictures, uint64_t room,
                                 storage_option option, const amount_done& done = {});
