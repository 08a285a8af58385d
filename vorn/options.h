// The command line: `vorn COMMAND INPUT [OPTION]...`, options in the usual forms (`-o FILE`,
// `-oFILE`, `--output FILE`, `--output=FILE`), `--` before an input that begins with '-'.
#pragma once

#include <optional>
#include <string>

#include "operations.h"

enum class command_name { none, encode, decode, reveal };

struct options {
    command_name command = command_name::none;
    bool help = false;
    bool version = false;
    std::string input;    // the carrier, the coded picture or the picture to reveal
    std::string hidden1;  // encode
    std::string hidden2;  // encode
    std::string output;   // encode, reveal: a file; decode: a folder (default ".")
    std::optional<vorn_build> build;
    std::optional<kit::content> content;  // decode --hidden
    bool classic = false;                  // encode --classic: the programs' layouts
    bool compact = false;                  // encode --compact: the compact form, forced
    bool stealth = false;                  // encode --stealth: the stealth form, forced
    unsigned carrier_bits = 0;             // encode --carrier-bits: the compact form's k (0: chosen)
    vorn_fit fit = VORN_FIT_CONTAIN;       // encode --fit: hidden pictures of another size
    bool fit_given = false;
    bool raw = false;                      // decode --raw: the stored levels, unfiltered
    uint64_t max_pixels = 0;  // --max-megapixels; 0: the kit's limit
    bool password = false;       // encode, decode: ask for the password on the terminal
    std::string password_file;   // encode, decode: read it from this file's first line ("-": stdin)
    bool force = false;
    bool verbose = false;
    bool quiet = false;  // no progress on the terminal
    int threads = 0;     // --threads: at most this many at once; 0, the cores available
};

// Fails with exit_class::usage and a message that says what is wrong and where help is.
options parse_options(int argc, char** argv);

// The --help text of a command (command_name::none: the program's).
const char* help_text(command_name command);
