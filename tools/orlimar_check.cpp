// orlimar-check: the story checker for authors.
//
//   orlimar-check FICHIER...                    diagnostics, then a summary per file
//   orlimar-check --dot FICHIER                 the story map as a Graphviz graph
//   orlimar-check --jouer FICHIER [--depuis N]  the story played without pauses
//   orlimar-check --parcours FICHIER            the shortest walkthrough to every ending
//   orlimar-check --hasard N FICHIER            N playthroughs at random
#include <iostream>
#include <string>
#include <vector>

#include "check_command.hpp"

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return run_check_command(args, std::cin, std::cout, std::cerr);
}
