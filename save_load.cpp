#include "save_load.hpp"

#include <exception>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <system_error>

#include "console.hpp"
#include "decimal.hpp"
#include "file_path.hpp"

namespace {

constexpr std::string_view save_suffix = "_save.json";

// The new save is written to the save path plus this suffix first, then
// renamed over the save path, so a crash or a full disk never leaves a
// half-written save behind. The suffix keeps ".json" in the name even when
// the save path was cut, so the story menu never lists the file.
constexpr std::string_view temporary_suffix = ".json.tmp";

constexpr std::string_view save_name_mark = ".json";

bool write_file(const std::filesystem::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::out | std::ios::trunc);
    if (!out) return false;
    out << content;
    out.flush();
    if (!out) return false;
    out.close();
    return !out.fail();
}

// A story path so long that the cut to 255 bytes leaves nothing of the suffix
// names the story itself (or, past 255 bytes, a shorter path): that is no
// save file, and writing it would destroy the story.
bool save_path_is_usable(std::string_view story_filename, const std::string& path) {
    return path.size() > story_filename.size();
}

namespace fs = std::filesystem;

// Only a regular file is read as a save: a link (which could lead out of the
// stories' folder), a FIFO (whose opening would block), a device or a folder
// at the save path reads as no save.
bool is_plain_file(const fs::path& path) {
    std::error_code error;
    return fs::symlink_status(path, error).type() == fs::file_type::regular;
}

// A link standing where the temporary save goes is removed, not followed:
// writing through it would replace a file elsewhere.
void remove_link(const fs::path& path) {
    std::error_code error;
    if (fs::symlink_status(path, error).type() == fs::file_type::symlink) fs::remove(path, error);
}

}  // namespace

std::string save_path_for(std::string_view story_filename) {
    std::string path(story_filename);
    path += save_suffix;
    if (path.size() > save_path_capacity - 1) path.resize(save_path_capacity - 1);
    return path;
}

std::string temporary_save_path(std::string_view save_path) {
    return std::string(save_path) + std::string(temporary_suffix);
}

bool is_save_file_name(std::string_view file_name) { return file_name.find(save_name_mark) != std::string_view::npos; }

void save_current_section(std::string_view story_filename, int current_section_id) {
    const std::string path = save_path_for(story_filename);
    if (!save_path_is_usable(story_filename, path)) {
        console_out() << "Erreur : Impossible de sauvegarder la partie.\n";
        return;
    }
    const std::filesystem::path target = path_from_utf8(path);
    const std::filesystem::path temporary = path_from_utf8(temporary_save_path(path));
    const std::string content = std::to_string(current_section_id) + "\n";

    std::error_code error;
    remove_link(temporary);
    bool saved = write_file(temporary, content);
    if (saved) {
        std::filesystem::rename(temporary, target, error);
        saved = !error;
    }
    if (!saved) {
        std::filesystem::remove(temporary, error);
        console_out() << "Erreur : Impossible de sauvegarder la partie.\n";
        return;
    }
    console_out() << "Partie sauvegardée avec succès dans " << path << ".\n";
}

int load_current_section(std::string_view story_filename) {
    const std::string path = save_path_for(story_filename);
    if (!save_path_is_usable(story_filename, path) || !is_plain_file(path_from_utf8(path))) return 0;
    std::ifstream in(path_from_utf8(path));
    if (!in) return 0;
    try {
        const DecimalScan scan = scan_decimal(*in.rdbuf());
        return scan.status == DecimalStatus::ok ? scan.value : 0;
    } catch (const std::exception&) {
        return 0;  // unreadable, e.g. a folder standing at the save path
    }
}

// ===========================================================================
// The slot in use

namespace {

class SaveFileSlot final : public SaveSlot {
public:
    int load(std::string_view story_filename) override { return load_current_section(story_filename); }
    void save(std::string_view story_filename, int current_section_id) override {
        save_current_section(story_filename, current_section_id);
    }
};

SaveFileSlot save_file_slot;
SaveSlot* slot_in_use = &save_file_slot;

}  // namespace

SaveSlot& current_save_slot() { return *slot_in_use; }

SaveSlotOverride::SaveSlotOverride(SaveSlot& slot) : saved_(slot_in_use) { slot_in_use = &slot; }

SaveSlotOverride::~SaveSlotOverride() { slot_in_use = saved_; }
