#include "compact_container.h"

#include "fault.h"

namespace {

void put32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) at[i] = uint8_t(value >> (8 * i));
}

uint32_t get32(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

constexpr size_t entry_offset = 8, entry_bytes = 16;

bool known_codec(uint8_t value) { return codec_named(value) != nullptr; }

}  // namespace

std::vector<uint8_t> header_bytes(const std::vector<stored_entry>& entries, uint8_t embedding, uint8_t parameter)
{
    std::vector<uint8_t> header(compact_header_bytes, 0);
    header[0] = compact_format_version;
    header[1] = uint8_t(entries.size());
    header[2] = embedding;
    header[3] = parameter;
    uint32_t body = 0;
    for (size_t i = 0; i < entries.size() && i < 2; ++i) {
        uint8_t* entry = header.data() + entry_offset + i * entry_bytes;
        entry[0] = entries[i].which;
        entry[1] = uint8_t(entries[i].codec);
        put32(entry + 4, entries[i].width);
        put32(entry + 8, entries[i].height);
        put32(entry + 12, entries[i].length);
        body += entries[i].length;
    }
    put32(header.data() + 4, body);
    return header;
}

bool read_header(const uint8_t* bytes, compact_header& header, uint64_t most_body)
{
    header = compact_header();
    const unsigned count = bytes[1];
    header.version = bytes[0];
    header.embedding = bytes[2];
    header.parameter = bytes[3];
    const bool v1 = header.version == 1 && !bytes[2] && !bytes[3];
    const bool v2 = header.version == 2 && bytes[2] != 0;  // the sealing holds the embedding to the one it opened in
    if ((!v1 && !v2) || count < 1 || count > 2) return false;
    header.body_length = get32(bytes + 4);
    if (header.body_length > most_body) return false;
    uint64_t total = 0;
    for (unsigned i = 0; i < 2; ++i) {
        const uint8_t* entry = bytes + entry_offset + i * entry_bytes;
        if (i >= count) {
            for (size_t b = 0; b < entry_bytes; ++b)
                if (entry[b]) return false;
            continue;
        }
        stored_entry read;
        read.which = entry[0];
        const bool in_order = header.entries.empty() || header.entries.back().which < read.which;
        if ((read.which != 1 && read.which != 2) || !in_order || !known_codec(entry[1]) || entry[2] || entry[3])
            return false;
        read.codec = stored_codec(entry[1]);
        read.width = get32(entry + 4);
        read.height = get32(entry + 8);
        read.length = get32(entry + 12);
        if (!codec_takes(read.codec, read.width, read.height) || read.length == 0) return false;
        total += read.length;
        header.entries.push_back(read);
    }
    return total == header.body_length;
}

void decode_body(const compact_header& header, const uint8_t* body, const read_limits& limits,
                 const std::string& name, rgb_picture (&pictures)[2])
{
    size_t at = 0;
    for (const stored_entry& entry : header.entries) {
        const std::string picture = name + ": hidden picture " + std::to_string(entry.which);
        pictures[entry.which - 1] =
            decode_stored(body + at, entry.length, entry.codec, entry.width, entry.height, limits, picture);
        at += entry.length;
    }
}

bool open_plain_container(const std::vector<uint8_t>& container, const read_limits& limits,
                          rgb_picture (&pictures)[2])
{
    if (container.size() < compact_header_bytes) return false;
    compact_header header;
    if (!read_header(container.data(), header, container.size() - compact_header_bytes)) return false;
    decode_body(header, container.data() + compact_header_bytes, limits, "container", pictures);
    return true;
}
