// Reading pictures and writing them, at the kit's surface.
#include "fault.h"
#include "kit.h"
#include "operations.h"
#include "jpeg_writer.h"
#include "png_codec.h"
#include "side_by_side.h"

namespace kit {

namespace {

// Each kind of picture compressed as measured best for it.
const png_settings& png_settings_for(picture_kind kind)
{
    return kind == picture_kind::coded           ? coded_png_settings
           : kind == picture_kind::reconstructed ? reconstructed_png_settings
                                                 : decoded_png_settings;
}

}  // namespace

status read_picture(bytes file, const std::string& name, picture_role role, const read_limits& limits,
                    input_picture& picture, const progress& report, int threads)
{
    // A BMP the engine takes as it stands needs no decoding to tell of.
    vorn_geometry as_is;
    if (report && vorn_check_carrier(file.data(), file.size(), &as_is) != VORN_OK) report("decoding " + name, -1);
    return guarded(name, [&] { picture = picture_from_file(std::move(file), name, role, limits, threads_for(threads)); });
}

status image_of(input_picture&& picture, bytes& image)
{
    const std::string name = picture.path;
    return guarded(name, [&] {
        image = coder_image(picture);
        picture = input_picture();
    });
}

std::string reading_note(const input_picture& picture)
{
    if (picture.as_is || !picture.pixels.alpha_dropped) return "";
    return transparency_note(picture.path);
}

std::string transparency_note(const std::string& name)
{
    return name + ": its transparency is dropped; only the colours are used";
}

status file_of(bytes&& image, output_format format, picture_kind kind, const std::string& name, bytes& file,
               const progress& report, int threads)
{
    return guarded(name, [&] {
        if (format == output_format::bmp) {
            file = std::move(image);
            return;
        }
        if (format == output_format::jpeg) {
            file = write_jpeg_of_image(image, name);
            image = bytes();
            return;
        }
        const png_settings& settings = png_settings_for(kind);
        const std::string step = "compressing " + name;
        if (report) report(step, 0);
        file = write_png_of_image(image.data(), image.size(), name, settings,
                                  [&](double done) { if (report) report(step, done); }, threads_for(threads));
        image = bytes();  // its memory is needed no more
    });
}

status file_of(rgb_picture&& picture, output_format format, picture_kind kind, const std::string& name, bytes& file,
               const progress& report, int threads)
{
    if (picture.layout == pixel_layout::coder_image || format != output_format::png) {
        const status laid = guarded(name, [&] { to_coder_image(picture, name); });
        if (!laid.ok()) return laid;
        return file_of(std::move(picture.image), format, kind, name, file, report, threads);
    }
    return guarded(name, [&] {
        const std::string step = "compressing " + name;
        if (report) report(step, 0);
        file = write_png(picture, name, png_settings_for(kind), [&](double done) { if (report) report(step, done); },
                         threads_for(threads));
        picture = rgb_picture();  // its memory is needed no more
    });
}

status reveal(bytes& image, const std::string& name)
{
    const vorn_error error = vorn_reveal(image.data(), image.size(), image.data(), image.size());
    if (error != VORN_OK) return {fault::input, name + ": " + vorn_strerror(error)};
    return {};
}

}  // namespace kit
