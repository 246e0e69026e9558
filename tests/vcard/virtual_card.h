// A virtual sound card for one test: a temporary folder holding an ALSA
// configuration whose default control device is the virtual card (with a
// chosen set of controls, a state file and optional failures) and whose
// default PCM writes what is played into a WAV file in the same folder.
// Creating the card points ALSA_CONFIG_PATH of this process at it; other
// processes (amixer) are started with the same configuration.
#pragma once

#include <alsa/asoundlib.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef PEGELWERK_VCARD_PLUGIN
#error "PEGELWERK_VCARD_PLUGIN must name the virtual card plugin"
#endif
#ifndef PEGELWERK_AMIXER
#define PEGELWERK_AMIXER "amixer"
#endif

namespace testing_support {

struct VirtualCardOptions {
    std::string profile = "full";        // full, noline, usb, lineswitch, odd, empty
    std::vector<std::string> elements{}; // when given, these controls instead of the profile
    bool failOpen = false;               // the card refuses to open
    long failWritesAfter = -1;           // writes fail after this many (per open); -1 never
};

struct CommandResult {
    int status = -1;  // exit status, -1 when it did not exit normally
    std::string output;
};

class VirtualCard {
public:
    explicit VirtualCard(VirtualCardOptions options = {}) : options_(std::move(options)) {
        std::string pattern = (std::filesystem::temp_directory_path() / "pegelwerk-vcard-XXXXXX");
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
        folder_ = pattern;
        WriteConfig();
        if (const char* previous = std::getenv("ALSA_CONFIG_PATH")) previousConfig_ = previous;
        ::setenv("ALSA_CONFIG_PATH", ConfigPath().c_str(), 1);
        snd_config_update_free_global();  // alsa-lib reads the new configuration next time
    }
    explicit VirtualCard(std::string profile)
        : VirtualCard(VirtualCardOptions{.profile = std::move(profile)}) {}

    ~VirtualCard() {
        if (previousConfig_)
            ::setenv("ALSA_CONFIG_PATH", previousConfig_->c_str(), 1);
        else
            ::unsetenv("ALSA_CONFIG_PATH");
        snd_config_update_free_global();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    VirtualCard(const VirtualCard&) = delete;
    VirtualCard& operator=(const VirtualCard&) = delete;

    static std::string PluginPath() { return PEGELWERK_VCARD_PLUGIN; }

    const std::filesystem::path& Folder() const { return folder_; }
    std::filesystem::path ConfigPath() const { return folder_ / "asound.conf"; }
    std::filesystem::path StatePath() const { return folder_ / "state"; }
    std::filesystem::path CapturePath() const { return folder_ / "capture.wav"; }
    std::filesystem::path UnplugPath() const { return folder_ / "unplugged"; }

    // The card vanishes: every later use of it fails, as with a pulled USB card.
    void Unplug() const { std::ofstream(UnplugPath()) << "gone\n"; }
    void Replug() const {
        std::error_code ignored;
        std::filesystem::remove(UnplugPath(), ignored);
    }

    // Runs "amixer -D default ARGS" on this card and collects its output.
    CommandResult Amixer(const std::string& args) const {
        return Run("ALSA_CONFIG_PATH='" + ConfigPath().string() + "' " PEGELWERK_AMIXER
                   " -D default " + args);
    }

    // A control's raw values, one per channel (switches as 0 and 1), as amixer
    // reads them; empty when amixer cannot read the control.
    std::vector<long> Raw(const std::string& control) const {
        CommandResult r = Amixer("cget name='" + control + "'");
        std::vector<long> values;
        if (r.status != 0) return values;
        auto at = r.output.find(": values=");
        if (at == std::string::npos) return values;
        std::string list = r.output.substr(at + 9, r.output.find('\n', at) - at - 9);
        std::size_t start = 0;
        while (start <= list.size()) {
            auto comma = list.find(',', start);
            std::string item = list.substr(start, comma - start);
            if (item == "on")
                values.push_back(1);
            else if (item == "off")
                values.push_back(0);
            else
                values.push_back(std::stol(item));
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
        return values;
    }

    // Sets a control's raw values through amixer; true when amixer succeeded.
    bool SetRaw(const std::string& control, const std::vector<long>& values) const {
        std::string list;
        for (long v : values) list += (list.empty() ? "" : ",") + std::to_string(v);
        return Amixer("cset name='" + control + "' " + list).status == 0;
    }

private:
    static CommandResult Run(const std::string& command) {
        CommandResult result;
        FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
        if (!pipe) return result;
        char buffer[512];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
        int status = ::pclose(pipe);
        if (status != -1 && WIFEXITED(status)) result.status = WEXITSTATUS(status);
        return result;
    }

    void WriteConfig() const {
        std::ofstream out(ConfigPath());
        out << "ctl_type.pegelwerk_vcard {\n"
            << "    lib \"" << PluginPath() << "\"\n"
            << "}\n"
            << "ctl.!default {\n"
            << "    type pegelwerk_vcard\n";
        if (options_.elements.empty()) {
            out << "    profile \"" << options_.profile << "\"\n";
        } else {
            out << "    elements [\n";
            for (const auto& e : options_.elements) out << "        \"" << e << "\"\n";
            out << "    ]\n";
        }
        out << "    state \"" << StatePath().string() << "\"\n"
            << "    unplug_file \"" << UnplugPath().string() << "\"\n"
            << "    fail_open " << (options_.failOpen ? "true" : "false") << "\n"
            << "    fail_writes_after " << options_.failWritesAfter << "\n"
            << "}\n"
            << "pcm.!default {\n"
            << "    type file\n"
            << "    slave.pcm \"null\"\n"
            << "    file \"" << CapturePath().string() << "\"\n"
            << "    format \"wav\"\n"
            << "}\n"
            << "pcm.null {\n"
            << "    type null\n"
            << "}\n";
        if (!out) throw std::runtime_error("cannot write " + ConfigPath().string());
    }

    VirtualCardOptions options_;
    std::filesystem::path folder_;
    std::optional<std::string> previousConfig_;
};

}  // namespace testing_support
