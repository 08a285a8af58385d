// page_words.h: what only the web page offers and asks, beside the kit's operations: downloads
// named after the pictures they came from, with their sizes; a new password typed twice; the
// step a keyed call is on once its key is derived; and the three programs' own decoding, which
// the page's window.vornhold.decode offers.
#pragma once

#include <cstdint>
#include <string>

#include "names.h"
#include "status.h"

namespace kit {

// What a page offers to download.
enum class offered { coded, hidden1, hidden2, revealed };

// The words for them, as their file names end: "coded", "hidden-1", "hidden-2", "revealed". An
// unknown word is a usage fault naming it and the words taken.
status offered_from_word(const std::string& word, offered& what);

// The name of a file offered, made from the name of the file it came from (`from`): its name
// without the folder and the extension ("picture" when nothing is left, as for a pasted
// picture), less a "-coded" it ends with, a dash, the offer's word and the format's extension:
// "holiday-coded.png" from "holiday.jpg", "holiday-hidden-1.png" from "holiday-coded.png".
std::string offered_file_name(const std::string& from, offered what, output_format format);

// A file's size as people read it: "812 bytes", "245 KB", "4.2 MB", "18 MB", 1000 bytes to the
// KB.
std::string file_size_words(uint64_t size);

// Whether a password and its confirmation were typed alike: equal, or equal once normalised
// (they then give the same key). An input fault when they differ, since a slip in a password
// nobody can recover loses the pictures.
status check_typed_twice(const std::string& password, const std::string& confirmation);

// The step a keyed call is on once its key is derived: "dithering and encrypting" when hiding,
// "decrypting" when opening.
std::string step_after_key(bool hiding);

}  // namespace kit

namespace kit {

// The three programs' decoding of `coded` (an accepted coder file image named `name`) as `build`
// decodes it: Decoded_2 is written over `coded`, Decoded_1 into `decoded1`.
status program_decode(bytes& coded, const std::string& name, vorn_build build, bytes& decoded1);

}  // namespace kit
