#include "utils/SystemInfo.h"

#include "utils/TextFormat.h"

#include <charconv>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <string_view>
#include <sys/utsname.h>
#include <unistd.h>

namespace gvutils {

std::string osVersionText()
{
    utsname names{};
    if (::uname(&names) != 0)
        return {};
    const std::string release = names.release;
    std::size_t end = 0;
    for (int part = 0; part < 2; ++part) {
        const std::size_t start = part == 0 ? 0 : end + 1;
        if (part == 1 && (end >= release.size() || release[end] != '.'))
            return {};
        end = start;
        while (end < release.size() && release[end] >= '0' && release[end] <= '9')
            ++end;
        if (end == start)
            return {};
    }
    return release.substr(0, end);
}

double versionNumber(const std::string &text)
{
    double value = 0;
    const char *first = text.data();
    const char *last = first + text.size();
    const auto [ptr, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
    return ec == std::errc() && ptr == last ? value : 0;
}

std::string osUpdateText(const std::string &osReleaseFile)
{
    std::ifstream in(osReleaseFile);
    std::string line;
    std::string version;
    std::string versionId;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = line.substr(0, eq);
        std::string value = line.substr(eq + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        if (key == "VERSION")
            version = value;
        else if (key == "VERSION_ID")
            versionId = value;
    }
    std::string text = trimBlanks(version.empty() ? versionId : version);
    if (text.size() > 128)
        text = trimBlanks(text.substr(0, 128));
    return text;
}

std::string computerName(bool forFileName)
{
    const char *value = std::getenv("COMPUTERNAME");
    std::string name = value != nullptr ? std::string(value).substr(0, 256) : std::string();
    if (forFileName) {
        std::string kept;
        for (char c : name)
            if (std::string_view(" *,./:;?\\|").find(c) == std::string_view::npos)
                kept += c;
        name = kept.substr(0, 8);
    }
    return isBlank(name) ? "UNKNOWN" : name;
}

std::string programDirectory()
{
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    const std::string exe(buffer, static_cast<std::size_t>(n));
    const auto slash = exe.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? "/" : exe.substr(0, slash);
}

std::optional<std::string> firstProgramParameter()
{
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::string program;
    std::string first;
    if (!std::getline(in, program, '\0') || !std::getline(in, first, '\0'))
        return std::nullopt;
    return first;
}

} // namespace gvutils
