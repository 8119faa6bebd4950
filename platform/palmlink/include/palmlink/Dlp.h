#pragma once

// Desktop Link Protocol frames: a request is a function id, an argument
// count and the arguments; a response is the function id with the top bit
// set, the argument count, an error code and the arguments. Each argument
// is wrapped as tiny (one-byte size), small (two-byte size) or long
// (four-byte size); the form is kept so that a decoded frame encodes back
// to the same bytes.

#include "palmlink/ByteIo.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace palmlink::dlp {

enum class Function : std::uint8_t {
    ReadUserInfo = 0x10,
    WriteUserInfo = 0x11,
    ReadSysInfo = 0x12,
    GetSysDateTime = 0x13,
    SetSysDateTime = 0x14,
    ReadStorageInfo = 0x15,
    ReadDBList = 0x16,
    OpenDB = 0x17,
    CreateDB = 0x18,
    CloseDB = 0x19,
    DeleteDB = 0x1A,
    ReadAppBlock = 0x1B,
    WriteAppBlock = 0x1C,
    ReadSortBlock = 0x1D,
    WriteSortBlock = 0x1E,
    ReadNextModifiedRec = 0x1F,
    ReadRecord = 0x20,
    WriteRecord = 0x21,
    DeleteRecord = 0x22,
    ReadResource = 0x23,
    WriteResource = 0x24,
    DeleteResource = 0x25,
    CleanUpDatabase = 0x26,
    ResetSyncFlags = 0x27,
    CallApplication = 0x28,
    ResetSystem = 0x29,
    AddSyncLogEntry = 0x2A,
    ReadOpenDBInfo = 0x2B,
    MoveCategory = 0x2C,
    ProcessRPC = 0x2D,
    OpenConduit = 0x2E,
    EndOfSync = 0x2F,
    ResetRecordIndex = 0x30,
    ReadRecordIDList = 0x31,
    ReadNextRecInCategory = 0x32,
    ReadNextModifiedRecInCategory = 0x33,
    ReadAppPreference = 0x34,
    WriteAppPreference = 0x35,
    ReadNetSyncInfo = 0x36,
    WriteNetSyncInfo = 0x37,
    ReadFeature = 0x38,
    FindDB = 0x39,
    SetDBInfo = 0x3A,
    LoopBackTest = 0x3B,
};

// The name of a function id ("ReadUserInfo"), or "function 0xNN".
std::string functionName(std::uint8_t function);

// Error codes of a response.
namespace error {
constexpr std::uint16_t None = 0;
constexpr std::uint16_t System = 1;
constexpr std::uint16_t IllegalRequest = 2;
constexpr std::uint16_t Memory = 3;
constexpr std::uint16_t Param = 4;
constexpr std::uint16_t NotFound = 5;
constexpr std::uint16_t NoneOpen = 6;
constexpr std::uint16_t DatabaseOpen = 7;
constexpr std::uint16_t TooManyOpenDatabases = 8;
constexpr std::uint16_t AlreadyExists = 9;
constexpr std::uint16_t CantOpen = 10;
constexpr std::uint16_t RecordDeleted = 11;
constexpr std::uint16_t RecordBusy = 12;
constexpr std::uint16_t NotSupported = 13;
constexpr std::uint16_t ReadOnly = 15;
constexpr std::uint16_t NotEnoughSpace = 16;
constexpr std::uint16_t LimitExceeded = 17;
constexpr std::uint16_t CancelSync = 18;
constexpr std::uint16_t BadWrapper = 19;
constexpr std::uint16_t ArgMissing = 20;
constexpr std::uint16_t ArgSize = 21;
} // namespace error

// "NotFound (5)", or "error 0xNNNN".
std::string errorName(std::uint16_t code);

enum class ArgForm : std::uint8_t { Tiny, Small, Long };

struct Argument {
    std::uint8_t id = 0x20; // without the form bits
    ArgForm form = ArgForm::Tiny;
    std::uint8_t pad = 0; // the unused byte of small and long wrappers
    Bytes data;

    // The smallest wrapper that holds the data.
    static Argument make(std::uint8_t id, Bytes data);
    friend bool operator==(const Argument &, const Argument &) = default;
};

struct Request {
    std::uint8_t function = 0;
    std::vector<Argument> args;

    // Raises DecodeError when the bytes are not one whole request.
    static Request decode(std::span<const std::uint8_t> bytes);
    Bytes encode() const;
    const Argument *find(std::uint8_t id) const;
    friend bool operator==(const Request &, const Request &) = default;
};

struct Response {
    std::uint8_t function = 0; // without the response bit
    std::uint16_t errorCode = 0;
    std::vector<Argument> args;

    static Response decode(std::span<const std::uint8_t> bytes);
    Bytes encode() const;
    const Argument *find(std::uint8_t id) const;
    friend bool operator==(const Response &, const Response &) = default;
};

// True when the message is a response (function id with the top bit set).
inline bool isResponse(std::span<const std::uint8_t> message)
{
    return !message.empty() && (message[0] & 0x80) != 0;
}

} // namespace palmlink::dlp
