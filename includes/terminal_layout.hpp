// What the player's terminal asks of the texts and banners it shows. With
// any other console (a pipe, a file, a tool's own streams) both are no-ops
// and every byte is written as it is.
#pragma once

#include <string>
#include <string_view>

// The text about to be typed, with a line feed in place of each blank after
// which the next word would be folded by the terminal, at the terminal's
// width of the moment. Unchanged when the console is not the terminal or
// its width is unknown.
std::string fit_to_screen(std::string_view text);

// While it lives, the terminal clips lines at its right edge instead of
// folding them, so that a banner wider than the window keeps its rows.
class BannerOnScreen {
public:
    BannerOnScreen();
    ~BannerOnScreen();
    BannerOnScreen(const BannerOnScreen&) = delete;
    BannerOnScreen& operator=(const BannerOnScreen&) = delete;

private:
    bool clipping_;
};
