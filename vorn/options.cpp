#include "options.h"

#include <string_view>

#include "failure.h"

namespace {

const char program_help[] =
    "Usage: vorn COMMAND INPUT [OPTION]...\n"
    "Hide up to two pictures in the low bits of another picture, and take them out again.\n"
    "\n"
    "Commands:\n"
    "  encode CARRIER [--hidden1 FILE] [--hidden2 FILE] -o OUT   hide pictures in a carrier\n"
    "  decode CODED [-o DIR]                                    take hidden pictures out\n"
    "  reveal PICTURE -o OUT                                    show a picture's low four bits\n"
    "\n"
    "Options (vorn COMMAND --help lists each command's own):\n"
    "  --password             encode, decode: hide with a password, or take out with it\n"
    "  --password-file FILE   the same with the first line of FILE (-: standard input)\n"
    "  -f, --force            replace an output that exists\n"
    "  -q, --quiet            show no progress on the terminal (decode: nor the files written)\n"
    "  -v, --verbose          report what was done and the time taken\n"
    "  --threads N            work on at most N threads (default: the cores available)\n"
    "  -h, --help             show this help\n"
    "  -V, --version          show the version\n"
    "\n"
    "Inputs are PNG, JPEG (carrier and hidden pictures only) or BMP, outputs PNG or BMP; - reads\n"
    "a picture from standard input or writes it (as PNG) to standard output.\n"
    "Exit status: 0 done, 2 wrong command line, 3 unusable input, 4 output not written,\n"
    "5 not enough memory.\n"
    "\n"
    "Example:\n"
    "  vorn encode photo.jpg --hidden1 secret.png -o coded.png\n"
    "  vorn decode coded.png -o out/\n";

const char encode_help[] =
    "Usage: vorn encode CARRIER [--hidden1 FILE] [--hidden2 FILE] -o OUT [OPTION]...\n"
    "Hide one or two pictures in the carrier's low bits: by default each at its own size, coded\n"
    "(lossless where it fits) and sealed, in as few low bits as give the best balance. Without\n"
    "--password the seal's key is one anyone with vorn can derive: the pictures are scrambled,\n"
    "not secret.\n"
    "\n"
    "  --hidden1 FILE         hidden picture 1\n"
    "  --hidden2 FILE         hidden picture 2\n"
    "  -o, --output OUT       the coded picture, .png or .bmp (-: PNG to standard output)\n"
    "  --password             key the picture: ask for a password on the terminal, twice\n"
    "  --password-file FILE   key it with the first line of FILE (-: standard input)\n"
    "  --compact              the compact form even where the stealth form would fit\n"
    "  --stealth              the stealth form even where the pictures must be stored at lower\n"
    "                         quality or scaled down: only a few colour bytes change, by one,\n"
    "                         where tests for hidden data do not see them\n"
    "  --carrier-bits K       the low bits of every colour byte the pictures take, 1 to 4\n"
    "                         (default: the k that keeps carrier and pictures nearest their own)\n"
    "  --classic              the programs' layout instead: hidden picture 1 in 2 bits per colour\n"
    "                         byte, scrambled; hidden picture 2 in 4 bits alone, 2 beside picture 1\n"
    "  --fit MODE             --classic: how a hidden picture of another size than the carrier is\n"
    "                         scaled: contain (default: whole, centred, black bars), cover (fills\n"
    "                         the frame, cropped around the centre) or stretch\n"
    "  --build B              --classic: vornhold2 (default) or vornhold, the bit order of hidden\n"
    "                         picture 2\n"
    "  --max-megapixels N     read pictures of up to N million pixels (default: 16384x16384)\n"
    "  -f, --force            replace OUT if it exists\n"
    "  -q, --quiet            show no progress on the terminal\n"
    "  -v, --verbose          report what was stored and the time taken\n"
    "  --threads N            work on at most N threads (default: the cores available)\n"
    "  -h, --help             show this help\n"
    "\n"
    "Example:\n"
    "  vorn encode photo.jpg --hidden1 a.png --hidden2 b.png -o coded.png\n";

const char decode_help[] =
    "Usage: vorn decode CODED [-o DIR] [OPTION]...\n"
    "Take the hidden pictures out of a coded picture as DIR/hidden-1.png and DIR/hidden-2.png,\n"
    "whatever its form (a compact picture's at their own sizes); CODED - reads standard input.\n"
    "\n"
    "  -o, --output DIR       the folder to write to, made if missing (default: the current one)\n"
    "  --password             CODED is keyed: ask for its password on the terminal (three tries)\n"
    "  --password-file FILE   CODED is keyed: its password is FILE's first line (-: stdin)\n"
    "  --hidden WHICH         classic: 1, 2 or both, the pictures CODED holds (default: guessed)\n"
    "  --build B              classic: vornhold2 or vornhold, the build that wrote CODED\n"
    "                         (default: guessed)\n"
    "  --raw                  classic: the stored levels at full range, grain and all (default:\n"
    "                         each picture reconstructed, the dither's grain filtered out)\n"
    "  --max-megapixels N     read pictures of up to N million pixels (default: 16384x16384)\n"
    "  -f, --force            replace hidden-N.png if it exists\n"
    "  -q, --quiet            show no progress on the terminal, nor the files written\n"
    "  -v, --verbose          report the time taken as well\n"
    "  --threads N            work on at most N threads (default: the cores available)\n"
    "  -h, --help             show this help\n"
    "\n"
    "Examples:\n"
    "  vorn decode coded.png -o out/\n"
    "  vorn decode classic.png --hidden both --build vornhold2 -o out/\n";

const char reveal_help[] =
    "Usage: vorn reveal PICTURE -o OUT [OPTION]...\n"
    "Move the low four bits of every colour byte to the top, to show what hides there.\n"
    "\n"
    "  -o, --output OUT       the revealed picture, .png, .bmp or .jpg (-: PNG to standard output)\n"
    "  --max-megapixels N     read pictures of up to N million pixels (default: 16384x16384)\n"
    "  -f, --force            replace OUT if it exists\n"
    "  -q, --quiet            show no progress on the terminal\n"
    "  -v, --verbose          report the time taken\n"
    "  --threads N            work on at most N threads (default: the cores available)\n"
    "  -h, --help             show this help\n"
    "\n"
    "Example:\n"
    "  vorn reveal coded.png -o revealed.png\n";

const char* command_word(command_name command)
{
    switch (command) {
    case command_name::encode: return "encode";
    case command_name::decode: return "decode";
    case command_name::reveal: return "reveal";
    default: return "";
    }
}

[[noreturn]] void usage_error(command_name command, const std::string& what)
{
    const std::string where = command == command_name::none ? "vorn --help"
                                                             : std::string("vorn ") + command_word(command) + " --help";
    fail(exit_class::usage, what + " (see " + where + ")");
}

vorn_build parse_build(command_name command, std::string_view value)
{
    if (const std::optional<vorn_build> build = kit::build_named(std::string(value))) return *build;
    usage_error(command, "--build takes vornhold2 or vornhold, not '" + std::string(value) + "'");
}

kit::content parse_content(std::string_view value)
{
    if (const std::optional<kit::content> holds = kit::content_named(std::string(value))) return *holds;
    usage_error(command_name::decode, "--hidden takes 1, 2 or both, not '" + std::string(value) + "'");
}

vorn_fit parse_fit(std::string_view value)
{
    if (const std::optional<vorn_fit> fit = kit::fit_named(std::string(value))) return *fit;
    usage_error(command_name::encode, "--fit takes contain, cover or stretch, not '" + std::string(value) + "'");
}

// The most --max-megapixels takes: more than any picture whose BMP stays below 4 GiB.
constexpr uint64_t most_megapixels = 4096;

// A whole number from 1 to `most` written in decimal digits; 0 for anything else.
uint64_t bounded_number(std::string_view value, uint64_t most)
{
    uint64_t number = 0;
    for (const char c : value) {
        if (c < '0' || c > '9' || number > most) return 0;
        number = number * 10 + uint64_t(c - '0');
    }
    return number <= most ? number : 0;
}

uint64_t parse_megapixels(command_name command, std::string_view value)
{
    const uint64_t megapixels = bounded_number(value, most_megapixels);
    if (megapixels == 0)
        usage_error(command, "--max-megapixels takes a whole number from 1 to " + std::to_string(most_megapixels) +
                                 ", not '" + std::string(value) + "'");
    return megapixels;
}

// The most --threads takes: far more than any machine's cores, few enough to start.
constexpr int most_threads = 256;

int parse_threads(command_name command, std::string_view value)
{
    const int threads = int(bounded_number(value, most_threads));
    if (threads == 0)
        usage_error(command, "--threads takes a whole number from 1 to " + std::to_string(most_threads) + ", not '" +
                                 std::string(value) + "'");
    return threads;
}

unsigned parse_carrier_bits(std::string_view value)
{
    if (value.size() == 1 && value[0] >= '1' && value[0] <= '4') return unsigned(value[0] - '0');
    usage_error(command_name::encode, "--carrier-bits takes 1, 2, 3 or 4, not '" + std::string(value) + "'");
}

bool takes_value(std::string_view name)
{
    return name == "--hidden1" || name == "--hidden2" || name == "--output" || name == "-o" ||
           name == "--build" || name == "--hidden" || name == "--max-megapixels" || name == "--fit" ||
           name == "--password-file" || name == "--carrier-bits" || name == "--threads";
}

// Whether the option belongs to the command.
bool allowed(command_name command, std::string_view name)
{
    if (name == "--hidden1" || name == "--hidden2" || name == "--fit" || name == "--carrier-bits")
        return command == command_name::encode;
    if (name == "--hidden") return command == command_name::decode;
    if (name == "--build" || name == "--password-file") return command != command_name::reveal;
    return true;
}

void apply(options& parsed, std::string_view name, const std::string& value)
{
    const command_name command = parsed.command;
    if (value.empty()) usage_error(command, std::string(name) + " needs a non-empty value");
    if (name == "--hidden1") parsed.hidden1 = value;
    else if (name == "--hidden2") parsed.hidden2 = value;
    else if (name == "-o" || name == "--output") parsed.output = value;
    else if (name == "--build") parsed.build = parse_build(command, value);
    else if (name == "--hidden") parsed.content = parse_content(value);
    else if (name == "--fit") {
        parsed.fit = parse_fit(value);
        parsed.fit_given = true;
    } else if (name == "--carrier-bits") parsed.carrier_bits = parse_carrier_bits(value);
    else if (name == "--password-file") parsed.password_file = value;
    else if (name == "--max-megapixels") parsed.max_pixels = parse_megapixels(command, value) * 1000000;  // a megapixel is a million pixels
    else if (name == "--threads") parsed.threads = parse_threads(command, value);
}

void check_complete(const options& parsed)
{
    const command_name command = parsed.command;
    if (parsed.input.empty()) {
        const char* what = command == command_name::encode   ? "the carrier picture"
                           : command == command_name::decode ? "the coded picture"
                                                             : "the picture to reveal";
        usage_error(command, std::string("missing ") + what);
    }
    if (parsed.password && !parsed.password_file.empty())
        usage_error(command, "--password and --password-file exclude each other");
    const int from_stdin = (parsed.input == "-") + (parsed.hidden1 == "-") + (parsed.hidden2 == "-") +
                           (parsed.password_file == "-");
    if (from_stdin > 1) usage_error(command, "standard input (-) can be read for one input only");
    if (command == command_name::decode && parsed.output == "-")
        usage_error(command, "decode writes a folder of pictures: -o names the folder, not standard output");
    if (command != command_name::decode && parsed.output.empty())
        usage_error(command, "missing -o OUT, the output picture (.png or .bmp)");
    if (command != command_name::encode) return;
    if (int(parsed.classic) + int(parsed.compact) + int(parsed.stealth) > 1)
        usage_error(command, "--compact, --stealth and --classic exclude each other");
    if (parsed.stealth && parsed.carrier_bits != 0)
        usage_error(command, "--carrier-bits is for the compact form, not --stealth");
    if (parsed.classic && parsed.carrier_bits != 0)
        usage_error(command, "--carrier-bits is for the compact form, not --classic");
    // The compact form keeps each hidden picture at its own size and has no bit order to choose.
    if (!parsed.classic && parsed.fit_given)
        usage_error(command, "--fit is for --classic; the compact form keeps each hidden picture at its own size");
    if (!parsed.classic && parsed.build)
        usage_error(command, "--build is for --classic; the compact form has no build");
}

}  // namespace

const char* help_text(command_name command)
{
    switch (command) {
    case command_name::encode: return encode_help;
    case command_name::decode: return decode_help;
    case command_name::reveal: return reveal_help;
    default: return program_help;
    }
}

options parse_options(int argc, char** argv)
{
    options parsed;
    if (argc < 2) usage_error(command_name::none, "missing command: encode, decode or reveal");
    const std::string_view first = argv[1];
    if (first == "-h" || first == "--help") {
        parsed.help = true;
        return parsed;
    }
    if (first == "-V" || first == "--version") {
        parsed.version = true;
        return parsed;
    }
    if (first == "encode") parsed.command = command_name::encode;
    else if (first == "decode") parsed.command = command_name::decode;
    else if (first == "reveal") parsed.command = command_name::reveal;
    else usage_error(command_name::none, "unknown command '" + std::string(first) + "'");

    bool only_operands = false;
    for (int i = 2; i < argc; ++i) {
        std::string argument = argv[i];
        if (only_operands || argument == "-" || argument.empty() || argument[0] != '-') {
            if (!parsed.input.empty())
                usage_error(parsed.command, "unexpected argument '" + argument + "'");
            parsed.input = argument;
            continue;
        }
        if (argument == "--") {
            only_operands = true;
            continue;
        }
        if (argument == "-h" || argument == "--help") {
            parsed.help = true;
            return parsed;
        }
        if (argument == "-f" || argument == "--force") {
            parsed.force = true;
            continue;
        }
        if (argument == "-v" || argument == "--verbose") {
            parsed.verbose = true;
            continue;
        }
        if (argument == "-q" || argument == "--quiet") {
            parsed.quiet = true;
            continue;
        }
        if (argument == "--classic" && parsed.command == command_name::encode) {
            parsed.classic = true;
            continue;
        }
        if (argument == "--compact" && parsed.command == command_name::encode) {
            parsed.compact = true;
            continue;
        }
        if (argument == "--stealth" && parsed.command == command_name::encode) {
            parsed.stealth = true;
            continue;
        }
        if (argument == "--raw" && parsed.command == command_name::decode) {
            parsed.raw = true;
            continue;
        }
        if (argument == "--password" && parsed.command != command_name::reveal) {
            parsed.password = true;
            continue;
        }
        // Other users can read a command line: a password is never taken from one.
        if (argument.rfind("--password=", 0) == 0)
            usage_error(parsed.command, "--password takes no value: it asks on the terminal "
                                        "(in scripts, use --password-file FILE)");
        std::string name = argument, value;
        bool has_value = false;
        if (argument.rfind("--", 0) == 0 && argument.find('=') != std::string::npos) {
            name = argument.substr(0, argument.find('='));
            value = argument.substr(argument.find('=') + 1);
            has_value = true;
        } else if (argument.rfind("-o", 0) == 0 && argument.size() > 2) {
            name = "-o";
            value = argument.substr(2);
            has_value = true;
        }
        if (!takes_value(name) || !allowed(parsed.command, name))
            usage_error(parsed.command, "unknown option '" + name + "'");
        if (!has_value) {
            if (i + 1 >= argc) usage_error(parsed.command, name + " needs a value");
            value = argv[++i];
        }
        apply(parsed, name, value);
    }
    check_complete(parsed);
    return parsed;
}
