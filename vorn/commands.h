// The three commands. Each reads its inputs, calls the engine and writes its outputs; a fault
// ends it through fail(). Notes and the --verbose report go to `err`, one "vorn: " line each.
#pragma once

#include <ostream>

#include "options.h"

// `out` receives an output named "-".
void run_encode(const options& given, std::ostream& out, std::ostream& err);
void run_decode(const options& given, std::ostream& out, std::ostream& err);
void run_reveal(const options& given, std::ostream& out, std::ostream& err);
