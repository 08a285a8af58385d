#include "hidden_fit.h"

#include "fault.h"
#include "kit.h"

using kit::size_text;

std::string kit::size_text(uint64_t width, uint64_t height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

namespace {

std::string done_text(int which, const vorn_placement& p, const vorn_geometry& frame, vorn_fit fit)
{
    const std::string picture = "hidden picture " + std::to_string(which) + " ";
    const std::string own = size_text(p.width, p.height), scaled = size_text(p.scaled_width, p.scaled_height);
    if (fit == VORN_FIT_STRETCH) return picture + "stretched from " + own + " to " + scaled;
    if (fit == VORN_FIT_COVER)
        return picture + "scaled from " + own + " to " + scaled + " and cropped around the centre to " +
               size_text(frame.width, frame.height);
    return picture + "scaled from " + own + " to " + scaled + " and centred";
}

}  // namespace

fitted_hidden fit_hidden_picture(std::vector<uint8_t> image, int which, const std::vector<uint8_t>& carrier,
                                 const vorn_geometry& frame, vorn_fit fit, const std::string& name)
{
    if (vorn_check_hidden(&frame, image.data(), image.size()) == VORN_OK) return {std::move(image), ""};
    vorn_geometry own;
    vorn_check_carrier(image.data(), image.size(), &own);  // a coder image, accepted
    size_t work_size = 0;
    vorn_error error = vorn_fit_work_size(&frame, &own, fit, &work_size);
    if (error == VORN_ERR_SIZE_OVERFLOW)
        raise_fault(kit::fault::input, name + ": hidden picture " + std::to_string(which) + " is " +
                                    size_text(own.width, own.height) + ", too far from the carrier's " +
                                    size_text(frame.width, frame.height) + " to scale; scale it nearer first");
    std::vector<uint8_t> work(work_size), framed(carrier.size());
    vorn_placement placement;
    error = vorn_fit_hidden(carrier.data(), carrier.size(), image.data(), image.size(), fit, framed.data(),
                            framed.size(), work.data(), work.size(), &placement);
    if (error != VORN_OK) raise_fault(kit::fault::input, name + ": " + vorn_strerror(error));
    const bool scaled = placement.scaled_width != placement.width || placement.scaled_height != placement.height;
    return {std::move(framed), scaled ? done_text(which, placement, frame, fit) : ""};
}
