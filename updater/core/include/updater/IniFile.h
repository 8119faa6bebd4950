#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace updater {

// Read-only INI file in the Windows profile format: "[Section]" headers and
// "Key=Value" lines; section and key names compare without regard to case;
// names and values lose surrounding blanks and one pair of enclosing quotes;
// lines starting with ";" are comments. The first occurrence of a section or
// key wins. A file that cannot be read behaves as an empty one, so every
// read then gives its default.
class TIniFile {
public:
    explicit TIniFile(const std::string &fileName);
    // Parses INI text directly.
    static TIniFile fromText(const std::string &text);

    const std::string &FileName() const { return FFileName; }
    std::string ReadString(const std::string &section, const std::string &key, const std::string &defaultValue) const;
    // A decimal or "$"/"0x" hexadecimal 32-bit number; anything else gives the default.
    std::int32_t ReadInteger(const std::string &section, const std::string &key, std::int32_t defaultValue) const;
    bool SectionExists(const std::string &section) const;

private:
    TIniFile() = default;
    void parse(const std::string &text);
    const std::string *find(const std::string &section, const std::string &key) const;

    struct TSection {
        std::string name;
        std::vector<std::pair<std::string, std::string>> values;
    };
    std::string FFileName;
    std::vector<TSection> FSections;
};

} // namespace updater
