#include "registry/RegistryKey.h"

#include "registry/RegistryError.h"

#include <algorithm>

namespace registry {

std::string foldName(std::string_view name)
{
    std::string folded(name);
    for (char &c : folded) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

std::vector<std::string> splitKeyPath(std::string_view path)
{
    if (!path.empty() && path.front() == '\\')
        path.remove_prefix(1);
    if (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    std::vector<std::string> names;
    if (path.empty())
        return names;
    std::size_t start = 0;
    while (true) {
        std::size_t sep = path.find('\\', start);
        std::string_view part = path.substr(start, sep == std::string_view::npos ? sep : sep - start);
        if (part.empty())
            throw RegistryError("Invalid key path \"" + std::string(path) + "\": empty key name");
        names.emplace_back(part);
        if (names.size() > maxKeyDepth)
            throw RegistryError("Invalid key path: keys nest deeper than " + std::to_string(maxKeyDepth) + " levels");
        if (sep == std::string_view::npos)
            break;
        start = sep + 1;
    }
    return names;
}

RegistryKey::RegistryKey(std::string name) : name_(std::move(name)) {}

RegistryKey::RegistryKey(const RegistryKey &other) : name_(other.name_), values_(other.values_)
{
    for (const auto &[folded, key] : other.subkeys_)
        subkeys_.emplace(folded, std::make_unique<RegistryKey>(*key));
}

RegistryKey &RegistryKey::operator=(const RegistryKey &other)
{
    if (this != &other)
        *this = RegistryKey(other);
    return *this;
}

RegistryKey::~RegistryKey()
{
    // Iterative, so that a deep chain of keys cannot exhaust the stack.
    std::vector<std::unique_ptr<RegistryKey>> pending;
    for (auto &[folded, key] : subkeys_)
        pending.push_back(std::move(key));
    subkeys_.clear();
    while (!pending.empty()) {
        std::unique_ptr<RegistryKey> key = std::move(pending.back());
        pending.pop_back();
        for (auto &[folded, child] : key->subkeys_)
            pending.push_back(std::move(child));
        key->subkeys_.clear();
    }
}

const RegistryKey *RegistryKey::find(std::string_view path) const
{
    const RegistryKey *key = this;
    for (const auto &name : splitKeyPath(path)) {
        key = key->subkey(name);
        if (!key)
            return nullptr;
    }
    return key;
}

RegistryKey *RegistryKey::find(std::string_view path)
{
    return const_cast<RegistryKey *>(static_cast<const RegistryKey *>(this)->find(path));
}

RegistryKey &RegistryKey::create(std::string_view path)
{
    RegistryKey *key = this;
    for (const auto &name : splitKeyPath(path))
        key = &key->createSubkey(name);
    return *key;
}

const RegistryKey *RegistryKey::subkey(std::string_view name) const
{
    auto it = subkeys_.find(foldName(name));
    return it == subkeys_.end() ? nullptr : it->second.get();
}

RegistryKey &RegistryKey::createSubkey(std::string_view name)
{
    if (name.empty() || name.find('\\') != std::string_view::npos)
        throw RegistryError("Invalid key name \"" + std::string(name) + "\"");
    auto &slot = subkeys_[foldName(name)];
    if (!slot)
        slot = std::make_unique<RegistryKey>(std::string(name));
    return *slot;
}

bool RegistryKey::removeSubkey(std::string_view name)
{
    return subkeys_.erase(foldName(name)) > 0;
}

std::vector<std::string> RegistryKey::subkeyNames() const
{
    std::vector<std::string> names;
    names.reserve(subkeys_.size());
    for (const auto &[folded, key] : subkeys_)
        names.push_back(key->name());
    return names;
}

const RegistryValue *RegistryKey::value(std::string_view name) const
{
    std::string folded = foldName(name);
    auto it =
        std::find_if(values_.begin(), values_.end(), [&](const NamedValue &v) { return foldName(v.name) == folded; });
    return it == values_.end() ? nullptr : &it->data;
}

void RegistryKey::setValue(std::string_view name, RegistryValue data)
{
    if (auto *existing = const_cast<RegistryValue *>(value(name))) {
        *existing = std::move(data);
        return;
    }
    values_.push_back({std::string(name), std::move(data)});
}

bool RegistryKey::removeValue(std::string_view name)
{
    std::string folded = foldName(name);
    auto it =
        std::find_if(values_.begin(), values_.end(), [&](const NamedValue &v) { return foldName(v.name) == folded; });
    if (it == values_.end())
        return false;
    values_.erase(it);
    return true;
}

} // namespace registry
