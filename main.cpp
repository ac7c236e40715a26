// Orlimar: pick a story from ./stories, load it and play it.
#include "console.hpp"
#include "startup.hpp"

int main() {
    // UTF-8 console, and on a terminal the typing behaviour; the terminal
    // is given back as found when the program returns.
    const ConsoleSession console;
    StoriesFolder stories;
    return run_program(stories);
}
