// Where a sound named without a directory is looked for.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

// The current directory, the program's own directory, the data directory next
// to it (../share/pegelwerk, for a relocated install) and the installed data
// directory, in this order.
std::vector<std::filesystem::path> standardSoundDirectories();

// A name holding a '/' is taken as given; a bare name is the first regular file
// of that name in `directories`. Nothing for an empty or unfound name.
std::optional<std::filesystem::path> resolveSoundName(
    std::string_view name, const std::vector<std::filesystem::path>& directories);
