#include "registry/FieldCodec.h"

#include "registry/RegistryError.h"

namespace registry {

namespace {
constexpr char hexDigits[] = "0123456789ABCDEF";

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace

std::string escapeField(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (u < 0x20 || u == 0x7F) {
                out += "\\x";
                out += hexDigits[u >> 4];
                out += hexDigits[u & 0xF];
            } else {
                out += c;
            }
        }
    }
    return out;
}

std::string unescapeField(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        char c = field[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i >= field.size())
            throw RegistryError("malformed escape: backslash at the end of a field");
        switch (field[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 'x': {
            int hi = i + 1 < field.size() ? hexValue(field[i + 1]) : -1;
            int lo = i + 2 < field.size() ? hexValue(field[i + 2]) : -1;
            if (hi < 0 || lo < 0)
                throw RegistryError("malformed escape: \\x needs two hex digits");
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
        }
        default:
            throw RegistryError(std::string("malformed escape: unknown escape \\") + field[i]);
        }
    }
    return out;
}

std::string joinFields(const std::vector<std::string> &fields)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i)
            line += '\t';
        line += escapeField(fields[i]);
    }
    return line;
}

std::vector<std::string> splitFields(std::string_view line)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        std::size_t tab = line.find('\t', start);
        fields.push_back(unescapeField(line.substr(start, tab == std::string_view::npos ? tab : tab - start)));
        if (tab == std::string_view::npos)
            break;
        start = tab + 1;
    }
    return fields;
}

std::vector<std::string_view> splitLines(std::string_view text)
{
    if (text.find('\r') != std::string_view::npos || text.find('\0') != std::string_view::npos)
        throw RegistryError("unexpected control character in file");
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

} // namespace registry
