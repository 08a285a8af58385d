// What a page offers and asks: download names and sizes, a password typed twice, and the step
// after the key.
#include <cstdio>

#include "page_words.h"
#include "secret.h"

namespace kit {

namespace {

struct offer_word {
    offered what;
    const char* word;
};

constexpr offer_word offer_words[] = {
    {offered::coded, "coded"},
    {offered::hidden1, "hidden-1"},
    {offered::hidden2, "hidden-2"},
    {offered::revealed, "revealed"},
};

// The file name without its folder (either slash) and its last extension; a name that is all
// extension (".bmp") keeps it, as it is all the name there is.
std::string stem_of(const std::string& from)
{
    const size_t slash = from.find_last_of("/\\");
    std::string name = slash == std::string::npos ? from : from.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0) name.erase(dot);
    const std::string coded = "-coded";
    if (name.size() > coded.size() && name.compare(name.size() - coded.size(), coded.size(), coded) == 0)
        name.erase(name.size() - coded.size());
    if (name.find_first_not_of(" \t.") == std::string::npos) return "picture";
    return name;
}

}  // namespace

status offered_from_word(const std::string& word, offered& what)
{
    for (const offer_word& offer : offer_words) {
        if (word == offer.word) {
            what = offer.what;
            return {};
        }
    }
    return {fault::usage, "the offered files are coded, hidden-1, hidden-2 or revealed, not '" + word + "'"};
}

std::string offered_file_name(const std::string& from, offered what, output_format format)
{
    std::string name = stem_of(from) + "-";
    for (const offer_word& offer : offer_words)
        if (offer.what == what) name += offer.word;
    return name + (format == output_format::bmp ? ".bmp" : format == output_format::jpeg ? ".jpg" : ".png");
}

std::string file_size_words(uint64_t size)
{
    if (size == 1) return "1 byte";
    if (size < 1000) return std::to_string(size) + " bytes";
    // Rounded to whole KB, and to a tenth of a MB below 10 MB (whole MB above), each rounding
    // moving to the next unit when it reaches 1000.
    const uint64_t kb = (size + 500) / 1000;
    if (kb < 1000) return std::to_string(kb) + " KB";
    char text[32];
    const double mb = double(size) / 1e6;
    if (mb < 9.95) std::snprintf(text, sizeof text, "%.1f MB", mb);
    else if (mb < 999.5) std::snprintf(text, sizeof text, "%.0f MB", mb);
    else std::snprintf(text, sizeof text, "%.1f GB", mb / 1000);
    return text;
}

status check_typed_twice(const std::string& password, const std::string& confirmation)
{
    if (password == confirmation) return {};
    std::string first, second;
    const bool normalised = normalise_password(password, first).ok() && normalise_password(confirmation, second).ok();
    const bool alike = normalised && first == second;
    wipe(first);
    wipe(second);
    if (alike) return {};
    return {fault::input, "the password and its confirmation differ; type the same password in both fields"};
}

std::string step_after_key(bool hiding)
{
    return hiding ? "dithering and encrypting" : "decrypting";
}

}  // namespace kit
