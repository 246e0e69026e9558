// Where a sound named without a folder is looked for.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

// The current folder ("."), the program's own folder, the data folder beside
// it (../share/pegelwerk, for a relocated install) and the data folder of the
// install prefix the program was built for, in this order.
std::vector<std::filesystem::path> StandardSoundDirectories();

// A name holding a '/' is taken as given; a bare name is the first regular file
// of that name in `directories`. Nothing for an empty or unfound name.
std::optional<std::filesystem::path> ResolveSoundName(
    std::string_view name, const std::vector<std::filesystem::path>& directories);
