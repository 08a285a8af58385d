#include "password.h"

#include <sodium.h>
#include <utf8proc.h>

#include <cstdlib>
#include <fstream>

#include "failure.h"
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

std::string from_terminal(bool confirm)
{
    std::string first, second;
    if (!read_secret_line("Password: ", first))
        fail(exit_class::input, "no terminal to ask for the password on; use --password-file FILE");
    if (confirm) {
        if (!read_secret_line("Password again: ", second)) {
            wipe(first);
            fail(exit_class::input, "no terminal to ask for the password on; use --password-file FILE");
        }
        const bool same = first == second;
        wipe(second);
        if (!same) {
            wipe(first);
            fail(exit_class::input, "the two passwords typed differ; nothing was written");
        }
    }
    return first;
}

}  // namespace

void wipe(std::string& secret)
{
    if (!secret.empty()) sodium_memzero(secret.data(), secret.size());
    secret.clear();
}

bool nfc_of(const std::string& text, std::string& normalised)
{
    utf8proc_uint8_t* out = nullptr;
    const utf8proc_ssize_t length =
        utf8proc_map(reinterpret_cast<const utf8proc_uint8_t*>(text.data()), utf8proc_ssize_t(text.size()),
                     &out, utf8proc_option_t(UTF8PROC_STABLE | UTF8PROC_COMPOSE));
    if (length < 0) return false;
    normalised.assign(reinterpret_cast<const char*>(out), size_t(length));
    sodium_memzero(out, size_t(length));
    std::free(out);
    return true;
}

std::string password_for(const options& given, bool confirm, std::istream& in)
{
    std::string typed = given.password_file.empty() ? from_terminal(confirm) : from_file(given.password_file, in);
    std::string password;
    const bool valid = nfc_of(typed, password);
    wipe(typed);
    if (!valid) fail(exit_class::input, "the password is not valid UTF-8");
    if (password.empty()) fail(exit_class::input, "the password is empty; a keyed picture needs one");
    return password;
}
