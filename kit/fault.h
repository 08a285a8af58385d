// How the kit's inner steps stop: they throw kit_fault, and every call of kit.h runs them inside
// guarded(), which returns it as a kit::status, so that no exception leaves the kit.
#pragma once

#include <new>
#include <string>
#include <utility>

#include "secret.h"
#include "status.h"

struct kit_fault {
    kit::fault kind;
    std::string text;
};

[[noreturn]] inline void raise_fault(kit::fault kind, std::string text)
{
    throw kit_fault{kind, std::move(text)};
}

// The text of a failed allocation, begun with the picture's name where there is one.
inline std::string memory_text(const std::string& name)
{
    return (name.empty() ? "" : name + ": ") +
           "not enough memory for these pictures; free some memory or use smaller pictures";
}

// What a refusal of a coded picture that looks changed advises: hidden pictures live in the low
// bits of the file's pixels, which any coding of the picture again rewrites.
inline const char* changed_advice()
{
    return "hidden pictures do not survive re-saving, resizing or sending through apps that recompress "
           "pictures; send the coded file itself (as a document)";
}

// The password as the keyed forms take it (NFC UTF-8, not empty), raising the refusal otherwise.
inline std::string normalised(const std::string& typed)
{
    std::string password;
    const kit::status valid = kit::normalise_password(typed, password);
    if (!valid.ok()) raise_fault(valid.kind, valid.text);
    return password;
}

// Runs `body` and returns what stopped it, if anything, as a status.
template <typename Body>
kit::status guarded(const std::string& name, Body body)
{
    try {
        body();
        return {};
    } catch (const kit_fault& stop) {
        return {stop.kind, stop.text};
    } catch (const std::bad_alloc&) {
        return {kit::fault::memory, memory_text(name)};
    }
}
