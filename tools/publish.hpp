// --publier: one web page that plays the stories given, in the browser,
// through the game's own engine. The page is the player template (built by
// the web preset, shipped beside orlimar-check) with the stories put in.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "startup.hpp"

// The player template's file name, beside orlimar-check.
inline constexpr std::string_view player_template_name = "orlimar-joueur.html";

// Where the template holds the stories: this comment, once.
inline constexpr std::string_view stories_placeholder = "<!--ORLIMAR-HISTOIRES-->";

// `bytes` in base64 (RFC 4648, with padding).
std::string base64(std::string_view bytes);

// The page: `player_template` with the stories in place of its placeholder,
// or nothing when the template has no placeholder (or more than one).
std::optional<std::string> page_with_stories(std::string_view player_template, std::span<const StoryFile> stories);

struct PublishRequest {
    std::span<const std::string> files;       // the story files, in the story menu's order
    std::optional<std::string> output;         // the page to write; by default one named after the stories
    std::filesystem::path player_template;    // the template's path
};

// Checks every story (an error stops, warnings are shown on `out`), then
// writes the page. Returns the exit status: 0 when the page is written.
int publish_mode(const PublishRequest& request, std::ostream& out, std::ostream& err);

// The template beside the running orlimar-check.
std::filesystem::path shipped_player_template();
