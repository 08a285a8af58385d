// The keyed form's steps inside the kit, in keyed_steps.cpp where the build has libsodium and in
// keyed_unavailable.cpp where it has not. Each raises a kit_fault.
#pragma once

#include <string>
#include <vector>

#include "vorn.h"

// Keys `carrier` in place with the framed hidden pictures (empty: not given), under `password`
// (as typed; normalised here), in the layout `build` writes for them.
void keyed_hide(std::vector<uint8_t>& carrier, std::vector<uint8_t> (&hidden)[2], vorn_build build,
                const std::string& password, const std::string& name);

// Whether a picture's two low bits look random, as a keyed picture's do (vorn_keyed_likely()).
bool low_bits_look_keyed(const std::vector<uint8_t>& coded);

// Whether a picture's low bits look random: its two low bits, or its lowest alone (a compact
// picture in one low bit, with or without a password): no classic picture is in them.
bool looks_keyed(const std::vector<uint8_t>& coded);
