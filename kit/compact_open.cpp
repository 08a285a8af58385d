// Opening a compact picture: the salt from the lead, the key, the embedding and parameter whose
// header opens, then the body and the pictures in it.
#include "compact_container.h"
#include "compact_seal.h"
#include "compact_steps.h"
#include "embedding.h"
#include "fault.h"

bool opens_as_compact(const std::vector<uint8_t>& coded)
{
    compact_key key;
    opened_header opened;
    const wiped_when_gone header_wiped(opened.header);
    if (!read_salt(coded, key)) return false;
    derive_key(nullptr, key);
    return open_header(coded, key, opened);
}

bool open_compact(const std::vector<uint8_t>& coded, const std::string& name, const std::string* typed,
                  const read_limits& limits, kit::decode_result& result, const kit::progress& report)
{
    compact_key key;
    if (!read_salt(coded, key)) return false;
    if (typed) {
        if (report) report("deriving the key from the password", -1);
        std::string password = normalised(*typed);
        derive_key(&password, key);
        kit::wipe(password);
    } else {
        derive_key(nullptr, key);
    }
    opened_header opened;
    const wiped_when_gone header_wiped(opened.header);
    if (!open_header(coded, key, opened)) return false;

    // The header is authentic from here on: whatever fails now is a changed or broken picture.
    // Version 2 names the embedding it was sealed in; version 1 left those bytes 0.
    vorn_geometry g;
    vorn_check_carrier(coded.data(), coded.size(), &g);
    compact_header header;
    std::vector<uint8_t> body;
    const wiped_when_gone body_wiped(body);
    const auto named = [&] {
        return header.version == opened.version &&
               (header.version == 1 || (header.embedding == opened.laid->id && header.parameter == opened.parameter));
    };
    if (!read_header(opened.header.data(), header, body_room(*opened.laid, g, opened.parameter)) || !named() ||
        !open_body(coded, opened, key, header.body_length, body))
        raise_fault(kit::fault::input, name + ": the compact picture was changed after it was coded (its check fails); "
                                              "nothing is taken out");
    if (report) report("decoding the hidden pictures", -1);
    rgb_picture pictures[2];
    decode_body(header, body.data(), limits, name, pictures);
    for (int which = 0; which < 2; ++which) result.pictures[which] = std::move(pictures[which]);
    result.compact = true;
    result.keyed = typed != nullptr;
    result.stealth = opened.laid->id == embedding_stealth;
    result.carrier_bits = opened.laid->id == embedding_low_bits ? opened.parameter : 0;
    result.layout = VORN_LAYOUT_NONE;
    return true;
}
