/* keyed_testing.h: the keyed calls with the salt and the key's cost chosen by the caller, for
   tests, fuzzing and comparing the front ends' keyed bytes. Not installed, and in no library that
   ships: only vorn_keyed_testing, which tests, fuzz targets and the page's test path link, has
   these calls. Anywhere else a salt given twice would give two pictures one key. */
#ifndef VORN_KEYED_TESTING_H
#define VORN_KEYED_TESTING_H

#include "vorn.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The cost of deriving the key: the format's own, or Argon2id's lowest (one pass over 8 KiB),
   cheap enough to derive for every input a fuzzer tries. A picture opens only at the cost it was
   keyed at. */
typedef enum vorn_testing_key_cost {
    VORN_TESTING_KEY_FORMAT = 0,
    VORN_TESTING_KEY_CHEAP = 1
} vorn_testing_key_cost;

/* vorn_keyed_encode() with this salt (VORN_KEYED_SALT_BYTES bytes; null: drawn, as
   vorn_keyed_encode() draws it) at this cost. VORN_ERR_ARGUMENT for an unknown cost. */
vorn_error vorn_testing_keyed_encode(uint8_t *image, size_t length, uint8_t *hidden1,
                                     size_t hidden1_length, uint8_t *hidden2, size_t hidden2_length,
                                     vorn_layout layout, const char *password,
                                     size_t password_length, const uint8_t *salt,
                                     vorn_testing_key_cost cost, void *work, size_t work_size);

/* vorn_keyed_decode() at this cost. VORN_ERR_ARGUMENT for an unknown cost. */
vorn_error vorn_testing_keyed_decode(const uint8_t *coded, size_t length, const char *password,
                                     size_t password_length, uint8_t *picture1, uint8_t *picture2,
                                     size_t picture_length, vorn_layout *layout,
                                     vorn_testing_key_cost cost, void *work, size_t work_size);

#ifdef __cplusplus
}
#endif

#endif /* VORN_KEYED_TESTING_H */
