// The layouts as vorn.h hands them out: each one's facts, the one a build writes, and what it
// holds, all read from the layout table.
#include "layout_table.h"
#include "sizes.h"

const vorn_layout_info* vorn_layout_describe(vorn_layout layout) { return layout_info(layout); }

vorn_layout vorn_layout_of(vorn_build build, int hidden1, int hidden2)
{
    // A caller may pass any number as the build: it is tested before it is used, and the search
    // captures only values, never the parameter itself.
    if (!known_build(build)) return VORN_LAYOUT_NONE;
    const unsigned bit = written_by(build);
    const bool has1 = hidden1 != 0, has2 = hidden2 != 0;
    return layout_where([bit, has1, has2](const vorn_layout_info& info) {
        return (info.builds & bit) && holds(info, 1) == has1 && holds(info, 2) == has2;
    });
}

int vorn_layout_holds(vorn_layout layout, int which)
{
    const vorn_layout_info* info = layout_info(layout);
    return info && (which == 1 || which == 2) && holds(*info, which);
}
