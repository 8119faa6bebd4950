#include "HotSyncTool.h"

#include <iostream>

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return hotsynctool::HotSyncTool(std::cout, std::cerr).run(std::move(args));
}
