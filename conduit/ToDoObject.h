#pragma once

// The record object base: one record of one table, in its handheld form (the
// record bytes and header values) and its desktop form (one row's values
// with the sync columns). Subclasses add the content of one table.

#include "ConduitUtils.h"
#include "desktopdb/Table.h"
#include "palmsync/SyncSuite.h"

#include <cstdint>
#include <memory>
#include <string>

namespace conduit {

using palmsync::ByteArray;

constexpr std::int32_t AttrDeleted = 0x80;
constexpr std::int32_t AttrDirty = 0x40;

class TToDoObject {
public:
    // Declared in one fixed order: the layout of the object is part of the
    // class's binary interface, which the subclasses build on. Add new
    // fields at the end only.
    std::string UserName;
    bool Deleted = false;
    bool Modified = false;
    bool Synced = false;
    std::int32_t Attributes = 0;
    std::int32_t Category = 0;
    std::int32_t Index = 0;
    ByteArray RawData;
    std::int32_t RecNo = 0;
    std::int32_t RecordId = 0;
    std::uint8_t SyncState = 0;

    // Create: UserName set, every other field zero, false or empty.
    explicit TToDoObject(const std::string &userName) : UserName(userName) {}
    virtual ~TToDoObject() = default;

    // The virtual operations, declared in one fixed order: the order of the
    // vtable slots is part of the class's binary interface, which the four
    // subclasses override slot for slot. Do not reorder or insert.
    virtual void setRecordId(std::int32_t id);
    // Copies id, attributes and desktop flags (and, in a subclass, the
    // content) from an object of the same class; keeps UserName, RawData,
    // Category, Index, RecNo and SyncState.
    virtual void assign(const TToDoObject &source);
    virtual std::unique_ptr<TToDoObject> clone() const = 0;
    virtual bool equals(const TToDoObject &other) const = 0;
    virtual void readFromRemote(palmsync::IPDUtility *utility, const ByteArray &data, std::int32_t index,
                                std::int32_t recordId, std::int32_t category, std::int32_t attributes);
    virtual void readFromDesktop(desktopdb::Table &dataSet);
    virtual void writeToRemote(palmsync::IPDRecordAdapter *adapter, palmsync::IPDUtility *utility,
                               std::int32_t attributes);
    virtual void writeToDesktop(desktopdb::Table &dataSet, bool modified, bool deleted, bool synced);

    bool isDeleted() const { return (Attributes & AttrDeleted) != 0; }
    bool isDirty() const { return (Attributes & AttrDirty) != 0; }

protected:
    TToDoObject(const TToDoObject &) = default;

    // The length of a record this class creates on the handheld.
    virtual std::size_t recordLength() const = 0;
    // Unpacks the content from RawData (record not deleted on the handheld).
    virtual void unpackRemote(palmsync::IPDUtility *utility) = 0;
    // Packs the content into RawData at the layout's offsets.
    virtual void packRemote(palmsync::IPDUtility *utility) = 0;

    // Packing helpers: numbers chain through the returned offset; texts sit
    // at fixed offsets of their field width. Writes grow a short record
    // array (one the handheld application made shorter) rather than cut or
    // fail, so no text is lost and no byte outside the record is touched.
    std::int32_t readDWord(palmsync::IPDUtility *utility, std::int32_t offset, std::int32_t &value) const;
    std::int32_t readWord(palmsync::IPDUtility *utility, std::int32_t offset, std::uint16_t &value) const;
    std::string readText(palmsync::IPDUtility *utility, std::int32_t offset, std::int32_t width) const;
    std::int32_t writeDWord(palmsync::IPDUtility *utility, std::int32_t offset, std::int32_t value);
    std::int32_t writeWord(palmsync::IPDUtility *utility, std::int32_t offset, std::uint16_t value);
    void writeText(palmsync::IPDUtility *utility, std::int32_t offset, const std::string &text);

    // Reads one column of the desktop row through `convert`. A value that
    // cannot be converted stops the run; the message then names the table,
    // the row's DBID and the column, so the user can find the value and
    // mend it.
    template <class F>
    static auto desktopValue(desktopdb::Table &dataSet, const char *column, F &&convert)
        -> decltype(convert(dataSet.fieldByName(column)))
    {
        try {
            return convert(dataSet.fieldByName(column));
        } catch (const std::exception &e) {
            throw EConvertError(std::string(e.what()) + desktopRowContext(dataSet, column));
        }
    }
    static std::string desktopRowContext(desktopdb::Table &dataSet, const char *column);

private:
    void ensureRawSize(std::size_t size);
};

// The number of single-byte characters a UTF-8 text becomes on the handheld.
std::size_t handheldLength(const std::string &utf8);

} // namespace conduit
