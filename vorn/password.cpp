#include "password.h"

#include <fstream>
#include <memory>

#include "failure.h"
#include "kit_use.h"
#include "terminal.h"

namespace {

// The first line of a stream, without its line end.
bool first_line(std::istream& in, std::string& line)
{
    if (!std::getline(in, line) && line.empty()) return in.eof() && !in.bad();
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

std::string from_file(const std::string& path, std::istream& in)
{
    std::string line;
    if (path == "-") {
        if (!first_line(in, line)) fail(exit_class::input, "cannot read the password from standard input");
        return line;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file || !first_line(file, line))
        fail(exit_class::input, path + ": cannot read the password file");
    return line;
}

// Typing the password twice guards against a slip that would lose the pictures: where the two
// differ, both are asked again, up to three times.
constexpr int tries = 3;

std::string from_terminal(bool confirm)
{
    const char* prompt = "Password: ";
    for (int attempt = 0; attempt < tries; ++attempt) {
        std::string first, second;
        if (!read_secret_line(prompt, first))
            fail(exit_class::input, "no terminal to ask for the password on; use --password-file FILE");
        if (!confirm) return first;
        if (!read_secret_line("Password again: ", second)) {
            kit::wipe(first);
            fail(exit_class::input, "no terminal to ask for the password on; use --password-file FILE");
        }
        const bool same = first == second;
        kit::wipe(second);
        if (same) return first;
        kit::wipe(first);
        prompt = "The two differ; password: ";
    }
    fail(exit_class::input, "the two passwords typed differ; nothing was written");
}

}  // namespace

bool wants_password(const options& given) { return given.password || !given.password_file.empty(); }

std::string password_for(const options& given, bool confirm, std::istream& in)
{
    std::string typed = given.password_file.empty() ? from_terminal(confirm) : from_file(given.password_file, in);
    std::string password;
    const kit::status valid = kit::normalise_password(typed, password);
    kit::wipe(typed);
    check(valid);
    return password;
}

std::function<kit::status(std::string&)> password_asker(const options& given, bool confirm, std::istream& in,
                                                        progress_line& progress, std::ostream& err)
{
    if (!wants_password(given)) return {};
    auto asked = std::make_shared<int>(0);
    return [&given, confirm, &in, &progress, &err, asked](std::string& password) {
        progress.finish();
        if ((*asked)++ > 0) err << "vorn: wrong password; try again\n";
        try {
            password = password_for(given, confirm, in);
            return kit::status();
        } catch (const failure& stop) {
            // Back through the kit as its own fault, which check() turns into the same exit code.
            const kit::fault kind = stop.code == exit_class::usage ? kit::fault::usage : kit::fault::input;
            return kit::status{kind, stop.message};
        }
    };
}
