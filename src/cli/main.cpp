#include <iostream>

#include "cli/CliContext.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    return RunCli(args, std::cout, std::cerr);
}
