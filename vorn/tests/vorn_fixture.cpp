#include "vorn_fixture.h"

#include "policy_pictures.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include <jpeglib.h>
#include <spng.h>

#include "coder.h"
#include "filter.h"
#include "platform_recorder.h"
#include "vorn.h"
#include "vorn_main.h"

namespace fs = std::filesystem;

vorn_run run_vorn(const std::vector<std::string>& args)
{
    std::vector<std::string> words{"vorn"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::ostringstream out, err;
    const int code = vorn_main(int(words.size()), argv.data(), out, err);
    return {code, out.str(), err.str()};
}

static void run_in(const fs::path& folder, int (*entry)(int, char**), const char* argument)
{
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    reset_recorder();
    std::string name = "program", word = argument ? argument : "";
    char* argv[] = {name.data(), argument ? word.data() : nullptr, nullptr};
    entry(argument ? 2 : 1, argv);
    fs::current_path(previous);
}

static int vornhold2_entry(int argc, char** argv) { return coder_main(argc, argv, coder_build::vornhold2); }
static int vornhold_entry(int argc, char** argv) { return coder_main(argc, argv, coder_build::vornhold); }

void run_coder_in(const fs::path& folder, const std::string& build, const char* argument)
{
    run_in(folder, build == "vornhold" ? vornhold_entry : vornhold2_entry, argument);
}

void run_filter_in(const fs::path& folder) { run_in(folder, filter_main, nullptr); }

void vorn_test::SetUp()
{
    scratch_test::SetUp();
    fs::remove(exe_folder);  // vorn has no folder rule: its folder holds only what a test puts there
    for (const char* name : {"Main.bmp", "Hidden 1.bmp", "Hidden 2.bmp"})
        fs::copy_file(fs::path(VORN_SAMPLES_DIR) / name, folder / name);
}
