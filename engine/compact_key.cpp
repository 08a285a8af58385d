// The compact form's key from a password: Argon2id at the keyed form's cost (keyed.h), so that
// a guess costs an attacker as much in either form.
#include <sodium.h>

#include "keyed.h"

vorn_error vorn_compact_key(const char* password, size_t password_length,
                            const uint8_t salt[VORN_COMPACT_SALT_BYTES], uint8_t key[VORN_COMPACT_KEY_BYTES])
{
    static_assert(VORN_COMPACT_SALT_BYTES == crypto_pwhash_SALTBYTES);
    if (!salt || !key || (!password && password_length > 0)) return VORN_ERR_ARGUMENT;
    if (password_length == 0) return VORN_ERR_PASSWORD_EMPTY;
    if (sodium_init() < 0) return VORN_ERR_KEY_MEMORY;
    const vorn_internal::keyed_cost cost = vorn_internal::keyed_format_cost;
    if (crypto_pwhash(key, VORN_COMPACT_KEY_BYTES, password, password_length, salt, cost.passes, cost.memory,
                      crypto_pwhash_ALG_ARGON2ID13) != 0)
        return VORN_ERR_KEY_MEMORY;
    return VORN_OK;
}
