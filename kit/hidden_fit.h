// A hidden picture put into the carrier's frame as the engine's policy says, for vorn and the
// page alike: its own file image when the coder takes it beside the carrier as it stands, its
// pixels under the carrier's header when it has the carrier's size, otherwise its pixels scaled
// into the frame as the fit says.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "vorn.h"

struct fitted_hidden {
    std::vector<uint8_t> image;
    std::string done;  // what scaling did, such as "hidden picture 1 scaled from 300x200 to
                       // 512x341 and centred"; empty when nothing was scaled
};

// `image` is hidden picture `which`'s coder image (vorn_check_carrier() accepts it), `carrier`
// the carrier's with geometry `frame`. Fails with kit::fault::input, the text beginning with
// `name` and ": ", when the picture cannot be fitted.
fitted_hidden fit_hidden_picture(std::vector<uint8_t> image, int which, const std::vector<uint8_t>& carrier,
                                 const vorn_geometry& frame, vorn_fit fit, const std::string& name);
