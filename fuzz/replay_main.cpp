// Runs a fuzz target once on every file named on the command line and on every file inside the
// folders named there: the corpus as a regression suite, built without libFuzzer. A target that
// finds a fault stops the process, so reaching the end means every input passed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    std::vector<fs::path> inputs;
    for (int a = 1; a < argc; ++a) {
        if (!fs::is_directory(argv[a])) {
            inputs.emplace_back(argv[a]);
            continue;
        }
        for (const fs::directory_entry& entry : fs::directory_iterator(argv[a]))
            if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    for (const fs::path& input : inputs) {
        std::ifstream in(input, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", input.c_str());
            return 1;
        }
        // A buffer of exactly the input's size, so that a read past its end is caught.
        const std::vector<uint8_t> data(std::istreambuf_iterator<char>(in), {});
        std::printf("%s\n", input.filename().c_str());
        std::fflush(stdout);
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::printf("%zu passed, 0 failed\n", inputs.size());
    // An empty corpus means a wrong path, not a pass.
    return inputs.empty() ? 1 : 0;
}
