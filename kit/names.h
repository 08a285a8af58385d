// names.h: the picture kit's words for what a user chooses (builds, contents, fits, forms,
// output formats), as options name them and as values, and what a layout holds in words.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "status.h"
#include "vorn.h"

namespace kit {

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

// The two ways of hiding. Classic: the programs' layouts, each hidden picture fitted into the
// carrier's frame and dithered into 2 or 4 low bits of every colour byte (build and fit apply).
// Compact: each hidden picture at its own size, coded (lossless WebP where it fits, else JPEG or
// lossy WebP), the whole encrypted and authenticated in the k lowest bits of every colour byte,
// the carrier dithered to the bits above; with a password only its owner opens it, without one
// anyone can (docs/compact-form.md).
// Stealth: the compact form's container laid by +-1 changes of a few colour bytes where the
// carrier's texture hides them, within a budget that steganalysis does not see (kept small, the
// hidden pictures stored at the quality that fits).
enum class hiding_form { classic, compact, stealth };

// "classic", "compact" or "stealth"; nullopt for any other word.
std::optional<hiding_form> form_named(const std::string& word);

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

// The output file name of hidden picture `which` in `folder` ("" for the current one):
// "hidden-N.png".
std::string hidden_file_name(const std::string& folder, int which);

// How a front end names what its user sets, so that a text of the kit names this front end's
// own options, arguments or controls and never another's. Each is a template in which "{}"
// stands for the value; an empty one: the user cannot set it there, and the text says nothing of
// it.
struct front_end {
    std::string hidden;        // asks what a picture holds: "--hidden {}"
    std::string holds[3];      // the values for hidden picture 1, 2 and both: "1", "2", "both"
    std::string build;         // asks for the build: "--build {}"
    std::string password;      // gives a password: "--password"
    std::string max_megapixels;  // raises the reading limit: "--max-megapixels {}"
    std::string decode;        // begins a command that decodes the picture again: "vorn decode x.png"
};

// The words of each front end: vorn's options, the Python module's keyword arguments, the page's
// controls. vorn's decode words are completed by the caller with the file's name.
front_end vorn_words(const std::string& decode_command);
front_end python_words();
front_end page_words();

// `words` (a template of front_end) with `value` in place of its "{}"; and the name alone, without
// the value and what joins it ("--hidden", "hidden", "It holds").
std::string with_value(const std::string& words, const std::string& value);
std::string name_alone(const std::string& words);

// Whether this build opens and writes keyed and compact pictures (both need libsodium).
bool has_keyed();
bool has_compact();

}  // namespace kit

// ---- Words given as values ---------------------------------------------------------------------
//
// For front ends whose settings are arguments rather than options (the Python module): the
// words of build_named, content_named, fit_named and form_named, and an output format named by
// itself ("png" or "bmp", any case, taken and refused as format_for takes and refuses an output's
// extension, "jpg" too for viewing). An unknown word is a usage fault whose text names it and the
// words taken.
namespace kit {

status build_from_word(const std::string& word, vorn_build& build);
status content_from_word(const std::string& word, content& holds);
status fit_from_word(const std::string& word, vorn_fit& fit);
status form_from_word(const std::string& word, hiding_form& form);
status format_from_word(const std::string& word, output_format& format, bool for_viewing = false);

}  // namespace kit
