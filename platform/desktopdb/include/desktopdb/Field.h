#pragma once

#include "desktopdb/DateTime.h"

#include <cstdint>
#include <string>

namespace desktopdb {

// Column types of the desktop tables, as the CREATE TABLE statements name
// them: AUTOINC, INTEGER, BOOLEAN, FLOAT, MONEY, DATE, VARCHAR(n).
enum class FieldType { AutoInc, Integer, Boolean, Float, Money, Date, String };

// Whether a field holds stored data or is computed by the dataset.
enum class FieldKind { Data, Calculated, Lookup };

struct FieldDef {
    std::string name;
    FieldType type = FieldType::String;
    int size = 0; // characters of a VARCHAR(n); 0 for other types
    FieldKind kind = FieldKind::Data;
};

class Table;

// One column of the current row of a table. Reads of a column without value
// give 0, false, the empty text or date-time 0. Writes need the table in
// edit or append state; a text longer than a VARCHAR(n) keeps its first n
// characters. A value that does not fit the column type (a text that is not
// a number for an INTEGER column, say) raises DesktopDbError.
class Field {
public:
    const FieldDef &def() const { return def_; }
    const std::string &name() const { return def_.name; }
    FieldType dataType() const { return def_.type; }
    int index() const { return index_; }

    bool isNull() const;
    std::int32_t asInteger() const;
    bool asBoolean() const;
    double asFloat() const;
    DateTime asDateTime() const;
    std::string asString() const; // UTF-8

    void setAsInteger(std::int32_t value);
    void setAsBoolean(bool value);
    void setAsFloat(double value);
    void setAsDateTime(DateTime value);
    void setAsString(const std::string &value);
    void clear();

    // Copies the value of another field (of any table), converting by type.
    void assign(const Field &source);

private:
    friend class Table;
    Field(Table *table, FieldDef def, int index) : table_(table), def_(std::move(def)), index_(index) {}
    Table *table_;
    FieldDef def_;
    int index_;
};

} // namespace desktopdb
