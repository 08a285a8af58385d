// The keyed calls of keyed_testing.h: the public calls' own code with the salt and cost given.
#include "keyed_testing.h"

#include "keyed.h"

namespace {

bool cost_of(vorn_testing_key_cost cost, vorn_internal::keyed_cost& chosen)
{
    if (cost != VORN_TESTING_KEY_FORMAT && cost != VORN_TESTING_KEY_CHEAP) return false;
    chosen = cost == VORN_TESTING_KEY_CHEAP ? vorn_internal::keyed_cheapest_cost : vorn_internal::keyed_format_cost;
    return true;
}

}  // namespace

vorn_error vorn_testing_keyed_encode(uint8_t* image, size_t length, uint8_t* hidden1, size_t hidden1_length,
                                     uint8_t* hidden2, size_t hidden2_length, vorn_layout layout,
                                     const char* password, size_t password_length, const uint8_t* salt,
                                     vorn_testing_key_cost cost, void* work, size_t work_size)
{
    vorn_internal::keyed_cost chosen{};
    if (!cost_of(cost, chosen)) return VORN_ERR_ARGUMENT;
    return vorn_internal::keyed_encode_at(image, length, hidden1, hidden1_length, hidden2, hidden2_length, layout,
                                          password, password_length, salt, chosen, work, work_size);
}

vorn_error vorn_testing_keyed_decode(const uint8_t* coded, size_t length, const char* password,
                                     size_t password_length, uint8_t* picture1, uint8_t* picture2,
                                     size_t picture_length, vorn_layout* layout, vorn_testing_key_cost cost,
                                     void* work, size_t work_size)
{
    vorn_internal::keyed_cost chosen{};
    if (!cost_of(cost, chosen)) return VORN_ERR_ARGUMENT;
    return vorn_internal::keyed_decode_at(coded, length, password, password_length, chosen, picture1, picture2,
                                          picture_length, layout, work, work_size);
}
