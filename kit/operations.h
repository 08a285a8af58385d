// operations.h: the picture kit's whole operations, the one face of the kit that the front ends
// (vorn, the web page's glue, the Python module) call.
//
// Each operation does a user's whole request: hide pictures in a carrier, take the hidden
// pictures out of a coded picture, reveal a picture's low bits. Pictures go in as files' bytes
// (PNG, JPEG or BMP) and come out as files' bytes; every decision (the default form, the reading
// limits, the order of the steps, every text a person reads) is made here, and a front end only
// maps its own arguments in and its faults out. The kit prints nothing, opens no file and never
// sleeps. A failed call leaves its notes in the outcome: a front end shows them, then the fault.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "names.h"
#include "secret.h"
#include "status.h"

namespace kit {

// ---- Hiding ------------------------------------------------------------------------------------

// A picture given to an operation: a file's bytes, named for the texts about it.
struct picture_file {
    std::string name;
    bytes file;
};

struct hide_options {
    // nullopt: the kit's default form (default_form()).
    std::optional<hiding_form> form;
    unsigned carrier_bits = 0;          // compact: k (1 to 4); 0: the kit's choice
    vorn_build build = VORN_VORNHOLD2;  // classic: the build's layout
    vorn_fit fit = VORN_FIT_CONTAIN;    // classic: how a hidden picture of another size is framed
    // Asked once the inputs are read and the request found sound, so that nobody waits at a
    // prompt for a hiding that would be refused: fills the password (typed; normalised here) or
    // returns the fault that stops the hiding. Empty: no password.
    std::function<status(std::string& password)> password;
    output_format format = output_format::png;  // the coded file's format (PNG or BMP)
    std::string output_name = "the coded picture";  // names the coded file in reports and faults
    uint64_t max_pixels = 0;                     // the reading limit; 0: the kit's default
    front_end words;
    progress report;
    int threads = 0;  // 0: every core; the bytes are the same for any number
};

struct hide_outcome {
    bytes coded;                     // the coded picture's file
    uint32_t width = 0, height = 0;  // its size
    std::vector<std::string> notes;  // what was done to the inputs, to show always
    std::vector<std::string> report; // what was stored where, to show on request
    std::string form_words;          // "compact, 2 low bits, keyed", "keyed" or "build vornhold2"
    hiding_form form = hiding_form::classic;
    bool keyed = false;
    unsigned carrier_bits = 0;       // compact: the k chosen
    vorn_layout layout = VORN_LAYOUT_NONE;  // classic and keyed: the layout written
    // The front end's words that take the pictures out again, after its decode command: "" for
    // a compact picture, "--password", "--hidden 1 --build vornhold2"; nullopt when nothing was
    // hidden.
    std::optional<std::string> taking_out;
};

// The form a hiding takes when none is asked for: compact where the build has it, and there,
// decided for each hiding, the stealth form where every hidden picture fits its budget bit for
// bit or at 42 dB or more (kit.h, hide_request::stealth_where_unseen).
hiding_form default_form();

// Hides hidden1 and hidden2 (either may be absent) in the carrier; its files are let go as they
// are read. Inputs are read side by side on the threads.
status hide_pictures(picture_file carrier, std::optional<picture_file> hidden1, std::optional<picture_file> hidden2,
                     const hide_options& options, hide_outcome& outcome);

// ---- Taking out --------------------------------------------------------------------------------

struct take_out_options {
    std::optional<vorn_build> build;  // the build that wrote it; found from the picture when not given
    std::optional<content> holds;     // what it holds; found from the picture when not given
    bool keyed = false;               // a password will be given through `password`
    // Asked once the picture is read and the decision made, before any work: fills the password
    // (typed; normalised here) or returns the fault that stops.
    std::function<status(std::string& password)> password;
    // The password is typed at a prompt, where a wrong one may be typed again: `password` is then
    // asked again when the one given opens nothing, up to three tries in all.
    bool ask_again = false;
    // Told which hidden pictures may come out (1 and 2; both for a picture whose contents are known
    // only once it is open) before any work, so that a front end can refuse outputs it would
    // overwrite; returns the fault that stops, or ok.
    std::function<status(const std::vector<int>& which)> before_work;
    bool raw = false;                           // the stored levels, not the reconstructed pictures
    output_format format = output_format::png;  // PNG, or BMP (the kit's coder file image as it is)
    std::string folder;                         // names the pictures in reports: hidden_file_name()
    uint64_t max_pixels = 0;                    // the reading limit; 0: the kit's default
    front_end words;
    progress report;
    int threads = 0;
};

struct taken_picture {
    int which = 0;  // 1 or 2
    bytes file;     // in the format asked for
};

struct take_out_outcome {
    std::vector<std::string> notes;  // what was guessed or found, to show
    std::string form_words;          // "compact, 2 low bits, keyed", "keyed", "hidden pictures 1 and 2, written by vornhold2"
    bool compact = false, keyed = false;
    unsigned carrier_bits = 0;
    vorn_layout layout = VORN_LAYOUT_NONE;
};

// Takes every hidden picture out of `coded`, whatever its form, handing each to `deliver` as it
// is made (in the order 1, 2), so that a front end can write it and let it go; a fault `deliver`
// returns stops the operation.
status take_out_pictures(picture_file coded, const take_out_options& options,
                         const std::function<status(taken_picture&&)>& deliver, take_out_outcome& outcome);

// ---- Reading alone -----------------------------------------------------------------------------

// A picture read as the operations read it, for a front end that shows it before it hides or
// takes out anything.
struct opened_picture {
    bytes image;                 // its coder file image, which the operations take as it stands
    bool as_is = false;          // the file was a BMP the engine takes as it stands
    bool alpha_dropped = false;  // the file held transparency, which was left out
    std::string note;            // what reading left out, to show; empty when nothing
    bool other_format = false;   // the file is of none of the formats the kit reads (told on a refusal too)
};

// Reads `picture` as a carrier or hidden picture, or with `coded` as a picture whose low bits
// matter (no JPEG).
status open_picture(picture_file picture, bool coded, uint64_t max_pixels, const front_end& words,
                    const progress& report, opened_picture& opened);

// What a note says of a picture whose transparency was left out.
std::string transparency_note(const std::string& name);

// ---- Revealing ---------------------------------------------------------------------------------

struct reveal_options {
    output_format format = output_format::png;  // PNG, BMP, or JPEG (the picture is only looked at)
    std::string output_name = "the revealed picture";
    uint64_t max_pixels = 0;
    front_end words;
    progress report;
    int threads = 0;
};

// The picture's low four bits moved to the top, as a file in the format asked for.
status reveal_picture(picture_file picture, const reveal_options& options, bytes& revealed);

}  // namespace kit
