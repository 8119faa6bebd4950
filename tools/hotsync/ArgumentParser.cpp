#include "ArgumentParser.h"

#include <getopt.h>

namespace hotsynctool {

namespace {

// Values getopt_long returns for the long options: their index from here on.
constexpr int firstOptionValue = 0x100;

std::string wordsMessage(const CommandEntry &command)
{
    if (command.words.max == 0)
        return command.name + " takes no arguments besides its options";
    return command.name + " takes " + (command.words.text ? command.words.text : "other arguments");
}

} // namespace

std::vector<OptionEntry> commonOptions()
{
    return {{"root", "DIR", "the HotSync root folder (see hotsync --help)"},
            {"help", nullptr, "show this help and exit"}};
}

GlobalOptions parseGlobalOptions(const std::vector<std::string> &args)
{
    const option longOptions[] = {{"root", required_argument, nullptr, 'r'},
                                  {"help", no_argument, nullptr, 'h'},
                                  {"version", no_argument, nullptr, 'V'},
                                  {nullptr, 0, nullptr, 0}};
    std::string program = "hotsync";
    std::vector<std::string> store = args;
    std::vector<char *> argv{program.data()};
    for (auto &a : store)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(argv.size()) - 1;

    GlobalOptions result;
    optind = 0;
    opterr = 0;
    for (;;) {
        // "+": the first word is the command; what follows it is its own.
        int c = getopt_long(argc, argv.data(), "+:hV", longOptions, nullptr);
        if (c == -1)
            break;
        if (c == ':')
            throw UsageError("option --root needs a value");
        if (c == '?') {
            if (optopt == 'h' || optopt == 'V')
                throw UsageError(std::string("option ") + (optopt == 'h' ? "--help" : "--version") + " takes no value");
            std::string given = optopt ? std::string("-") + static_cast<char>(optopt) : argv[optind - 1];
            throw UsageError("unknown option " + given.substr(0, given.find('=')));
        }
        if (c == 'h')
            result.help = true;
        else if (c == 'V')
            result.version = true;
        else if (result.root)
            throw UsageError("option --root given twice");
        else
            result.root = optarg;
    }
    for (int i = optind; i < argc; ++i)
        result.rest.emplace_back(argv[static_cast<std::size_t>(i)]);
    return result;
}

bool asksForHelp(const std::vector<std::string> &args)
{
    for (const auto &a : args) {
        if (a == "--")
            return false;
        if (a == "--help" || a == "-h")
            return true;
    }
    return false;
}

Arguments parseArguments(const CommandEntry &command, const std::vector<std::string> &args)
{
    std::vector<OptionEntry> options = command.options;
    for (const auto &common : commonOptions())
        options.push_back(common);

    std::vector<option> longOptions;
    for (std::size_t i = 0; i < options.size(); ++i)
        longOptions.push_back({options[i].name, options[i].value ? required_argument : no_argument, nullptr,
                               firstOptionValue + static_cast<int>(i)});
    longOptions.push_back({nullptr, 0, nullptr, 0});

    std::string program = "hotsync " + command.name;
    std::vector<std::string> store = args;
    std::vector<char *> argv{program.data()};
    for (auto &a : store)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(argv.size()) - 1;

    auto optionName = [&](int value) {
        if (value >= firstOptionValue && value < firstOptionValue + static_cast<int>(options.size()))
            return std::string("--") + options[static_cast<std::size_t>(value - firstOptionValue)].name;
        return std::string("-") + static_cast<char>(value);
    };

    Arguments result;
    // getopt_long keeps its state in globals: optind 0 starts it afresh.
    optind = 0;
    opterr = 0;
    for (;;) {
        int c = getopt_long(argc, argv.data(), ":", longOptions.data(), nullptr);
        if (c == -1)
            break;
        if (c == ':')
            throw UsageError("option " + optionName(optopt) + " needs a value");
        if (c == '?') {
            if (optopt >= firstOptionValue)
                throw UsageError("option " + optionName(optopt) + " takes no value");
            std::string given = optopt ? std::string("-") + static_cast<char>(optopt) : argv[optind - 1];
            given = given.substr(0, given.find('='));
            throw UsageError("unknown option " + given);
        }
        const OptionEntry &chosen = options[static_cast<std::size_t>(c - firstOptionValue)];
        if (!chosen.repeatable && result.count(chosen.name))
            throw UsageError(std::string("option --") + chosen.name + " given twice");
        result.add(chosen.name, chosen.value ? std::string(optarg) : std::string());
    }
    for (int i = optind; i < argc; ++i)
        result.words.emplace_back(argv[static_cast<std::size_t>(i)]);

    const int count = static_cast<int>(result.words.size());
    if (count < command.words.min || (command.words.max >= 0 && count > command.words.max))
        throw UsageError(wordsMessage(command));
    return result;
}

} // namespace hotsynctool
