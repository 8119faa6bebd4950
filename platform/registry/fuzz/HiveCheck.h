#pragma once

// The check shared by the hive file fuzzer and its replay test: any text is
// refused with a RegistryError or read into keys that write back to a text
// that reads again to the same keys.

#include "registry/HiveFile.h"
#include "registry/RegistryError.h"

#include <stdexcept>
#include <string_view>

namespace registry::fuzz {

inline void checkHive(std::string_view text)
{
    RegistryKey root;
    try {
        root = parseHive(text, "fuzz input");
    } catch (const RegistryError &) {
        return;
    }
    const std::string written = serializeHive(root);
    if (serializeHive(parseHive(written, "written again")) != written)
        throw std::logic_error("a hive read and written again changed");
}

} // namespace registry::fuzz
