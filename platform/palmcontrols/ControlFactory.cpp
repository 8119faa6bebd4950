#include "palmcontrols/ControlFactory.h"

#include "palmcontrols/TConduitData.h"
#include "palmcontrols/TConduitManager.h"
#include "palmcontrols/THotSyncApi.h"
#include "palmcontrols/TUserData.h"
#include "palmcontrols/TUserManager.h"

#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <unordered_map>

namespace palmcontrols {

namespace {

template <class T> std::unique_ptr<TPalmControl> make(const hotsync::HostRoot &root)
{
    return std::make_unique<T>(root);
}

struct ClassTable {
    std::mutex mutex;
    std::unordered_map<com::CLSID, ControlMaker> replaced;
};

ClassTable &classTable()
{
    static ClassTable table;
    return table;
}

ControlMaker builtInMaker(const com::CLSID &classId)
{
    if (classId == TUserManager::classId)
        return make<TUserManager>;
    if (classId == TUserData::classId)
        return make<TUserData>;
    if (classId == TConduitManager::classId)
        return make<TConduitManager>;
    if (classId == TConduitData::classId)
        return make<TConduitData>;
    if (classId == THotSyncApi::classId)
        return make<THotSyncApi>;
    return {};
}

ControlMaker makerFor(const com::CLSID &classId)
{
    auto &table = classTable();
    std::lock_guard lock(table.mutex);
    auto it = table.replaced.find(classId);
    return it != table.replaced.end() ? it->second : builtInMaker(classId);
}

// The host root the controls work on, created when it does not exist yet.
hotsync::HostRoot openHostRoot()
{
    std::optional<hotsync::HostRoot> root;
    try {
        root = hotsync::HostRoot::resolve();
        std::filesystem::create_directories(root->path());
    } catch (const std::exception &e) {
        throw com::ComError(com::REGDB_E_CLASSNOTREG, com::hresultText(com::REGDB_E_CLASSNOTREG) +
                                                          " (the HotSync host cannot be reached: " + e.what() + ")");
    }
    return *root;
}

} // namespace

std::unique_ptr<TPalmControl> createControl(const com::CLSID &classId)
{
    ControlMaker maker = makerFor(classId);
    if (!maker)
        throw com::ComError(com::REGDB_E_CLASSNOTREG, com::hresultText(com::REGDB_E_CLASSNOTREG));
    auto control = maker(openHostRoot());
    if (!control)
        throw com::ComError(com::E_FAIL, com::hresultText(com::E_FAIL));
    return control;
}

ControlMaker setControlMaker(const com::CLSID &classId, ControlMaker maker)
{
    auto &table = classTable();
    std::lock_guard lock(table.mutex);
    ControlMaker previous;
    if (auto it = table.replaced.find(classId); it != table.replaced.end()) {
        previous = std::move(it->second);
        table.replaced.erase(it);
    }
    if (maker)
        table.replaced.emplace(classId, std::move(maker));
    return previous;
}

} // namespace palmcontrols
