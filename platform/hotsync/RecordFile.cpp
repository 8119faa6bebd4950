#include "hotsync/RecordFile.h"

#include "hotsync/HostError.h"
#include "fileio/DurableFile.h"
#include "registry/FieldCodec.h"
#include "registry/RegistryError.h"

namespace hotsync {

namespace {
constexpr const char *version = "1";
// Far above any real store; a larger file is refused rather than read.
constexpr std::uintmax_t maxStoreBytes = 16u << 20;
} // namespace

RecordFile::RecordFile(std::filesystem::path file, std::string tag) : file_(std::move(file)), tag_(std::move(tag)) {}

std::vector<Record> RecordFile::read() const
{
    auto text = fileio::readTextFileIfExists(file_, maxStoreBytes);
    std::vector<Record> records;
    if (!text)
        return records;
    std::size_t lineNo = 0;
    try {
        auto lines = registry::splitLines(*text);
        for (auto line : lines) {
            ++lineNo;
            auto fields = registry::splitFields(line);
            if (lineNo == 1) {
                if (fields.size() != 2 || fields[0] != tag_ || fields[1] != version)
                    throw HostError("not a " + tag_ + " file of this version");
                continue;
            }
            records.push_back(std::move(fields));
        }
    } catch (const std::runtime_error &e) {
        throw HostError("Malformed file " + file_.string() + ", line " + std::to_string(lineNo) + ": " + e.what());
    }
    return records;
}

void RecordFile::write(const std::vector<Record> &records) const
{
    std::string text = registry::joinFields({tag_, version}) + '\n';
    for (const auto &r : records)
        text += registry::joinFields(r) + '\n';
    fileio::writeFileAtomically(file_, text, true);
}

void RecordFile::malformed(std::size_t index, const std::string &fault) const
{
    throw HostError("Malformed file " + file_.string() + ", line " + std::to_string(index + 2) + ": " + fault);
}

} // namespace hotsync
