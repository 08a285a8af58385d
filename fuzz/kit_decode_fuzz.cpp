// The picture kit's decode path on any bytes: reading a picture whose low bits matter, the
// decode decision (a compact picture, what was given, what the picture shows, the refusals) and
// taking out what it decided, raw or reconstructed. The first byte chooses what the caller gave; the rest is the
// file. Each run ends with pictures of the coded picture's length or with a refusal that names
// the file; nothing else may escape, and no byte outside the buffers may be touched.
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "kit.h"

namespace {

// Small enough that reconstruction stays quick, large enough for the pictures the fuzzer makes.
const read_limits limits{uint64_t(1) << 16, "--max-megapixels"};

void expect_named(const kit::status& status)
{
    expect(!status.text.empty(), "a refusal without a text");
    expect(status.kind == kit::fault::memory || status.text.rfind("in: ", 0) == 0, "a refusal does not name its file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const uint8_t choice = data[0];
    input_picture picture;
    kit::status status = kit::read_picture(kit::bytes(data + 1, data + size), "in", picture_role::coded, limits, picture);
    if (!status.ok()) {
        expect_named(status);
        return 0;
    }
    kit::bytes coded;
    status = kit::image_of(std::move(picture), coded);
    if (!status.ok()) {
        expect_named(status);
        return 0;
    }

    kit::decode_request request;
    if (choice & 1) request.build = choice & 2 ? VORN_VORNHOLD : VORN_VORNHOLD2;
    if (choice & 4) request.holds = choice & 8 ? kit::content::both : choice & 16 ? kit::content::hidden1 : kit::content::hidden2;
    kit::decode_plan plan;
    status = kit::plan_decode(coded, "in", request, plan);
    if (!status.ok()) {
        expect(status.kind == kit::fault::input, "the decode decision refused with another kind than input");
        expect_named(status);
        return 0;
    }
    if (plan.compact) {
        // A compact picture without a password: the decode opens it whatever was given.
        kit::decode_result result;
        request.limits = limits;
        status = kit::decode(std::move(coded), "in", request, nullptr, (choice & 32) != 0, result);
        if (!status.ok()) {
            expect_named(status);
            return 0;
        }
        expect(result.compact && result.layout == VORN_LAYOUT_NONE, "a compact picture taken out as another");
        return 0;
    }
    // Nothing is guessed when both are given, or hidden picture 1 alone (both builds lay it out alike).
    const bool all_given = request.holds && (request.build || *request.holds == kit::content::hidden1);
    expect(plan.note.empty() == all_given, "a guess without a note, or a note without a guess");
    expect(plan.layout != VORN_LAYOUT_NONE, "the decision chose no layout");
    for (int which = 1; which <= 2; ++which) {
        if (!vorn_layout_holds(plan.layout, which)) continue;
        kit::bytes taken;
        status = kit::take_out(coded, "in", plan.layout, which, (choice & 32) != 0, taken);
        if (!status.ok()) {
            expect_named(status);
            continue;
        }
        expect(taken.size() == coded.size(), "a hidden picture of another length than the coded one");
    }
    return 0;
}
