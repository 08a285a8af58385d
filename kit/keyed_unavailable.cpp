// The keyed form of a kit built without libsodium for its system: every keyed step is refused
// with the reason, and no picture is taken for a keyed one.
#include "fault.h"
#include "keyed_steps.h"
#include "kit.h"

namespace {

const char* const unavailable = "this build has no keyed pictures (no libsodium for its system)";

}  // namespace

void keyed_hide(std::vector<uint8_t>&, std::vector<uint8_t> (&)[2], vorn_build, const std::string&,
                const std::string&)
{
    raise_fault(kit::fault::usage, unavailable);
}

bool looks_keyed(const std::vector<uint8_t>&) { return false; }

bool low_bits_look_keyed(const std::vector<uint8_t>&) { return false; }

namespace kit {

bool has_keyed() { return false; }

void wipe(std::string& secret)
{
    volatile char* bytes = secret.data();
    for (size_t i = 0; i < secret.size(); ++i) bytes[i] = 0;
    secret.clear();
}

status normalise_password(const std::string&, std::string&) { return {fault::usage, unavailable}; }

status open_keyed(const bytes&, const std::string&, const std::string&, bool, vorn_layout&, bytes (&)[2],
                  const progress&, int)
{
    return {fault::usage, unavailable};
}

}  // namespace kit
