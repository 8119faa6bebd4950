#include "palmsync/HandheldFolder.h"

#include "palmsync/AtomicFile.h"

#include <algorithm>
#include <ctime>
#include <fstream>
#include <iterator>

namespace palmsync {

namespace fs = std::filesystem;

HandheldFolder::HandheldFolder(fs::path folder) : folder_(std::move(folder))
{
    std::error_code ec;
    if (!fs::is_directory(folder_, ec))
        throw PalmDatabaseError("The handheld folder " + folder_.string() + " does not exist");
}

void HandheldFolder::checkDatabaseName(const std::string &name)
{
    if (name.empty() || name.size() > PalmDatabase::kMaxNameLength || name == "." || name == ".." ||
        name.find_first_of(std::string("/\0", 2)) != std::string::npos)
        throw PalmDatabaseError("\"" + name + "\" is not a valid database name");
}

std::optional<fs::path> HandheldFolder::find(const std::string &name) const
{
    checkDatabaseName(name);
    std::error_code ec;
    for (const char *ext : {".pdb", ".prc"}) {
        fs::path p = folder_ / (name + ext);
        if (fs::is_regular_file(p, ec))
            return p;
    }
    return std::nullopt;
}

fs::path HandheldFolder::recordDatabasePath(const std::string &name) const
{
    checkDatabaseName(name);
    return folder_ / (name + ".pdb");
}

fs::path HandheldFolder::createRecordDatabase(const std::string &name, const std::string &creator,
                                              const std::string &type)
{
    if (find(name))
        throw PalmDatabaseError("Database " + name + " exists already on the handheld");
    fs::path file = recordDatabasePath(name);
    PalmDatabase::createRecordDatabase(name, type, creator, std::time(nullptr)).save(file);
    return file;
}

std::vector<HandheldFolder::DatabaseInfo> HandheldFolder::list() const
{
    std::vector<DatabaseInfo> result;
    for (const auto &entry : fs::directory_iterator(folder_)) {
        const fs::path &p = entry.path();
        if (!entry.is_regular_file() || (p.extension() != ".pdb" && p.extension() != ".prc"))
            continue;
        DatabaseInfo info;
        info.name = p.stem().string();
        info.file = p;
        try {
            PalmDatabase db = PalmDatabase::load(p);
            info.type = db.type();
            info.creator = db.creator();
            info.resource = db.isResourceDatabase();
        } catch (const PalmDatabaseError &e) {
            info.fault = e.what();
        }
        result.push_back(std::move(info));
    }
    std::sort(result.begin(), result.end(),
              [](const DatabaseInfo &a, const DatabaseInfo &b) { return a.file < b.file; });
    return result;
}

fs::path HandheldFolder::install(const fs::path &databaseFile)
{
    std::ifstream in(databaseFile, std::ios::binary);
    if (!in)
        throw PalmDatabaseError("Cannot open " + databaseFile.string());
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    PalmDatabase db = PalmDatabase::parse(bytes, databaseFile.string());
    const std::string name = db.name();
    checkDatabaseName(name);
    fs::path target = folder_ / (name + (db.isResourceDatabase() ? ".prc" : ".pdb"));
    try {
        writeFileAtomically(target, bytes);
    } catch (const std::runtime_error &e) {
        throw PalmDatabaseError(e.what());
    }
    // A database exists once on a handheld, whatever its kind.
    std::error_code ec;
    fs::remove(folder_ / (name + (db.isResourceDatabase() ? ".pdb" : ".prc")), ec);
    return target;
}

} // namespace palmsync
