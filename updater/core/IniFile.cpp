#include "updater/IniFile.h"

#include <cctype>
#include <charconv>
#include <fstream>
#include <sstream>

namespace updater {

namespace {

std::string trim(const std::string &text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::string unquote(const std::string &text)
{
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front())
        return text.substr(1, text.size() - 2);
    return text;
}

bool sameName(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

TIniFile::TIniFile(const std::string &fileName) : FFileName(fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
        return;
    std::ostringstream text;
    text << in.rdbuf();
    parse(text.str());
}

TIniFile TIniFile::fromText(const std::string &text)
{
    TIniFile ini;
    ini.parse(text);
    return ini;
}

void TIniFile::parse(const std::string &text)
{
    std::istringstream lines(text);
    std::string line;
    TSection *current = nullptr;
    bool first = true;
    while (std::getline(lines, line)) {
        if (first && line.rfind("\xEF\xBB\xBF", 0) == 0)
            line.erase(0, 3);
        first = false;
        const std::string content = trim(line);
        if (content.empty() || content.front() == ';')
            continue;
        if (content.front() == '[') {
            const auto close = content.find(']');
            const std::string name =
                trim(content.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            current = nullptr;
            for (auto &section : FSections)
                if (sameName(section.name, name))
                    current = &section;
            if (current == nullptr) {
                FSections.push_back({name, {}});
                current = &FSections.back();
            }
            continue;
        }
        const auto equals = content.find('=');
        if (current == nullptr || equals == std::string::npos)
            continue;
        current->values.emplace_back(trim(content.substr(0, equals)), unquote(trim(content.substr(equals + 1))));
    }
}

const std::string *TIniFile::find(const std::string &section, const std::string &key) const
{
    for (const auto &s : FSections) {
        if (!sameName(s.name, section))
            continue;
        for (const auto &[name, value] : s.values)
            if (sameName(name, key))
                return &value;
        return nullptr;
    }
    return nullptr;
}

std::string TIniFile::ReadString(const std::string &section, const std::string &key,
                                 const std::string &defaultValue) const
{
    const std::string *value = find(section, key);
    return value != nullptr ? *value : defaultValue;
}

std::int32_t TIniFile::ReadInteger(const std::string &section, const std::string &key, std::int32_t defaultValue) const
{
    const std::string *value = find(section, key);
    if (value == nullptr || value->empty())
        return defaultValue;
    std::string digits = *value;
    bool negative = false;
    if (digits.front() == '-' || digits.front() == '+') {
        negative = digits.front() == '-';
        digits.erase(0, 1);
    }
    int base = 10;
    if (!digits.empty() && digits.front() == '$') {
        base = 16;
        digits.erase(0, 1);
    } else if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.erase(0, 2);
    }
    if (digits.empty())
        return defaultValue;
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number, base);
    if (error != std::errc() || end != digits.data() + digits.size())
        return defaultValue;
    if (negative)
        number = -number;
    if (number < INT32_MIN || number > INT32_MAX)
        return defaultValue;
    return static_cast<std::int32_t>(number);
}

bool TIniFile::SectionExists(const std::string &section) const
{
    for (const auto &s : FSections)
        if (sameName(s.name, section))
            return true;
    return false;
}

} // namespace updater
