#pragma once

#include <cstdint>
#include <string>

// Text and number helpers of the utility class that need no widgets. Texts
// are UTF-8; lengths and widths count characters (code points), not bytes.
namespace gvutils {

// Only the blank (character 32) counts; tabs and other control characters stay.
std::string trimBlanks(const std::string &text);
std::string trimLeftBlanks(const std::string &text);
std::string trimRightBlanks(const std::string &text);
// True when every character is a blank, and for the empty text.
bool isBlank(const std::string &text);

// Number of characters (code points) in a UTF-8 text.
std::size_t characterCount(const std::string &text);

// Prepend or append the pad character until the text has at least `length`
// characters; longer texts are returned unchanged.
std::string padLeft(const std::string &text, int length, char pad);
std::string padRight(const std::string &text, int length, char pad);
// Centres the text in `width` characters; the odd pad character goes right.
std::string centerText(const std::string &text, int width, char pad);
std::string stripAmpersands(const std::string &text);
// Ensures the path ends with the folder separator "/".
std::string addPathSeparator(const std::string &path);

// Decimal digits grouped in threes from the right with `separator`; a minus
// sign stays in front of the first group.
std::string groupThousands(std::int32_t value, const std::string &separator);

// hh:mm:ss on a 24-hour clock.
std::string clockText(int hours, int minutes, int seconds);
// " " + date + " " + h:mm + " AM"/" PM" on a 12-hour clock whose midnight reads 0.
std::string dateAndHourText(const std::string &shortDate, int hours, int minutes);
// Service interval in months: "N/A", "LIFE", years "YR", days "DAY" or months "MNTH".
std::string intervalText(int months);

// Rounds to two decimals as a currency value: the value is first taken to
// four decimal places, then halves are rounded away from zero. Raises
// std::out_of_range for values outside the currency range (and NaN).
double roundMoney(double value);

} // namespace gvutils
