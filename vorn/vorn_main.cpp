#include "vorn_main.h"

#include <new>
#include <string>

#include "commands.h"
#include "failure.h"
#include "vorn.h"

int vorn_main(int argc, char** argv, std::ostream& out, std::ostream& err)
{
    std::string input;
    try {
        const options given = parse_options(argc, argv);
        input = given.input;
        if (given.help) {
            out << help_text(given.command);
        } else if (given.version) {
            out << "vorn " << vorn_version() << "\n";
        } else if (given.command == command_name::encode) {
            run_encode(given, out, err);
        } else if (given.command == command_name::decode) {
            run_decode(given, out, err);
        } else {
            run_reveal(given, out, err);
        }
        out.flush();
        return 0;
    } catch (const failure& stop) {
        err << "vorn: " << stop.message << "\n";
        return int(stop.code);
    } catch (const std::bad_alloc&) {
        err << "vorn: " << (input.empty() ? "" : input + ": ")
            << "not enough memory for these pictures; free some memory or use smaller pictures\n";
        return int(exit_class::memory);
    }
}
