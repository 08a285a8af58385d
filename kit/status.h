// status.h: how every call of the picture kit ends, and how its long steps report.
//
// Every kit call returns a kit::status; no exception leaves the kit (a failed allocation
// included). A text is one line without a program prefix or line end, and begins with the
// picture's name where it is about a picture.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kit {

using bytes = std::vector<uint8_t>;

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

// Long steps report as they go: the step in words ("compressing coded.png") and how far it is,
// from 0 to 1, or -1 where the step cannot be counted. A report may come from a worker thread;
// an empty reporter hears nothing.
using progress = std::function<void(const std::string& step, double done)>;

}  // namespace kit
