// The compact form where the build has no libsodium: refused with the reason, never opened.
#include "compact_steps.h"
#include "fault.h"

void compact_hide(std::vector<uint8_t>&&, input_picture* (&)[2], const kit::hide_request&, const std::string&,
                  kit::hide_result&)
{
    raise_fault(kit::fault::usage, "this build has no compact form (no libsodium for its system)");
}

bool opens_as_compact(const std::vector<uint8_t>&) { return false; }

bool carries_compact_mark(const std::vector<uint8_t>&) { return false; }

bool open_compact(const std::vector<uint8_t>&, const std::string&, const std::string*, const read_limits&,
                  kit::decode_result&, const kit::progress&)
{
    return false;
}

namespace kit {

bool has_compact() { return false; }

}  // namespace kit
