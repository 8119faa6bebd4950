#include "com/Guid.h"

#include <cstdio>

namespace com {

std::optional<GUID> GUID::parse(std::string_view text)
{
    if (text.size() == 38) {
        if (text.front() != '{' || text.back() != '}')
            return std::nullopt;
        text = text.substr(1, 36);
    }
    if (text.size() != 36)
        return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : detail::hexValue(text[i]) < 0)
            return std::nullopt;
    }
    auto field = [&](std::size_t pos, std::size_t len) { return detail::hexField(text, pos, len); };
    GUID g;
    g.Data1 = static_cast<std::uint32_t>(field(0, 8));
    g.Data2 = static_cast<std::uint16_t>(field(9, 4));
    g.Data3 = static_cast<std::uint16_t>(field(14, 4));
    g.Data4[0] = static_cast<std::uint8_t>(field(19, 2));
    g.Data4[1] = static_cast<std::uint8_t>(field(21, 2));
    for (std::size_t i = 0; i < 6; ++i)
        g.Data4[2 + i] = static_cast<std::uint8_t>(field(24 + 2 * i, 2));
    return g;
}

std::string GUID::toString() const
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", Data1, Data2, Data3,
                  Data4[0], Data4[1], Data4[2], Data4[3], Data4[4], Data4[5], Data4[6], Data4[7]);
    return buf;
}

} // namespace com
