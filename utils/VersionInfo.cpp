#include "utils/VersionInfo.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace gvutils {

namespace {

constexpr std::string_view noteSection = ".note.gearvane.version";
constexpr std::string_view noteOwner = "Gearvane";
constexpr std::uint32_t noteType = 1;
constexpr std::uint32_t sectionNoBits = 8;
// Our note is small; a larger section is not ours to read into memory.
constexpr std::uint64_t maxSectionSize = 1u << 20;
constexpr std::uint64_t maxSections = 1u << 20;

// Bounded, byte-order-aware reads from an open ELF file.
class ElfReader {
public:
    explicit ElfReader(const std::string &fileName) : fd_(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC))
    {
        struct stat st {};
        if (fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode))
            size_ = static_cast<std::uint64_t>(st.st_size);
    }
    ~ElfReader()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    ElfReader(const ElfReader &) = delete;
    ElfReader &operator=(const ElfReader &) = delete;

    bool contains(std::uint64_t offset, std::uint64_t length) const
    {
        return offset <= size_ && length <= size_ - offset;
    }

    bool read(std::uint64_t offset, void *buffer, std::size_t length) const
    {
        if (fd_ < 0 || !contains(offset, length))
            return false;
        auto *out = static_cast<char *>(buffer);
        while (length > 0) {
            const ssize_t got = ::pread(fd_, out, length, static_cast<off_t>(offset));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            out += got;
            offset += static_cast<std::uint64_t>(got);
            length -= static_cast<std::size_t>(got);
        }
        return true;
    }

    bool bigEndian = false;

    std::uint64_t decode(const unsigned char *bytes, std::size_t width) const
    {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < width; ++i) {
            const std::size_t at = bigEndian ? i : width - 1 - i;
            value = (value << 8) | bytes[at];
        }
        return value;
    }

    bool number(std::uint64_t offset, std::size_t width, std::uint64_t &value) const
    {
        unsigned char bytes[8];
        if (width > sizeof bytes || !read(offset, bytes, width))
            return false;
        value = decode(bytes, width);
        return true;
    }

private:
    int fd_;
    std::uint64_t size_ = 0;
};

struct Section {
    std::uint64_t name = 0, type = 0, offset = 0, size = 0, link = 0, align = 0;
};

struct Layout {
    bool is64 = false;
    std::uint64_t shoff = 0, shentsize = 0, shnum = 0, shstrndx = 0;
};

bool readSection(const ElfReader &elf, const Layout &layout, std::uint64_t index, Section &s)
{
    const std::uint64_t base = layout.shoff + index * layout.shentsize;
    const std::size_t word = layout.is64 ? 8 : 4;
    // Field offsets within a section header: name, type, offset, size, link, alignment.
    const std::uint64_t at[6] = {
        0, 4, layout.is64 ? 24u : 16u, layout.is64 ? 32u : 20u, layout.is64 ? 40u : 24u, layout.is64 ? 48u : 32u};
    return elf.number(base + at[0], 4, s.name) && elf.number(base + at[1], 4, s.type) &&
           elf.number(base + at[2], word, s.offset) && elf.number(base + at[3], word, s.size) &&
           elf.number(base + at[4], 4, s.link) && elf.number(base + at[5], word, s.align);
}

bool readLayout(ElfReader &elf, Layout &layout)
{
    unsigned char ident[16];
    if (!elf.read(0, ident, sizeof ident) || std::memcmp(ident,
                                                         "\x7f"
                                                         "ELF",
                                                         4) != 0)
        return false;
    if (ident[4] != 1 && ident[4] != 2)
        return false;
    if (ident[5] != 1 && ident[5] != 2)
        return false;
    layout.is64 = ident[4] == 2;
    elf.bigEndian = ident[5] == 2;
    const bool ok = layout.is64 ? elf.number(0x28, 8, layout.shoff) && elf.number(0x3A, 2, layout.shentsize) &&
                                      elf.number(0x3C, 2, layout.shnum) && elf.number(0x3E, 2, layout.shstrndx)
                                : elf.number(0x20, 4, layout.shoff) && elf.number(0x2E, 2, layout.shentsize) &&
                                      elf.number(0x30, 2, layout.shnum) && elf.number(0x32, 2, layout.shstrndx);
    if (!ok || layout.shoff == 0 || layout.shentsize < (layout.is64 ? 64u : 40u))
        return false;
    // Many sections: the real count and string-table index live in section 0.
    if (layout.shnum == 0 || layout.shstrndx == 0xffff) {
        Section first;
        if (!readSection(elf, layout, 0, first))
            return false;
        if (layout.shnum == 0)
            layout.shnum = first.size;
        if (layout.shstrndx == 0xffff)
            layout.shstrndx = first.link;
    }
    return layout.shnum <= maxSections && layout.shstrndx < layout.shnum &&
           elf.contains(layout.shoff, layout.shnum * layout.shentsize);
}

bool sectionNamed(const ElfReader &elf, const Section &strings, const Section &s, std::string_view wanted)
{
    if (s.name >= strings.size || strings.size - s.name < wanted.size() + 1)
        return false;
    std::string name(wanted.size() + 1, '\0');
    if (!elf.read(strings.offset + s.name, name.data(), name.size()))
        return false;
    return name.back() == '\0' && std::string_view(name.data(), wanted.size()) == wanted;
}

std::optional<VersionNote> parseDescriptor(const ElfReader &elf, const unsigned char *desc, std::size_t size)
{
    if (size < 16)
        return std::nullopt;
    VersionNote note;
    for (std::size_t i = 0; i < 4; ++i) {
        note.fileVersion[i] = static_cast<std::uint16_t>(elf.decode(desc + 2 * i, 2));
        note.productVersion[i] = static_cast<std::uint16_t>(elf.decode(desc + 8 + 2 * i, 2));
    }
    std::size_t at = 16;
    while (at < size && desc[at] != 0) {
        const auto *start = reinterpret_cast<const char *>(desc + at);
        const void *zero = std::memchr(start, 0, size - at);
        if (zero == nullptr)
            return std::nullopt;
        const std::string_view text(start, static_cast<std::size_t>(static_cast<const char *>(zero) - start));
        const auto eq = text.find('=');
        if (eq != std::string_view::npos)
            note.strings.emplace_back(std::string(text.substr(0, eq)), std::string(text.substr(eq + 1)));
        at += text.size() + 1;
    }
    return note;
}

std::optional<VersionNote> parseNotes(const ElfReader &elf, const std::vector<unsigned char> &data, std::uint64_t align)
{
    auto padded = [align](std::uint64_t n) { return (n + align - 1) / align * align; };
    std::uint64_t at = 0;
    while (data.size() - at >= 12) {
        const std::uint64_t nameSize = elf.decode(&data[at], 4);
        const std::uint64_t descSize = elf.decode(&data[at + 4], 4);
        const std::uint64_t type = elf.decode(&data[at + 8], 4);
        const std::uint64_t nameAt = at + 12;
        const std::uint64_t descAt = nameAt + padded(nameSize);
        if (descAt > data.size() || descSize > data.size() - descAt)
            return std::nullopt;
        const bool ours = type == noteType && nameSize == noteOwner.size() + 1 &&
                          std::memcmp(&data[nameAt], noteOwner.data(), noteOwner.size()) == 0 &&
                          data[nameAt + noteOwner.size()] == 0;
        if (ours)
            return parseDescriptor(elf, data.data() + descAt, descSize);
        const std::uint64_t next = descAt + padded(descSize);
        if (next <= at || next > data.size())
            return std::nullopt;
        at = next;
    }
    return std::nullopt;
}

} // namespace

std::optional<VersionNote> readVersionNote(const std::string &fileName)
{
    ElfReader elf(fileName);
    Layout layout;
    if (!readLayout(elf, layout))
        return std::nullopt;
    Section strings;
    if (!readSection(elf, layout, layout.shstrndx, strings) || !elf.contains(strings.offset, strings.size))
        return std::nullopt;
    for (std::uint64_t i = 1; i < layout.shnum; ++i) {
        Section s;
        if (!readSection(elf, layout, i, s))
            return std::nullopt;
        if (s.type == sectionNoBits || !sectionNamed(elf, strings, s, noteSection))
            continue;
        if (s.size > maxSectionSize || !elf.contains(s.offset, s.size))
            return std::nullopt;
        std::vector<unsigned char> data(static_cast<std::size_t>(s.size));
        if (!elf.read(s.offset, data.data(), data.size()))
            return std::nullopt;
        if (auto note = parseNotes(elf, data, s.align == 8 ? 8 : 4))
            return note;
    }
    return std::nullopt;
}

std::string versionText(const std::array<std::uint16_t, 4> &parts)
{
    return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." + std::to_string(parts[2]) + "." +
           std::to_string(parts[3]);
}

} // namespace gvutils
