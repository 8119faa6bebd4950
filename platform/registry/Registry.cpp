#include "registry/Registry.h"

#include "fileio/DurableFile.h"
#include "fileio/FileError.h"
#include "fileio/FileLock.h"
#include "registry/HiveFile.h"
#include "registry/HostRootPath.h"
#include "registry/RegistryError.h"

namespace registry {

namespace {
constexpr Hive allHives[] = {Hive::ClassesRoot, Hive::LocalMachine, Hive::CurrentUser};
// Far above any real hive; a larger file is refused rather than read.
constexpr std::uintmax_t maxHiveBytes = 64u << 20;
} // namespace

const char *hiveName(Hive hive)
{
    switch (hive) {
    case Hive::ClassesRoot:
        return "HKEY_CLASSES_ROOT";
    case Hive::LocalMachine:
        return "HKEY_LOCAL_MACHINE";
    case Hive::CurrentUser:
        return "HKEY_CURRENT_USER";
    }
    return "";
}

std::optional<Hive> hiveFromName(std::string_view name)
{
    for (Hive h : allHives) {
        if (foldName(name) == foldName(hiveName(h)))
            return h;
    }
    return std::nullopt;
}

Registry::Registry(std::filesystem::path hostRoot, std::optional<std::filesystem::path> machineRoot)
    : root_(std::move(hostRoot)), machineRoot_(std::move(machineRoot))
{
    if (machineRoot_ && *machineRoot_ == root_)
        machineRoot_.reset();
}

Registry Registry::atDefaultRoot()
{
    return Registry(resolveHostRoot());
}

std::filesystem::path Registry::hiveFile(Hive hive) const
{
    return root_ / "registry" / (std::string(hiveName(hive)) + ".reg");
}

std::filesystem::path Registry::lockFile(Hive hive) const
{
    return root_ / "registry" / (std::string(hiveName(hive)) + ".lock");
}

RegistryKey Registry::load(Hive hive) const
{
    auto file = hiveFile(hive);
    std::optional<std::string> text;
    try {
        text = fileio::readTextFileIfExists(file, maxHiveBytes);
    } catch (const fileio::FileError &e) {
        throw RegistryError(e.what());
    }
    if (!text)
        return RegistryKey();
    return parseHive(*text, file.string());
}

void Registry::modify(Hive hive, const std::function<void(RegistryKey &root)> &change)
{
    try {
        fileio::FileLock lock(lockFile(hive));
        RegistryKey root = load(hive);
        change(root);
        fileio::writeFileAtomically(hiveFile(hive), serializeHive(root), true);
    } catch (const fileio::FileError &e) {
        throw RegistryError(e.what());
    }
}

std::optional<RegistryKey> Registry::findKey(Hive hive, std::string_view keyPath) const
{
    RegistryKey root = load(hive);
    if (const RegistryKey *key = root.find(keyPath))
        return *key;
    if (hive == Hive::ClassesRoot && machineRoot_)
        return Registry(*machineRoot_).findKey(hive, keyPath);
    return std::nullopt;
}

bool Registry::keyExists(Hive hive, std::string_view keyPath) const
{
    return findKey(hive, keyPath).has_value();
}

std::optional<RegistryValue> Registry::value(Hive hive, std::string_view keyPath, std::string_view name) const
{
    auto key = findKey(hive, keyPath);
    if (!key)
        return std::nullopt;
    const RegistryValue *v = key->value(name);
    if (!v)
        return std::nullopt;
    return *v;
}

std::optional<std::string> Registry::stringValue(Hive hive, std::string_view keyPath, std::string_view name) const
{
    auto v = value(hive, keyPath, name);
    if (!v || !std::holds_alternative<std::string>(*v))
        return std::nullopt;
    return std::get<std::string>(*v);
}

std::optional<std::uint32_t> Registry::dwordValue(Hive hive, std::string_view keyPath, std::string_view name) const
{
    auto v = value(hive, keyPath, name);
    if (!v || !std::holds_alternative<std::uint32_t>(*v))
        return std::nullopt;
    return std::get<std::uint32_t>(*v);
}

std::optional<std::vector<std::string>> Registry::subkeys(Hive hive, std::string_view keyPath) const
{
    auto key = findKey(hive, keyPath);
    if (!key)
        return std::nullopt;
    return key->subkeyNames();
}

std::optional<std::vector<NamedValue>> Registry::values(Hive hive, std::string_view keyPath) const
{
    auto key = findKey(hive, keyPath);
    if (!key)
        return std::nullopt;
    return key->values();
}

void Registry::createKey(Hive hive, std::string_view keyPath)
{
    splitKeyPath(keyPath); // refuse a malformed path before taking the lock
    modify(hive, [&](RegistryKey &root) { root.create(keyPath); });
}

void Registry::setString(Hive hive, std::string_view keyPath, std::string_view name, std::string_view data)
{
    splitKeyPath(keyPath);
    modify(hive, [&](RegistryKey &root) { root.create(keyPath).setValue(name, std::string(data)); });
}

void Registry::setDword(Hive hive, std::string_view keyPath, std::string_view name, std::uint32_t data)
{
    splitKeyPath(keyPath);
    modify(hive, [&](RegistryKey &root) { root.create(keyPath).setValue(name, data); });
}

bool Registry::deleteValue(Hive hive, std::string_view keyPath, std::string_view name)
{
    if (!value(hive, keyPath, name))
        return false;
    bool removed = false;
    modify(hive, [&](RegistryKey &root) {
        if (RegistryKey *key = root.find(keyPath))
            removed = key->removeValue(name);
    });
    return removed;
}

DeleteKeyResult Registry::deleteKey(Hive hive, std::string_view keyPath)
{
    auto names = splitKeyPath(keyPath);
    if (names.empty())
        throw RegistryError(std::string("Cannot delete the root of ") + hiveName(hive));
    if (!keyExists(hive, keyPath))
        return DeleteKeyResult::NotFound;
    DeleteKeyResult result = DeleteKeyResult::NotFound;
    modify(hive, [&](RegistryKey &root) {
        RegistryKey *parent = &root;
        for (std::size_t i = 0; i + 1 < names.size() && parent; ++i)
            parent = parent->find(names[i]);
        const RegistryKey *key = parent ? parent->subkey(names.back()) : nullptr;
        if (!key)
            result = DeleteKeyResult::NotFound;
        else if (key->hasSubkeys())
            result = DeleteKeyResult::HasSubkeys;
        else
            result = parent->removeSubkey(names.back()) ? DeleteKeyResult::Deleted : DeleteKeyResult::NotFound;
    });
    return result;
}

} // namespace registry
