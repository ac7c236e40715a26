// The orlimar-check command line.
#pragma once

#include <iosfwd>
#include <span>
#include <string>

// The orlimar-check command on its arguments (program name excluded), with
// `in` as the player's keys in --jouer; returns the exit status.
int run_check_command(std::span<const std::string> args, std::istream& in, std::ostream& out, std::ostream& err);
