#pragma once

// The check the Palm database fuzzer applies to every input, shared with
// the regression tests that replay its findings: the bytes are refused with
// a PalmDatabaseError, or read into a database that writes back and reads
// again to the same content. Every record of a record database is found by
// its unique id, and a fresh id is one that no record has (or a refusal
// when 24 bits are used up).

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
        return {ParseResult::Fault,
                std::string("a database that was read cannot be written and read again: ") + e.what()};
    }
    for (std::size_t i = 0; i < db.records.size(); ++i)
        if (db.indexOfRecord(db.records[i].uniqueId) != static_cast<int>(i))
            return {ParseResult::Fault, "record " + std::to_string(i) + " is not found by its unique id"};
    if (!db.isResourceDatabase()) {
        try {
            const std::uint32_t id = db.allocateUniqueId();
            if (id == 0 || id > PalmDatabase::kMaxUniqueId || db.indexOfRecord(id) >= 0)
                return {ParseResult::Fault, "the fresh unique id " + std::to_string(id) + " is not free"};
        } catch (const PalmDatabaseError &) {
            // Every 24-bit id up to the highest one in use is taken.
        }
    }
    return {ParseResult::Read, std::string()};
}

} // namespace palmsync::fuzz
