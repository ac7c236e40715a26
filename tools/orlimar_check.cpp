// orlimar-check: the story checker for authors.
// Its modes, their options and usage are described once, in check_command.cpp.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "check_command.hpp"
#include "diagnostics.hpp"

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const int status = run_check_command(args, std::cin, std::cout, std::cerr);
    // What the C library still held: a full disk may show only when it is
    // written. A failure the command already told is not told twice.
    if (std::cout && (std::fflush(stdout) != 0 || std::ferror(stdout) != 0)) {
        std::cerr << "orlimar-check : impossible d'écrire la sortie (disque plein ou sortie fermée ?)\n";
        return status_errors;
    }
    return status;
}
