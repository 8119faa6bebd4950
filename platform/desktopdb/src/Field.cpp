#include "desktopdb/Field.h"

#include "TableImpl.h"
#include "desktopdb/DesktopDbError.h"

#include <cmath>
#include <limits>

namespace desktopdb {

bool Field::isNull() const
{
    return detail::isNull(table_->impl_->value(index_));
}

std::int32_t Field::asInteger() const
{
    const std::int64_t value = detail::toInt64(table_->impl_->value(index_));
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        throw DesktopDbError("Value " + std::to_string(value) + " of field '" + def_.name +
                             "' is out of the range of a 32-bit integer");
    return static_cast<std::int32_t>(value);
}

bool Field::asBoolean() const
{
    return detail::toBoolean(table_->impl_->value(index_));
}

double Field::asFloat() const
{
    return detail::toDouble(table_->impl_->value(index_));
}

DateTime Field::asDateTime() const
{
    const DateTime value = detail::toDateTime(table_->impl_->value(index_));
    // A DATE holds no time of day, whatever another program stored in it:
    // the fraction of a day number goes, as it does for a date text.
    return def_.type == FieldType::Date ? std::trunc(value) : value;
}

std::string Field::asString() const
{
    const detail::Value &value = table_->impl_->value(index_);
    if (detail::isNull(value))
        return std::string();
    switch (def_.type) {
    case FieldType::Boolean:
        return detail::toBoolean(value) ? "True" : "False";
    case FieldType::Date:
        return dateToIsoText(detail::toDateTime(value));
    case FieldType::Float:
    case FieldType::Money:
        return detail::doubleToText(detail::toDouble(value));
    default:
        return detail::toText(value);
    }
}

void Field::setAsInteger(std::int32_t value)
{
    table_->impl_->setValue(index_, static_cast<std::int64_t>(value));
}

void Field::setAsBoolean(bool value)
{
    if (def_.type == FieldType::String)
        table_->impl_->setValue(index_, std::string(value ? "True" : "False"));
    else if (def_.type == FieldType::Date)
        throw DesktopDbError("Field '" + def_.name + "' cannot hold a Boolean value");
    else
        table_->impl_->setValue(index_, static_cast<std::int64_t>(value ? 1 : 0));
}

void Field::setAsFloat(double value)
{
    table_->impl_->setValue(index_, value);
}

void Field::setAsDateTime(DateTime value)
{
    if (def_.type == FieldType::String)
        table_->impl_->setValue(index_, dateToIsoText(value));
    else if (def_.type == FieldType::Boolean)
        throw DesktopDbError("Field '" + def_.name + "' cannot hold a date");
    else
        table_->impl_->setValue(index_, value);
}

void Field::setAsString(const std::string &value)
{
    table_->impl_->setValue(index_, value);
}

void Field::clear()
{
    table_->impl_->setValue(index_, std::monostate{});
}

void Field::assign(const Field &source)
{
    if (source.isNull()) {
        clear();
        return;
    }
    switch (source.dataType()) {
    case FieldType::AutoInc:
    case FieldType::Integer:
        table_->impl_->setValue(index_, detail::toInt64(source.table_->impl_->value(source.index_)));
        break;
    case FieldType::Boolean:
        setAsBoolean(source.asBoolean());
        break;
    case FieldType::Float:
    case FieldType::Money:
        setAsFloat(source.asFloat());
        break;
    case FieldType::Date:
        setAsDateTime(source.asDateTime());
        break;
    case FieldType::String:
        setAsString(source.asString());
        break;
    }
}

} // namespace desktopdb
