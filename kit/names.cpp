// The words users give for builds, contents, fits, hiding forms and output formats.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <iterator>

#include "fault.h"
#include "names.h"

namespace kit {

std::optional<vorn_build> build_named(const std::string& word)
{
    if (word == "vornhold2") return VORN_VORNHOLD2;
    if (word == "vornhold") return VORN_VORNHOLD;
    return std::nullopt;
}

const char* build_name(vorn_build build)
{
    return build == VORN_VORNHOLD ? "vornhold" : "vornhold2";
}

std::optional<content> content_named(const std::string& word)
{
    if (word == "1" || word == "hidden1") return content::hidden1;
    if (word == "2" || word == "hidden2") return content::hidden2;
    if (word == "both") return content::both;
    return std::nullopt;
}

std::optional<vorn_fit> fit_named(const std::string& word)
{
    if (word == "contain") return VORN_FIT_CONTAIN;
    if (word == "cover") return VORN_FIT_COVER;
    if (word == "stretch") return VORN_FIT_STRETCH;
    return std::nullopt;
}

std::optional<hiding_form> form_named(const std::string& word)
{
    if (word == "classic") return hiding_form::classic;
    if (word == "compact") return hiding_form::compact;
    if (word == "stealth") return hiding_form::stealth;
    return std::nullopt;
}

namespace {

std::string lower_extension(const std::string& path)
{
    const std::string extension = std::filesystem::path(path).extension().string();
    std::string lower = extension.empty() ? "" : extension.substr(1);
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

}  // namespace

status format_for(const std::string& path, output_format& format, bool for_viewing)
{
    if (path == "-") {  // standard output, which says nothing of a format: PNG, as small as exact
        format = output_format::png;
        return {};
    }
    const std::string extension = lower_extension(path);
    if (extension == "png") {
        format = output_format::png;
        return {};
    }
    if (extension == "bmp") {
        format = output_format::bmp;
        return {};
    }
    if (for_viewing && (extension == "jpg" || extension == "jpeg")) {
        format = output_format::jpeg;
        return {};
    }
    static const char* const lossy[] = {"jpg", "jpeg", "jpe", "jfif", "webp", "gif",
                                        "heic", "heif", "avif", "jxl"};
    if (std::find(std::begin(lossy), std::end(lossy), extension) != std::end(lossy))
        return {fault::usage, path + ": ." + extension +
                                  " would destroy the hidden bits (it compresses with loss or "
                                  "reduces the colours); name the output .png or .bmp"};
    return {fault::usage, path + ": unknown output format; name the output .png or .bmp"};
}

}  // namespace kit
