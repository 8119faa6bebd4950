#include "TableExport.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <map>
#include <ostream>
#include <set>

namespace hotsynctool {

namespace {

const std::set<std::string> bookkeeping{"InternalID", "Modified", "Synced", "Deleted", "UserName"};

std::string numberText(double value)
{
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return ec == std::errc() ? std::string(text, end) : std::to_string(value);
}

std::string csvField(const Cell &cell)
{
    std::string text;
    if (auto b = std::get_if<bool>(&cell))
        text = *b ? "true" : "false";
    else if (auto d = std::get_if<double>(&cell))
        text = numberText(*d);
    else
        text = asText(cell);
    const bool quote = text.find_first_of(",\"\r\n") != std::string::npos ||
                       (!text.empty() && (text.front() == ' ' || text.back() == ' '));
    if (!quote)
        return text;
    std::string q = "\"";
    for (char c : text)
        q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
}

nlohmann::ordered_json jsonValue(const Cell &cell)
{
    if (isNull(cell))
        return nullptr;
    if (auto v = std::get_if<std::int64_t>(&cell))
        return *v;
    if (auto b = std::get_if<bool>(&cell))
        return *b;
    if (auto d = std::get_if<double>(&cell))
        return *d;
    return asText(cell);
}

} // namespace

DesktopRows exportedTable(const DesktopTables &tables, const std::string &table)
{
    const DesktopRows rows = tables.read(table);
    struct Resolved {
        std::size_t column;
        NameIndex names;
    };
    std::map<std::string, Resolved> references;
    for (const auto &r : referencesOf(table)) {
        auto it = std::find(rows.columns.begin(), rows.columns.end(), r.column);
        if (it != rows.columns.end())
            references.emplace(r.column, Resolved{static_cast<std::size_t>(it - rows.columns.begin()),
                                                  NameIndex(tables.readIfPresent(r.table), r.nameColumn)});
    }

    DesktopRows out;
    out.table = table;
    std::vector<std::size_t> kept;
    for (std::size_t i = 0; i < rows.columns.size(); ++i) {
        const std::string &name = rows.columns[i];
        if (bookkeeping.count(name))
            continue;
        kept.push_back(i);
        out.columns.push_back(name);
        for (const auto &r : referencesOf(table)) {
            if (r.column == name)
                out.columns.push_back(r.resolvedAs);
        }
    }
    for (const auto &row : rows.rows) {
        std::vector<Cell> cells;
        for (std::size_t i : kept) {
            cells.push_back(row[i]);
            auto ref = references.find(rows.columns[i]);
            if (ref == references.end())
                continue;
            if (auto name = ref->second.names.find(asInteger(row[i])))
                cells.emplace_back(*name);
            else
                cells.emplace_back(std::monostate{});
        }
        out.rows.push_back(std::move(cells));
    }
    return out;
}

void writeCsv(std::ostream &out, const DesktopRows &table)
{
    for (std::size_t i = 0; i < table.columns.size(); ++i)
        out << (i ? "," : "") << csvField(table.columns[i]);
    out << "\n";
    for (const auto &row : table.rows) {
        for (std::size_t i = 0; i < row.size(); ++i)
            out << (i ? "," : "") << csvField(row[i]);
        out << "\n";
    }
}

void writeJson(std::ostream &out, const std::vector<DesktopRows> &tables)
{
    nlohmann::ordered_json all = nlohmann::ordered_json::object();
    for (const auto &table : tables) {
        nlohmann::ordered_json rows = nlohmann::ordered_json::array();
        for (const auto &row : table.rows) {
            nlohmann::ordered_json object = nlohmann::ordered_json::object();
            for (std::size_t i = 0; i < row.size(); ++i)
                object[table.columns[i]] = jsonValue(row[i]);
            rows.push_back(std::move(object));
        }
        all[table.table] = std::move(rows);
    }
    out << all.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}

} // namespace hotsynctool
