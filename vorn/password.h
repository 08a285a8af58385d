// The password of a keyed picture: asked on the terminal or read from a file, never taken from
// the command line, and normalised to NFC so that the same word typed on any system gives the
// same bytes.
#pragma once

#include <functional>
#include <istream>
#include <ostream>
#include <string>

#include "kit_use.h"
#include "options.h"

// The password `given` asks for, as NFC UTF-8: from the terminal (twice when `confirm`, and the
// two must agree), or the first line of --password-file (standard input for "-", taken from
// `in`). Fails with exit_class::input when there is no terminal, the file cannot be read, the
// password is empty or not UTF-8, or the two typed differ.
std::string password_for(const options& given, bool confirm, std::istream& in);

// Whether the command line asks for a password.
bool wants_password(const options& given);

// password_for() as the kit's operations ask for it (empty when `given` asks for no password): the
// progress line cleared first, so that the prompt stands alone on its line; asked again (decode,
// after a wrong password typed at the prompt), it says so on `err` first.
std::function<kit::status(std::string&)> password_asker(const options& given, bool confirm, std::istream& in,
                                                        progress_line& progress, std::ostream& err);
