// The compact form as docs/compact-form.md writes it down, read from the document itself so that
// the two cannot drift: writing its vectors (its salt, every other drawn bit 0) gives its key,
// frame and coded picture; the picture made from its carrier and frame by its bit order alone
// opens to its hidden picture; and pictures the first version wrote still open.
#include <gtest/gtest.h>
#include <sodium.h>

#include <cctype>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "compact_container.h"
#include "compact_seal.h"
#include "compact_steps.h"
#include "embedding.h"
#include "keyed_order.h"
#include "kit_pictures.h"

namespace {

// One vector of the document: its text fields and its bytes, by field name.
struct vector_fields {
    std::map<std::string, std::string> text;
    std::map<std::string, std::vector<uint8_t>> bytes;
};

std::vector<uint8_t> from_hex(const std::string& text)
{
    std::vector<uint8_t> bytes;
    std::string digits;
    for (const char c : text)
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2) bytes.push_back(uint8_t(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string hex(const std::vector<uint8_t>& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (const uint8_t b : bytes) text += std::string{digits[b >> 4], digits[b & 15]};
    return text;
}

// The document's vectors: in its ```text blocks, "vector: NAME" begins one, each "field: value"
// line gives a field (continued on indented lines); "password" and "vector" are text, the rest hex.
std::map<std::string, vector_fields> document_vectors()
{
    std::ifstream file(VORN_DOCS_DIR "/compact-form.md");
    std::map<std::string, vector_fields> vectors;
    std::string line, name, field;
    bool in_block = false;
    while (std::getline(file, line)) {
        if (line.rfind("```", 0) == 0) {
            in_block = !in_block && line == "```text";
            name.clear();
            continue;
        }
        if (!in_block) continue;
        if (!line.empty() && line[0] == ' ' && !name.empty() && !field.empty()) {
            vectors[name].text[field] += line;
            continue;
        }
        const size_t colon = line.find(": ");
        if (colon == std::string::npos) continue;
        field = line.substr(0, colon);
        const std::string value = line.substr(colon + 2);
        if (field == "vector") name = value;
        if (!name.empty()) vectors[name].text[field] = value;
    }
    for (auto& [vector_name, v] : vectors)
        for (const auto& [key, value] : v.text)
            if (key != "vector" && key != "password") v.bytes[key] = from_hex(value);
    return vectors;
}

// The document's carrier: 16 x 16 pixels, R = 16 x, G = 16 y, B = 128 (x from the left, y from the top).
test_picture vector_carrier()
{
    test_picture carrier{16, 16, {}};
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 16; ++x) carrier.rgb.insert(carrier.rgb.end(), {uint8_t(16 * x), uint8_t(16 * y), 128});
    return carrier;
}

// While it lives, libsodium's random bytes are all 0.
struct zero_random {
    static const char* name() { return "zeros"; }
    static uint32_t random() { return 0; }
    static void buf(void* out, size_t size) { std::memset(out, 0, size); }
    randombytes_implementation zeros{name, random, nullptr, nullptr, buf, nullptr};
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

const std::string* password_of(const vector_fields& v, std::string& password)
{
    password = v.text.at("password");
    return password == "(none)" ? nullptr : &password;
}

class compact_vectors : public ::testing::Test {
protected:
    const std::map<std::string, vector_fields> vectors = document_vectors();
    const std::vector<uint8_t> carrier = bmp_of(vector_carrier());
};

TEST_F(compact_vectors, writing_gives_the_documents_bytes)
{
    ASSERT_EQ(vectors.size(), 3u);
    for (const auto& [name, v] : vectors) {
        if (stealth_vector(name)) continue;
        SCOPED_TRACE(name);
        compact_key key;
        std::memcpy(key.salt, v.bytes.at("salt").data(), sizeof key.salt);
        std::string password;
        derive_key(password_of(v, password), key);
        EXPECT_EQ(hex(std::vector<uint8_t>(key.key, key.key + sizeof key.key)), hex(v.bytes.at("key")));
        compact_header header;
        ASSERT_TRUE(read_header(v.bytes.at("header").data(), header, 1000));
        const embedding& laid = low_bits_embedding();
        EXPECT_EQ(hex(header_bytes(header.entries, laid.id, 2)), hex(v.bytes.at("header")));
        vorn_geometry g;
        ASSERT_EQ(vorn_check_carrier(carrier.data(), carrier.size(), &g), VORN_OK);
        std::vector<uint8_t> frame, coded = carrier;
        {
            const zero_random zeros;
            frame = sealed_frame(laid, 2, g, key, v.bytes.at("header"), v.bytes.at("body"));
            laid.lay(coded, 2, key, frame);
        }
        EXPECT_EQ(hex(frame), hex(v.bytes.at("frame")));
        std::vector<uint8_t> digest(crypto_hash_sha256_BYTES);
        crypto_hash_sha256(digest.data(), coded.data(), coded.size());
        EXPECT_EQ(hex(digest), hex(v.bytes.at("coded-sha256")));
    }
}

TEST_F(compact_vectors, the_documents_picture_opens)
{
    for (const auto& [name, v] : vectors) {
        if (stealth_vector(name)) continue;
        SCOPED_TRACE(name);
        // Colour byte n (file order) keeps its 6 high bits and takes frame bits 2n and 2n + 1,
        // the first in its bit 1; frame bit i is bit 7 - i % 8 of frame byte i / 8.
        std::vector<uint8_t> coded = carrier;
        const std::vector<uint8_t>& frame = v.bytes.at("frame");
        for (size_t n = 0; n < 16 * 16 * 3; ++n) {
            const unsigned high = frame[2 * n / 8] >> (7 - 2 * n % 8) & 1, low = frame[2 * n / 8] >> (6 - 2 * n % 8) & 1;
            uint8_t& byte = coded[54 + n];
            byte = uint8_t((byte & ~3u) | high << 1 | low);
        }
        std::string password;
        kit::decode_result result;
        ASSERT_TRUE(open_compact(coded, "vector", password_of(v, password), read_limits(), result, {}));
        EXPECT_EQ(result.carrier_bits, 2u);
        const test_picture hidden = pixels_of(result.pictures[0]);
        EXPECT_EQ(hex(hidden.rgb), hex(v.bytes.at("hidden-pixels")));
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
    std::memcpy(key.salt, v.bytes.at("salt").data(), sizeof key.salt);
    derive_key(nullptr, key);
    EXPECT_EQ(hex(std::vector<uint8_t>(key.key, key.key + sizeof key.key)), hex(v.bytes.at("key")));
    uint8_t order_key[32];
    const char context[] = "vornhold stealth embedding order";
    crypto_generichash(order_key, 32, reinterpret_cast<const uint8_t*>(context), 32, key.key, 32);
    EXPECT_EQ(hex(std::vector<uint8_t>(order_key, order_key + 32)), hex(v.bytes.at("order-key")));
    std::vector<uint32_t> first = keyed_order_tail(order_key, 40 * 48 * 3 - 128, 4);
    for (uint32_t& element : first) element += 128;
    EXPECT_EQ(hex(little_endian(first, 4)), hex(v.bytes.at("first-elements")));
    compact_header header;
    ASSERT_TRUE(read_header(v.bytes.at("header").data(), header, 1000));
    const embedding& laid = stealth_embedding();
    EXPECT_EQ(hex(header_bytes(header.entries, laid.id, 0)), hex(v.bytes.at("header")));
    const std::vector<uint8_t> frame = sealed_frame(laid, 0, g, key, v.bytes.at("header"), v.bytes.at("body"));
    EXPECT_EQ(hex(frame), hex(v.bytes.at("frame")));
    std::vector<uint8_t> coded = carrier;
    laid.lay(coded, 0, key, frame);
    std::vector<uint32_t> changes;
    for (uint32_t n = 0; n < 40 * 48 * 3; ++n)
        if (coded[54 + n] != carrier[54 + n]) changes.push_back(n | uint32_t(coded[54 + n]) << 16);
#if !defined(__i386__) || defined(__SSE2_MATH__)  // x87's wider floats may price a byte otherwise
    EXPECT_EQ(hex(little_endian(changes, 3)), hex(v.bytes.at("changes")));
#endif

    // Reading: the carrier with the document's changes.
    coded = carrier;
    const std::vector<uint8_t>& listed = v.bytes.at("changes");
    for (size_t i = 0; i + 2 < listed.size(); i += 3) coded[54 + (listed[i] | listed[i + 1] << 8)] = listed[i + 2];
    kit::decode_result result;
    ASSERT_TRUE(open_compact(coded, "vector", nullptr, read_limits(), result, {}));
    EXPECT_TRUE(result.stealth);
    EXPECT_EQ(hex(pixels_of(result.pictures[0]).rgb), hex(v.bytes.at("hidden-pixels")));
}

TEST(compact_fixtures, pictures_of_the_first_version_open)
{
    // Written by the first version (vorn encode --carrier-bits 2, and 1 with the password
    // "fixture") from a 40 x 32 carrier and this 8 x 6 picture.
    test_picture hidden{8, 6, {}};
    for (uint32_t y = 0; y < 6; ++y)
        for (uint32_t x = 0; x < 8; ++x)
            hidden.rgb.insert(hidden.rgb.end(), {uint8_t(x * 32), uint8_t(y * 40), uint8_t((x + y) * 20)});
    const struct {
        const char* file;
        const char* password;
        int which;
    } rows[] = {{"compact-v1-plain.png", nullptr, 2}, {"compact-v1-password.png", "fixture", 1}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.file);
        std::ifstream in(std::string(VORN_FIXTURES_DIR "/") + r.file, std::ios::binary);
        const kit::bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        input_picture picture;
        ASSERT_TRUE(kit::read_picture(file, r.file, picture_role::coded, read_limits(), picture).ok());
        kit::bytes coded;
        ASSERT_TRUE(kit::image_of(std::move(picture), coded).ok());
        const std::string password = r.password ? r.password : "";
        kit::decode_result result;
        const kit::status status = kit::decode(std::move(coded), r.file, kit::decode_request(),
                                               r.password ? &password : nullptr, false, result);
        ASSERT_TRUE(status.ok()) << status.text;
        EXPECT_TRUE(result.compact);
        EXPECT_EQ(pixels_of(result.pictures[r.which - 1]).rgb, hidden.rgb);
    }
}

}  // namespace
