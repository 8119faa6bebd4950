#pragma once

#pragma GCC visibility push(default) // the library's interface; the rest stays hidden

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace com {

// A 128-bit globally unique identifier in the layout COM uses.
struct GUID {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::array<std::uint8_t, 8> Data4{};

    friend constexpr bool operator==(const GUID &, const GUID &) = default;

    // Parses the registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    // (braces optional, hex digits of either case).
    static std::optional<GUID> parse(std::string_view text);
    // The registry form, upper-case hex digits with braces.
    std::string toString() const;

    bool isNull() const { return *this == GUID{}; }
};

using IID = GUID;
using CLSID = GUID;

namespace detail {
constexpr int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

constexpr std::uint64_t hexField(std::string_view s, std::size_t pos, std::size_t len)
{
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < len; ++i) {
        int d = hexValue(s[pos + i]);
        if (d < 0)
            throw "invalid hex digit in GUID literal";
        v = v * 16 + static_cast<std::uint64_t>(d);
    }
    return v;
}
} // namespace detail

// Compile-time GUID from its registry form with braces; a malformed literal
// does not compile.
consteval GUID guid(std::string_view s)
{
    if (s.size() != 38 || s[0] != '{' || s[37] != '}' || s[9] != '-' || s[14] != '-' || s[19] != '-' ||
        s[24] != '-')
        throw "malformed GUID literal";
    GUID g;
    g.Data1 = static_cast<std::uint32_t>(detail::hexField(s, 1, 8));
    g.Data2 = static_cast<std::uint16_t>(detail::hexField(s, 10, 4));
    g.Data3 = static_cast<std::uint16_t>(detail::hexField(s, 15, 4));
    g.Data4[0] = static_cast<std::uint8_t>(detail::hexField(s, 20, 2));
    g.Data4[1] = static_cast<std::uint8_t>(detail::hexField(s, 22, 2));
    for (std::size_t i = 0; i < 6; ++i)
        g.Data4[2 + i] = static_cast<std::uint8_t>(detail::hexField(s, 25 + 2 * i, 2));
    return g;
}

} // namespace com

template <>
struct std::hash<com::GUID> {
    std::size_t operator()(const com::GUID &g) const noexcept
    {
        std::size_t h = g.Data1;
        h = h * 31 + g.Data2;
        h = h * 31 + g.Data3;
        for (auto b : g.Data4)
            h = h * 31 + b;
        return h;
    }
};

#pragma GCC visibility pop
