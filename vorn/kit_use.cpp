#include "kit_use.h"

#include "files.h"
#include "platform.h"

void check(const kit::status& status)
{
    switch (status.kind) {
    case kit::fault::none: return;
    case kit::fault::usage: fail(exit_class::usage, status.text);
    case kit::fault::input: fail(exit_class::input, status.text);
    case kit::fault::output: fail(exit_class::output, status.text);
    case kit::fault::memory: fail(exit_class::memory, status.text);
    }
    fail(exit_class::input, status.text);
}

std::string typed_path(const std::string& path)
{
    const bool plain = !path.empty() && path.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                                "0123456789_-+.,/:@%=") == std::string::npos;
    if (plain) return path;
    std::string quoted = "'";
    for (const char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

kit::picture_file picture_at(const std::string& path) { return {path, read_whole_file(path)}; }

std::optional<kit::picture_file> picture_if_named(const std::string& path)
{
    if (path.empty()) return std::nullopt;
    return picture_at(path);
}

void say(std::ostream& err, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) err << "vorn: " << line << "\n";
}

int64_t steady_ms()
{
    return clock_ms();  // the programs' clock, which tests hold still
}
