// Settings given as words rather than options: the names of names.cpp, with a refusal that
// names the word.
#include "names.h"

namespace kit {

namespace {

status unknown(const std::string& taken, const std::string& word)
{
    return {fault::usage, taken + ", not '" + word + "'"};
}

}  // namespace

status build_from_word(const std::string& word, vorn_build& build)
{
    const std::optional<vorn_build> named = build_named(word);
    if (!named) return unknown("the build is vornhold2 or vornhold", word);
    build = *named;
    return {};
}

status content_from_word(const std::string& word, content& holds)
{
    const std::optional<content> named = content_named(word);
    if (!named) return unknown("the hidden pictures held are 1, 2 or both", word);
    holds = *named;
    return {};
}

status fit_from_word(const std::string& word, vorn_fit& fit)
{
    const std::optional<vorn_fit> named = fit_named(word);
    if (!named) return unknown("the fit is contain, cover or stretch", word);
    fit = *named;
    return {};
}

status form_from_word(const std::string& word, hiding_form& form)
{
    const std::optional<hiding_form> named = form_named(word);
    if (!named) return unknown("the form is classic, compact or stealth", word);
    form = *named;
    return {};
}

status format_from_word(const std::string& word, output_format& format, bool for_viewing)
{
    // The word is judged as the extension of an output named with it, so that a format named
    // either way is taken or refused alike; a word with a dot or a slash is no extension.
    const bool plain = word.find_first_of("./") == std::string::npos;
    const std::string stand_in = plain ? "out." + word : "out";
    status named = format_for(stand_in, format, for_viewing);
    // format_for's text begins with the name it was given: the word takes its place.
    if (!named.ok()) named.text = "the format '" + word + "'" + named.text.substr(stand_in.size());
    return named;
}

}  // namespace kit
