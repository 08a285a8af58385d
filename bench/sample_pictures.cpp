// Writes a carrier and two hidden pictures of one size, with photograph-like content, for trying
// the programs by hand and for comparing the outputs of two builds on the same inputs.
//
//   vorn_sample_pictures FOLDER WIDTH HEIGHT    writes Main.bmp, Hidden 1.bmp and Hidden 2.bmp
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "synthetic_pictures.h"

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: vorn_sample_pictures FOLDER WIDTH HEIGHT\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const int32_t width = std::atoi(argv[2]), height = std::atoi(argv[3]);
    if (width < 1 || height < 1) {
        std::fprintf(stderr, "vorn_sample_pictures: WIDTH and HEIGHT must be at least 1\n");
        return 2;
    }
    std::filesystem::create_directories(folder);
    const char* names[] = {"Main.bmp", "Hidden 1.bmp", "Hidden 2.bmp"};
    for (uint32_t seed = 1; seed <= 3; ++seed)
        save((folder / names[seed - 1]).string(), synthetic_bmp(width, height, seed));
    return 0;
}
