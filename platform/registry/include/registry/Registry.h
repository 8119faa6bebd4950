#pragma once

#include "registry/RegistryKey.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace registry {

enum class Hive { ClassesRoot, LocalMachine, CurrentUser };

// "HKEY_CLASSES_ROOT", "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER".
const char *hiveName(Hive hive);
// The hive of a name as hiveName gives it (any case), or nothing.
std::optional<Hive> hiveFromName(std::string_view name);

enum class DeleteKeyResult { Deleted, NotFound, HasSubkeys };

// The registry of the HotSync host: keys with named text and number values
// in three hives, one file per hive under <root>/registry/. Key paths use
// backslashes; names are compared without regard to case and kept as first
// written. Reads never create anything; writes create missing keys. Each
// write is one locked read-modify-write of the hive's file, replaced
// atomically, so concurrent processes lose no update and a crash leaves the
// previous content. Failures raise a RegistryError with the reason.
//
// A registry may fall back to the machine's: a key of HKEY_CLASSES_ROOT that
// this registry does not hold is read from the machine's registry, so that a
// class registered for every user is found, and one a user registered for
// themselves wins. Writes always go to this registry.
class Registry {
public:
    explicit Registry(std::filesystem::path hostRoot, std::optional<std::filesystem::path> machineRoot = {});
    // The registry under the root that resolveHostRoot() finds.
    static Registry atDefaultRoot();

    const std::filesystem::path &hostRoot() const { return root_; }
    std::filesystem::path hiveFile(Hive hive) const;

    // A snapshot of the whole hive (empty when its file does not exist yet).
    RegistryKey load(Hive hive) const;
    // Locked read-modify-write: `change` edits the hive's root key; the
    // result is written only when `change` returns normally.
    void modify(Hive hive, const std::function<void(RegistryKey &root)> &change);

    bool keyExists(Hive hive, std::string_view keyPath) const;
    std::optional<RegistryValue> value(Hive hive, std::string_view keyPath, std::string_view name) const;
    // Nothing when the key or value is missing or holds the other type.
    std::optional<std::string> stringValue(Hive hive, std::string_view keyPath, std::string_view name) const;
    std::optional<std::uint32_t> dwordValue(Hive hive, std::string_view keyPath, std::string_view name) const;
    // Direct subkeys and values of a key; nothing when the key is missing.
    std::optional<std::vector<std::string>> subkeys(Hive hive, std::string_view keyPath) const;
    std::optional<std::vector<NamedValue>> values(Hive hive, std::string_view keyPath) const;

    void createKey(Hive hive, std::string_view keyPath);
    // An empty name sets the key's default value.
    void setString(Hive hive, std::string_view keyPath, std::string_view name, std::string_view data);
    void setDword(Hive hive, std::string_view keyPath, std::string_view name, std::uint32_t data);
    bool deleteValue(Hive hive, std::string_view keyPath, std::string_view name);
    // Deletes a key without subkeys, with its values. A key that still has
    // subkeys is refused and left as it is; a hive's root cannot be deleted.
    DeleteKeyResult deleteKey(Hive hive, std::string_view keyPath);

private:
    std::filesystem::path lockFile(Hive hive) const;

    // The key in this registry, else (HKEY_CLASSES_ROOT) in the machine's.
    std::optional<RegistryKey> findKey(Hive hive, std::string_view keyPath) const;

    std::filesystem::path root_;
    std::optional<std::filesystem::path> machineRoot_;
};

} // namespace registry
