#include "Schema.h"

#include "desktopdb/DesktopDbError.h"

#include <cctype>
#include <filesystem>
#include <vector>

namespace desktopdb::detail {

namespace {

bool isIdentStart(char c)
{
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
}

bool isIdentChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

std::string upper(std::string text)
{
    for (auto &c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

struct Token {
    std::string text;  // as written, quotes removed for quoted identifiers
    std::size_t begin; // offset in the statement
    std::size_t end;
    bool word;   // bare word (keyword or identifier)
    bool quoted; // "..." or [...] or `...` identifier
};

// Splits a statement into words, quoted identifiers and single characters;
// string literals are skipped as one token.
std::vector<Token> tokenize(const std::string &sql)
{
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            while (i < sql.size() && sql[i] != '\n')
                ++i;
        } else if (isIdentStart(c)) {
            std::size_t j = i;
            while (j < sql.size() && isIdentChar(sql[j]))
                ++j;
            tokens.push_back({sql.substr(i, j - i), i, j, true, false});
            i = j;
        } else if (c == '"' || c == '[' || c == '`' || c == '\'') {
            const char close = c == '[' ? ']' : c;
            std::string text;
            std::size_t j = i + 1;
            for (; j < sql.size(); ++j) {
                if (sql[j] == close) {
                    if (close != ']' && j + 1 < sql.size() && sql[j + 1] == close) {
                        text += close;
                        ++j;
                        continue;
                    }
                    break;
                }
                text += sql[j];
            }
            if (j >= sql.size())
                throw DesktopDbError("Unterminated quote in statement");
            tokens.push_back({text, i, j + 1, false, c != '\''});
            i = j + 1;
        } else {
            tokens.push_back({std::string(1, c), i, i + 1, false, false});
            ++i;
        }
    }
    return tokens;
}

bool isKeyword(const std::vector<Token> &tokens, std::size_t i, const char *keyword)
{
    return i < tokens.size() && tokens[i].word && upper(tokens[i].text) == keyword;
}

// Reads a name at tokens[i]; advances i.
std::string nameAt(const std::vector<Token> &tokens, std::size_t &i, const char *what)
{
    if (i >= tokens.size() || !(tokens[i].word || tokens[i].quoted))
        throw DesktopDbError(std::string("Missing ") + what + " name in statement");
    return tokens[i++].text;
}

void skipIfNotExists(const std::vector<Token> &tokens, std::size_t &i)
{
    if (isKeyword(tokens, i, "IF") && isKeyword(tokens, i + 1, "NOT") && isKeyword(tokens, i + 2, "EXISTS"))
        i += 3;
}

} // namespace

void checkTableName(const std::string &name)
{
    bool ok = !name.empty() && isIdentStart(name[0]);
    for (char c : name)
        ok = ok && isIdentChar(c);
    if (!ok)
        throw DesktopDbError("Invalid table name '" + name + "'");
}

std::string tableFilePath(const std::string &folder, const std::string &table)
{
    if (folder.empty())
        throw DesktopDbError("No database folder is set");
    checkTableName(table);
    const std::filesystem::path exact = std::filesystem::path(folder) / (table + ".db");
    std::error_code error;
    if (std::filesystem::exists(exact, error))
        return exact.string();
    // Table names do not depend on case, as on the desktop's own file
    // system: "main.db" or "MAIN.DB" written by another program is MAIN.
    const std::string wanted = upper(table + ".db");
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (upper(it->path().filename().string()) == wanted)
            return it->path().string();
    }
    return exact.string();
}

void describeDeclaredType(const std::string &declared, bool rowidKey, FieldDef &def)
{
    const std::string type = upper(declared);
    def.size = 0;
    def.kind = FieldKind::Data;
    const auto has = [&type](const char *part) { return type.find(part) != std::string::npos; };
    if (has("AUTOINC") || (rowidKey && has("INT")))
        def.type = FieldType::AutoInc;
    else if (has("BOOL"))
        def.type = FieldType::Boolean;
    else if (has("MONEY"))
        def.type = FieldType::Money;
    else if (has("DATE") || has("TIME"))
        def.type = FieldType::Date;
    else if (has("INT"))
        def.type = FieldType::Integer;
    else if (has("FLOA") || has("REAL") || has("DOUB") || has("NUM") || has("DEC"))
        def.type = FieldType::Float;
    else {
        def.type = FieldType::String;
        const auto open = type.find('(');
        if (open != std::string::npos) {
            int size = 0;
            for (std::size_t i = open + 1; i < type.size() && std::isdigit(static_cast<unsigned char>(type[i])); ++i)
                size = size * 10 + (type[i] - '0');
            def.size = size;
        }
    }
}

SchemaStatement parseSchemaStatement(const std::string &text)
{
    const std::vector<Token> tokens = tokenize(text);
    SchemaStatement statement;
    std::size_t i = 0;
    if (!isKeyword(tokens, i, "CREATE"))
        throw DesktopDbError("Only CREATE TABLE and CREATE INDEX statements can be executed");
    ++i;
    if (isKeyword(tokens, i, "TABLE")) {
        ++i;
        skipIfNotExists(tokens, i);
        statement.kind = SchemaStatement::Kind::CreateTable;
        statement.table = nameAt(tokens, i, "table");
        // Rewrite two column types for SQLite; everything else is passed as
        // written. AUTOINC becomes INTEGER, which with the table's PRIMARY KEY
        // is the rowid that SQLite assigns. MONEY keeps its name and gains
        // REAL, so that amounts are stored as REAL (a bare MONEY column would
        // turn whole amounts into integers).
        std::string sql;
        std::size_t copied = 0;
        int depth = 0;
        std::size_t columnStart = tokens.size(); // index of the current column's name token
        for (std::size_t k = i; k < tokens.size(); ++k) {
            const Token &token = tokens[k];
            if (!token.word && !token.quoted && (token.text == "(" || token.text == ")" || token.text == ",")) {
                depth += token.text == "(" ? 1 : token.text == ")" ? -1 : 0;
                if (depth == 1 && token.text != ")")
                    columnStart = k + 1;
                continue;
            }
            if (depth != 1 || k != columnStart + 1 || !token.word)
                continue;
            const std::string type = upper(token.text);
            const char *replacement = type == "AUTOINC" ? "INTEGER" : type == "MONEY" ? "MONEY REAL" : nullptr;
            if (replacement) {
                sql += text.substr(copied, token.begin - copied) + replacement;
                copied = token.end;
            }
        }
        statement.sql = sql + text.substr(copied);
    } else {
        if (isKeyword(tokens, i, "UNIQUE"))
            ++i;
        if (!isKeyword(tokens, i, "INDEX"))
            throw DesktopDbError("Only CREATE TABLE and CREATE INDEX statements can be executed");
        ++i;
        skipIfNotExists(tokens, i);
        statement.kind = SchemaStatement::Kind::CreateIndex;
        nameAt(tokens, i, "index");
        if (!isKeyword(tokens, i, "ON"))
            throw DesktopDbError("Missing ON in CREATE INDEX statement");
        ++i;
        statement.table = nameAt(tokens, i, "table");
        statement.sql = text;
    }
    checkTableName(statement.table);
    return statement;
}

} // namespace desktopdb::detail
