#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace hotsync {

// A Palm creator ID: four printable ASCII characters, also used as the
// 32-bit number that holds them first character highest ("KLXC").
class CreatorId {
public:
    // Raises a HostError unless `text` is exactly four characters from
    // blank to "~".
    static CreatorId fromText(std::string_view text);
    static CreatorId fromNumber(std::uint32_t number);

    std::uint32_t number() const { return number_; }
    std::string text() const;

    friend bool operator==(CreatorId, CreatorId) = default;

private:
    explicit CreatorId(std::uint32_t number) : number_(number) {}
    std::uint32_t number_;
};

} // namespace hotsync
