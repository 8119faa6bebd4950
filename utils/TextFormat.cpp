#include "utils/TextFormat.h"

#include <cmath>
#include <stdexcept>

namespace gvutils {

std::string trimLeftBlanks(const std::string &text)
{
    const auto first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
}

std::string trimRightBlanks(const std::string &text)
{
    const auto last = text.find_last_not_of(' ');
    return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

std::string trimBlanks(const std::string &text)
{
    return trimLeftBlanks(trimRightBlanks(text));
}

bool isBlank(const std::string &text)
{
    return text.find_first_not_of(' ') == std::string::npos;
}

std::size_t characterCount(const std::string &text)
{
    std::size_t count = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80)
            ++count;
    return count;
}

namespace {

std::size_t missing(const std::string &text, int length)
{
    const auto have = characterCount(text);
    return length > 0 && have < static_cast<std::size_t>(length) ? static_cast<std::size_t>(length) - have : 0;
}

} // namespace

std::string padLeft(const std::string &text, int length, char pad)
{
    return std::string(missing(text, length), pad) + text;
}

std::string padRight(const std::string &text, int length, char pad)
{
    return text + std::string(missing(text, length), pad);
}

std::string centerText(const std::string &text, int width, char pad)
{
    const auto d = missing(text, width);
    const auto left = d / 2;
    return std::string(left, pad) + text + std::string(d - left, pad);
}

std::string stripAmpersands(const std::string &text)
{
    std::string result;
    result.reserve(text.size());
    for (char c : text)
        if (c != '&')
            result += c;
    return result;
}

std::string addPathSeparator(const std::string &path)
{
    if (!path.empty() && path.back() == '/')
        return path;
    return path + '/';
}

std::string groupThousands(std::int32_t value, const std::string &separator)
{
    // Through 64 bits so that the smallest 32-bit value has a positive twin.
    const std::int64_t wide = value;
    const std::string digits = std::to_string(wide < 0 ? -wide : wide);
    std::string result = wide < 0 ? "-" : "";
    const std::size_t head = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
    result += digits.substr(0, head);
    for (std::size_t i = head; i < digits.size(); i += 3)
        result += separator + digits.substr(i, 3);
    return result;
}

namespace {

std::string twoDigits(int value)
{
    return padLeft(std::to_string(value), 2, '0');
}

} // namespace

std::string clockText(int hours, int minutes, int seconds)
{
    return twoDigits(hours) + ":" + twoDigits(minutes) + ":" + twoDigits(seconds);
}

std::string dateAndHourText(const std::string &shortDate, int hours, int minutes)
{
    const bool pm = hours >= 12;
    const int hour = hours > 12 ? hours - 12 : hours;
    return " " + shortDate + " " + std::to_string(hour) + ":" + twoDigits(minutes) + (pm ? " PM" : " AM");
}

std::string intervalText(int months)
{
    if (months == 0)
        return "N/A";
    if (months == 9999)
        return "LIFE";
    if (months % 12 == 0)
        return std::to_string(months / 12) + " YR";
    if (months < 10)
        return std::to_string(months * 30) + " DAY";
    return std::to_string(months) + " MNTH";
}

double roundMoney(double value)
{
    // A currency value holds ten-thousandths in a signed 64-bit integer.
    // The bound stays below 2^63 so the conversion below is always defined.
    const double scaled = std::nearbyint(value * 10000.0);
    if (!(std::fabs(scaled) < 9.2233720368547e18))
        throw std::out_of_range("RoundMoney: value outside the currency range");
    const auto units = static_cast<std::int64_t>(scaled);
    const std::int64_t half = units < 0 ? -50 : 50;
    const std::int64_t cents = (units + half) / 100;
    return static_cast<double>(cents) / 100.0;
}

} // namespace gvutils
