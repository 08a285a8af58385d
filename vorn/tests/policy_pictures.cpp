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

using bytes = std::vector<uint8_t>;
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

bytes bmp_of(const bytes& rgb, uint32_t w = width, uint32_t h = height)
{
    size_t length = 0;
    vorn_bmp_length(w, h, &length);
    bytes bmp(length);
    vorn_bmp_from_rgb(rgb.data(), w, h, size_t(w) * 3, 3, bmp.data(), bmp.size());
    return bmp;
}

void put32(bytes& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

bytes png_of(const bytes& samples, uint8_t color_type, uint8_t depth, const png_extra& extra = {},
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

std::vector<uint8_t> png_of_samples(const std::vector<uint8_t>& samples, uint32_t w, uint32_t h, uint8_t color_type,
                                    uint8_t depth, const png_extra& extra)
{
    spng_ctx* context = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(context, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr header{w, h, depth, color_type, 0, 0, uint8_t(extra.interlaced)};
    spng_set_ihdr(context, &header);
    if (extra.filters >= 0) spng_set_option(context, SPNG_FILTER_CHOICE, extra.filters);
    if (extra.gama) spng_set_gama(context, 1.0);
    if (extra.iccp) {
        // A profile that claims to be one; the policy uses the stored values whatever it says.
        static char profile[132] = {};
        spng_iccp iccp{};
        std::strcpy(iccp.profile_name, "policy");
        iccp.profile_len = sizeof profile;
        iccp.profile = profile;
        spng_set_iccp(context, &iccp);
    }
    if (extra.palette) {
        spng_plte plte{};
        plte.n_entries = uint32_t(extra.palette->size() / 3);
        for (uint32_t i = 0; i < plte.n_entries; ++i)
            plte.entries[i] = {(*extra.palette)[i * 3], (*extra.palette)[i * 3 + 1], (*extra.palette)[i * 3 + 2], 255};
        spng_set_plte(context, &plte);
    }
    spng_encode_image(context, samples.data(), samples.size(), SPNG_FMT_RAW, SPNG_ENCODE_FINALIZE);
    size_t length = 0;
    int error = 0;
    auto* buffer = static_cast<uint8_t*>(spng_get_png_buffer(context, &length, &error));
    bytes png(buffer, buffer + length);
    std::free(buffer);
    spng_ctx_free(context);
    return png;
}

std::vector<uint8_t> bmp_variant(const std::vector<uint8_t>& rgb, uint32_t w, uint32_t h, uint32_t header_size,
                                 uint32_t bits, bool top_down)
{
    const uint32_t pixel = bits / 8, row = (w * pixel + 3) / 4 * 4, offset = 14 + header_size;
    bytes out(offset + size_t(row) * h, 0);
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, uint32_t(out.size()));
    put32(out, 10, offset);
    put32(out, 14, header_size);
    put32(out, 18, w);
    put32(out, 22, top_down ? uint32_t(-int32_t(h)) : h);
    out[26] = 1;
    out[28] = uint8_t(bits);
    for (uint32_t y = 0; y < h; ++y) {
        const uint32_t stored = top_down ? y : h - 1 - y;
        for (uint32_t x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c)
                out[offset + size_t(stored) * row + size_t(x) * pixel + c] = rgb[(size_t(y) * w + x) * 3 + 2 - c];
    }
    return out;
}

std::vector<uint8_t> jpeg_of_rgb(const std::vector<uint8_t>& rgb, uint32_t w, uint32_t h, int quality,
                                 int orientation)
{
    jpeg_compress_struct encoder;
    jpeg_error_mgr errors;
    encoder.err = jpeg_std_error(&errors);
    jpeg_create_compress(&encoder);
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&encoder, &buffer, &length);
    encoder.image_width = w;
    encoder.image_height = h;
    encoder.input_components = 3;
    encoder.in_color_space = JCS_RGB;
    jpeg_set_defaults(&encoder);
    jpeg_set_quality(&encoder, quality, TRUE);
    jpeg_start_compress(&encoder, TRUE);
    // "Exif\0\0", a big-endian TIFF header, one IFD with the orientation tag as a SHORT.
    const uint8_t exif[] = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1,
                            0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, uint8_t(orientation), 0, 0, 0, 0, 0, 0};
    if (orientation != 0) jpeg_write_marker(&encoder, JPEG_APP0 + 1, exif, sizeof exif);
    bytes copy = rgb;
    while (encoder.next_scanline < encoder.image_height) {
        JSAMPROW row = copy.data() + size_t(encoder.next_scanline) * w * 3;
        jpeg_write_scanlines(&encoder, &row, 1);
    }
    jpeg_finish_compress(&encoder);
    jpeg_destroy_compress(&encoder);
    bytes jpeg(buffer, buffer + length);
    std::free(buffer);
    return jpeg;
}

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
    save(folder / "hidden.png", png_of(hidden, SPNG_COLOR_TYPE_TRUECOLOR, 8));
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
    write_case("rgb16.png", png_of(wide, SPNG_COLOR_TYPE_TRUECOLOR, 16), bmp_of(rounded));
    bytes palette, indices, paletted;
    for (int i = 0; i < 16; ++i) palette.insert(palette.end(), {uint8_t(i * 16), uint8_t(255 - i * 9), uint8_t(i * i)});
    for (uint32_t p = 0; p < width * height; ++p) {
        const uint8_t index = uint8_t((p % width / 2 + p / width) % 16);
        indices.push_back(index);
        paletted.insert(paletted.end(), palette.begin() + index * 3, palette.begin() + index * 3 + 3);
    }
    write_case("palette.png", png_of(indices, SPNG_COLOR_TYPE_INDEXED, 8, {false, false, &palette}), bmp_of(paletted));
    bytes grey_rgb;
    for (size_t p = 0; p < carrier.size() / 3; ++p) grey_rgb.insert(grey_rgb.end(), 3, carrier[p * 3 + 1]);
    write_case("grey.png", png_of(samples_of(carrier, 1, true, 0), SPNG_COLOR_TYPE_GRAYSCALE, 8), bmp_of(grey_rgb));
    write_case("grey_alpha.png", png_of(samples_of(carrier, 2, true, 3), SPNG_COLOR_TYPE_GRAYSCALE_ALPHA, 8),
               bmp_of(grey_rgb));
    write_case("rgba.png", png_of(samples_of(carrier, 4, false, 5), SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, 8), bmp_of(carrier));
    write_case("gama.png", png_of(carrier, SPNG_COLOR_TYPE_TRUECOLOR, 8, {true, false, nullptr}), bmp_of(carrier));
    write_case("iccp.png", png_of(carrier, SPNG_COLOR_TYPE_TRUECOLOR, 8, {false, true, nullptr}), bmp_of(carrier));

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
        save(folder / (std::string(f.name) + ".png"), png_of(rgb, SPNG_COLOR_TYPE_TRUECOLOR, 8, {}, f.w, f.h));
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
    save(folder / "keyed_hidden.png", png_of(keyed_hidden, SPNG_COLOR_TYPE_TRUECOLOR, 8, {}, 48, 48));
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
