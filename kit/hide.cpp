// Hiding: the carrier and the hidden pictures as read, fitted into one frame, coded by the engine.
#include "compact_steps.h"
#include "fault.h"
#include "hidden_fit.h"
#include "keyed_steps.h"
#include "kit.h"
#include "picture_memory.h"
#include "side_by_side.h"

namespace kit {

namespace {

const char* permutation_text(const vorn_geometry& frame)
{
    return vorn_scrambles(&frame) ? "scrambled" : "in place (the sides are not both powers of two)";
}

std::vector<std::string> stored_report(bool hidden1, bool hidden2, const vorn_geometry& frame)
{
    std::vector<std::string> lines;
    if (hidden1)
        lines.push_back(std::string("hidden picture 1 stored, 2 bits per colour byte, ") + permutation_text(frame));
    if (hidden2 && hidden1) lines.push_back("hidden picture 2 stored, 2 bits per colour byte, in place");
    if (hidden2 && !hidden1)
        lines.push_back(std::string("hidden picture 2 stored, 4 bits per colour byte, ") + permutation_text(frame));
    if (!hidden1 && !hidden2) lines.push_back("no hidden picture stored: the carrier keeps 4 bits per colour byte");
    return lines;
}

// A keyed picture binds its file length and header, and its PNG is read back as the BMP an image
// converter writes: a carrier taken as it stands is taken by its pixels instead, so that the
// keyed picture opens from either file, whatever header the carrier had.
void take_by_pixels(input_picture& carrier)
{
    if (!carrier.as_is) return;
    size_t length = 0;
    if (vorn_rgb_length(&carrier.geometry, &length) != VORN_OK) throw std::bad_alloc();
    rgb_picture pixels;
    pixels.width = carrier.geometry.width;
    pixels.height = carrier.geometry.height;
    pixels.rgb.allocate(length);
    vorn_bmp_to_rgb(carrier.file.data(), carrier.file.size(), pixels.rgb.data(), length);
    carrier.pixels = std::move(pixels);
    carrier.file = bytes();
    carrier.as_is = false;
}

}  // namespace

status check_hide(bool hidden1, bool hidden2, bool keyed, hiding_form form, unsigned carrier_bits)
{
    if (form == hiding_form::stealth && carrier_bits != 0)
        return {fault::usage, "the stealth form changes a few colour bytes by one, not whole low bits; the carrier's "
                              "low bits (k) are chosen in the compact form only"};
    if (form == hiding_form::compact || form == hiding_form::stealth) {
        if (!has_compact()) return {fault::usage, "this build has no compact form (no libsodium for its system)"};
        if (carrier_bits > VORN_COMPACT_MAX_BITS)
            return {fault::usage, "the compact form gives up 1 to 4 low bits of every colour byte, not " +
                                      std::to_string(carrier_bits)};
        if (!hidden1 && !hidden2 && !keyed)
            return {fault::usage, "nothing to hide: give hidden picture 1 or 2 (only the classic form writes the "
                                  "carrier alone)"};
    } else if (carrier_bits != 0) {
        // The classic layouts fix the low bits each hidden picture takes.
        return {fault::usage, "the carrier's low bits (k) are chosen in the compact form only; the classic form's "
                              "layouts fix them"};
    }
    if (keyed && !has_keyed()) return {fault::usage, "this build has no keyed pictures (no libsodium for its system)"};
    if (keyed && !hidden1 && !hidden2)
        return {fault::usage, "a password keys hidden pictures: give hidden picture 1 or 2 as well"};
    return {};
}

status hide(input_picture&& carrier_picture, input_picture* hidden1, input_picture* hidden2,
            const hide_request& request, hide_result& result)
{
    const bool keyed = request.password != nullptr;
    status checked = check_hide(hidden1 != nullptr, hidden2 != nullptr, keyed, request.form, request.carrier_bits);
    if (!checked.ok()) return checked;
    const std::string name = carrier_picture.path;
    return guarded(name, [&] {
        result = hide_result();
        input_picture* given[2] = {hidden1, hidden2};
        const std::string names[2] = {hidden1 ? hidden1->path : "", hidden2 ? hidden2->path : ""};
        const input_picture* inputs[3] = {&carrier_picture, given[0], given[1]};
        for (const input_picture* picture : inputs)
            if (picture && !reading_note(*picture).empty()) result.notes.push_back(reading_note(*picture));

        if (request.form == hiding_form::compact || request.form == hiding_form::stealth) {
            bytes carrier = coder_image(carrier_picture);
            carrier_picture = input_picture();
            compact_hide(std::move(carrier), given, request, name, result);
            return;
        }
        if (keyed) take_by_pixels(carrier_picture);
        bytes carrier = coder_image(carrier_picture);
        carrier_picture = input_picture();
        vorn_geometry frame;
        vorn_check_carrier(carrier.data(), carrier.size(), &frame);  // accepted as it was read

        // Each hidden picture lets go of its decoded pixels as soon as its framed image is made.
        bytes hidden[2];
        for (int which = 1; which <= 2; ++which) {
            input_picture* picture = given[which - 1];
            if (!picture) continue;
            const std::string path = picture->path;
            bytes image = coder_image(*picture);
            *picture = input_picture();
            if (request.report) request.report("fitting hidden picture " + std::to_string(which), -1);
            fitted_hidden fitted = fit_hidden_picture(std::move(image), which, carrier, frame, request.fit, path);
            if (!fitted.done.empty()) result.notes.push_back(fitted.done);
            hidden[which - 1] = std::move(fitted.image);
        }

        if (keyed) {
            if (request.report) request.report("deriving the key from the password", -1);
            keyed_hide(carrier, hidden, request.build, *request.password, name);
            result.report.push_back("keyed with the password (Argon2id, XChaCha20-Poly1305)");
        } else {
            if (request.report) request.report("dithering", -1);
            std::vector<uint8_t> work = engine_work(vorn_encode_work_size, carrier);
            int refused = 0;
            const vorn_error error = vorn_encode_threaded(
                carrier.data(), carrier.size(), hidden[0].empty() ? nullptr : hidden[0].data(), hidden[0].size(),
                hidden[1].empty() ? nullptr : hidden[1].data(), hidden[1].size(), request.build, work.data(),
                work.size(), &refused, threads_for(request.threads));
            // Every hidden picture was framed to match the carrier, so a refusal here is a fault.
            const std::string& failed = refused == 1 || refused == 2 ? names[refused - 1] : name;
            if (error != VORN_OK) raise_fault(fault::input, failed + ": " + vorn_strerror(error));
            result.report = stored_report(!hidden[0].empty(), !hidden[1].empty(), frame);
        }
        result.geometry = frame;
        result.keyed = keyed;
        result.layout = vorn_layout_of(request.build, !hidden[0].empty(), !hidden[1].empty());
        result.coded = std::move(carrier);
    });
}

}  // namespace kit
