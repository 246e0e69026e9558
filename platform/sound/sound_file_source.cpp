#include "platform/sound/sound_file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>

#include "platform/sound/sndfile_library.h"

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;

// Past this many chunks a file is not walked further, and refused.
constexpr int kMostChunks = 256;

// What the chunks of a WAVE file say, read without a decoder.
struct WaveHeader {
    bool wave = false;         // a RIFF, RIFX or RF64 container of WAVE
    bool complete = false;     // a data chunk, and every chunk within the file
    std::uint16_t format = 0;  // the fmt chunk's format (an extensible one's subformat)
};

class Reader {
public:
    Reader(int fd, bool bigEndian) : fd_(fd), bigEndian_(bigEndian) {}
    bool Read(off_t offset, unsigned char* out, std::size_t n) const {
        return pread(fd_, out, n, offset) == static_cast<ssize_t>(n);
    }
    // An unsigned number of `bytes` bytes in the file's byte order (little-endian
    // where `littleEndian` says so, as RF64 sizes and GUIDs always are); 0 past the end.
    std::uint64_t Number(off_t offset, std::size_t bytes, bool littleEndian = false) const {
        std::array<unsigned char, 8> b{};
        if (!Read(offset, b.data(), bytes)) return 0;
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < bytes; ++i) {
            const std::size_t at = bigEndian_ && !littleEndian ? i : bytes - 1 - i;
            v = v << 8 | b[at];
        }
        return v;
    }

private:
    int fd_;
    bool bigEndian_;
};

// Walks every chunk to the end of the file, as libsndfile does. Its parsers
// trust the sizes they read: an INFO list claiming 15 MB in a 96-byte file
// has been seen to keep libsndfile 1.2 busy for over a minute, and sample data
// cut short is quietly shortened. So a chunk claiming more bytes than the file
// holds makes the file refused, whatever chunk it is (a streaming writer's
// 0xFFFFFFFF data size too), as do no data chunk and more than kMostChunks
// chunks.
WaveHeader ReadWaveHeader(int fd, off_t fileSize) {
    WaveHeader header;
    std::array<unsigned char, 12> head{};
    if (!Reader(fd, false).Read(0, head.data(), head.size())) return header;
    const bool rf64 = std::memcmp(head.data(), "RF64", 4) == 0;
    const bool rifx = std::memcmp(head.data(), "RIFX", 4) == 0;
    header.wave = (rf64 || rifx || std::memcmp(head.data(), "RIFF", 4) == 0) &&
                  std::memcmp(head.data() + 8, "WAVE", 4) == 0;
    if (!header.wave) return header;
    const Reader reader(fd, rifx);
    std::uint64_t rf64DataSize = 0;  // RF64 keeps the real size in its ds64 chunk
    bool fmt = false;
    bool data = false;
    off_t offset = 12;
    // Fewer than 8 bytes left hold no chunk; libsndfile stops there too.
    for (int chunk = 0; fileSize - offset >= 8; ++chunk) {
        std::array<unsigned char, 4> id{};
        if (chunk == kMostChunks || !reader.Read(offset, id.data(), id.size())) return header;
        std::uint64_t size = reader.Number(offset + 4, 4);
        if (std::memcmp(id.data(), "ds64", 4) == 0)
            rf64DataSize = reader.Number(offset + 16, 8, true);
        if (std::memcmp(id.data(), "fmt ", 4) == 0) {
            header.format = static_cast<std::uint16_t>(reader.Number(offset + 8, 2));
            if (header.format == kFormatExtensible) {
                header.format = static_cast<std::uint16_t>(reader.Number(offset + 32, 2, true));
            }
            // libsndfile's RIFF reader passes over only the header of a second
            // fmt chunk and reads chunks on from its body; so does this walk.
            if (fmt && !rf64) {
                offset += 8;
                continue;
            }
            fmt = true;
        }
        if (std::memcmp(id.data(), "data", 4) == 0) {
            if (rf64 && size == 0xFFFFFFFFu) size = rf64DataSize;
            data = true;
        }
        if (size > static_cast<std::uint64_t>(fileSize - offset - 8)) return header;
        // A pad byte follows an odd chunk; the last one may go without.
        offset += 8 + static_cast<off_t>(size) + static_cast<off_t>(size & 1u);
    }
    header.complete = data;
    return header;
}

// The sample encodings read from a file in the current folder.
bool PlainSamples(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_PCM_16:
        case SF_FORMAT_PCM_24:
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT:
        case SF_FORMAT_DOUBLE:
            return true;
        default:
            return false;
    }
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

    unsigned Rate() const override { return static_cast<unsigned>(info_.samplerate); }
    unsigned Channels() const override { return static_cast<unsigned>(info_.channels); }
    std::size_t Frames() const override { return static_cast<std::size_t>(info_.frames); }
    std::size_t Read(std::int16_t* out, std::size_t frames) override {
        const sf_count_t n = sndfile_.readfShort(file_, out, static_cast<sf_count_t>(frames));
        return n > 0 ? static_cast<std::size_t>(n) : 0;
    }

private:
    const SndfileLibrary& sndfile_;
    int fd_;
    SNDFILE* file_;
    SF_INFO info_;
};

}  // namespace

std::unique_ptr<SoundSource> OpenSoundFile(const std::filesystem::path& path, SoundFiles accept) {
    // O_NONBLOCK keeps a FIFO named like the sound from blocking the open; only
    // regular files are played.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st {};
    bool refused = fstat(fd, &st) != 0 || !S_ISREG(st.st_mode);
    if (!refused) {
        const WaveHeader header = ReadWaveHeader(fd, st.st_size);
        refused = (header.wave && !header.complete) ||
                  (accept != SoundFiles::kAnyFormat && !header.wave) ||
                  (accept == SoundFiles::kPlainWave && header.format != kFormatPcm &&
                   header.format != kFormatFloat);
    }
    const SndfileLibrary* sndfile = refused ? nullptr : Sndfile();
    SF_INFO info{};
    SNDFILE* file = sndfile == nullptr ? nullptr : sndfile->openFd(fd, SFM_READ, &info, SF_FALSE);
    if (file == nullptr) {
        ::close(fd);
        return nullptr;
    }
    // libsndfile's own walk of the chunks can differ from the one above (it
    // reads four bytes of an empty fact chunk, and takes the first of two fmt
    // chunks), so the encoding it settled on is what counts.
    const bool usable = (accept != SoundFiles::kPlainWave || PlainSamples(info.format)) &&
                        info.frames > 0 && info.channels >= 1 &&
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
