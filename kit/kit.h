// kit.h: the picture kit under every front end (vorn, the web page's glue, the Python module).
//
// The engine (vorn.h) works on BMP file images in memory. The kit is everything between a user's
// files and the engine: reading PNG, JPEG and BMP pictures into the engine's picture, writing PNG
// and BMP, fitting hidden pictures of any size, the keyed form's password and carrier, and the
// decode decision (which layout a coded picture holds, or why it is refused), each made once,
// here, with the one text every front end shows.
//
// It is a C++ interface because every caller is C++ (vorn, the Emscripten glue, the pybind11
// binding): pictures travel as std::vector, texts as std::string, and nothing needs a C ABI.
// Every call returns a kit::status; no exception leaves the kit (a failed allocation included).
// The kit prints nothing, opens no file and never sleeps: files are bytes the caller read, and
// outputs are bytes the caller writes. Texts are one line without a program prefix or line end,
// and begin with the picture's name where they are about a picture.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "input_picture.h"
#include "vorn.h"

namespace kit {

using bytes = std::vector<uint8_t>;

// ---- Outcomes --------------------------------------------------------------------------------

// What kind of fault stopped a call; a command maps each to its exit code.
enum class fault {
    none = 0,
    usage,   // what was asked for cannot be: an unknown name, a password without a hidden picture
    input,   // an input cannot be read or used, a wrong password, nothing hidden
    output,  // an output cannot be made
    memory,  // the pictures do not fit in memory
};

struct status {
    fault kind = fault::none;
    std::string text;  // empty when kind is none
    bool ok() const { return kind == fault::none; }
};

// ---- Progress --------------------------------------------------------------------------------

// Long steps report as they go: the step in words ("compressing coded.png") and how far it is,
// from 0 to 1, or -1 where the step cannot be counted. A report may come from a worker thread;
// an empty reporter hears nothing.
using progress = std::function<void(const std::string& step, double done)>;

// ---- Names as users give them ------------------------------------------------------------------

// "vornhold2" or "vornhold"; nullopt for any other word.
std::optional<vorn_build> build_named(const std::string& word);
const char* build_name(vorn_build build);

// Which hidden pictures a coded picture holds: "1" or "hidden1", "2" or "hidden2", "both".
enum class content { hidden1, hidden2, both };
std::optional<content> content_named(const std::string& word);

// "contain", "cover" or "stretch".
std::optional<vorn_fit> fit_named(const std::string& word);

// The format an output path asks for by its extension (.png or .bmp, any case; "-", standard
// output, is PNG): a usage fault for a lossy format (it would destroy the hidden bits) or any
// other name. A picture only to be looked at (`for_viewing`: a revealed one) may be .jpg too.
enum class output_format { png, bmp, jpeg };
status format_for(const std::string& path, output_format& format, bool for_viewing = false);

// A picture's size as the kit's texts write it, such as "512x341".
std::string size_text(uint64_t width, uint64_t height);

// ---- Threads -----------------------------------------------------------------------------------

// The calls that take `threads` (and the requests with a `threads` field) work on at most that
// many threads at once, the calling one among them: 0, the default, is the cores this machine
// has. Their results are the same bytes for any number.

// ---- Reading -----------------------------------------------------------------------------------

// Reads a file's bytes as the kit reads every picture: a BMP the engine accepts as it stands,
// byte for byte; any other BMP, PNG or JPEG decoded to 8-bit R G B (transparency left out, no
// colour management, a JPEG turned upright as its orientation says). `role` coded refuses JPEG,
// whose compression changes the low bits. `name` begins the texts. A PNG that vorn wrote is
// inflated in pieces on `threads` threads.
status read_picture(bytes file, const std::string& name, picture_role role, const read_limits& limits,
                    input_picture& picture, const progress& report = {}, int threads = 0);

// The picture's coder file image (the file itself when the engine takes it as it stands, else
// the BMP an image converter writes for its pixels), taking the picture.
status image_of(input_picture&& picture, bytes& image);

// What reading left out of the picture, as a note to show ("NAME: its transparency is dropped;
// only the colours are used"), or an empty string.
std::string reading_note(const input_picture& picture);

// ---- Writing -----------------------------------------------------------------------------------

// What a written picture is: each kind is compressed as measured best for it.
enum class picture_kind { coded, decoded, reconstructed };

// The file of `image` (a coder file image the engine accepts) in `format`: the image itself for
// BMP, its pixels for PNG, compressed in pieces on `threads` threads. `image` is taken; `name`
// names the output in a fault.
status file_of(bytes&& image, output_format format, picture_kind kind, const std::string& name, bytes& file,
               const progress& report = {}, int threads = 0);

// ---- Hiding ------------------------------------------------------------------------------------

struct hide_request {
    vorn_build build = VORN_VORNHOLD2;
    vorn_fit fit = VORN_FIT_CONTAIN;
    // The password as UTF-8 (normalised to NFC here); null: not keyed. Wiped by the caller.
    const std::string* password = nullptr;
    progress report;
    int threads = 0;  // the threads to dither on (see Threads)
};

struct hide_result {
    bytes coded;                     // the coded file image (a BMP the engine accepts)
    vorn_geometry geometry{};        // its geometry
    std::vector<std::string> notes;  // what was done to the inputs, to show always
    std::vector<std::string> report; // what was stored where, to show on request
    vorn_layout layout = VORN_LAYOUT_NONE;  // what it holds, to be taken out as
    bool keyed = false;
};

// Whether a hiding of these pictures can be asked for, before anything is read or a password
// asked: a password keys hidden pictures, so it needs one.
status check_hide(bool hidden1, bool hidden2, bool keyed);

// Hides hidden1 and hidden2 (each may be null) in the carrier. Each picture is taken (its
// memory let go as soon as it is used). A hidden picture of another size goes into the
// carrier's frame as request.fit says, noted; a keyed carrier is taken by its pixels, so that
// the PNG and the BMP of the keyed picture open alike.
status hide(input_picture&& carrier, input_picture* hidden1, input_picture* hidden2, const hide_request& request,
            hide_result& result);

// ---- Taking out --------------------------------------------------------------------------------

struct decode_request {
    std::optional<vorn_build> build;  // the build that wrote it; guessed when not given
    std::optional<content> holds;     // what it holds; guessed when not given
    bool keyed = false;               // a password will be given (the layout is then the tag's)
    int threads = 0;                  // the threads to take the pictures out on (see Threads)
};

struct decode_plan {
    vorn_layout layout = VORN_LAYOUT_NONE;  // what to take out (when not keyed)
    std::string note;                       // what was guessed, to show; empty when all was given
};

// The decode decision for `coded` (an accepted coder file image named `name`): the layout to
// take out, from what was given and what the picture shows, or the refusal (a picture whose
// low bits hold nothing, or look random as a keyed one's do). Needs no key.
status plan_decode(const bytes& coded, const std::string& name, const decode_request& request, decode_plan& plan);

// Hidden picture `which` of `coded` in `layout`: its stored levels at full range (`raw`) or the
// picture they stand for, the dither's grain filtered out (on `threads` threads). `picture`
// receives a coder file image.
status take_out(const bytes& coded, const std::string& name, vorn_layout layout, int which, bool raw,
                bytes& picture, const progress& report = {}, int threads = 0);

// Opens a keyed picture with the password (UTF-8, normalised here): *layout names what its tag
// verified, and pictures[0] and [1] hold hidden pictures 1 and 2 (empty where the layout holds
// none), reconstructed unless `raw` (on `threads` threads). A wrong password or a changed picture
// is an input fault.
status open_keyed(const bytes& coded, const std::string& name, const std::string& password, bool raw,
                  vorn_layout& layout, bytes (&pictures)[2], const progress& report = {}, int threads = 0);

struct decode_result {
    vorn_layout layout = VORN_LAYOUT_NONE;  // what was taken out
    bool keyed = false;                     // opened with the password
    std::vector<std::string> notes;         // what was guessed or found, to show
    bytes pictures[2];                      // hidden pictures 1 and 2; empty where none is held
};

// Takes every hidden picture out of `coded`, as the decode decision says: with a password, the
// keyed form first; a picture the password does not open and whose low bits do not look keyed
// is taken out as a classic one, noted, since it needed no password. The pictures are taken out
// as take_out() gives them on request.threads threads: raw ones side by side, reconstructed ones
// one after the other, each shared out over the threads; `coded` is let go as soon as no step
// needs it.
status decode(bytes&& coded, const std::string& name, const decode_request& request, const std::string* password,
              bool raw, decode_result& result, const progress& report = {});

// The output file name of hidden picture `which` in `folder` ("" for the current one):
// "hidden-N.png".
std::string hidden_file_name(const std::string& folder, int which);

// What a layout holds and which build wrote it, in words: "hidden pictures 1 and 2, written by
// vornhold2".
std::string layout_words(vorn_layout layout);

// The same as values: what it holds (nullopt for none), the build that wrote it (nullopt where
// both builds lay it out alike), the word for a content ("hidden1", "hidden2", "both"), and the
// layout a build writes for a content.
std::optional<content> layout_content(vorn_layout layout);
std::optional<vorn_build> layout_build(vorn_layout layout);
const char* content_name(content holds);
vorn_layout layout_for(vorn_build build, content holds);

// ---- Revealing ---------------------------------------------------------------------------------

// The low four bits of every colour byte moved to the top, in place.
status reveal(bytes& image, const std::string& name);

// ---- Keyed form --------------------------------------------------------------------------------

// Whether this build opens and writes keyed pictures.
bool has_keyed();

// The password as the keyed form takes it: NFC UTF-8, not empty. Input faults otherwise.
status normalise_password(const std::string& typed, std::string& password);

// Overwrites a secret's bytes before it goes.
void wipe(std::string& secret);

}  // namespace kit

// ---- Words given as values ---------------------------------------------------------------------
//
// For front ends whose settings are arguments rather than options (the Python module): the
// words of build_named, content_named and fit_named, and an output format named by itself ("png"
// or "bmp", any case, taken and refused as format_for takes and refuses an output's extension,
// "jpg" too for viewing). An unknown word is a usage fault whose text names it and the words
// taken.
namespace kit {

status build_from_word(const std::string& word, vorn_build& build);
status content_from_word(const std::string& word, content& holds);
status fit_from_word(const std::string& word, vorn_fit& fit);
status format_from_word(const std::string& word, output_format& format, bool for_viewing = false);

}  // namespace kit

// ---- The programs' decoding (for the web page's window.vornhold.decode) --------------------------

namespace kit {

// The three programs' decoding of `coded` (an accepted coder file image named `name`) as `build`
// decodes it: Decoded_2 is written over `coded`, Decoded_1 into `decoded1`.
status program_decode(bytes& coded, const std::string& name, vorn_build build, bytes& decoded1);

}  // namespace kit
