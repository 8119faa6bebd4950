#include "VirtualHandheldProgram.h"

#include <iostream>

int main(int argc, char **argv)
{
    return virtualhandheld::runVirtualHandheld({argv + 1, argv + argc}, std::cout, std::cerr);
}
