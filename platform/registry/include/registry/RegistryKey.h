#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace registry {

// How deep keys may nest below a hive's root, as in the registry it stands
// in for; deeper paths are refused.
constexpr std::size_t maxKeyDepth = 512;

// A value's data: a text (REG_SZ) or a 32-bit number (REG_DWORD).
using RegistryValue = std::variant<std::string, std::uint32_t>;

struct NamedValue {
    std::string name; // empty for the key's default value
    RegistryValue data;
};

// Folds a key or value name for comparison: names are compared without
// regard to (ASCII) case, and kept in the case they were first written in.
std::string foldName(std::string_view name);

// Splits a key path at its backslashes. One leading and one trailing
// backslash are allowed ("\Software\Brenholt\Gearvane\"); an empty path is
// the hive's root. Raises a RegistryError for an empty name inside the path
// and for a path of more than maxKeyDepth names.
std::vector<std::string> splitKeyPath(std::string_view path);

// One key of a hive, held in memory: its subkeys and named values.
class RegistryKey {
public:
    explicit RegistryKey(std::string name = {});
    RegistryKey(const RegistryKey &other);
    RegistryKey &operator=(const RegistryKey &other);
    RegistryKey(RegistryKey &&) noexcept = default;
    RegistryKey &operator=(RegistryKey &&) noexcept = default;
    ~RegistryKey();

    const std::string &name() const { return name_; }

    // The key at `path` below this one, or null; never creates.
    const RegistryKey *find(std::string_view path) const;
    RegistryKey *find(std::string_view path);
    // The key at `path`, created with every missing key on the way.
    RegistryKey &create(std::string_view path);

    const RegistryKey *subkey(std::string_view name) const;
    RegistryKey &createSubkey(std::string_view name);
    // Removes the direct subkey `name` with everything below it.
    bool removeSubkey(std::string_view name);
    bool hasSubkeys() const { return !subkeys_.empty(); }
    // Names of the direct subkeys, ordered without regard to case.
    std::vector<std::string> subkeyNames() const;

    const RegistryValue *value(std::string_view name) const;
    // Sets a value; an existing value of that name keeps its spelling.
    void setValue(std::string_view name, RegistryValue data);
    bool removeValue(std::string_view name);
    // Values in the order they were first written.
    const std::vector<NamedValue> &values() const { return values_; }

private:
    std::string name_;
    std::map<std::string, std::unique_ptr<RegistryKey>> subkeys_; // by folded name
    std::vector<NamedValue> values_;
};

} // namespace registry
