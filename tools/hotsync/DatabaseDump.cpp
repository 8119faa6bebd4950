#include "DatabaseDump.h"

#include "text/Cp1252.h"
#include "palmsync/PalmDatabase.h"

#include <ctime>
#include <iomanip>
#include <ostream>
#include <sstream>

namespace hotsynctool {

namespace {

std::string hex(std::uint32_t value, int width)
{
    std::ostringstream s;
    s << "0x" << std::uppercase << std::hex << std::setw(width) << std::setfill('0') << value;
    return s.str();
}

std::string bytesHex(const std::vector<std::uint8_t> &bytes)
{
    std::ostringstream s;
    s << std::uppercase << std::hex << std::setfill('0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        s << (i ? " " : "") << std::setw(2) << static_cast<unsigned>(bytes[i]);
    return s.str();
}

std::string date(std::uint32_t fileDate)
{
    if (fileDate == 0)
        return "never";
    std::time_t t = static_cast<std::time_t>(palmsync::PalmDatabase::toUnixTime(fileDate));
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc);
    return text;
}

std::string block(const std::optional<std::vector<std::uint8_t>> &b)
{
    if (!b)
        return "none";
    return std::to_string(b->size()) + " bytes" + (b->empty() ? "" : ": " + bytesHex(*b));
}

} // namespace

void dumpDatabase(const std::filesystem::path &file, std::ostream &out)
{
    auto db = palmsync::PalmDatabase::load(file);
    const auto &h = db.header;
    out << "Name: " << charset::cp1252ToUtf8(db.name()) << "\n"
        << "Kind: " << (db.isResourceDatabase() ? "resource database" : "record database") << "\n"
        << "Type: " << db.type() << "\n"
        << "Creator: " << db.creator() << "\n"
        << "Attributes: " << hex(h.attributes, 4) << "\n"
        << "Version: " << h.version << "\n"
        << "Created: " << date(h.creationDate) << "\n"
        << "Modified: " << date(h.modificationDate) << "\n"
        << "Backed up: " << date(h.backupDate) << "\n"
        << "Modification number: " << h.modificationNumber << "\n"
        << "Unique id seed: " << h.uniqueIdSeed << "\n"
        << "App info: " << block(db.appInfo) << "\n"
        << "Sort info: " << block(db.sortInfo) << "\n";
    if (db.isResourceDatabase()) {
        out << "Resources: " << db.resources.size() << "\n";
        for (const auto &r : db.resources)
            out << "  type=" << r.type << " id=" << r.id << " size=" << r.data.size() << " bytes=" << bytesHex(r.data)
                << "\n";
    } else {
        out << "Records: " << db.records.size() << "\n";
        for (const auto &r : db.records)
            out << "  id=" << r.uniqueId << " attributes=" << hex(r.attributes, 2)
                << " category=" << static_cast<unsigned>(r.category) << " size=" << r.data.size()
                << " bytes=" << bytesHex(r.data) << "\n";
    }
}

} // namespace hotsynctool
