#include "platform/sound/sound_file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>

#include "platform/sound/sndfile_library.h"

namespace {

std::uint32_t littleEndian32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// libsndfile quietly shortens a WAVE file whose data chunk runs past the end of
// the file; such a file is broken, so its data chunk is checked here.
// Files that are not RIFF/WAVE, and data chunks of unknown length, pass.
bool waveDataComplete(int fd, off_t fileSize) {
    std::array<unsigned char, 12> riff{};
    if (pread(fd, riff.data(), riff.size(), 0) != static_cast<ssize_t>(riff.size())) return true;
    if (std::memcmp(riff.data(), "RIFF", 4) != 0 || std::memcmp(riff.data() + 8, "WAVE", 4) != 0) {
        return true;
    }
    off_t offset = 12;
    for (int chunk = 0; chunk < 256; ++chunk) {
        std::array<unsigned char, 8> header{};
        if (pread(fd, header.data(), header.size(), offset) !=
            static_cast<ssize_t>(header.size())) {
            return true;  // no data chunk: libsndfile refuses the file itself
        }
        const std::uint32_t size = littleEndian32(header.data() + 4);
        if (std::memcmp(header.data(), "data", 4) == 0) {
            if (size == 0 || size == 0xFFFFFFFFu)
                return true;  // length left open by a streaming writer
            return offset + 8 + static_cast<off_t>(size) <= fileSize;
        }
        offset += 8 + static_cast<off_t>(size) + (size & 1u);
        if (offset >= fileSize) return true;
    }
    return true;
}

class SoundFileSource : public SoundSource {
public:
    SoundFileSource(const SndfileLibrary& sndfile, int fd, SNDFILE* file, const SF_INFO& info)
        : sndfile_(sndfile), fd_(fd), file_(file), info_(info) {}
    ~SoundFileSource() override {
        sndfile_.close(file_);
        ::close(fd_);
    }
    SoundFileSource(const SoundFileSource&) = delete;
    SoundFileSource& operator=(const SoundFileSource&) = delete;

    unsigned rate() const override { return static_cast<unsigned>(info_.samplerate); }
    unsigned channels() const override { return static_cast<unsigned>(info_.channels); }
    std::size_t read(std::int16_t* out, std::size_t frames) override {
        const sf_count_t n = sndfile_.readf_short(file_, out, static_cast<sf_count_t>(frames));
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }

private:
    const SndfileLibrary& sndfile_;
    int fd_;
    SNDFILE* file_;
    SF_INFO info_;
};

// A WAVE file in any of the containers libsndfile reads it from: RIFF, its
// big-endian twin RIFX, and RF64.
bool isWaveFile(int fd) {
    std::array<unsigned char, 12> head{};
    if (pread(fd, head.data(), head.size(), 0) != static_cast<ssize_t>(head.size())) return false;
    const bool container = std::memcmp(head.data(), "RIFF", 4) == 0 ||
                           std::memcmp(head.data(), "RIFX", 4) == 0 ||
                           std::memcmp(head.data(), "RF64", 4) == 0;
    return container && std::memcmp(head.data() + 8, "WAVE", 4) == 0;
}

std::unique_ptr<SoundSource> openDecodable(const std::filesystem::path& path, bool waveOnly) {
    // O_NONBLOCK keeps a FIFO named like the sound from blocking the open; only
    // regular files are played.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (waveOnly && !isWaveFile(fd)) ||
        !waveDataComplete(fd, st.st_size)) {
        ::close(fd);
        return nullptr;
    }
    const SndfileLibrary* sndfile = Sndfile();
    if (sndfile == nullptr) {
        ::close(fd);
        return nullptr;
    }
    SF_INFO info{};
    SNDFILE* file = sndfile->open_fd(fd, SFM_READ, &info, SF_FALSE);
    if (file == nullptr) {
        ::close(fd);
        return nullptr;
    }
    const bool usable = info.frames > 0 && info.channels >= 1 &&
                        static_cast<unsigned>(info.channels) <= kMaxSoundChannels &&
                        info.samplerate >= static_cast<int>(kMinSoundRate) &&
                        info.samplerate <= static_cast<int>(kMaxSoundRate);
    if (!usable) {
        sndfile->close(file);
        ::close(fd);
        return nullptr;
    }
    // Float files that overshoot ±1.0 are clipped instead of wrapping around.
    sndfile->command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return std::make_unique<SoundFileSource>(*sndfile, fd, file, info);
}

}  // namespace

std::unique_ptr<SoundSource> openSoundFile(const std::filesystem::path& path) {
    return openDecodable(path, false);
}

std::unique_ptr<SoundSource> openWaveFile(const std::filesystem::path& path) {
    return openDecodable(path, true);
}
