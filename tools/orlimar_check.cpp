// orlimar-check: the story checker for authors.
// Its modes, their options and usage are described once, in check_command.cpp.
#include <iostream>
#include <string>
#include <vector>

#include "check_command.hpp"

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return run_check_command(args, std::cin, std::cout, std::cerr);
}
