#include "platform/sound/sound_name_resolver.h"

#include <system_error>

std::vector<std::filesystem::path> StandardSoundDirectories() {
    std::vector<std::filesystem::path> dirs{"."};
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && exe.has_parent_path()) {
        dirs.push_back(exe.parent_path());
        dirs.push_back((exe.parent_path() / ".." / "share" / "pegelwerk").lexically_normal());
    }
    const std::filesystem::path installed{PEGELWERK_SOUND_DATADIR};
    bool known = false;
    for (const auto& d : dirs) known = known || d == installed;
    if (!known) dirs.push_back(installed);
    return dirs;
}

std::optional<std::filesystem::path> ResolveSoundName(
    std::string_view name, const std::vector<std::filesystem::path>& directories) {
    if (name.empty()) return std::nullopt;
    if (name.find('/') != std::string_view::npos) return std::filesystem::path(name);
    for (const auto& dir : directories) {
        std::filesystem::path candidate = dir / name;
        std::error_code ec;
        if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
    }
    return std::nullopt;
}
