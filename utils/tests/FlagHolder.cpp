// Second process for the flag-file tests: reads one command per line from
// standard input and answers each with one line.
//   create    -> "held" or "failed"
//   write     -> "written" or "failed" (WriteFlagFile with three fixed lines)
//   release   -> "released" or "kept"
//   canstart  -> "yes" or "no"
//   exit      -> ends at once, leaving a held flag file behind as stale
#include "utils/Utils.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

namespace {

class HolderUtils : public TclsUtils {
public:
    explicit HolderUtils(std::string path) : path_(std::move(path))
    {
        setAnswerHook([](const TMessageBoxRequest &) { return QMessageBox::Ok; });
        setSoundHook([](unsigned int) {});
    }
    std::string FlagFilePath() override { return path_; }

private:
    std::string path_;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    HolderUtils utils(argv[1]);
    gvutils::THandle handle = gvutils::INVALID_HANDLE_VALUE;
    std::string command;
    while (std::getline(std::cin, command)) {
        std::string reply;
        if (command == "create") {
            handle = utils.CreateFlagFile(argv[1]);
            reply = handle != gvutils::INVALID_HANDLE_VALUE ? "held" : "failed";
        } else if (command == "write") {
            utils.WriteFlagFile(argv[1], handle, "holder", "station", "critical");
            reply = handle != gvutils::INVALID_HANDLE_VALUE ? "written" : "failed";
        } else if (command == "release") {
            reply = utils.ReleaseFlagFile(handle) ? "released" : "kept";
            handle = gvutils::INVALID_HANDLE_VALUE;
        } else if (command == "canstart") {
            reply = utils.CanStart() ? "yes" : "no";
        } else if (command == "exit") {
            std::_Exit(0);
        } else {
            reply = "unknown";
        }
        std::cout << reply << std::endl;
    }
    return 0;
}
