#pragma once

// The check the Palm database fuzzer applies to every input, shared with
// the regression tests that replay its findings: the bytes are refused with
// a PalmDatabaseError, or read into a database that writes back and reads
// again to the same content.

#include "palmsync/PalmDatabase.h"

#include <cstdint>
#include <span>
#include <string>

namespace palmsync::fuzz {

enum class ParseResult { Read, Refused, Fault };

struct ParseOutcome {
    ParseResult result = ParseResult::Refused;
    std::string message; // the refusal's text, or what went wrong
};

inline ParseOutcome checkPalmDatabase(std::span<const std::uint8_t> bytes)
{
    PalmDatabase db;
    try {
        db = PalmDatabase::parse(bytes, "fuzz-input");
    } catch (const PalmDatabaseError &e) {
        return {ParseResult::Refused, e.what()};
    }
    try {
        PalmDatabase again = PalmDatabase::parse(db.serialize(), "fuzz-rewrite");
        if (!(again.header == db.header))
            return {ParseResult::Fault, "the header changed when written and read again"};
        if (again.records != db.records || again.resources != db.resources)
            return {ParseResult::Fault, "the records or resources changed when written and read again"};
        if (again.appInfo != db.appInfo || again.sortInfo != db.sortInfo)
            return {ParseResult::Fault, "the app-info or sort-info block changed when written and read again"};
    } catch (const PalmDatabaseError &e) {
        return {ParseResult::Fault, std::string("a database that was read cannot be written and read again: ") +
                                        e.what()};
    }
    return {ParseResult::Read, std::string()};
}

} // namespace palmsync::fuzz
