#include "detect_cases.h"

#include <fstream>
#include <iterator>

#include "synthetic_pictures.h"

namespace {

using image = std::vector<uint8_t>;

image read_file(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return image(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The picture of `source` (a file image) scaled to width x height, bilinearly.
image scaled(const image& source, uint32_t width, uint32_t height)
{
    vorn_geometry g;
    vorn_check_carrier(source.data(), source.size(), &g);
    std::vector<uint8_t> rgb(size_t(g.width) * g.height * 3);
    vorn_bmp_to_rgb(source.data(), source.size(), rgb.data(), rgb.size());
    std::vector<uint8_t> out(size_t(width) * height * 3);
    for (uint32_t y = 0; y < height; ++y) {
        const double sy = (y + 0.5) * g.height / height - 0.5;
        const uint32_t y0 = sy < 0 ? 0 : uint32_t(sy);
        const uint32_t y1 = y0 + 1 < g.height ? y0 + 1 : y0;
        const double fy = sy < 0 ? 0 : sy - y0;
        for (uint32_t x = 0; x < width; ++x) {
            const double sx = (x + 0.5) * g.width / width - 0.5;
            const uint32_t x0 = sx < 0 ? 0 : uint32_t(sx);
            const uint32_t x1 = x0 + 1 < g.width ? x0 + 1 : x0;
            const double fx = sx < 0 ? 0 : sx - x0;
            for (int c = 0; c < 3; ++c) {
                auto at = [&](uint32_t px, uint32_t py) { return double(rgb[(size_t(py) * g.width + px) * 3 + c]); };
                const double top = at(x0, y0) * (1 - fx) + at(x1, y0) * fx;
                const double bottom = at(x0, y1) * (1 - fx) + at(x1, y1) * fx;
                out[(size_t(y) * width + x) * 3 + c] = uint8_t(top * (1 - fy) + bottom * fy + 0.5);
            }
        }
    }
    size_t length;
    vorn_bmp_length(width, height, &length);
    image bmp(length);
    vorn_bmp_from_rgb(out.data(), width, height, size_t(width) * 3, 3, bmp.data(), bmp.size());
    return bmp;
}

image encoded(const image& carrier, image hidden1, image hidden2, vorn_build build)
{
    vorn_geometry g;
    vorn_check_carrier(carrier.data(), carrier.size(), &g);
    size_t work_size;
    vorn_encode_work_size(&g, &work_size);
    std::vector<uint8_t> work(work_size);
    image coded = carrier;
    vorn_encode(coded.data(), coded.size(), hidden1.empty() ? nullptr : hidden1.data(),
                hidden1.size(), hidden2.empty() ? nullptr : hidden2.data(), hidden2.size(), build,
                work.data(), work.size(), nullptr);
    return coded;
}

const char* name(vorn_layout layout)
{
    switch (layout) {
    case VORN_LAYOUT_NONE: return "none";
    case VORN_LAYOUT_HIDDEN1: return "1";
    case VORN_LAYOUT_HIDDEN2_VORNHOLD: return "2 vornhold";
    case VORN_LAYOUT_HIDDEN2_VORNHOLD2: return "2 vornhold2";
    case VORN_LAYOUT_BOTH_VORNHOLD: return "both vornhold";
    case VORN_LAYOUT_BOTH_VORNHOLD2: return "both vornhold2";
    }
    return "?";
}

void tally_set(const std::string& set, const image& carrier, const image& hidden1,
               const image& hidden2, detection_tally& tally)
{
    for (vorn_build build : {VORN_VORNHOLD2, VORN_VORNHOLD})
        for (int content : {1, 2, 3}) {
            const image coded = encoded(carrier, content & 1 ? hidden1 : image(),
                                        content & 2 ? hidden2 : image(), build);
            const vorn_layout layout = vorn_layout_of(build, content & 1, content & 2);
            vorn_layout guessed;
            vorn_detect(coded.data(), coded.size(), &guessed);
            const bool right = guessed == layout;
            ++tally.cases;
            tally.right += right;
            if (!right) {
                vorn_geometry g;
                vorn_check_carrier(coded.data(), coded.size(), &g);
                tally.misses.push_back(set + " " + std::to_string(g.width) + "x" +
                                       std::to_string(g.height) + ": hidden " + name(layout) +
                                       " taken for hidden " + name(guessed));
            }
        }
}

}  // namespace

void tally_detection(const std::string& samples, uint32_t width, uint32_t height,
                     detection_tally& tally)
{
    const image pictures[3] = {scaled(read_file(samples + "/Main.bmp"), width, height),
                               scaled(read_file(samples + "/Hidden 1.bmp"), width, height),
                               scaled(read_file(samples + "/Hidden 2.bmp"), width, height)};
    // Each sample takes each role in turn.
    for (int first = 0; first < 3; ++first)
        tally_set("samples", pictures[first], pictures[(first + 1) % 3], pictures[(first + 2) % 3], tally);
    for (uint32_t seed = 1; seed <= 2; ++seed)
        tally_set("generated", synthetic_bmp(int32_t(width), int32_t(height), seed * 3),
                  synthetic_bmp(int32_t(width), int32_t(height), seed * 3 + 1),
                  synthetic_bmp(int32_t(width), int32_t(height), seed * 3 + 2), tally);
}
