// The three programs' decoding, which the web page offers beside taking hidden pictures out.
#include "fault.h"
#include "kit.h"
#include "page_words.h"
#include "picture_memory.h"

namespace kit {

status program_decode(bytes& coded, const std::string& name, vorn_build build, bytes& decoded1)
{
    return guarded(name, [&] {
        decoded1 = large_buffer(coded.size());
        std::vector<uint8_t> work = engine_work(vorn_program_decode_work_size, coded);
        const vorn_error error = vorn_program_decode(coded.data(), coded.size(), build, decoded1.data(),
                                                     coded.data(), work.data(), work.size());
        if (error != VORN_OK) raise_fault(fault::input, name + ": " + vorn_strerror(error));
    });
}

}  // namespace kit
