// The compact form as docs/compact-form.md writes it down, its vectors read from the document
// itself so that the two cannot drift: writing them (their salt, every other drawn bit 0) gives
// their key, frame and coded picture; their frame laid by the document's bit order alone opens;
// and pictures the first version wrote still open.
#include <gtest/gtest.h>
#include <sodium.h>

#include <cstring>
#include <fstream>
#include <map>

#include "compact_container.h"
#include "compact_seal.h"
#include "compact_steps.h"
#include "embedding.h"
#include "keyed_order.h"
#include "stealth_order.h"
#include "kit_pictures.h"

namespace {

std::string hex(const std::vector<uint8_t>& bytes)
{
    std::string text;
    for (const uint8_t b : bytes) text += "0123456789abcdef"[b >> 4], text += "0123456789abcdef"[b & 15];
    return text;
}

std::vector<uint8_t> bytes_of(const std::string& hex_text)
{
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex_text.size(); i += 2) bytes.push_back(uint8_t(std::stoi(hex_text.substr(i, 2), nullptr, 16)));
    return bytes;
}

// The vectors: in the document's ```text blocks, "vector: NAME" begins one and each "field: value"
// line gives a field, continued on indented lines; spaces in a value are left out.
using vector_fields = std::map<std::string, std::string>;
std::map<std::string, vector_fields> document_vectors()
{
    std::ifstream file(VORN_DOCS_DIR "/compact-form.md");
    std::map<std::string, vector_fields> vectors;
    std::string line, name, field;
    bool in_block = false;
    while (std::getline(file, line)) {
        if (line.rfind("```", 0) == 0) in_block = !in_block && line == "```text", name.clear();
        const size_t colon = line.find(": ");
        if (!in_block || (line[0] != ' ' && colon == std::string::npos)) continue;
        if (line[0] != ' ') field = line.substr(0, colon), line = line.substr(colon + 2);
        if (field == "vector") name = line;
        for (const char c : line) vectors[name][field] += c == ' ' ? "" : std::string(1, c);
    }
    vectors.erase("");
    return vectors;
}

// While it lives, libsodium's random bytes are all 0.
struct zero_random {
    randombytes_implementation zeros{[] { return "zeros"; }, [] { return uint32_t(0); }, nullptr, nullptr,
                                     [](void* out, size_t size) { std::memset(out, 0, size); }, nullptr};
    zero_random() { randombytes_set_implementation(&zeros); }
    ~zero_random() { randombytes_set_implementation(&randombytes_internal_implementation); }
};

bool stealth_vector(const std::string& name) { return name.rfind("stealth", 0) == 0; }

// The stealth vector's carrier: 48 x 40 pixels, R = 5 x, G = 6 y, B = x y mod 256.
test_picture stealth_carrier()
{
    test_picture carrier{48, 40, {}};
    for (uint32_t y = 0; y < 40; ++y)
        for (uint32_t x = 0; x < 48; ++x)
            carrier.rgb.insert(carrier.rgb.end(), {uint8_t(5 * x), uint8_t(6 * y), uint8_t(x * y)});
    return carrier;
}

// Little-endian integers of `width` bytes each.
std::vector<uint8_t> little_endian(const std::vector<uint32_t>& values, unsigned width)
{
    std::vector<uint8_t> bytes;
    for (const uint32_t value : values)
        for (unsigned i = 0; i < width; ++i) bytes.push_back(uint8_t(value >> (8 * i)));
    return bytes;
}

class compact_vectors : public ::testing::Test {
protected:
    const std::map<std::string, vector_fields> vectors = document_vectors();
    std::vector<uint8_t> carrier;  // 16 x 16: R = 16 x, G = 16 y, B = 128
    std::string password;
    void SetUp() override
    {
        test_picture picture{16, 16, {}};
        for (uint32_t y = 0; y < 16; ++y)
            for (uint32_t x = 0; x < 16; ++x) picture.rgb.insert(picture.rgb.end(), {uint8_t(16 * x), uint8_t(16 * y), 128});
        carrier = bmp_of(picture);
        ASSERT_EQ(vectors.size(), 3u);
    }
    const std::string* password_of(const vector_fields& v)
    {
        password = v.at("password");
        return password == "(none)" ? nullptr : &password;
    }
};

TEST_F(compact_vectors, writing_gives_the_documents_bytes)
{
    for (const auto& [name, v] : vectors) {
        if (stealth_vector(name)) continue;
        SCOPED_TRACE(name);
        compact_key key;
        std::memcpy(key.salt, bytes_of(v.at("salt")).data(), sizeof key.salt);
        derive_key(password_of(v), key);
        EXPECT_EQ(hex(std::vector<uint8_t>(key.key, key.key + sizeof key.key)), v.at("key"));
        compact_header header;
        ASSERT_TRUE(read_header(bytes_of(v.at("header")).data(), header, 1000));
        const embedding& laid = low_bits_embedding();
        EXPECT_EQ(hex(header_bytes(header.entries, laid.id, 2)), v.at("header"));
        vorn_geometry g;
        vorn_check_carrier(carrier.data(), carrier.size(), &g);
        std::vector<uint8_t> frame, coded = carrier, digest(crypto_hash_sha256_BYTES);
        {
            const zero_random zeros;
            frame = sealed_frame(laid, 2, g, key, bytes_of(v.at("header")), bytes_of(v.at("body")));
            laid.lay(coded, 2, key, frame);
        }
        EXPECT_EQ(hex(frame), v.at("frame"));
        crypto_hash_sha256(digest.data(), coded.data(), coded.size());
        EXPECT_EQ(hex(digest), v.at("coded-sha256"));
    }
}

TEST_F(compact_vectors, the_documents_picture_opens)
{
    for (const auto& [name, v] : vectors) {
        if (stealth_vector(name)) continue;
        SCOPED_TRACE(name);
        // Colour byte n (file order, after the 54-byte header) takes frame bits 2n and 2n + 1,
        // the first in its bit 1; frame bit i is bit 7 - i % 8 of frame byte i / 8.
        std::vector<uint8_t> coded = carrier;
        const std::vector<uint8_t> frame = bytes_of(v.at("frame"));
        for (size_t n = 0; n < 16 * 16 * 3; ++n)
            coded[54 + n] = uint8_t((coded[54 + n] & ~3u) | (frame[n / 4] >> (6 - 2 * (n % 4)) & 3u));
        kit::decode_result result;
        ASSERT_TRUE(open_compact(coded, "vector", password_of(v), read_limits(), result, {}));
        EXPECT_EQ(result.carrier_bits, 2u);
        EXPECT_EQ(hex(pixels_of(result.pictures[0]).rgb), v.at("hidden-pixels"));
        EXPECT_TRUE(carries_compact_mark(coded));
    }
}

// The stealth vector: the keys, the order's first elements and the frame are the document's; the
// changes are what this writer's costs chose (a float computation: on another writer they may
// differ, and only the reading direction binds), and laid into the carrier they open.
TEST(stealth_vector, writing_and_reading_give_the_documents_bytes)
{
    const vector_fields v = document_vectors().at("stealth, no password");
    const std::vector<uint8_t> carrier = bmp_of(stealth_carrier());
    vorn_geometry g;
    ASSERT_EQ(vorn_check_carrier(carrier.data(), carrier.size(), &g), VORN_OK);
    compact_key key;
    std::memcpy(key.salt, bytes_of(v.at("salt")).data(), sizeof key.salt);
    derive_key(nullptr, key);
    EXPECT_EQ(hex(std::vector<uint8_t>(key.key, key.key + sizeof key.key)), hex(bytes_of(v.at("key"))));
    uint8_t order_key[32];
    const char context[] = "vornhold stealth embedding order";
    crypto_generichash(order_key, 32, reinterpret_cast<const uint8_t*>(context), 32, key.key, 32);
    EXPECT_EQ(hex(std::vector<uint8_t>(order_key, order_key + 32)), hex(bytes_of(v.at("order-key"))));
    std::vector<uint32_t> first = keyed_order_tail(order_key, 40 * 48 * 3 - 128, 4);
    for (uint32_t& element : first) element += 128;
    EXPECT_EQ(hex(little_endian(first, 4)), hex(bytes_of(v.at("first-elements"))));
    const stealth_order rows = stealth_rows_order(order_key, 40 * 48 * 3 - 128, 128);
    EXPECT_EQ(hex(little_endian({rows.at(0), rows.at(1), rows.at(2), rows.at(3)}, 4)),
              hex(bytes_of(v.at("rows-first-elements"))));
    compact_header header;
    ASSERT_TRUE(read_header(bytes_of(v.at("header")).data(), header, 1000));
    const embedding& laid = stealth_embedding();
    EXPECT_EQ(hex(header_bytes(header.entries, laid.id, 0)), hex(bytes_of(v.at("header"))));
    const std::vector<uint8_t> frame = sealed_frame(laid, 0, g, key, bytes_of(v.at("header")), bytes_of(v.at("body")));
    EXPECT_EQ(hex(frame), hex(bytes_of(v.at("frame"))));
    std::vector<uint8_t> coded = carrier;
    laid.lay(coded, 0, key, frame);
    std::vector<uint32_t> changes;
    for (uint32_t n = 0; n < 40 * 48 * 3; ++n)
        if (coded[54 + n] != carrier[54 + n]) changes.push_back(n | uint32_t(coded[54 + n]) << 16);
#if !defined(__i386__) || defined(__SSE2_MATH__)  // x87's wider floats may price a byte otherwise
    EXPECT_EQ(hex(little_endian(changes, 3)), hex(bytes_of(v.at("changes"))));
#endif

    // Reading: the carrier with the document's changes.
    coded = carrier;
    const std::vector<uint8_t>& listed = bytes_of(v.at("changes"));
    for (size_t i = 0; i + 2 < listed.size(); i += 3) coded[54 + (listed[i] | listed[i + 1] << 8)] = listed[i + 2];
    kit::decode_result result;
    ASSERT_TRUE(open_compact(coded, "vector", nullptr, read_limits(), result, {}));
    EXPECT_TRUE(result.stealth);
    EXPECT_EQ(hex(pixels_of(result.pictures[0]).rgb), hex(bytes_of(v.at("hidden-pixels"))));
}

// The stealth embedding's two layouts, each written and read on rows with and without padding:
// a picture opens in the layout it was laid in, and its header names that layout.
TEST(stealth_vector, each_layout_opens_as_it_was_laid)
{
    const vector_fields v = document_vectors().at("stealth, no password");
    const embedding& laid = stealth_embedding();
    compact_header header;
    ASSERT_TRUE(read_header(bytes_of(v.at("header")).data(), header, 1000));
    for (const uint32_t width : {48u, 47u})
        for (const unsigned parameter : {unsigned(stealth_shuffled), unsigned(stealth_rows)}) {
            SCOPED_TRACE(std::to_string(width) + " wide, parameter " + std::to_string(parameter));
            test_picture picture = stealth_carrier();
            if (width != picture.width) picture = crop(picture, 0, 0, width, picture.height);
            std::vector<uint8_t> coded = bmp_of(picture);
            vorn_geometry g;
            ASSERT_EQ(vorn_check_carrier(coded.data(), coded.size(), &g), VORN_OK);
            compact_key key;
            std::memcpy(key.salt, bytes_of(v.at("salt")).data(), sizeof key.salt);
            derive_key(nullptr, key);
            const std::vector<uint8_t> frame = sealed_frame(laid, parameter, g, key,
                                                            header_bytes(header.entries, laid.id, uint8_t(parameter)),
                                                            bytes_of(v.at("body")));
            laid.lay(coded, parameter, key, frame);
            kit::decode_result result;
            ASSERT_TRUE(open_compact(coded, "laid", nullptr, read_limits(), result, {}));
            EXPECT_TRUE(result.stealth);
            EXPECT_EQ(hex(pixels_of(result.pictures[0]).rgb), hex(bytes_of(v.at("hidden-pixels"))));
            opened_header opened;
            ASSERT_TRUE(open_header(coded, key, opened));
            EXPECT_EQ(opened.parameter, parameter);
        }
}

TEST(compact_fixtures, pictures_of_the_first_version_open)
{
    // Written by the first version (vorn encode --carrier-bits 2, and 1 with the password
    // "fixture") from a 40 x 32 carrier and this 8 x 6 picture.
    test_picture hidden{8, 6, {}};
    for (uint32_t y = 0; y < 6; ++y)
        for (uint32_t x = 0; x < 8; ++x) hidden.rgb.insert(hidden.rgb.end(), {uint8_t(x * 32), uint8_t(y * 40), uint8_t((x + y) * 20)});
    const std::string password = "fixture";
    const struct {
        const char* file;
        const std::string* password;
        int which;
    } rows[] = {{"compact-v1-plain.png", nullptr, 2}, {"compact-v1-password.png", &password, 1}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file);
        std::ifstream in(std::string(VORN_FIXTURES_DIR "/") + r.file, std::ios::binary);
        input_picture picture;
        kit::bytes coded;
        ASSERT_TRUE(kit::read_picture(kit::bytes(std::istreambuf_iterator<char>(in), {}), r.file, picture_role::coded,
                                      read_limits(), picture).ok());
        ASSERT_TRUE(kit::image_of(std::move(picture), coded).ok());
        kit::decode_result result;
        const kit::status status = kit::decode(std::move(coded), r.file, kit::decode_request(), r.password, false, result);
        ASSERT_TRUE(status.ok()) << status.text;
        EXPECT_EQ(pixels_of(result.pictures[r.which - 1]).rgb, hidden.rgb);
    }
}

}  // namespace
