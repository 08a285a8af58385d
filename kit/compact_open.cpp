// Opening a compact picture: the salt from the lead, the key, the k whose header opens, then the
// body and the pictures in it.
#include "compact_container.h"
#include "compact_seal.h"
#include "compact_steps.h"
#include "fault.h"

namespace {

std::string normalised(const std::string& typed)
{
    std::string password;
    const kit::status valid = kit::normalise_password(typed, password);
    if (!valid.ok()) raise_fault(valid.kind, valid.text);
    return password;
}

}  // namespace

bool opens_as_compact(const std::vector<uint8_t>& coded)
{
    compact_key key;
    std::vector<uint8_t> header;
    if (!read_salt(coded, key)) return false;
    derive_key(nullptr, key);
    return open_header(coded, key, header) != 0;
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
    std::vector<uint8_t> header_plain;
    const unsigned k = open_header(coded, key, header_plain);
    if (k == 0) return false;

    // The header is authentic from here on: whatever fails now is a changed or broken picture.
    vorn_geometry g;
    vorn_check_carrier(coded.data(), coded.size(), &g);
    compact_header header;
    std::vector<uint8_t> body;
    if (!read_header(header_plain.data(), header, body_room(g, k)) || !open_body(coded, k, key, header.body_length, body))
        raise_fault(kit::fault::input, name + ": the compact picture was changed after it was coded (its check fails); "
                                              "nothing is taken out");
    if (report) report("decoding the hidden pictures", -1);
    std::vector<uint8_t> pictures[2];
    decode_body(header, body.data(), limits, name, pictures);
    for (int which = 0; which < 2; ++which) result.pictures[which] = std::move(pictures[which]);
    result.compact = true;
    result.keyed = typed != nullptr;
    result.carrier_bits = k;
    result.layout = VORN_LAYOUT_NONE;
    return true;
}
