// The layouts as vorn.h hands them out: each one's facts, the one a build writes, and what it
// holds, all read from the layout table.
#include "layout_table.h"
#include "sizes.h"

const vorn_layout_info* vorn_layout_describe(vorn_layout layout) { return layout_info(layout); }

vorn_layout vorn_layout_of(vorn_build build, int hidden1, int hidden2)
{
    if (!known_build(build)) return VORN_LAYOUT_NONE;
    return layout_where([&](const vorn_layout_info& info) {
        return (info.builds & written_by(build)) && holds(info, 1) == (hidden1 != 0) &&
               holds(info, 2) == (hidden2 != 0);
    });
}

int vorn_layout_holds(vorn_layout layout, int which)
{
    const vorn_layout_info* info = layout_info(layout);
    return info && (which == 1 || which == 2) && holds(*info, which);
}
