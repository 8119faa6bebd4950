#pragma once

// The conduit's bookkeeping kept inside the desktop table files, so that it
// is committed in the same transaction as the rows it belongs to:
//
//   TarnlinkStaged   per handheld database, the token of the changes that
//                    were staged for the rows committed with this entry:
//                    staged changes of that token belong in place. Each
//                    commit replaces the entry, so it never needs a
//                    transaction of its own to go away: once its changes
//                    are published, no staged file carries its token.
//   TarnlinkIdPairs  the (old id, new id) pairs of the rows of this table
//                    that were written to the handheld as new records, in
//                    the order they were made, until the references to them
//                    have been renumbered.
//   TarnlinkOverwrite present while this table has been written whole from
//                    the desktop by a HotSync that has not yet written the
//                    table referring to it: that HotSync is unfinished, and
//                    its remaining tables are to be written before anything
//                    else is done.
//
// Other programs that use the table files see up to three more tables and may
// ignore them.

#include "conduit/RecordIDObject.h"
#include "desktopdb/Table.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace conduit::journal {

struct StagedMarker {
    std::string database;
    std::string token;
};

using IdPairs = std::vector<std::pair<std::int32_t, std::int32_t>>; // (OldId, NewId) in order

// `schema` names the file: "main" for the table's own, or the alias of a
// file attached to it. Reading a file that holds no bookkeeping gives
// nothing.
std::vector<StagedMarker> stagedMarkers(desktopdb::Table &table, const std::string &schema = "main");
void setStagedMarker(desktopdb::Table &table, const std::string &database, const std::string &token);

IdPairs idPairs(desktopdb::Table &table, const std::string &schema = "main");
void storeIdPairs(desktopdb::Table &table, const TIdPairList &pairs);
void removeIdPairs(desktopdb::Table &table, const std::string &schema);

bool overwritePending(desktopdb::Table &table, const std::string &schema = "main");
void setOverwritePending(desktopdb::Table &table);
void clearOverwritePending(desktopdb::Table &table, const std::string &schema);

} // namespace conduit::journal
