// The terminal stand-in: answers password prompts from a script and records them.
#pragma once

#include <deque>
#include <string>
#include <vector>

struct terminal_script {
    bool present = true;               // false: no terminal to ask on
    std::deque<std::string> answers;   // one per prompt, in order; none left: no terminal
    std::vector<std::string> prompts;  // what was asked
    bool shows_progress = false;       // standard error is this terminal
    bool output_shown = false;         // standard output is this terminal
};

terminal_script& terminal();
