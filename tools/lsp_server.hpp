// orlimar-check --lsp: the checker as a Language Server Protocol server on
// standard input and output, for editors that show an author the story's
// problems as they type.
#pragma once

#include <iosfwd>

// Serves until "exit" or the end of `in`: 0 when "exit" follows "shutdown",
// 1 otherwise. Only protocol messages go to `out`; `log` says what was
// dropped and why.
int run_language_server(std::istream& in, std::ostream& out, std::ostream& log);
