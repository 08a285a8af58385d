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
        ASSERT_EQ(vectors.size(), 2u);
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
