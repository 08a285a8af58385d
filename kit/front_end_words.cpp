// How each front end names what its user sets, for the kit's texts.
#include "names.h"

namespace kit {

std::string with_value(const std::string& words, const std::string& value)
{
    const size_t at = words.find("{}");
    if (at == std::string::npos) return words;
    return words.substr(0, at) + value + words.substr(at + 2);
}

std::string name_alone(const std::string& words)
{
    std::string name = words.substr(0, words.find("{}"));
    while (!name.empty() && (name.back() == ' ' || name.back() == '=' || name.back() == '"' || name.back() == ':'))
        name.pop_back();
    return name;
}

front_end vorn_words(const std::string& decode_command)
{
    return {"--hidden {}", {"1", "2", "both"}, "--build {}", "--password", "--max-megapixels {}", decode_command};
}

front_end python_words()
{
    return {"hidden=\"{}\"", {"1", "2", "both"}, "build=\"{}\"", "password=...", "", ""};
}

// The page's controls under "More options" and its password field; it sets its reading limit
// from the memory it has, which nobody raises.
front_end page_words()
{
    return {"It holds: {}", {"Hidden picture 1", "Hidden picture 2", "Both hidden pictures"}, "Build: {}", "the password field", "", ""};
}

}  // namespace kit
