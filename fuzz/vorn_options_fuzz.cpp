// vorn's command line on any words: the input is split at zero bytes into the arguments after
// the program's name. Parsing ends with options a command can run on, or with a usage error
// that says where help is.
#include <string>
#include <vector>

#include "failure.h"
#include "fuzz_support.h"
#include "options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<std::string> words{"vorn"};
    std::string word;
    for (size_t at = 0; at < size && words.size() < 32; ++at) {
        if (data[at] != 0) {
            word.push_back(char(data[at]));
            continue;
        }
        words.push_back(word);
        word.clear();
    }
    if (words.size() < 32) words.push_back(word);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    try {
        const options given = parse_options(int(words.size()), argv.data());
        expect(help_text(given.command) != nullptr, "no help text");
        if (given.help || given.version) return 0;
        expect(given.command != command_name::none, "no command was chosen");
        expect(!given.input.empty(), "a command runs without its input");
        expect(given.command == command_name::decode || !given.output.empty(), "a command runs without its output");
        expect(given.max_pixels == 0 || given.max_pixels % 1000000 == 0,
               "a picture limit that is no whole number of megapixels");
        expect(given.hidden1.empty() || given.command == command_name::encode, "--hidden1 outside encode");
    } catch (const failure& refused) {
        expect(refused.code == exit_class::usage, "a command line was refused with another class than usage");
        expect(ends_with(refused.message, " --help)"), "a usage error does not say where help is");
    }
    return 0;
}
