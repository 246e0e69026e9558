// A virtual sound card for one test, in a temporary folder: creating it has write-config write
// its ALSA configuration and points ALSA_CONFIG_PATH at that, until the card goes.
#pragma once

#include <alsa/asoundlib.h>
#include <sys/file.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace testing_support {

struct VirtualCardOptions {
    std::vector<std::string> elements{};        // write-config's ELEMENTs; empty = the full card
    long failWritesAfter = -1;                  // writes fail after this many (per open); -1 never
    std::vector<std::string> serverElements{};  // given: `default` is a sound server's card
};

class VirtualCard {
public:
    explicit VirtualCard(const VirtualCardOptions& options = {}) {
        std::string folder = std::filesystem::temp_directory_path() / "pegelwerk-vcard-XXXXXX";
        if (!::mkdtemp(folder.data())) throw std::runtime_error("no temporary folder");
        folder_ = folder;
        command_ = PEGELWERK_VCARD_WRITE_CONFIG " --plugin " PEGELWERK_VCARD_PLUGIN;
        command_ += " --fail-writes-after " + std::to_string(options.failWritesAfter);
        for (const auto& e : options.serverElements) command_ += " --server-element '" + e + "'";
        command_ += " '" + folder + "'";
        WriteConfig(options.elements);
        if (const char* previous = std::getenv("ALSA_CONFIG_PATH")) previousConfig_ = previous;
        ::setenv("ALSA_CONFIG_PATH", ConfigPath().c_str(), 1);
        snd_config_update_free_global();  // alsa-lib reads the new configuration next time
    }
    ~VirtualCard() {
        previousConfig_ ? ::setenv("ALSA_CONFIG_PATH", previousConfig_->c_str(), 1)
                        : ::unsetenv("ALSA_CONFIG_PATH");
        snd_config_update_free_global();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    VirtualCard(const VirtualCard&) = delete;
    VirtualCard& operator=(const VirtualCard&) = delete;

    std::filesystem::path ConfigPath() const { return folder_ / "asound.conf"; }
    // Every later use of the card (or the server's) fails, as with a pulled USB card or a sound
    // server not running; Replug lets new opens find it again, with the values it had or, given
    // elements, as another card with fresh values.
    void Unplug(bool server = false) const {
        std::ofstream(folder_ / (server ? "server-unplugged" : "unplugged")) << "gone\n";
    }
    void Replug(const std::vector<std::string>& elements = {}) {
        if (!elements.empty()) WriteConfig(elements);
        std::filesystem::remove(folder_ / "unplugged");
    }
    void ReplugServer() const { std::filesystem::remove(folder_ / "server-unplugged"); }
    // While set, new opens of the card (or the server's) find no controls.
    void Bare(bool bare, bool server = false) const {
        const auto file = folder_ / (server ? "server-bare" : "bare");
        bare ? void(std::ofstream(file) << "bare\n") : void(std::filesystem::remove(file));
    }
    // Writes to the card (or the server's) fail with this error number; 0: they succeed again.
    void RefuseWrites(int error, bool server = false) const {
        const auto file = folder_ / (server ? "server-refuse" : "refuse");
        error ? void(std::ofstream(file) << error << "\n") : void(std::filesystem::remove(file));
    }
    // Every call to the card (or the sound server's) waits while it hangs.
    void Hang(bool hung, bool server = false) const {
        const auto file = folder_ / (server ? "server-hung" : "hung");
        hung ? void(std::ofstream(file) << "stuck\n") : void(std::filesystem::remove(file));
    }
    // Every call of the opens made so far (or the server's) waits until Hang(false); then their
    // writes fail with EPIPE (or, to `lose` them, report success and set nothing) and reads
    // answer, as a connection lost while it hung. Later opens answer.
    void HangOpened(bool server = false, bool lose = false) const {
        const auto file = folder_ / (server ? "server-hung" : "hung");
        std::ofstream(file.string() + ".new")
            << "stuck " << Opens(server).size() << (lose ? " lose" : "") << "\n";
        std::filesystem::rename(file.string() + ".new", file);
    }
    // Whether a call to the card (or the server's) has waited on a hang.
    bool Held(bool server = false) const {
        return std::filesystem::exists(folder_ / (server ? "server-hung.held" : "hung.held"));
    }
    // The thread ids that opened the card (or the server's), in order.
    std::vector<long> Opens(bool server = false) const {
        std::ifstream in(folder_ / (server ? "server-opens" : "opens"));
        std::vector<long> ids;
        for (long id; in >> id;) ids.push_back(id);
        return ids;
    }
    // Runs "amixer -D default ARGS" on this card ("-D sysdefault" in ARGS wins): its exit status.
    int Amixer(const std::string& args) const {
        return Run("ALSA_CONFIG_PATH='" + ConfigPath().string() + "' amixer -D default " + args);
    }
    // A control's channel values as the card (or with `server`, the sound server's
    // card) holds them, a switch's as 0 and 1; empty when there is no such control.
    std::vector<long> Raw(const std::string& control, bool server = false) const {
        std::vector<long> values;
        if (FILE* f = std::fopen((folder_ / (server ? "server-state" : "state") / control).c_str(),
                                 "r")) {
            ::flock(::fileno(f), LOCK_SH);
            for (long v; std::fscanf(f, "%ld", &v) == 1;) values.push_back(v);
            std::fclose(f);
        }
        return values;
    }

private:
    void WriteConfig(const std::vector<std::string>& elements) {
        std::string command = command_;
        for (const auto& e : elements) command += " '" + e + "'";
        if (Run(command) != 0) throw std::runtime_error("failed: " + command);
        snd_config_update_free_global();  // alsa-lib reads the new configuration next time
    }
    // The exit status, -1 when it did not exit normally; quoted with '...': no ' inside.
    static int Run(const std::string& command) {
        const int status = std::system((command + " >/dev/null 2>&1").c_str());
        return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::filesystem::path folder_;
    std::string command_;  // write-config without the elements
    std::optional<std::string> previousConfig_;
};

}  // namespace testing_support
