// secret.h: passwords as the picture kit takes them, and how it lets go of them.
#pragma once

#include <string>

#include "status.h"

namespace kit {

// The password as the keyed forms take it: NFC UTF-8, not empty. Input faults otherwise.
status normalise_password(const std::string& typed, std::string& password);

// Overwrites a secret's bytes before it goes.
void wipe(std::string& secret);

}  // namespace kit
