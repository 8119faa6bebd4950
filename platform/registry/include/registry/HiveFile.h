#pragma once

#include "registry/RegistryKey.h"

#include <string>
#include <string_view>

namespace registry {

// The text form of one hive, in the field format of FieldCodec.h:
//
//   GVREG<TAB>1                       first line, format and version
//   K<TAB>name<TAB>name...            a key, by the names on its path from
//                                     the hive's root (no names: the root)
//   S<TAB>value name<TAB>text         a text value of the key above
//   D<TAB>value name<TAB>decimal      a 32-bit number value of the key above
//
// Every key is listed, empty ones too, each after its parent; its values
// follow its K line.
std::string serializeHive(const RegistryKey &root);

// Parses a hive's text; raises a RegistryError that names `origin` and the
// line for anything malformed.
RegistryKey parseHive(std::string_view text, const std::string &origin);

} // namespace registry
