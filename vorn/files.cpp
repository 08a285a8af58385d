#include "files.h"

#include "terminal.h"

#include <algorithm>
#include <iostream>
#include <iterator>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "failure.h"
#include "file_image.h"
#include "picture_memory.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void cannot_write(const std::string& path, const std::string& why)
{
    fail(exit_class::output, path + ": cannot write it: " + why);
}

[[noreturn]] void exists(const std::string& path)
{
    fail(exit_class::output, path + ": the file exists; give --force to replace it");
}

}  // namespace

std::string errno_text(int error)
{
    if (error == EISDIR) return "it is a directory";
    if (error == error_not_regular) return "it is not a regular file";
    if (error == error_cut_short) return "the file became shorter while it was read";
    std::string text = std::strerror(error);
    if (!text.empty()) text[0] = char(std::tolower(static_cast<unsigned char>(text[0])));
    return text;
}

std::vector<uint8_t> read_whole_file(const std::string& path)
{
    if (path == "-") {
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
        if (bytes.empty()) fail(exit_class::input, "-: standard input is empty");
        return bytes;
    }
    std::vector<uint8_t> bytes;
    int error = 0;
    static uint8_t nothing;  // where an empty file's no bytes go
    const load_status status = load_file_into(path, SIZE_MAX, [&](uint64_t length) {
        bytes = large_buffer(size_t(length));
        return length == 0 ? &nothing : bytes.data();
    }, error);
    if (status == load_status::no_memory) throw std::bad_alloc();
    if (status != load_status::loaded)
        fail(exit_class::input, path + ": cannot read it: " + errno_text(error));
    if (bytes.empty()) fail(exit_class::input, path + ": the file is empty");
    return bytes;
}

void check_output(const std::string& path, const std::vector<std::string>& inputs, bool force)
{
    // Standard output, unless it is a terminal, which a picture's bytes would only garble.
    if (path == "-" && stdout_is_terminal())
        fail(exit_class::output, "-: standard output is a terminal; send it to a file or a pipe (> coded.png), or "
                                 "name the output file");
    if (path == "-") return;
    std::error_code error;
    if (fs::exists(path, error)) {
        for (const std::string& input : inputs)
            if (fs::equivalent(input, path, error))
                fail(exit_class::output, path + ": this is the input " + input + "; name another output file");
        if (fs::is_directory(path, error)) cannot_write(path, "it is a directory");
    }
    if (fs::exists(fs::symlink_status(path, error)) && !force) exists(path);
    const fs::path parent = fs::path(path).parent_path();
    const fs::path folder = parent.empty() ? fs::path(".") : parent;
    if (!fs::is_directory(folder, error))
        cannot_write(path, "its folder " + folder.string() + " does not exist");
}

void write_output(const std::string& path, const std::vector<uint8_t>& bytes, bool force, std::ostream& out)
{
    if (path == "-") {
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        out.flush();
        if (!out) fail(exit_class::output, "-: cannot write to standard output");
        return;
    }
    int error = 0;
    const write_status status = write_file_image(path.c_str(), bytes.data(), bytes.size(),
                                                 force ? existing_file::replace : existing_file::keep, &error);
    if (status == write_status::written) return;
    if (!force && error == EEXIST) exists(path);
    cannot_write(path, errno_text(error));
}

bool check_output_folder(const std::string& folder)
{
    std::error_code missing;
    if (folder.empty()) return true;
    if (!fs::exists(folder, missing)) return false;
    if (!fs::is_directory(folder, missing))
        fail(exit_class::output,
             folder + ": not a folder; -o names the folder the hidden pictures are written into");
    return true;
}

void write_into_folder(const std::string& folder, const std::string& path, const std::vector<uint8_t>& bytes,
                       bool force, std::ostream& out)
{
    if (!folder.empty()) {
        std::error_code ignored;  // a folder that cannot be made fails the write, which says why
        fs::create_directories(folder, ignored);
    }
    write_output(path, bytes, force, out);
}
