// encode and decode with --password or --password-file: the keyed form of a coded picture.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "input_picture.h"
#include "options.h"
#include "files.h"

// Whether the command line asks for a password.
bool keyed(const options& given);

// A keyed picture binds its file length, and a PNG is read back as the BMP an image converter
// writes: so when the output is not a BMP, a carrier taken as it stands is taken by its pixels.
void frame_keyed_carrier(input_picture& carrier, output_format format);

// Keys the carrier in place with the framed hidden pictures (empty: not given), under the
// password asked for; the layout follows from the pictures given and --build.
void encode_keyed(const options& given, std::vector<uint8_t>& carrier, std::vector<uint8_t> (&hidden)[2],
                  std::ostream& err);

// Takes the hidden pictures out of a keyed picture into the -o folder; a wrong password or a
// changed picture fails with exit_class::input and writes nothing.
void decode_keyed(const options& given, const std::vector<uint8_t>& coded, std::ostream& err);

// Whether the low bits of a picture decoded without a password look like random ones, as a keyed
// picture's do: then decode says that a password may be needed.
bool looks_keyed(const std::vector<uint8_t>& coded);
