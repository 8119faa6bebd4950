#include "SyncJournal.h"

namespace conduit::journal {

namespace {

constexpr const char *stagedTable = "TarnlinkStaged";
constexpr const char *pairTable = "TarnlinkIdPairs";
constexpr const char *overwriteTable = "TarnlinkOverwrite";

bool hasTable(desktopdb::Table &table, const std::string &schema, const char *name)
{
    return !table.query("SELECT 1 FROM \"" + schema + "\".sqlite_master WHERE type = 'table' AND name = ?1",
                        {std::string(name)})
                .empty();
}

std::string text(const desktopdb::SqlValue &value)
{
    const auto *s = std::get_if<std::string>(&value);
    return s ? *s : std::string();
}

std::int32_t integer(const desktopdb::SqlValue &value)
{
    const auto *i = std::get_if<std::int64_t>(&value);
    return i ? static_cast<std::int32_t>(*i) : 0;
}

} // namespace

std::vector<StagedMarker> stagedMarkers(desktopdb::Table &table, const std::string &schema)
{
    std::vector<StagedMarker> markers;
    if (!hasTable(table, schema, stagedTable))
        return markers;
    for (const auto &row : table.query("SELECT Database, Token FROM \"" + schema + "\"." + stagedTable + " ORDER BY rowid"))
        markers.push_back({text(row[0]), text(row[1])});
    return markers;
}

void setStagedMarker(desktopdb::Table &table, const std::string &database, const std::string &token)
{
    table.execute(std::string("CREATE TABLE IF NOT EXISTS ") + stagedTable +
                  " (Database TEXT PRIMARY KEY, Token TEXT NOT NULL)");
    table.execute(std::string("INSERT OR REPLACE INTO ") + stagedTable + " (Database, Token) VALUES (?1, ?2)",
                  {database, token});
}

IdPairs idPairs(desktopdb::Table &table, const std::string &schema)
{
    IdPairs pairs;
    if (!hasTable(table, schema, pairTable))
        return pairs;
    for (const auto &row : table.query("SELECT OldId, NewId FROM \"" + schema + "\"." + pairTable + " ORDER BY Seq"))
        pairs.emplace_back(integer(row[0]), integer(row[1]));
    return pairs;
}

void storeIdPairs(desktopdb::Table &table, const TIdPairList &pairs)
{
    if (pairs.empty())
        return;
    table.execute(std::string("CREATE TABLE IF NOT EXISTS ") + pairTable +
                  " (Seq INTEGER PRIMARY KEY, OldId INTEGER NOT NULL, NewId INTEGER NOT NULL)");
    for (const auto &entry : pairs)
        table.execute(std::string("INSERT INTO ") + pairTable + " (OldId, NewId) VALUES (?1, ?2)",
                      {std::int64_t{entry.pair->OldId}, std::int64_t{entry.pair->NewId}});
}

void removeIdPairs(desktopdb::Table &table, const std::string &schema)
{
    if (hasTable(table, schema, pairTable))
        table.execute("DELETE FROM \"" + schema + "\"." + pairTable);
}

bool overwritePending(desktopdb::Table &table, const std::string &schema)
{
    return hasTable(table, schema, overwriteTable) &&
           !table.query("SELECT 1 FROM \"" + schema + "\"." + overwriteTable).empty();
}

void setOverwritePending(desktopdb::Table &table)
{
    table.execute(std::string("CREATE TABLE IF NOT EXISTS ") + overwriteTable + " (Pending INTEGER NOT NULL)");
    table.execute(std::string("DELETE FROM ") + overwriteTable);
    table.execute(std::string("INSERT INTO ") + overwriteTable + " (Pending) VALUES (1)");
}

void clearOverwritePending(desktopdb::Table &table, const std::string &schema)
{
    if (hasTable(table, schema, overwriteTable))
        table.execute("DELETE FROM \"" + schema + "\"." + overwriteTable);
}

} // namespace conduit::journal
