#pragma once

#pragma GCC visibility push(default) // the library's interface; the rest stays hidden

#include <cstdint>
#include <string>
#include <variant>

namespace com {

// The few variant kinds that cross the interfaces of this suite: empty,
// a 32-bit integer, or a text.
using Variant = std::variant<std::monostate, std::int32_t, std::string>;

inline bool isEmpty(const Variant &v) { return std::holds_alternative<std::monostate>(v); }

} // namespace com

#pragma GCC visibility pop
