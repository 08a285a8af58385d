// The compact form's steps inside the kit: in compact_hide.cpp and compact_open.cpp where the
// build has libsodium, in compact_unavailable.cpp where it has not. Each raises a kit_fault.
#pragma once

#include <string>
#include <vector>

#include "kit.h"

// Hides the given pictures (hidden[0], hidden[1]; null: not given), each taken, in `carrier`, a
// coder file image, as request says (its form is compact), into result.
void compact_hide(std::vector<uint8_t>&& carrier, input_picture* (&hidden)[2], const kit::hide_request& request,
                  const std::string& name, kit::hide_result& result);

// Whether the picture's header opens without a password: cheap, no key derivation.
bool opens_as_compact(const std::vector<uint8_t>& coded);

// Whether bit 1 of colour bytes 0 to 63 repeats bit 0 in every one: the mark of a compact picture
// (version 2) in two or more low bits, which a keyed picture shows once in 2^64.
bool carries_compact_mark(const std::vector<uint8_t>& coded);

// Opens a compact picture without a password, or with `password` (typed; normalised here) when
// given, into result (its pictures, compact, keyed, carrier_bits). False when it is no compact
// picture under that key; an input fault when it is one but was changed after it was coded, or
// a stored picture does not decode within `limits`.
bool open_compact(const std::vector<uint8_t>& coded, const std::string& name, const std::string* password,
                  const read_limits& limits, kit::decode_result& result, const kit::progress& report);
