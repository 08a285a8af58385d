#include "compact_trials.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <new>

#include "side_by_side.h"

namespace {

constexpr uint32_t tile_side = 64;
constexpr uint32_t mosaic_tiles = 256;

// The mosaic of a width x height picture: `down` rows of `across` square tiles of `side`.
struct mosaic_grid {
    uint32_t side, across, down;
};

mosaic_grid grid_of(uint32_t width, uint32_t height)
{
    const uint32_t side = std::min({tile_side, width, height});
    const double aspect = double(width) / double(height);
    const uint32_t across = std::clamp(uint32_t(std::lround(std::sqrt(mosaic_tiles * aspect))), 1u, width / side);
    return {side, across, std::clamp(mosaic_tiles / across, 1u, height / side)};
}

// Copies the tiles, row by row: `from(y)` is the picture's row y (top down), `to(y)` the
// mosaic's, 3 bytes a pixel.
template <class From, class To>
void copy_tiles(const mosaic_grid& grid, uint32_t width, uint32_t height, From from, To to)
{
    const uint32_t side = grid.side;
    for (uint32_t ty = 0; ty < grid.down; ++ty) {
        const uint64_t centre_y = (uint64_t(2 * ty + 1) * height) / (2 * grid.down);
        const uint32_t y0 = uint32_t(std::min<uint64_t>(centre_y > side / 2 ? centre_y - side / 2 : 0, height - side));
        for (uint32_t tx = 0; tx < grid.across; ++tx) {
            const uint64_t centre_x = (uint64_t(2 * tx + 1) * width) / (2 * grid.across);
            const uint32_t x0 = uint32_t(std::min<uint64_t>(centre_x > side / 2 ? centre_x - side / 2 : 0, width - side));
            for (uint32_t y = 0; y < side; ++y)
                std::memcpy(to(ty * side + y) + size_t(tx) * side * 3, from(y0 + y) + size_t(x0) * 3, size_t(side) * 3);
        }
    }
}

}  // namespace

rgb_picture mosaic_of(const rgb_picture& picture)
{
    const mosaic_grid grid = grid_of(picture.width, picture.height);
    rgb_picture mosaic = rgb_of_size(grid.across * grid.side, grid.down * grid.side);
    copy_tiles(
        grid, picture.width, picture.height,
        [&](uint32_t y) { return picture.rgb.data() + size_t(y) * picture.width * 3; },
        [&](uint32_t y) { return mosaic.rgb.data() + size_t(y) * mosaic.width * 3; });
    return mosaic;
}

std::vector<uint8_t> mosaic_of_image(const std::vector<uint8_t>& image)
{
    vorn_geometry g, m;
    size_t length = 0;
    if (vorn_check_carrier(image.data(), image.size(), &g) != VORN_OK) throw std::bad_alloc();
    const mosaic_grid grid = grid_of(g.width, g.height);
    const uint32_t width = grid.across * grid.side, height = grid.down * grid.side;
    if (vorn_bmp_length(width, height, &length) != VORN_OK) throw std::bad_alloc();
    // Made as an image converter makes a picture's file image (from black pixels), then its
    // rows filled.
    std::vector<uint8_t> mosaic(length);
    const std::vector<uint8_t> black(size_t(width) * height * 3);
    if (vorn_bmp_from_rgb(black.data(), width, height, size_t(width) * 3, 3, mosaic.data(), mosaic.size()) != VORN_OK ||
        vorn_check_carrier(mosaic.data(), mosaic.size(), &m) != VORN_OK)
        throw std::bad_alloc();
    // Rows are stored bottom-up, B G R: a copy keeps the order.
    copy_tiles(
        grid, g.width, g.height,
        [&](uint32_t y) { return image.data() + g.offset_raster + size_t(g.height - 1 - y) * g.string_length; },
        [&](uint32_t y) { return mosaic.data() + m.offset_raster + size_t(m.height - 1 - y) * m.string_length; });
    return mosaic;
}

namespace {

// Whether every picture of the set can be stored with the codec at all.
bool codec_for_all(const std::vector<picture_trials*>& set, stored_codec codec)
{
    for (const picture_trials* p : set)
        if (!codec_takes(codec, p->pixels->width, p->pixels->height)) return false;
    return true;
}

// The pictures' trials of a lossy codec at one quality, together; two large pictures side by
// side (each touches its own trials only).
constexpr uint64_t side_by_side_pixels = 250000;

uint64_t total_size(const std::vector<picture_trials*>& set, stored_codec codec, int quality)
{
    bool large = set.size() > 1;
    for (picture_trials* p : set)
        large = large && uint64_t(p->tried_pixels().width) * p->tried_pixels().height >= side_by_side_pixels;
    if (large) {
        std::vector<std::function<void()>> jobs;
        for (picture_trials* p : set) jobs.push_back([=] { p->trial(codec, quality, false); });
        run_side_by_side(jobs);
    }
    uint64_t total = 0;
    for (picture_trials* p : set) total += p->trial(codec, quality, false).size;
    return total;
}

// The highest quality from the floor up to `most` at which the set fits `room`, its sizes scaled
// by `correction`; 0 when not even the floor fits. Sizes grow with quality, their logarithm
// roughly in step with it: the next quality tried is where the logarithm of the sizes around
// reaches the room's, a plain halving after a step that left the same end of the range as the
// step before (so that a curved size never slows the search below halving for long).
// `searched` hears how far the search is after each quality tried: the share of the range's
// logarithm already closed.
int highest_fitting(const std::vector<picture_trials*>& set, stored_codec codec, uint64_t room, int most = 100,
                    double correction = 1, const amount_done& searched = {})
{
    const auto size_at = [&](int quality) { return double(total_size(set, codec, quality)) * correction; };
    if (most < floor_quality) return 0;
    double high_size = size_at(most);
    if (high_size <= double(room)) return most;
    double low_size = size_at(floor_quality);
    if (low_size > double(room)) return 0;
    int low = floor_quality, high = most;  // low fits, high does not
    int last_side = 0;                      // 1: the last step raised low, -1: lowered high
    bool halve = false;
    while (high - low > 1) {
        int next = low + (high - low) / 2;
        if (!halve && low_size > 0 && high_size > low_size) {
            const double share = (std::log(double(room)) - std::log(low_size)) / (std::log(high_size) - std::log(low_size));
            next = std::clamp(low + int(std::lround(share * (high - low))), low + 1, high - 1);
        }
        const double size = size_at(next);
        const int side = size <= double(room) ? 1 : -1;
        if (side > 0) {
            low = next;
            low_size = size;
        } else {
            high = next;
            high_size = size;
        }
        halve = side == last_side;
        last_side = side;
        if (searched) searched(1 - std::log(double(high - low)) / std::log(double(most - floor_quality)));
    }
    return low;
}

// The set stored lossy with the codec at the highest quality that fits; `fits` false when none.
storage_option lossy_option(const std::vector<picture_trials*>& set, stored_codec codec, uint64_t room,
                            const amount_done& searched = {})
{
    storage_option option;
    if (set.empty() || !codec_for_all(set, codec)) return option;
    const int quality = highest_fitting(set, codec, room, 100, 1, searched);
    if (quality == 0) return option;
    option.fits = true;
    option.worst = lossless_psnr;
    for (picture_trials* p : set) {
        const coded_trial& t = p->trial(codec, quality, true);
        option.choices.push_back({p->which, codec, quality, t.size, t.psnr});
        option.worst = std::min(option.worst, t.psnr);
    }
    return option;
}

// The codec pictures are stored with bit for bit: the table's first.
const codec_row& lossless_codec()
{
    return codec_table[0];
}

stored_choice lossless_choice(picture_trials& p)
{
    const int effort = lossless_effort(*p.pixels);
    const stored_codec codec = lossless_codec().id;
    return {p.which, codec, effort, p.trial(codec, effort, false).size, lossless_psnr};
}

void keep_better(storage_option& best, storage_option candidate)
{
    if (candidate.fits && (!best.fits || candidate.worst > best.worst)) best = std::move(candidate);
}

void sort_by_picture(storage_option& option)
{
    std::sort(option.choices.begin(), option.choices.end(),
              [](const stored_choice& a, const stored_choice& b) { return a.which < b.which; });
}

}  // namespace

picture_trials::picture_trials(int which_picture, const rgb_picture& picture) : which(which_picture), pixels(&picture)
{
    if (uint64_t(picture.width) * picture.height > trial_pixels) {
        mosaic = mosaic_of(picture);
        area_ratio = double(picture.width) * picture.height / (double(mosaic.width) * mosaic.height);
    }
}

const coded_trial& picture_trials::trial(stored_codec codec, int quality, bool measured)
{
    coded_trial& entry = tried[codec_index(codec)][quality];
    if (entry.size > 0 && (!measured || entry.psnr >= 0)) return entry;
    const rgb_picture& source = tried_pixels();
    const std::vector<uint8_t> file = encode_stored(source, codec, quality);
    entry.size = uint64_t(std::ceil(double(file.size()) * area_ratio));
    if (measured) {
        const rgb_picture back = decode_stored(file.data(), file.size(), codec, source.width, source.height,
                                              read_limits(), "a trial");
        entry.psnr = psnr_of(squared_error(back, source));
    }
    return entry;
}

namespace {

// The order-0 entropy of the picture's prediction residuals, in bytes: green predicted by the
// median of its left, upper and gradient neighbours, red and blue less green alike (as lossless
// WebP subtracts green).
double residual_entropy_bytes(const rgb_picture& picture)
{
    uint64_t counts[3][256] = {};
    const size_t w = picture.width, row = w * 3;
    const uint8_t* rgb = picture.rgb.data();
    const auto value = [&](size_t x, size_t y, int c) -> int {
        const uint8_t* p = rgb + y * row + x * 3;
        return c == 1 ? p[1] : uint8_t(p[c] - p[1]);
    };
    for (size_t y = 0; y < picture.height; ++y)
        for (size_t x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) {
                const int a = x > 0 ? value(x - 1, y, c) : y > 0 ? value(x, y - 1, c) : 0;
                const int b = y > 0 ? value(x, y - 1, c) : a;
                const int d = x > 0 && y > 0 ? value(x - 1, y - 1, c) : b;
                const int predicted = d >= std::max(a, b) ? std::min(a, b) : d <= std::min(a, b) ? std::max(a, b) : a + b - d;
                ++counts[c][uint8_t(value(x, y, c) - predicted)];
            }
    const double n = double(picture.width) * picture.height;
    double bits = 0;
    for (const auto& channel : counts)
        for (const uint64_t count : channel)
            if (count) bits -= double(count) * std::log2(double(count) / n);
    return bits / 8;
}

// The mean squared error, over every colour byte, of the picture with its luma kept and its
// chroma (Cb and Cr, BT.601) averaged over each 2 x 2 block and brought back to every pixel as
// WebP's decoder does: 9/16 of its own block, 3/16 of each nearer neighbour and 1/16 of the
// diagonal one.
double chroma_error(const rgb_picture& picture)
{
    const size_t w = picture.width, h = picture.height, row = w * 3;
    const size_t bw = (w + 1) / 2, bh = (h + 1) / 2;
    const uint8_t* rgb = picture.rgb.data();
    const auto chroma = [&](size_t x, size_t y, double& cb, double& cr) {
        const uint8_t* p = rgb + y * row + x * 3;
        cb = -0.168736 * p[0] - 0.331264 * p[1] + 0.5 * p[2];
        cr = 0.5 * p[0] - 0.418688 * p[1] - 0.081312 * p[2];
    };
    std::vector<double> mean_cb(bw * bh), mean_cr(bw * bh);
    for (size_t by = 0; by < bh; ++by)
        for (size_t bx = 0; bx < bw; ++bx) {
            double sum_cb = 0, sum_cr = 0, cb, cr;
            int n = 0;
            for (size_t y = 2 * by; y < std::min(2 * by + 2, h); ++y)
                for (size_t x = 2 * bx; x < std::min(2 * bx + 2, w); ++x, ++n) {
                    chroma(x, y, cb, cr);
                    sum_cb += cb;
                    sum_cr += cr;
                }
            mean_cb[by * bw + bx] = sum_cb / n;
            mean_cr[by * bw + bx] = sum_cr / n;
        }
    double sum = 0;
    for (size_t y = 0; y < h; ++y) {
        const size_t by = y / 2, ny = std::min(bh - 1, y % 2 ? by + 1 : by > 0 ? by - 1 : 0);
        for (size_t x = 0; x < w; ++x) {
            const size_t bx = x / 2, nx = std::min(bw - 1, x % 2 ? bx + 1 : bx > 0 ? bx - 1 : 0);
            const auto up = [&](const std::vector<double>& m) {
                return (9 * m[by * bw + bx] + 3 * m[by * bw + nx] + 3 * m[ny * bw + bx] + m[ny * bw + nx]) / 16;
            };
            double cb, cr;
            chroma(x, y, cb, cr);
            const double d_cb = cb - up(mean_cb), d_cr = cr - up(mean_cr);
            const double d_r = 1.402 * d_cr, d_g = -0.344136 * d_cb - 0.714136 * d_cr, d_b = 1.772 * d_cb;
            sum += d_r * d_r + d_g * d_g + d_b * d_b;
        }
    }
    return sum / (3.0 * double(w) * double(h));
}

}  // namespace

uint64_t picture_trials::lossless_floor()
{
    // Lossless WebP came to 0.84 to 0.99 of the estimate on the benchmark's photographs and the
    // samples; a quarter off leaves room for pictures it packs better.
    if (lossless_floor_ < 0) lossless_floor_ = 0.75 * residual_entropy_bytes(tried_pixels()) * area_ratio;
    return uint64_t(lossless_floor_);
}

double picture_trials::chroma_ceiling()
{
    if (chroma_ceiling_ < 0) chroma_ceiling_ = psnr_of(chroma_error(tried_pixels()));
    return chroma_ceiling_;
}

int lossless_effort(const rgb_picture& pixels)
{
    // libwebp's presets: 6 is method 4 at quality 75, about a second a megapixel; 2 is method 2
    // at quality 25, a few times faster and a percent or two larger.
    return uint64_t(pixels.width) * pixels.height <= 1000000 ? 6 : 2;
}

namespace {

// Which pictures may go lossless: allowed, and of sides lossless WebP takes.
std::vector<bool> lossless_candidates(std::vector<std::unique_ptr<picture_trials>>& pictures,
                                      const bool* lossless_allowed)
{
    std::vector<bool> lossless(pictures.size(), false);
    for (size_t i = 0; i < pictures.size(); ++i)
        lossless[i] = (!lossless_allowed || lossless_allowed[i]) &&
                      codec_takes(lossless_codec().id, pictures[i]->pixels->width, pictures[i]->pixels->height);
    return lossless;
}

// Every picture lossless, their trials made side by side; `fits` when all fit the room. A
// picture is tried only where its lossless floor leaves it a chance: with the others, or alone
// (beside the other lossy) when `alone` asks for those trials too.
storage_option lossless_option(std::vector<std::unique_ptr<picture_trials>>& pictures, uint64_t room,
                               const std::vector<bool>& lossless, bool alone)
{
    bool all = true;
    uint64_t floors = 0;
    for (size_t i = 0; i < pictures.size() && all; ++i) {
        all = lossless[i];
        if (all) floors += pictures[i]->lossless_floor();
    }
    all = all && floors <= room;
    std::vector<std::function<void()>> jobs;
    for (size_t i = 0; i < pictures.size(); ++i)
        if (lossless[i] && (all || (alone && pictures[i]->lossless_floor() < room)))
            jobs.push_back([&, i] { lossless_choice(*pictures[i]); });
    run_side_by_side(jobs);
    if (!all) return storage_option();
    storage_option all_lossless;
    uint64_t total = 0;
    all_lossless.worst = lossless_psnr;
    for (size_t i = 0; i < pictures.size(); ++i) {
        all_lossless.choices.push_back(lossless_choice(*pictures[i]));
        total += all_lossless.choices.back().size;
    }
    all_lossless.fits = total <= room;
    return all_lossless;
}

}  // namespace

storage_option exact_storage(std::vector<std::unique_ptr<picture_trials>>& pictures, uint64_t room)
{
    return lossless_option(pictures, room, lossless_candidates(pictures, nullptr), false);
}

storage_option best_storage(std::vector<std::unique_ptr<picture_trials>>& pictures, uint64_t room,
                            const bool* lossless_allowed, const amount_done& done)
{
    const auto report = [&](double amount) {
        if (done) done(amount);
    };
    const size_t count = pictures.size();
    const std::vector<bool> lossless = lossless_candidates(pictures, lossless_allowed);
    storage_option all_lossless = lossless_option(pictures, room, lossless, count == 2);
    report(all_lossless.fits ? 1 : 0.1);
    if (all_lossless.fits) return all_lossless;

    // The first lossy codec's options, and beside them each picture's best by every further lossy
    // codec (its highest quality): JPEG's, and lossy WebP's quality 100, which holds its chroma to
    // 4:2:0. Each codec touches its own trials.
    std::vector<picture_trials*> all;
    for (auto& p : pictures) all.push_back(p.get());
    // The sets of lossy pictures tried: all of them, and beside one lossless picture the other.
    struct lossy_set {
        std::vector<picture_trials*> pictures;
        uint64_t room;
        stored_choice kept;  // the lossless picture beside them; which 0 when none
    };
    std::vector<lossy_set> sets = {{all, room, stored_choice()}};
    for (size_t i = 0; i < count && count == 2; ++i) {
        if (!lossless[i] || pictures[i]->lossless_floor() >= room) continue;
        const stored_choice kept = lossless_choice(*pictures[i]);
        if (kept.size < room) sets.push_back({{pictures[1 - i].get()}, room - kept.size, kept});
    }
    const auto option_of = [&](const lossy_set& set, stored_codec codec, const amount_done& searched = {}) {
        storage_option option = lossy_option(set.pictures, codec, set.room, searched);
        if (option.fits && set.kept.which != 0) {
            option.choices.push_back(set.kept);
            sort_by_picture(option);
        }
        return option;
    };
    std::vector<const codec_row*> lossy;
    for (const codec_row& row : codec_table)
        if (!row.lossless) lossy.push_back(&row);
    storage_option best;
    for (size_t i = 0; i < sets.size(); ++i) {
        const double share = 0.8 / double(sets.size()), from = 0.1 + share * double(i);
        keep_better(best, option_of(sets[i], lossy[0]->id, [&](double searched) { report(from + share * searched); }));
        report(from + share);
    }
    // A further codec is searched only where its ceiling (its highest quality, measured) beats
    // the best so far, and the ceiling is measured only where a cheap bound on it does: a codec
    // that keeps chroma at 4:2:0 cannot come closer than its chroma alone (chroma_ceiling()). At
    // the rates the compact form mostly has, JPEG without subsampling wins, and both are skipped.
    for (size_t c = 1; c < lossy.size(); ++c)
        for (const lossy_set& set : sets) {
            double bound = lossless_psnr;
            for (picture_trials* p : set.pictures)
                if (lossy[c]->chroma_420) bound = std::min(bound, p->chroma_ceiling());
            if ((best.fits && bound <= best.worst) || !codec_for_all(set.pictures, lossy[c]->id)) continue;
            std::vector<std::function<void()>> jobs;
            for (picture_trials* p : set.pictures)
                jobs.push_back([p, codec = lossy[c]] { p->trial(codec->id, codec->highest, true); });
            run_side_by_side(jobs);
            double ceiling = lossless_psnr;
            for (picture_trials* p : set.pictures) ceiling = std::min(ceiling, p->trial(lossy[c]->id, lossy[c]->highest, true).psnr);
            if (best.fits && ceiling <= best.worst) continue;
            keep_better(best, option_of(set, lossy[c]->id));
        }
    report(1);
    return best;
}

void measure_stored(stored_file& stored, const rgb_picture& whole)
{
    if (!stored.estimated) return;
    const rgb_picture back = decode_stored(stored.file.data(), stored.file.size(), stored.choice.codec, whole.width,
                                          whole.height, read_limits(), "a trial");
    stored.choice.psnr = psnr_of(squared_error(back, whole));
    stored.estimated = false;
}

std::vector<stored_file> realise(std::vector<std::unique_ptr<picture_trials>>& pictures, uint64_t room,
                                 storage_option option, const amount_done& done)
{
    bool lossless_allowed[2] = {true, true};
    const auto index_of = [&](int which) {
        for (size_t i = 0; i < pictures.size(); ++i)
            if (pictures[i]->which == which) return i;
        return size_t(0);
    };
    for (int attempt = 0; attempt < 8 && option.fits; ++attempt) {
        std::vector<stored_file> files(option.choices.size());
        std::vector<std::function<void()>> jobs;
        std::atomic<size_t> coded{0};
        for (size_t i = 0; i < files.size(); ++i)
            jobs.push_back([&, i] {
                const stored_choice& choice = option.choices[i];
                const rgb_picture& whole = *pictures[index_of(choice.which)]->pixels;
                files[i].choice = choice;
                files[i].file = encode_stored(whole, choice.codec, choice.quality);
                files[i].choice.size = files[i].file.size();
                // A picture tried whole has its PSNR already; one tried on a mosaic is measured
                // later (measure_stored), as only the sizes decide here.
                files[i].estimated = !codec_of(choice.codec).lossless &&
                                     !pictures[index_of(choice.which)]->mosaic.rgb.empty();
                if (done) done(double(++coded) / double(files.size()));
            });
        run_side_by_side(jobs);
        uint64_t total = 0, lossy_total = 0, lossy_expected = 0;
        for (const stored_file& f : files) {
            total += f.file.size();
            if (codec_of(f.choice.codec).lossless) continue;
            lossy_total += f.file.size();
        }
        if (total <= room) return files;

        // Pictures tried whole came out as tried; only a mosaic's estimate can miss. A lossless
        // picture estimated so is stored lossy after all, and the storage chosen again.
        bool dropped = false;
        for (const stored_file& f : files) {
            const size_t i = index_of(f.choice.which);
            if (codec_of(f.choice.codec).lossless && !pictures[i]->mosaic.rgb.empty()) {
                lossless_allowed[i] = false;
                dropped = true;
            }
        }
        if (dropped) {
            option = best_storage(pictures, room, lossless_allowed);
            continue;
        }
        if (lossy_total == 0) return {};
        // The lossy pictures came out larger than their mosaics said: the quality that fits once
        // their sizes are corrected by as much.
        std::vector<picture_trials*> lossy_set;
        for (const stored_choice& choice : option.choices)
            if (!codec_of(choice.codec).lossless) {
                lossy_set.push_back(pictures[index_of(choice.which)].get());
                lossy_expected += choice.size;
            }
        const stored_choice& first_lossy = *std::find_if(option.choices.begin(), option.choices.end(), [](const stored_choice& c) {
            return !codec_of(c.codec).lossless;
        });
        if (total - lossy_total >= room) return {};
        const uint64_t lossy_room = room - (total - lossy_total);
        const double correction = double(lossy_total) / double(std::max<uint64_t>(lossy_expected, 1));
        const int quality =
            highest_fitting(lossy_set, first_lossy.codec, lossy_room, first_lossy.quality - 1, correction);
        if (quality == 0) return {};
        for (stored_choice& choice : option.choices)
            if (!codec_of(choice.codec).lossless) {
                const coded_trial& t = pictures[index_of(choice.which)]->trial(choice.codec, quality, true);
                choice.quality = quality;
                choice.size = t.size;
                choice.psnr = t.psnr;
            }
    }
    return {};
}
