// Times encoding of a generated carrier with two hidden pictures: each stage on its own, then
// the whole mode as the program runs it (reading, stages, writing), with the pause recorded.
//
//   vorn_encode_bench [side] [runs]     defaults: 4096 pixels square, 5 runs; prints medians
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bmp.h"
#include "coder.h"
#include "file_image.h"
#include "permute.h"
#include "platform_recorder.h"
#include "stages.h"
#include "synthetic_pictures.h"

namespace fs = std::filesystem;

namespace {

double milliseconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    const int32_t side = argc > 1 ? std::atoi(argv[1]) : 4096;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const fs::path folder = fs::temp_directory_path() / "vorn-encode-bench";
    fs::create_directories(folder);
    fs::current_path(folder);

    const std::vector<uint8_t> main = synthetic_bmp(side, side, 1);
    save("Main.bmp", main);
    save("Hidden 1.bmp", synthetic_bmp(side, side, 2));
    save("Hidden 2.bmp", synthetic_bmp(side, side, 3));
    raster_geometry g{};
    check_main_header(main.data(), uint32_t(main.size()), g);
    const size_t count = g.length - g.offset_raster;

    std::vector<double> t_hidden1, t_permute, t_hidden2, t_main, t_mode;
    std::vector<int32_t> value(count), fixed(count);
    const stage_planes planes{value.data(), fixed.data(), count};
    for (int run = 0; run < runs; ++run) {
        std::vector<uint8_t> carrier = main, layer1 = synthetic_bmp(side, side, 2),
                             layer2 = synthetic_bmp(side, side, 3);
        const size_t o = g.offset_raster;
        t_hidden1.push_back(milliseconds([&] { hidden1_stage(layer1.data() + o, planes, g); }));
        t_permute.push_back(milliseconds([&] { permute_layer(layer1.data(), value.data(), g); }));
        t_hidden2.push_back(milliseconds([&] {
            hidden2_stage(layer2.data() + o, layer1.data() + o, planes, g, coder_build::vornhold2);
        }));
        t_main.push_back(milliseconds([&] { main_stage(carrier.data() + o, layer2.data() + o, 4, planes, g); }));

        reset_recorder();
        char program[] = "vornhold2";
        char* args[] = {program, nullptr};
        t_mode.push_back(milliseconds([&] { coder_main(1, args, coder_build::vornhold2); }));
        if (recorder().pauses != std::vector<uint32_t>{5000}) {
            std::fprintf(stderr, "encoding failed:\n%s", recorder().console.c_str());
            return 1;
        }
    }
    std::printf("encode %dx%d, two hidden pictures, median of %d runs (ms)\n", side, side, runs);
    std::printf("  hidden-1 stage        %9.1f\n", median(t_hidden1));
    std::printf("  hidden-1 permutation  %9.1f\n", median(t_permute));
    std::printf("  hidden-2 stage        %9.1f\n", median(t_hidden2));
    std::printf("  main stage            %9.1f\n", median(t_main));
    std::printf("  whole program run     %9.1f   (read, stages, write)\n", median(t_mode));
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(folder);
    return 0;
}
