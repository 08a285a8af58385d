// Encode mode: loads and checks the hidden pictures, has the engine hide them, prints what it
// did, and writes "Coded.bmp".
#include "coder.h"
#include "console.h"
#include "file_image.h"
#include "messages.h"

namespace {

enum class hidden_load { present, absent, no_memory };

// Loads "Hidden N.bmp" and says at once why it is left out, if it is.
hidden_load load_hidden(const char* number, const vorn_geometry& g, file_image& image)
{
    say(text::loading_hidden(number));
    const std::string name = std::string("Hidden ") + number + ".bmp";
    switch (load_file(name, image, g.length)) {
    case load_status::loaded: break;
    case load_status::no_memory: return hidden_load::no_memory;
    case load_status::cannot_read: say(text::cannot_open_hidden(number)); return hidden_load::absent;
    default: say(text::hidden_not_supported(number)); return hidden_load::absent;
    }
    if (vorn_check_hidden(&g, image.bytes.get(), image.length) == VORN_OK) return hidden_load::present;
    image.bytes.reset();
    say(text::hidden_not_supported(number));
    return hidden_load::absent;
}

void say_permutation(const vorn_geometry& g, const char* number)
{
    say(vorn_scrambles(&g) ? text::hidden_permutation(number)
                           : text::hidden_permutation_not_supported(number));
}

// The stages in the order they ran: the scrambled layer is hidden 1, else hidden 2 alone.
void say_stages(const vorn_geometry& g, bool hidden1, bool hidden2)
{
    if (hidden1) {
        say(text::hidden_dithering("1"));
        say_permutation(g, "1");
    }
    if (hidden2) {
        say(text::hidden_dithering("2"));
        if (!hidden1) say_permutation(g, "2");
    }
    say(text::main_dithering);
}

mode_result fail(std::string_view message)
{
    say(message);
    return mode_result::failed;
}

}  // namespace

mode_result encode_mode(uint8_t* main_image, const vorn_geometry& g, coder_build build)
{
    file_image hidden1;
    file_image hidden2;
    const hidden_load load1 = load_hidden("1", g, hidden1);
    if (load1 == hidden_load::no_memory) return fail(text::not_enough_memory);
    const hidden_load load2 = load_hidden("2", g, hidden2);
    if (load2 == hidden_load::no_memory) return fail(text::not_enough_memory);

    // A few rows of work room, taken before the first stage.
    size_t work_size = 0;
    if (vorn_encode_work_size(&g, &work_size) != VORN_OK) return fail(text::not_enough_memory);
    owned_array<uint8_t> work = allocate_array<uint8_t>(work_size);
    if (!work) return fail(text::not_enough_memory);

    // Both hidden pictures were checked as they were loaded: the engine refuses neither.
    const bool has1 = load1 == hidden_load::present, has2 = load2 == hidden_load::present;
    vorn_encode(main_image, g.length, has1 ? hidden1.bytes.get() : nullptr, hidden1.length,
                has2 ? hidden2.bytes.get() : nullptr, hidden2.length, engine_build(build), work.get(),
                work_size, nullptr);
    say_stages(g, has1, has2);

    hidden1.bytes.reset();
    hidden2.bytes.reset();
    work.reset();

    say(text::writing_file);
    switch (write_file_image("Coded.bmp", main_image, g.length)) {
    case write_status::written: return mode_result::written;
    case write_status::cannot_open: return fail(text::cannot_open_coded);
    case write_status::cannot_write: return fail(text::cannot_write_coded);
    }
    return mode_result::failed;
}
