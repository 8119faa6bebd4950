#include "palmlink/Dlp.h"

#include <array>
#include <cstdio>

namespace palmlink::dlp {

namespace {

constexpr std::uint8_t kSmallFlag = 0x80;
constexpr std::uint8_t kLongFlag = 0x40;

std::string hexByte(unsigned v, int width)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%0*X", width, v);
    return buf;
}

std::vector<Argument> decodeArguments(ByteReader &r, std::size_t count)
{
    std::vector<Argument> args;
    args.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        Argument a;
        std::uint8_t id = r.u8("argument id");
        std::size_t size = 0;
        if (id & kLongFlag) {
            a.form = ArgForm::Long;
            a.id = id & static_cast<std::uint8_t>(~kLongFlag);
            a.pad = r.u8("long argument wrapper");
            size = r.u32("long argument size");
        } else if (id & kSmallFlag) {
            a.form = ArgForm::Small;
            a.id = id & static_cast<std::uint8_t>(~kSmallFlag);
            a.pad = r.u8("small argument wrapper");
            size = r.u16("small argument size");
        } else {
            a.form = ArgForm::Tiny;
            a.id = id;
            size = r.u8("tiny argument size");
        }
        a.data = r.bytes(size, "argument data");
        args.push_back(std::move(a));
    }
    return args;
}

void encodeArguments(ByteWriter &w, const std::vector<Argument> &args)
{
    for (const Argument &a : args) {
        switch (a.form) {
        case ArgForm::Tiny:
            if (a.data.size() > 0xFF)
                throw std::length_error("a tiny argument holds at most 255 bytes");
            w.u8(a.id).u8(static_cast<std::uint8_t>(a.data.size()));
            break;
        case ArgForm::Small:
            if (a.data.size() > 0xFFFF)
                throw std::length_error("a small argument holds at most 65535 bytes");
            w.u8(a.id | kSmallFlag).u8(a.pad).u16(static_cast<std::uint16_t>(a.data.size()));
            break;
        case ArgForm::Long:
            w.u8(a.id | kLongFlag).u8(a.pad).u32(static_cast<std::uint32_t>(a.data.size()));
            break;
        }
        w.bytes(a.data);
    }
}

const Argument *findArgument(const std::vector<Argument> &args, std::uint8_t id)
{
    for (const Argument &a : args)
        if (a.id == id)
            return &a;
    return nullptr;
}

} // namespace

std::string functionName(std::uint8_t function)
{
    static const std::array<const char *, 0x3C - 0x10> names = {
        "ReadUserInfo",
        "WriteUserInfo",
        "ReadSysInfo",
        "GetSysDateTime",
        "SetSysDateTime",
        "ReadStorageInfo",
        "ReadDBList",
        "OpenDB",
        "CreateDB",
        "CloseDB",
        "DeleteDB",
        "ReadAppBlock",
        "WriteAppBlock",
        "ReadSortBlock",
        "WriteSortBlock",
        "ReadNextModifiedRec",
        "ReadRecord",
        "WriteRecord",
        "DeleteRecord",
        "ReadResource",
        "WriteResource",
        "DeleteResource",
        "CleanUpDatabase",
        "ResetSyncFlags",
        "CallApplication",
        "ResetSystem",
        "AddSyncLogEntry",
        "ReadOpenDBInfo",
        "MoveCategory",
        "ProcessRPC",
        "OpenConduit",
        "EndOfSync",
        "ResetRecordIndex",
        "ReadRecordIDList",
        "ReadNextRecInCategory",
        "ReadNextModifiedRecInCategory",
        "ReadAppPreference",
        "WriteAppPreference",
        "ReadNetSyncInfo",
        "WriteNetSyncInfo",
        "ReadFeature",
        "FindDB",
        "SetDBInfo",
        "LoopBackTest",
    };
    std::uint8_t f = function & 0x7F;
    if (f >= 0x10 && f < 0x10 + names.size())
        return names[f - 0x10];
    return "function " + hexByte(f, 2);
}

std::string errorName(std::uint16_t code)
{
    static const std::array<const char *, 22> names = {
        "None",          "System",         "IllegalRequest",
        "Memory",        "Param",          "NotFound",
        "NoneOpen",      "DatabaseOpen",   "TooManyOpenDatabases",
        "AlreadyExists", "CantOpen",       "RecordDeleted",
        "RecordBusy",    "NotSupported",   "Unused1",
        "ReadOnly",      "NotEnoughSpace", "LimitExceeded",
        "CancelSync",    "BadWrapper",     "ArgMissing",
        "ArgSize",
    };
    if (code < names.size())
        return std::string(names[code]) + " (" + std::to_string(code) + ")";
    return "error " + hexByte(code, 4);
}

Argument Argument::make(std::uint8_t id, Bytes data)
{
    Argument a;
    a.id = id;
    a.form = data.size() <= 0xFF ? ArgForm::Tiny : data.size() <= 0xFFFF ? ArgForm::Small : ArgForm::Long;
    a.data = std::move(data);
    return a;
}

Request Request::decode(std::span<const std::uint8_t> bytes)
{
    ByteReader r(bytes);
    Request q;
    q.function = r.u8("request function id");
    if (q.function & 0x80)
        throw DecodeError("request: function id " + hexByte(q.function, 2) + " has the response bit set");
    std::size_t argc = r.u8("request argument count");
    q.args = decodeArguments(r, argc);
    r.expectEnd("request");
    return q;
}

Bytes Request::encode() const
{
    ByteWriter w;
    w.u8(function).u8(static_cast<std::uint8_t>(args.size()));
    encodeArguments(w, args);
    return w.take();
}

const Argument *Request::find(std::uint8_t id) const
{
    return findArgument(args, id);
}

Response Response::decode(std::span<const std::uint8_t> bytes)
{
    ByteReader r(bytes);
    Response p;
    std::uint8_t id = r.u8("response function id");
    if (!(id & 0x80))
        throw DecodeError("response: function id " + hexByte(id, 2) + " lacks the response bit");
    p.function = id & 0x7F;
    std::size_t argc = r.u8("response argument count");
    p.errorCode = r.u16("response error code");
    p.args = decodeArguments(r, argc);
    r.expectEnd("response");
    return p;
}

Bytes Response::encode() const
{
    ByteWriter w;
    w.u8(function | 0x80).u8(static_cast<std::uint8_t>(args.size())).u16(errorCode);
    encodeArguments(w, args);
    return w.take();
}

const Argument *Response::find(std::uint8_t id) const
{
    return findArgument(args, id);
}

} // namespace palmlink::dlp
