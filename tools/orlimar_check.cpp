// orlimar-check: the story checker for authors.
//
//   orlimar-check FICHIER...      diagnostics, then a summary per file
//   orlimar-check --dot FICHIER   the story map as a Graphviz graph
#include <iostream>
#include <string>
#include <vector>

#include "story_check.hpp"

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return run_check_command(args, std::cout, std::cerr);
}
