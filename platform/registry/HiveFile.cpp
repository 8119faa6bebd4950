#include "registry/HiveFile.h"

#include "registry/FieldCodec.h"
#include "registry/RegistryError.h"

#include <charconv>

namespace registry {

namespace {

constexpr const char *formatTag = "GVREG";
constexpr const char *formatVersion = "1";

void writeKey(const RegistryKey &key, std::vector<std::string> &path, std::string &out)
{
    std::vector<std::string> fields{"K"};
    fields.insert(fields.end(), path.begin(), path.end());
    out += joinFields(fields) + '\n';
    for (const auto &v : key.values()) {
        if (const auto *text = std::get_if<std::string>(&v.data))
            out += joinFields({"S", v.name, *text}) + '\n';
        else
            out += joinFields({"D", v.name, std::to_string(std::get<std::uint32_t>(v.data))}) + '\n';
    }
    for (const auto &name : key.subkeyNames()) {
        path.push_back(name);
        writeKey(*key.subkey(name), path, out);
        path.pop_back();
    }
}

std::uint32_t parseDword(const std::string &text)
{
    std::uint32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        throw RegistryError("invalid number \"" + text + "\"");
    return value;
}

} // namespace

std::string serializeHive(const RegistryKey &root)
{
    std::string out = joinFields({formatTag, formatVersion}) + '\n';
    std::vector<std::string> path;
    writeKey(root, path, out);
    return out;
}

RegistryKey parseHive(std::string_view text, const std::string &origin)
{
    RegistryKey root;
    std::size_t lineNo = 0;
    try {
        auto lines = splitLines(text);
        if (lines.empty())
            return root;
        RegistryKey *current = nullptr;
        for (auto line : lines) {
            ++lineNo;
            auto fields = splitFields(line);
            if (lineNo == 1) {
                if (fields.size() != 2 || fields[0] != formatTag || fields[1] != formatVersion)
                    throw RegistryError("not a registry hive file of this version");
                continue;
            }
            const std::string &tag = fields[0];
            if (tag == "K") {
                if (fields.size() - 1 > maxKeyDepth)
                    throw RegistryError("keys nest deeper than " + std::to_string(maxKeyDepth) + " levels");
                current = &root;
                for (std::size_t i = 1; i < fields.size(); ++i)
                    current = &current->createSubkey(fields[i]);
            } else if (tag == "S" || tag == "D") {
                if (!current)
                    throw RegistryError("value before the first key");
                if (fields.size() != 3)
                    throw RegistryError("a value line needs a name and data");
                if (tag == "S")
                    current->setValue(fields[1], fields[2]);
                else
                    current->setValue(fields[1], parseDword(fields[2]));
            } else {
                throw RegistryError("unknown record \"" + tag + "\"");
            }
        }
    } catch (const RegistryError &e) {
        std::string where = origin + (lineNo ? ", line " + std::to_string(lineNo) : std::string());
        throw RegistryError("Malformed registry file " + where + ": " + e.what());
    }
    return root;
}

} // namespace registry
