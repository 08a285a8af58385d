// Every output replaces its file in one step: whichever step of writing it fails, the older file
// stays as it was, no temporary file is left, and the message is the one of that step.
#include <algorithm>
#include <functional>

#include "file_image.h"
#include "test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace {

using atomic_output = scratch_test;

std::vector<std::string> names_in(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(atomic_output, a_failing_step_keeps_the_older_file_and_leaves_no_temporary)
{
    const bytes picture = bmp_noise(4, 2, 7);
    write_file("Main.bmp", picture);
    write_file("in_main.bmp", picture);
    write_file(exe_folder / "Coded.bmp", picture);
    write_file(exe_folder / "Decoded_1.bmp", older_bytes);
    struct {
        const char* name;
        fs::path output;
        int files_before;  // outputs the run writes before this one
        std::function<run_result()> run;
        const char* open_message;
        const char* write_message;
    } const outputs[] = {
        {"encode", "Coded.bmp", 0, [] { return run_coder(coder_build::vornhold2); },
         "Can't open Coded.bmp for writing!\n", "Can't write Coded.bmp!\n"},
        {"decode", exe_folder / "Decoded_2.bmp", 1,
         [] { return run_coder(coder_build::vornhold, {"Coded.bmp"}); },
         "Can't open file for writing!\n", "Can't write file!\n"},
        {"filter", "out.bmp", 0, [] { return run_filter(); }, "Can't open file for writing!\n",
         "Can't write file!\n"},
    };
    const file_step steps[] = {file_step::create, file_step::write, file_step::close, file_step::rename};
    for (const auto& o : outputs) {
        for (const file_step step : steps) {
            SCOPED_TRACE(std::string(o.name) + ", failing step " + std::to_string(int(step)));
            write_file(o.output, older_bytes);
            const fs::path folder_of_output = fs::absolute(o.output).parent_path();
            const std::vector<std::string> names_before = names_in(folder_of_output);
            recorder().failing_step = step;
            recorder().failing_file = recorder().files_created + o.files_before;
            const run_result run = o.run();
            fs::current_path(folder);
            const std::string message = step == file_step::create ? o.open_message : o.write_message;
            ASSERT_GE(run.console.size(), message.size());
            EXPECT_EQ(run.console.substr(run.console.size() - message.size()), message);
            EXPECT_EQ(run.pauses, std::vector<uint32_t>{3000});
            EXPECT_EQ(read_file(o.output), older_bytes);
            EXPECT_EQ(names_in(folder_of_output), names_before);
        }
    }
}

#ifndef _WIN32
TEST_F(atomic_output, a_replaced_file_keeps_its_permissions_and_a_new_one_gets_those_of_wb)
{
    const mode_t mask = umask(0);
    umask(mask);
    const bytes content{1, 2, 3};
    struct {
        const char* name;
        int before;  // -1: no file before
        mode_t after;
    } const cases[] = {
        {"new file", -1, mode_t(0666 & ~mask)},
        {"private file", 0600, 0600},
        {"shared file", 0664, 0664},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove("out.bmp");
        if (c.before >= 0) {
            write_file("out.bmp", older_bytes);
            ASSERT_EQ(chmod("out.bmp", mode_t(c.before)), 0);
        }
        ASSERT_EQ(write_file_image("out.bmp", content.data(), uint32_t(content.size())), write_status::written);
        struct stat status;
        ASSERT_EQ(stat("out.bmp", &status), 0);
        EXPECT_EQ(status.st_mode & 0777, c.after);
        EXPECT_EQ(read_file("out.bmp"), content);
    }
}
#endif

}  // namespace
