// Writes the seed corpus of every fuzz target: tiny valid pictures and one broken picture of each
// kind, laid out in each target's input format (see the targets' own comments).
//
//   vorn_fuzz_seeds FOLDER    writes FOLDER/header, FOLDER/encode, FOLDER/decode, FOLDER/filter,
//                             FOLDER/library, FOLDER/keyed, FOLDER/vorn_kit_decode
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "bmp_builder.h"

namespace fs = std::filesystem;

namespace {

struct named {
    std::string name;
    bytes picture;
};

bytes changed(bytes picture, const std::function<void(bytes&)>& change)
{
    change(picture);
    return picture;
}

bytes with_le32(const bytes& picture, size_t offset, uint32_t value)
{
    return changed(picture, [&](bytes& b) { put_le32(b, offset, value); });
}

bytes with_bits(const bytes& picture, uint16_t bits)
{
    return changed(picture, [&](bytes& b) { put_le16(b, 28, bits); });
}

std::vector<named> valid_pictures()
{
    return {
        {"1x1-trailing", bmp_noise(1, 1, 1, 2)},
        {"2x2", bmp_noise(2, 2, 2)},
        {"3x3", bmp_noise(3, 3, 3)},
        {"4x4", bmp_noise(4, 4, 4)},
        {"8x2", bmp_noise(8, 2, 5)},
        {"5x3", bmp_noise(5, 3, 6)},
        {"0x0", bmp_file(0, 0, 0)},
        {"4x2-offset-58", changed(bmp_noise(4, 2, 7, 4), [](bytes& b) { put_le32(b, 10, 58); })},
    };
}

std::vector<named> broken_pictures()
{
    const bytes base = bmp_noise(4, 2, 8);
    return {
        {"empty", {}},
        {"one-byte", {'B'}},
        {"29-bytes", bytes(base.begin(), base.begin() + 29)},
        {"magic", changed(base, [](bytes& b) { b[1] = 'A'; })},
        {"bits-1", with_bits(base, 1)},
        {"bits-8", with_bits(base, 8)},
        {"bits-16", with_bits(base, 16)},
        {"bits-32", with_bits(base, 32)},
        {"width-negative", with_le32(base, 18, uint32_t(-4))},
        {"height-negative", with_le32(base, 22, uint32_t(-2))},
        {"width-zero", with_le32(base, 18, 0)},
        {"height-zero", with_le32(base, 22, 0)},
        {"product-wraps", with_le32(with_le32(bmp_file(0, 0, 0), 18, 21845), 22, 65536)},
        {"sum-wraps", with_le32(bmp_file(1, 1, 0), 10, 0xFFFFFFFE)},
        {"offset-beyond-end", with_le32(base, 10, 1000)},
        {"offset-negative", with_le32(base, 10, uint32_t(-8))},
        {"raster-one-short", bytes(base.begin(), base.end() - 1)},
    };
}

bytes joined(std::initializer_list<bytes> parts, int control = -1)
{
    bytes out;
    if (control >= 0) out.push_back(uint8_t(control));
    for (const bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

void write_seeds(const fs::path& folder, const std::vector<named>& seeds)
{
    fs::create_directories(folder);
    for (const named& seed : seeds) write_file(folder / seed.name, seed.picture);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vorn_fuzz_seeds FOLDER\n");
        return 2;
    }
    const fs::path root = argv[1];
    const std::vector<named> valid = valid_pictures(), broken = broken_pictures();
    std::vector<named> all = valid;
    all.insert(all.end(), broken.begin(), broken.end());
    const bytes square = bmp_noise(4, 4, 4), other = bmp_noise(4, 4, 9), third = bmp_noise(4, 4, 10);

    std::vector<named> header = all;
    header.push_back({"pair-same", joined({square, other})});
    header.push_back({"pair-other-width", joined({square, with_le32(other, 18, 2)})});

    std::vector<named> encode, decode, filter, library, kit_decode;
    for (const named& v : valid) {
        const bytes h1 = changed(v.picture, [](bytes& b) { for (size_t i = 54; i < b.size(); ++i) b[i] ^= 0x5A; });
        const bytes h2 = changed(v.picture, [](bytes& b) { for (size_t i = 54; i < b.size(); ++i) b[i] += 77; });
        encode.push_back({v.name + "-alone", joined({v.picture}, 0x00)});
        encode.push_back({v.name + "-hidden-1", joined({v.picture, h1}, 0x01)});
        encode.push_back({v.name + "-hidden-2", joined({v.picture, h2}, 0x04)});
        encode.push_back({v.name + "-both", joined({v.picture, h1, h2}, 0x05)});
        encode.push_back({v.name + "-both-vornhold", joined({v.picture, h1, h2}, 0x15)});
        decode.push_back({v.name + "-vornhold2", joined({v.picture}, 0)});
        decode.push_back({v.name + "-vornhold", joined({v.picture}, 1)});
        filter.push_back({v.name, joined({v.picture}, 0)});
        for (uint8_t control = 0; control < 8; ++control)
            library.push_back({v.name + "-" + std::to_string(control), joined({v.picture}, control)});
        // The kit's decode path: the caller's choice, then the file.
        for (const uint8_t choice : {0x00, 0x05, 0x0D, 0x17, 0x25}) {
            bytes seed{choice};
            seed.insert(seed.end(), v.picture.begin(), v.picture.end());
            kit_decode.push_back({v.name + "-" + std::to_string(choice), seed});
        }
        // Each fit, and reconstruction in layouts 1 to 5 and an unknown one.
        for (int fit = 0; fit < 4; ++fit)
            for (const int layout : {1 + fit, 5 - fit / 2, 7})
                library.push_back({v.name + "-fit-" + std::to_string(fit) + "-layout-" + std::to_string(layout),
                                   joined({v.picture}, fit << 3 | layout << 5)});
    }
    for (const named& b : broken) {
        encode.push_back({b.name, joined({b.picture}, 0x00)});
        encode.push_back({"hidden-" + b.name, joined({bmp_noise(4, 2, 8), b.picture}, 0x01)});
        decode.push_back({b.name, joined({b.picture}, 0)});
        filter.push_back({b.name, joined({b.picture}, 0)});
        library.push_back({b.name, joined({b.picture}, 7)});
    }
    encode.push_back({"hidden-one-short", joined({square, other}, 0x02)});
    encode.push_back({"hidden-folders", joined({square}, 0x0F)});
    encode.push_back({"coded-folder", joined({square, other, third}, 0x25)});
    encode.push_back({"coded-full", joined({square, other, third}, 0x45)});
    encode.push_back({"coded-fifo", joined({square, other, third}, 0x65)});
    encode.push_back({"hidden-fifos", joined({square}, 0x8F)});
    for (int blocked = 1; blocked <= 3; ++blocked)
        decode.push_back({"blocked-" + std::to_string(blocked), joined({square}, blocked << 1)});
    for (int blocked = 1; blocked <= 2; ++blocked)
        decode.push_back({"fifo-" + std::to_string(blocked), joined({square}, 8 | blocked << 1)});
    filter.push_back({"25-bytes", joined({bytes(square.begin(), square.begin() + 25)}, 0)});
    filter.push_back({"26-bytes", joined({bytes(square.begin(), square.begin() + 26)}, 0)});
    filter.push_back({"out-folder", joined({square}, 1)});
    filter.push_back({"out-full", joined({square}, 2)});
    filter.push_back({"out-fifo", joined({square}, 3)});

    write_seeds(root / "header", header);
    write_seeds(root / "encode", encode);
    write_seeds(root / "decode", decode);
    write_seeds(root / "filter", filter);
    // Pictures large enough for a key in every layout (43 pixels at least), and one too small
    // for any: keyed in each layout, with and without a changed hidden bit, and decoded as they are.
    std::vector<named> keyed;
    const std::vector<named> keyable = {
        {"8x8", bmp_noise(8, 8, 11)}, {"11x5-padded", bmp_noise(11, 5, 12, 3)}, {"21x1", bmp_noise(21, 1, 13)}};
    for (const named& k : keyable) {
        keyed.push_back({k.name + "-as-is", joined({k.picture}, 0)});
        for (int layout = 1; layout <= 5; ++layout) {
            keyed.push_back({k.name + "-layout-" + std::to_string(layout), joined({k.picture}, layout)});
            keyed.push_back({k.name + "-layout-" + std::to_string(layout) + "-changed",
                             joined({k.picture}, layout | (3 + layout) << 3)});
        }
    }
    for (const named& b : broken) keyed.push_back({b.name, joined({b.picture}, 1)});

    write_seeds(root / "library", library);
    write_seeds(root / "vorn_kit_decode", kit_decode);
    write_seeds(root / "keyed", keyed);
    return 0;
}
