#pragma once

// Conversions between the desktop's values and the handheld's encodings,
// shared by the record classes and the sync object.

#include "desktopdb/DateTime.h"
#include "palmsync/SyncSuite.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace conduit {

// Days since midnight of 30 December 1899; the time of day is the fraction.
using TDateTime = desktopdb::DateTime;

// A conversion that cannot be done (a text that is no number, a date that
// does not exist). The message is the text the user sees in the HotSync log.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Money and quantities on the handheld: the whole part (with the sign) and
// the fraction digits. A fraction below 100 counts hundredths; a fraction of
// more digits counts that many decimal places ((12, 345) is 12.345).
struct TDecimalPair {
    std::int32_t Whole = 0;
    std::int32_t Fraction = 0;
    friend bool operator==(const TDecimalPair &, const TDecimalPair &) = default;
};

// A handheld date: seven 16-bit words.
struct THandheldDate {
    std::uint16_t Second = 0;
    std::uint16_t Minute = 0;
    std::uint16_t Hour = 0;
    std::uint16_t Day = 0;
    std::uint16_t Month = 0;     // 1 to 12
    std::uint16_t Year = 0;      // the full year, such as 2002
    std::uint16_t DayOfWeek = 0; // 1 = Sunday to 7 = Saturday
    friend bool operator==(const THandheldDate &, const THandheldDate &) = default;
};

// The value's shortest decimal text of at most 15 significant digits, split
// at the decimal point. Raises EConvertError ("'%s' is not a valid integer
// value") for values whose text needs exponent notation or whose parts leave
// the 32-bit range, and for values the pair cannot hold: one between -1 and
// 0 (the pair has no sign there). A value with three or more decimals that
// begin with 0 (12.005) is rounded to two decimals first, because the pair
// would otherwise read back ten times too large in its fraction (12.05).
TDecimalPair FloatToDecimalPair(double value);
// Raises EConvertError ("'%s' is not a valid floating point value") for a
// negative fraction.
double DecimalPairToFloat(const TDecimalPair &pair);

THandheldDate DateTimeToHandheldDate(TDateTime value);
// Raises EConvertError "Invalid argument to date encode" or "Invalid
// argument to time encode" for words out of range; the day of week is ignored.
TDateTime HandheldDateToDateTime(const THandheldDate &date);

// Calendar helpers on date-time values.
TDateTime EncodeDate(int year, int month, int day); // raises like HandheldDateToDateTime
void DecodeDateTime(TDateTime value, int &year, int &month, int &day, int &hour, int &minute, int &second,
                    int &millisecond);
int DayOfWeek(TDateTime value); // 1 = Sunday to 7 = Saturday

// Puts fill in front of text until it has at least minLength characters.
std::string PadLeft(const std::string &text, int minLength, char fill);

// Ends the folder text with this platform's folder separator.
std::string AddTrailingBackslash(const std::string &folder);

// Writes one line into the HotSync log through the record adapter.
void WriteHotSyncLog(palmsync::IPDRecordAdapter *adapter, const std::string &text);

// Text conversions that raise like the desktop's StrToInt and StrToFloat.
std::int32_t StrToInt(const std::string &text);
double StrToFloat(const std::string &text);
// Shortest text of at most 15 significant digits ("1E-6" style exponent
// where plain notation does not serve), "." as decimal separator.
std::string FloatToStr(double value);

} // namespace conduit
