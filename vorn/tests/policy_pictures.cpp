// Each input is made from known pixels, and its expected coded BMP is encoded by the engine
// from those pixels directly, so a front end that reads the input otherwise than the policy
// says gives other bytes.
#include "policy_pictures.h"

#include <jpeglib.h>
#include <spng.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "kit.h"
#include "vorn.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t width = 16, height = 8;

void save(const fs::path& path, const bytes& content)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(content.data()),
                                                std::streamsize(content.size()));
}

// Smooth, different pictures for every seed, R G B rows top first.
bytes pixels(uint32_t seed, uint32_t w = width, uint32_t h = height)
{
    bytes rgb(size_t(w) * h * 3);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            for (uint32_t c = 0; c < 3; ++c)
                rgb[(size_t(y) * w + x) * 3 + c] = uint8_t(x * (9 + seed) + y * (13 + 5 * c) + 40 * c + seed * 31);
    return rgb;
}

// The 54-byte BMP of the table's usual size.
bytes bmp_of(const bytes& rgb) { return ::bmp_of(rgb, width, height); }

bytes samples_png(const bytes& samples, uint8_t color_type, uint8_t depth, const png_extra& extra = {},
             uint32_t w = width, uint32_t h = height)
{
    return png_of_samples(samples, w, h, color_type, depth, extra);
}

// The samples of one channel layout from R G B pixels; `extra` is the value of the channel
// after them (alpha).
bytes samples_of(const bytes& rgb, int channels, bool grey, uint8_t extra)
{
    bytes out;
    for (size_t p = 0; p < rgb.size() / 3; ++p) {
        if (grey)
            out.push_back(rgb[p * 3 + 1]);
        else
            out.insert(out.end(), rgb.begin() + long(p * 3), rgb.begin() + long(p * 3 + 3));
        if (channels == (grey ? 2 : 4)) out.push_back(uint8_t(extra + p * 7));
    }
    return out;
}

// The coded BMP vornhold2's layout gives for the carrier's file image and, when given, the
// hidden picture's, fitted into the carrier's frame.
bytes coded(bytes carrier, const bytes* hidden1, vorn_fit fit = VORN_FIT_CONTAIN)
{
    vorn_geometry g{}, own{};
    vorn_check_carrier(carrier.data(), carrier.size(), &g);
    bytes framed(carrier.size());
    if (hidden1) {
        vorn_check_carrier(hidden1->data(), hidden1->size(), &own);
        size_t fit_work = 0;
        vorn_fit_work_size(&g, &own, fit, &fit_work);
        bytes work(fit_work);
        vorn_fit_hidden(carrier.data(), carrier.size(), hidden1->data(), hidden1->size(), fit, framed.data(),
                        framed.size(), work.data(), work.size(), nullptr);
    }
    size_t work_size = 0;
    vorn_encode_work_size(&g, &work_size);
    std::vector<uint32_t> work(work_size / 4 + 1);
    vorn_encode(carrier.data(), carrier.size(), hidden1 ? framed.data() : nullptr, framed.size(), nullptr, 0,
                VORN_VORNHOLD2, work.data(), work_size, nullptr);
    return carrier;
}

// Hidden picture 1 of a classic coded picture, reconstructed, as the PNG decoding writes.
bytes taken_out_png(const bytes& coded_bmp)
{
    bytes picture, png;
    if (!kit::take_out(coded_bmp, "coded", VORN_LAYOUT_HIDDEN1, 1, false, picture).ok() ||
        !kit::file_of(std::move(picture), kit::output_format::png, kit::picture_kind::reconstructed, "x", png).ok())
        std::abort();
    return png;
}

// The carrier with hidden picture 1 hidden as `request` asks.
bytes hidden_bmp_of(const bytes& carrier_bmp, const bytes& hidden_bmp, const kit::hide_request& request)
{
    input_picture carrier, hidden;
    const read_limits limits;
    kit::hide_result result;
    if (!kit::read_picture(carrier_bmp, "carrier", picture_role::source, limits, carrier).ok() ||
        !kit::read_picture(hidden_bmp, "hidden", picture_role::source, limits, hidden).ok() ||
        !kit::hide(std::move(carrier), &hidden, nullptr, request, result).ok())
        std::abort();
    return result.coded;
}

// The carrier keyed with the password "tea" and hidden picture 1.
bytes keyed_bmp(const bytes& carrier_bmp, const bytes& hidden_bmp)
{
    const std::string password = "tea";
    kit::hide_request request;
    request.password = &password;
    return hidden_bmp_of(carrier_bmp, hidden_bmp, request);
}

// The carrier with hidden picture 1 in the compact form, keyed with `password` unless it is null.
bytes compact_bmp(const bytes& carrier_bmp, const bytes& hidden_bmp, const std::string* password)
{
    kit::hide_request request;
    request.form = kit::hiding_form::compact;
    request.password = password;
    return hidden_bmp_of(carrier_bmp, hidden_bmp, request);
}

// A picture as the PNG decoding writes it: what a compact picture that stored it losslessly
// opens to.
bytes png_as_taken_out(bytes bmp)
{
    bytes png;
    if (!kit::file_of(std::move(bmp), kit::output_format::png, kit::picture_kind::reconstructed, "x", png).ok())
        std::abort();
    return png;
}

// Hidden picture 1 of a keyed picture opened with "tea", as the PNG decoding writes.
bytes opened_png(const bytes& keyed)
{
    vorn_layout layout;
    bytes pictures[2], png;
    if (!kit::open_keyed(keyed, "keyed", "tea", false, layout, pictures).ok() ||
        !kit::file_of(std::move(pictures[0]), kit::output_format::png, kit::picture_kind::reconstructed, "x", png)
             .ok())
        std::abort();
    return png;
}

}  // namespace

void write_policy_pictures(const fs::path& folder)
{
    fs::create_directories(folder);
    const bytes carrier = pixels(1), hidden = pixels(2);
    const auto write_case = [&](const std::string& name, const bytes& input, const bytes& equivalent) {
        save(folder / name, input);
        save(folder / (name + ".coded.bmp"), coded(equivalent, nullptr));
    };

    // A v5-header carrier is used as it stands; a PNG hidden picture goes into its frame.
    const bytes v5 = bmp_variant(carrier, width, height, 124, 24, false);
    save(folder / "v5_carrier.bmp", v5);
    save(folder / "hidden.png", samples_png(hidden, SPNG_COLOR_TYPE_TRUECOLOR, 8));
    const bytes hidden_bmp = bmp_of(hidden);
    save(folder / "v5_carrier_png_hidden.coded.bmp", coded(v5, &hidden_bmp));

    // BMPs: a plain 24-bit one without palette as it stands; 32-bit and top-down ones converted.
    write_case("plain24.bmp", bmp_variant(carrier, width, height, 40, 24, false), bmp_variant(carrier, width, height, 40, 24, false));
    write_case("bits32.bmp", bmp_variant(carrier, width, height, 40, 32, false), bmp_of(carrier));
    write_case("top_down.bmp", bmp_variant(carrier, width, height, 40, 24, true), bmp_of(carrier));

    // PNGs: 16-bit samples rounded to 8 bits; palette entries; grey as three equal channels;
    // transparency left out; gAMA and iCCP left alone (the stored values are the pixels).
    bytes wide, rounded;
    for (size_t i = 0; i < carrier.size(); ++i) {
        const uint32_t sample = uint32_t(carrier[i]) * 256 + uint32_t(i * 37 % 256);
        wide.push_back(uint8_t(sample >> 8));
        wide.push_back(uint8_t(sample));
        rounded.push_back(uint8_t((sample * 255 + 32767) / 65535));
    }
    write_case("rgb16.png", samples_png(wide, SPNG_COLOR_TYPE_TRUECOLOR, 16), bmp_of(rounded));
    bytes palette, indices, paletted;
    for (int i = 0; i < 16; ++i) palette.insert(palette.end(), {uint8_t(i * 16), uint8_t(255 - i * 9), uint8_t(i * i)});
    for (uint32_t p = 0; p < width * height; ++p) {
        const uint8_t index = uint8_t((p % width / 2 + p / width) % 16);
        indices.push_back(index);
        paletted.insert(paletted.end(), palette.begin() + index * 3, palette.begin() + index * 3 + 3);
    }
    write_case("palette.png", samples_png(indices, SPNG_COLOR_TYPE_INDEXED, 8, {false, false, &palette}), bmp_of(paletted));
    bytes grey_rgb;
    for (size_t p = 0; p < carrier.size() / 3; ++p) grey_rgb.insert(grey_rgb.end(), 3, carrier[p * 3 + 1]);
    write_case("grey.png", samples_png(samples_of(carrier, 1, true, 0), SPNG_COLOR_TYPE_GRAYSCALE, 8), bmp_of(grey_rgb));
    write_case("grey_alpha.png", samples_png(samples_of(carrier, 2, true, 3), SPNG_COLOR_TYPE_GRAYSCALE_ALPHA, 8),
               bmp_of(grey_rgb));
    write_case("rgba.png", samples_png(samples_of(carrier, 4, false, 5), SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 8), bmp_of(carrier));
    write_case("gama.png", samples_png(carrier, SPNG_COLOR_TYPE_TRUECOLOR, 8, {true, false, nullptr}), bmp_of(carrier));
    write_case("iccp.png", samples_png(carrier, SPNG_COLOR_TYPE_TRUECOLOR, 8, {false, true, nullptr}), bmp_of(carrier));

    // A photograph stored turned a quarter to the left, whose EXIF block says to turn it back
    // (orientation 6): used upright, as browsers show it. JPEG is lossy: the table allows for it.
    // Smooth and without wraps, so that the compression moves the pixels little.
    bytes upright(size_t(width) * height * 3);
    for (uint32_t y = 0; y < width; ++y)
        for (uint32_t x = 0; x < height; ++x)
            for (uint32_t c = 0; c < 3; ++c) upright[(size_t(y) * height + x) * 3 + c] = uint8_t(30 + 22 * x + 9 * y + 20 * c);
    // Turning the stored picture a quarter to the right shows stored (x, y) at (height-1-y, x).
    bytes stored(upright.size());
    for (uint32_t y = 0; y < width; ++y)       // upright: `height` wide, `width` tall
        for (uint32_t x = 0; x < height; ++x)
            std::memcpy(&stored[(size_t(height - 1 - x) * width + y) * 3], &upright[(size_t(y) * height + x) * 3], 3);
    write_case("exif_orientation_6.jpg", jpeg_of_rgb(stored, width, height, 98, 6), bmp_of(upright, height, width));

    // Hidden pictures of other sizes than the carrier, scaled into its frame as each fit says:
    // wider, taller, one pixel wide, larger.
    const struct {
        const char* name;
        uint32_t w, h;
        vorn_fit fit;
    } fitted[] = {{"fit_contain_wide", 37, 5, VORN_FIT_CONTAIN},
                  {"fit_cover_tall", 3, 40, VORN_FIT_COVER},
                  {"fit_stretch_one_column", 1, 9, VORN_FIT_STRETCH},
                  {"fit_contain_larger", 64, 48, VORN_FIT_CONTAIN}};
    uint32_t seed = 3;
    for (const auto& f : fitted) {
        const bytes rgb = pixels(seed++, f.w, f.h), own = bmp_of(rgb, f.w, f.h);
        save(folder / (std::string(f.name) + ".png"), samples_png(rgb, SPNG_COLOR_TYPE_TRUECOLOR, 8, {}, f.w, f.h));
        save(folder / (std::string(f.name) + ".coded.bmp"),
             coded(bmp_variant(carrier, width, height, 40, 24, false), &own, f.fit));
    }

    // A picture encoded without hidden pictures, given to decode.
    save(folder / "no_hidden_bits.bmp", coded(bmp_of(carrier), nullptr));

    // Taking out: a coded picture with hidden picture 1, and the PNG of it every front end writes.
    const bytes with_hidden = coded(bmp_of(carrier), &hidden_bmp);
    save(folder / "hidden1_coded.bmp", with_hidden);
    save(folder / "hidden1_coded.hidden-1.png", taken_out_png(with_hidden));

    // Keyed pictures, large enough for their low bits to be judged random: the passwords, a keyed
    // PNG, and the hidden picture it opens to (the same whatever salt was drawn).
    save(folder / "password.txt", bytes{'t', 'e', 'a', '\n'});
    save(folder / "wrong.txt", bytes{'c', 'o', 'f', 'f', 'e', 'e', '\n'});
    const bytes keyed_carrier = pixels(5, 48, 48), keyed_hidden = pixels(6, 48, 48);
    save(folder / "keyed_carrier.bmp", bmp_of(keyed_carrier, 48, 48));
    save(folder / "keyed_hidden.png", samples_png(keyed_hidden, SPNG_COLOR_TYPE_TRUECOLOR, 8, {}, 48, 48));
    const bytes keyed = keyed_bmp(bmp_of(keyed_carrier, 48, 48), bmp_of(keyed_hidden, 48, 48));
    save(folder / "keyed.bmp", keyed);
    save(folder / "keyed.hidden-1.png", opened_png(keyed));

    // The compact form, in the keyed pictures' carrier: small hidden pictures kept at their own
    // sizes and stored losslessly, so that each opens to itself (16x8, and 37x5 of another shape
    // than the carrier). A compact picture draws its salt: the coded inputs of the decode cases
    // are written here, one of them with a low bit flipped in the middle of the picture, past
    // the salt and the header, where the stored pictures or the random bits after them lie.
    save(folder / "compact.hidden-1.png", png_as_taken_out(hidden_bmp));
    save(folder / "compact_wide.hidden-1.png", png_as_taken_out(bmp_of(pixels(3, 37, 5), 37, 5)));
    const bytes compact_carrier = bmp_of(keyed_carrier, 48, 48);
    save(folder / "compact.bmp", compact_bmp(compact_carrier, hidden_bmp, nullptr));
    bytes changed = compact_bmp(compact_carrier, hidden_bmp, nullptr);
    changed[changed.size() / 2] ^= 1;
    save(folder / "compact_changed.bmp", changed);
    const std::string password = "tea";
    save(folder / "compact_keyed.bmp", compact_bmp(compact_carrier, hidden_bmp, &password));
}
