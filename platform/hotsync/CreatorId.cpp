#include "hotsync/CreatorId.h"

#include "hotsync/HostError.h"

namespace hotsync {

namespace {
bool printable(unsigned char c)
{
    return c >= 0x20 && c <= 0x7E;
}
} // namespace

CreatorId CreatorId::fromText(std::string_view text)
{
    bool ok = text.size() == 4;
    std::uint32_t n = 0;
    for (char c : text) {
        ok = ok && printable(static_cast<unsigned char>(c));
        n = (n << 8) | static_cast<unsigned char>(c);
    }
    if (!ok)
        throw HostError("Invalid creator ID \"" + std::string(text) + "\": four printable characters expected");
    return CreatorId(n);
}

CreatorId CreatorId::fromNumber(std::uint32_t number)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (!printable(static_cast<unsigned char>(number >> shift)))
            throw HostError("Invalid creator number " + std::to_string(number));
    }
    return CreatorId(number);
}

std::string CreatorId::text() const
{
    std::string t(4, ' ');
    for (int i = 0; i < 4; ++i)
        t[static_cast<std::size_t>(i)] = static_cast<char>((number_ >> (24 - 8 * i)) & 0xFF);
    return t;
}

} // namespace hotsync
