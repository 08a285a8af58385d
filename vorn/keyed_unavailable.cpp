// The keyed calls of a vorn built without the keyed form (no libsodium for its target): a
// password option is refused with the reason, and no picture is taken for a keyed one.
#include "failure.h"
#include "keyed_command.h"

bool keyed(const options& given)
{
    if (given.password || !given.password_file.empty())
        fail(exit_class::usage, "this vorn was built without keyed pictures (no libsodium for its system)");
    return false;
}

void frame_keyed_carrier(input_picture&, output_format) {}
void encode_keyed(const options&, std::vector<uint8_t>&, std::vector<uint8_t> (&)[2], std::ostream&) {}
void decode_keyed(const options&, const std::vector<uint8_t>&, std::ostream&) {}
bool looks_keyed(const std::vector<uint8_t>&) { return false; }
