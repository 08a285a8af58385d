// How the kit's inner steps stop: they throw kit_fault, and every call of kit.h runs them inside
// guarded(), which returns it as a kit::status, so that no exception leaves the kit.
#pragma once

#include <new>
#include <string>
#include <utility>

#include "kit.h"

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
