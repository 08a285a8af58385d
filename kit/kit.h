// kit.h: the picture kit's steps, which its whole operations (operations.h, the one face the
// front ends call) are made of; the kit's own files and its tests call them.
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
#include "names.h"
#include "secret.h"
#include "status.h"
#include "vorn.h"

namespace kit {

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
// The same for a picture in either layout; R G B rows become a PNG without a coder file image.
status file_of(rgb_picture&& picture, output_format format, picture_kind kind, const std::string& name, bytes& file,
               const progress& report = {}, int threads = 0);

// ---- Hiding ------------------------------------------------------------------------------------

struct hide_request {
    // Classic unless asked, as scripts calling the page's window.vornhold.encode rely on; vorn
    // and the page's hide button ask for compact by default.
    hiding_form form = hiding_form::classic;
    // Compact: the stealth form instead where every picture fits its budget bit for bit or at
    // 42 dB or more (the default form); else a note that tests for hidden data would find it.
    bool stealth_where_unseen = false;
    // Compact: k, the low bits of every colour byte the pictures take (1 to 4); 0 chooses the k
    // that gives the best balance of the carrier's and the pictures' PSNR.
    unsigned carrier_bits = 0;
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
    vorn_layout layout = VORN_LAYOUT_NONE;  // what it holds, to be taken out as (classic, keyed)
    bool keyed = false;
    bool compact = false;       // a compact picture (keyed says whether with a password)
    bool stealth = false;       // compact, in the stealth embedding
    unsigned carrier_bits = 0;  // compact: the k chosen (stealth: 0)
};

// Whether a hiding of these pictures can be asked for, before anything is read or a password
// asked: a password keys hidden pictures, so it needs one, and so does the compact form; k is 1
// to 4, and given only with the compact form (0: not given).
status check_hide(bool hidden1, bool hidden2, bool keyed, hiding_form form = hiding_form::classic,
                  unsigned carrier_bits = 0);

// Hides hidden1 and hidden2 (each may be null) in the carrier. Each picture is taken (its
// memory let go as soon as it is used). Classic: a hidden picture of another size goes into the
// carrier's frame as request.fit says, noted; a keyed carrier is taken by its pixels, so that
// the PNG and the BMP of the keyed picture open alike. Compact: the notes say how each picture
// is stored and what the carrier keeps; a picture that does not fit even at the lowest quality
// is scaled down, noted, and a carrier too small for any useful picture is an input fault that
// names the size it would need.
status hide(input_picture&& carrier, input_picture* hidden1, input_picture* hidden2, const hide_request& request,
            hide_result& result);

// ---- Taking out --------------------------------------------------------------------------------

struct decode_request {
    std::optional<vorn_build> build;  // the build that wrote it; found from the picture when not given
    std::optional<content> holds;     // what it holds; found from the picture when not given
    bool keyed = false;               // a password will be given (the layout is then the tag's)
    int threads = 0;                  // the threads to take the pictures out on (see Threads)
    // The front end's words, with which a refusal that names the layouts a picture may hold says
    // how to ask for each.
    front_end words;
    read_limits limits;               // what a compact picture's stored pictures may cost
    // Where the password is typed at a prompt: asked for another when the one given opens nothing
    // (decode() decides how often), filling it or returning the fault that stops. Empty: the
    // first refusal stands.
    std::function<status(std::string& password)> password_again;
};

struct decode_plan {
    vorn_layout layout = VORN_LAYOUT_NONE;  // what to take out (when not keyed or compact)
    std::string note;                       // what was guessed, to show; empty when all was given
    bool compact = false;                   // a compact picture that opens without a password
};

// The decode decision for `coded` (an accepted coder file image named `name`): a compact
// picture that opens without a password, else the classic layout to take out, from what was
// given and what the picture shows, or the refusal (a picture whose low bits hold nothing, look
// random as a keyed or a changed compact one's do, or read as no layout, as a photograph's do).
// What was not given is taken from the picture only when its figures settle it
// (vorn_score_layouts); otherwise it is refused, naming the layouts it may hold and how to ask
// for each, and never guessed. Needs no key.
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
    vorn_layout layout = VORN_LAYOUT_NONE;  // what was taken out (classic, keyed)
    bool keyed = false;                     // opened with the password
    bool compact = false;                   // a compact picture: each picture at its own size
    bool stealth = false;                   // compact, in the stealth embedding
    unsigned carrier_bits = 0;              // compact: its k
    std::vector<std::string> notes;         // what was guessed or found, to show
    // Hidden pictures 1 and 2, empty where none is held: coder file images (classic, keyed), or
    // R G B rows (compact, which stores them with its own codecs).
    rgb_picture pictures[2];
};

// Takes every hidden picture out of `coded`, whatever its form: a compact picture without a
// password first; with a password, a compact picture under it, then the keyed form; then the
// classic form as the decode decision says (a picture the password does not open and whose low
// bits do not look keyed is taken out as a classic one, noted, since it needed no password). A
// compact picture's pictures come back at their own sizes as stored (`raw` changes nothing); one
// that was changed after it was coded is an input fault, with nothing taken out. A password that
// opens nothing in a picture whose low bits look random is asked for again through
// request.password_again, up to three tries in all (one key derivation each). The pictures are
// taken out as take_out() gives them on request.threads threads: raw ones side by side,
// reconstructed ones one after the other, each shared out over the threads; `coded` is let go as
// soon as no step needs it.
//
// `plan`, when given, is plan_decode()'s for the same request, not made again.
status decode(bytes&& coded, const std::string& name, const decode_request& request, const std::string* password,
              bool raw, decode_result& result, const progress& report = {}, const decode_plan* plan = nullptr);

// ---- Revealing ---------------------------------------------------------------------------------

// The low four bits of every colour byte moved to the top, in place.
status reveal(bytes& image, const std::string& name);

}  // namespace kit
