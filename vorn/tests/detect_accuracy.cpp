// Measures how often vorn_detect() guesses right: pictures from the samples and generated
// photograph-like pictures, coded in all six ways, at sizes that are powers of two and not.
//   vorn_detect_accuracy SAMPLES_FOLDER [LARGEST_SIDE]
#include <cstdio>
#include <cstdlib>

#include "detect_cases.h"

int main(int argc, char** argv)
{
    const std::string samples = argc > 1 ? argv[1] : "samples";
    const uint32_t sizes[][2] = {{16, 16},     {32, 24},     {64, 64},     {128, 96},
                                 {256, 256},   {300, 200},   {512, 512},   {500, 375},
                                 {640, 480},   {1024, 1024}, {1000, 750},  {2048, 2048},
                                 {1920, 1080}, {4096, 4096}, {4000, 3000}};
    const uint32_t largest = argc > 2 ? uint32_t(std::atoi(argv[2])) : 4096;
    detection_tally total;
    for (const auto& size : sizes) {
        if (size[0] > largest || size[1] > largest) continue;
        detection_tally tally;
        tally_detection(samples, size[0], size[1], tally);
        std::printf("%5ux%-5u %3d of %3d right\n", size[0], size[1], tally.right, tally.cases);
        for (const std::string& miss : tally.misses) std::printf("  %s\n", miss.c_str());
        total.cases += tally.cases;
        total.right += tally.right;
    }
    std::printf("all sizes: %d of %d right (%.1f%%)\n", total.right, total.cases,
                100.0 * total.right / total.cases);
    return 0;
}
