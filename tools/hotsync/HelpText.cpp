#include "HelpText.h"

#include "ArgumentParser.h"
#include "CommandTable.h"

#include "registry/HostRootPath.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <sstream>

#ifndef GV_VERSION
#define GV_VERSION "unknown"
#endif

namespace hotsynctool {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t textWidth = 78;

const char *overviewText =
    "The HotSync host of the Gearvane companion suite. It keeps the HotSync users, the conduits registered with "
    "it and the files queued for each user's handheld; it runs one HotSync at a time between a handheld and the "
    "conduits, keeps a log and backups of each user's HotSyncs, and shows the desktop tables of the Gearvane "
    "conduit.";

const char *rootText =
    "The HotSync root is the folder that holds the users, conduit registrations, logs and backups. It is the "
    "folder given with --root DIR, else $HOTSYNC_ROOT, else $XDG_DATA_HOME/hotsync, else "
    "~/.local/share/hotsync. Commands other than \"users add\", \"register\" and \"conduit add\" need it to "
    "exist.";

const char *exitText = "Exit status: 0 success, 1 failure, 2 a command line that cannot be understood, 75 another "
                       "HotSync or restore held the user or the handheld (try again later).";

std::string optionLabel(const OptionEntry &o)
{
    std::string label = std::string("--") + o.name;
    if (o.value)
        label += std::string(" ") + o.value;
    return label;
}

// Calls `each` with every paragraph of `text` (separated by blank lines),
// and whether it is the first.
void forEachParagraph(const std::string &text, const std::function<void(const std::string &, bool)> &each)
{
    std::size_t start = 0;
    bool first = true;
    while (start <= text.size()) {
        const std::size_t end = text.find("\n\n", start);
        each(text.substr(start, end == std::string::npos ? std::string::npos : end - start), first);
        start = end == std::string::npos ? text.size() + 1 : end + 2;
        first = false;
    }
}

// Writes the paragraphs of `text` filled to the
// text width behind `indent`; a paragraph whose lines begin with blanks is
// kept as written.
void writeParagraphs(std::ostream &out, const std::string &text, const std::string &indent = "")
{
    forEachParagraph(text, [&](const std::string &paragraph, bool first) {
        if (!first)
            out << "\n";
        if (paragraph.rfind("  ", 0) == 0) {
            std::istringstream lines(paragraph);
            for (std::string line; std::getline(lines, line);)
                out << indent << line << "\n";
            return;
        }
        std::istringstream words(paragraph);
        std::string line;
        for (std::string word; words >> word;) {
            if (!line.empty() && indent.size() + line.size() + 1 + word.size() > textWidth) {
                out << indent << line << "\n";
                line.clear();
            }
            line += (line.empty() ? "" : " ") + word;
        }
        if (!line.empty())
            out << indent << line << "\n";
    });
}

void writeOptionList(std::ostream &out, const std::vector<OptionEntry> &options)
{
    std::size_t width = 0;
    for (const auto &o : options)
        width = std::max(width, optionLabel(o).size());
    const std::size_t indent = 2 + width + 2;
    for (const auto &o : options) {
        std::string label = optionLabel(o);
        out << "  " << label << std::string(width - label.size() + 2, ' ');
        // The help fills the rest of the line, and goes on below itself.
        std::istringstream words(o.help);
        std::size_t column = indent;
        bool first = true;
        for (std::string word; words >> word;) {
            if (!first && column + 1 + word.size() > textWidth) {
                out << "\n" << std::string(indent, ' ');
                column = indent;
                first = true;
            }
            out << (first ? "" : " ") << word;
            column += (first ? 0 : 1) + word.size();
            first = false;
        }
        out << "\n";
    }
}

void writeCommandList(std::ostream &out, const std::vector<const CommandEntry *> &commands)
{
    std::size_t width = 0;
    for (const auto *c : commands)
        width = std::max(width, c->name.size());
    for (const auto *c : commands)
        out << "  " << c->name << std::string(width - c->name.size() + 2, ' ') << c->summary << "\n";
}

void writeSynopses(std::ostream &out, const std::vector<const CommandEntry *> &commands)
{
    for (std::size_t i = 0; i < commands.size(); ++i)
        out << (i == 0 ? "Usage: " : "       ") << "hotsync " << commands[i]->synopsis << "\n";
}

} // namespace

RootOrigin findRoot(const std::optional<fs::path> &explicitRoot)
{
    auto env = [](const char *name) -> std::optional<fs::path> {
        const char *v = std::getenv(name);
        if (!v || !*v)
            return std::nullopt;
        return fs::path(v);
    };
    RootOrigin origin;
    if (explicitRoot)
        origin.from = "--root";
    else if (env(registry::hostRootVariable))
        origin.from = std::string("$") + registry::hostRootVariable;
    else if (env("XDG_DATA_HOME"))
        origin.from = "$XDG_DATA_HOME/hotsync";
    else if (env("HOME"))
        origin.from = "~/.local/share/hotsync";
    else
        return origin;
    origin.folder = registry::resolveHostRoot(explicitRoot);
    return origin;
}

void printOverview(std::ostream &out, const RootOrigin &root)
{
    out << "Usage: hotsync [--root DIR] COMMAND [ARGUMENTS]\n"
           "       hotsync help [COMMAND]  |  hotsync COMMAND --help  |  hotsync --version\n\n";
    writeParagraphs(out, overviewText);
    out << "\nCommands:\n";
    std::vector<const CommandEntry *> all;
    for (const auto &c : commandTable())
        all.push_back(&c);
    writeCommandList(out, all);
    out << "\n";
    std::string rootParagraph = rootText;
    if (root.folder)
        rootParagraph += " Here it is " + root.folder->string() + " (from " + root.from + ")" +
                         (fs::is_directory(*root.folder) ? "" : ", which does not exist yet") + ".";
    writeParagraphs(out, rootParagraph);
    out << "\n";
    writeParagraphs(out, exitText);
    out << "\nSee \"hotsync help COMMAND\" for what a command does, its options and an example.\n";
}

void printCommandHelp(std::ostream &out, const CommandEntry &command)
{
    out << "hotsync " << command.name << " - " << command.summary << "\n\n"
        << "Usage: hotsync " << command.synopsis << "\n\n";
    writeParagraphs(out, command.description);
    out << "\nOptions:\n";
    std::vector<OptionEntry> options = command.options;
    for (const auto &common : commonOptions())
        options.push_back(common);
    writeOptionList(out, options);
    out << "\nExample:\n  " << command.example << "\n";
}

void printGroupHelp(std::ostream &out, const std::string &group, const std::vector<const CommandEntry *> &commands)
{
    writeSynopses(out, commands);
    out << "\nCommands:\n";
    writeCommandList(out, commands);
    out << "\nSee \"hotsync help " << group << " COMMAND\" for more.\n";
}

void printAllHelp(std::ostream &out, const RootOrigin &root)
{
    printOverview(out, root);
    for (const auto &c : commandTable()) {
        out << "\n";
        printCommandHelp(out, c);
    }
}

void printUsageHint(std::ostream &out, const CommandEntry *command, const std::string &group)
{
    if (!command && !group.empty()) {
        writeSynopses(out, commandsOfGroup(group));
        out << "Try \"hotsync help " << group << " COMMAND\" for more.\n";
    } else if (command)
        out << "Usage: hotsync " << command->synopsis << "\n"
            << "Try \"hotsync help " << command->name << "\" for more.\n";
    else
        out << "Usage: hotsync [--root DIR] COMMAND [ARGUMENTS]\n"
            << "Try \"hotsync --help\" for the commands.\n";
}

void printVersion(std::ostream &out)
{
    out << "hotsync (Gearvane companion suite) " << GV_VERSION << "\n";
}

namespace {

// Text as roff shows it literally: backslashes escaped, minus signs that
// are minus signs (options), no line taken for a request.
std::string roff(const std::string &text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool lineStart = i == 0 || text[i - 1] == '\n';
        if (lineStart && (c == '.' || c == '\''))
            out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else
            out += c;
    }
    return out;
}

// The paragraphs of a description: filled text, or (lines beginning with
// blanks) an example kept as written.
void writeRoffParagraphs(std::ostream &out, const std::string &text)
{
    forEachParagraph(text, [&](const std::string &paragraph, bool first) {
        if (!first)
            out << ".PP\n";
        if (paragraph.rfind("  ", 0) == 0) {
            out << ".nf\n";
            std::istringstream lines(paragraph);
            for (std::string line; std::getline(lines, line);)
                out << roff(line.substr(line.find_first_not_of(' '))) << "\n";
            out << ".fi\n";
            return;
        }
        // One sentence per line reads well in the source and lets roff
        // space sentences as it should.
        std::string line;
        for (std::size_t i = 0; i < paragraph.size(); ++i) {
            const char c = paragraph[i] == '\n' ? ' ' : paragraph[i];
            if (c == ' ' && line.empty())
                continue;
            line += c;
            if ((c == '.' || c == '?' || c == ':') && i + 1 < paragraph.size() && paragraph[i + 1] == ' ' &&
                line.size() > 2) {
                out << roff(line) << "\n";
                line.clear();
            }
        }
        if (!line.empty())
            out << roff(line) << "\n";
    });
}

// An option as a tagged paragraph: "--name VALUE" in bold and italics, then
// its help.
void writeRoffOption(std::ostream &out, const OptionEntry &o)
{
    out << ".TP\n";
    if (o.value)
        out << ".BI \"" << roff(std::string("--") + o.name) << " \" " << roff(o.value) << "\n";
    else
        out << ".B " << roff(std::string("--") + o.name) << "\n";
    out << roff(o.help) << "\n";
}

} // namespace

void printManPage(std::ostream &out)
{
    out << ".\\\" Written by \"hotsync help --man\" from the program's own help.\n"
        << ".TH HOTSYNC 1 \"\" \"Gearvane " << GV_VERSION << "\" \"Gearvane companion suite\"\n"
        << ".SH NAME\nhotsync \\- HotSync host: users, conduits, install queues, HotSyncs and the Gearvane tables\n"
        << ".SH SYNOPSIS\n.B hotsync\n.RB [ \\-\\-root\n.IR DIR ]\n.I COMMAND\n.RI [ ARGUMENTS ...]\n.br\n"
        << ".B hotsync help\n.RI [ COMMAND ]\n.br\n.B hotsync \\-\\-version\n"
        << ".SH DESCRIPTION\n";
    writeRoffParagraphs(out, overviewText);
    out << ".PP\n";
    writeRoffParagraphs(out, std::string(rootText) + " --root may stand anywhere on the command line.");
    out << ".SH COMMANDS\n";
    for (const auto &c : commandTable()) {
        out << ".SS " << roff(c.name) << "\n.B hotsync " << roff(c.synopsis) << "\n.PP\n";
        writeRoffParagraphs(out, c.description);
        for (const auto &o : c.options)
            writeRoffOption(out, o);
        out << ".PP\nExample:\n.PP\n.RS\n.nf\n" << roff(c.example) << "\n.fi\n.RE\n";
    }
    out << ".SH OPTIONS\n";
    for (const auto &o : commonOptions())
        writeRoffOption(out, o);
    out << ".TP\n.B \\-\\-version\nshow the version and exit\n"
        << ".SH ENVIRONMENT\n.TP\n.B HOTSYNC_ROOT\nThe HotSync root, when \\-\\-root is not given.\n"
        << ".TP\n.B XDG_DATA_HOME\nThe root is its hotsync folder when neither is given.\n"
        << ".SH EXIT STATUS\n";
    writeRoffParagraphs(out, exitText);
    out << ".SH FILES\n"
           ".TP\n.I ROOT/userdata/ID/HotSync.log\nA user's HotSync log.\n"
           ".TP\n.I ROOT/userdata/ID/backups/\nA user's backups.\n"
           ".TP\n.I ROOT/users/ID\\-NAME/gearvane/\nThe Gearvane conduit's desktop tables of a user (SQLite files).\n"
           ".TP\n.I "
        << roff(registry::machineRoot().string()) << "/\nThe machine's HotSync root: the registry that installed conduits "
        << "register into for every user.\n"
           ".SH SEE ALSO\n.BR Selbow (1),\n.BR gearvane\\-sample (1),\n.BR gearvane\\-conduit\\-settings (1),\n"
           ".BR virtual\\-handheld (1)\n";
}

} // namespace hotsynctool
