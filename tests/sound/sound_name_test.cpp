// The folders the program looks in for a sound named without one. This test's
// program folder is its build folder; its install prefix's data folder is one
// of its own (tests/sound/CMakeLists.txt).
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "platform/sound/alsa_sound_service.h"
#include "platform/sound/sound_name_resolver.h"

namespace fs = std::filesystem;

namespace {

TEST(SoundName, TheCurrentFolderThenTheProgramsThenItsDataThenTheInstalledData) {
    const fs::path previous = fs::current_path();
    const fs::path scratch =
        fs::temp_directory_path() / ("pegelwerk-name-" + std::to_string(getpid()));
    const fs::path program = fs::read_symlink("/proc/self/exe").parent_path();
    const fs::path folders[] = {scratch, program, program / ".." / "share" / "pegelwerk",
                                PEGELWERK_SOUND_DATADIR};
    for (const auto& folder : folders) fs::create_directories(folder);
    fs::current_path(scratch);
    const std::vector<fs::path> searched = SoundServiceSetup::Standard().searchDirectories;

    // Each row: the folders before `first` hold no ding, it and all after it
    // hold one that names its folder; the one in `first` is found.
    const std::pair<const char*, std::size_t> rows[] = {
        {"the current folder", 0},
        {"the program's folder", 1},
        {"the data folder beside the program", 2},
        {"the data folder of the install prefix", 3},
    };
    for (const auto& [what, first] : rows) {
        SCOPED_TRACE(what);
        for (std::size_t i = 0; i < std::size(folders); ++i) {
            fs::remove(folders[i] / "ding.wav");
            if (i >= first) std::ofstream(folders[i] / "ding.wav") << i;
        }
        const auto found = ResolveSoundName("ding.wav", searched);
        ASSERT_TRUE(found.has_value());
        std::size_t folder = 99;
        std::ifstream(*found) >> folder;
        EXPECT_EQ(folder, first);
    }
    for (const auto& folder : folders) fs::remove(folder / "ding.wav");
    fs::current_path(previous);
    fs::remove_all(scratch);
}

}  // namespace
