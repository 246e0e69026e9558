// The sound service on a fake output that plays in real time, hangs or stalls, and the
// folders it looks in for a sound named without one.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <stdlib.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <tuple>

#include "platform/failure_log.h"
#include "platform/sound/alsa_pcm_sink.h"
#include "platform/sound/alsa_sound_service.h"
#include "platform/sound/sound_name_resolver.h"
#include "tests/sound/paced_fake_sink.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::uint32_t kFeedback = SND_ASYNC | SND_NOSTOP;

void Put(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// WAVE files put together byte by byte, for the broken and hostile files no writer makes.
// `value` in `bytes` little-endian bytes.
std::string Le(std::uint32_t value, int bytes = 4) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i));
    return out;
}
// A chunk whose size field says `size` (the body's length when left out), with a pad byte
// after an odd body.
std::string Chunk(const char* id, const std::string& body, std::uint32_t size = 0xFFFFFFFFu) {
    const auto length = static_cast<std::uint32_t>(body.size());
    return std::string(id) + Le(size == 0xFFFFFFFFu ? length : size) + body +
           std::string(length & 1u, '\0');
}
std::string Riff(const std::string& chunks) {
    return "RIFF" + Le(static_cast<std::uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}
// fmt bodies, mono at 8000 Hz: 16-bit PCM (2 bytes a frame); IMA ADPCM in blocks of 256
// bytes, each 505 frames (4 header bytes and 252 bytes of two nibbles: 1 + 2 × 252 frames).
const std::string kFmtPcm16 = Le(1, 2) + Le(1, 2) + Le(8000) + Le(16000) + Le(2, 2) + Le(16, 2);
const std::string kFmtImaAdpcm =
    Le(0x11, 2) + Le(1, 2) + Le(8000) + Le(4055) + Le(256, 2) + Le(4, 2) + Le(2, 2) + Le(505, 2);

// The bytes of `frames` frames of silence at 8000 Hz, mono; 1010 frames fill
// two IMA ADPCM blocks of 505 exactly.
std::string Encode(int format, int frames = 1010) {
    const std::vector<short> samples(static_cast<std::size_t>(frames));
    SF_INFO info{0, 8000, 1, format, 0, 0};
    SNDFILE* file = sf_open("scratch", SFM_WRITE, &info);
    sf_writef_short(file, samples.data(), frames);
    sf_close(file);
    std::ifstream in("scratch", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// In a scratch current folder, with "beside" standing for the program's folder.
class SoundServiceTest : public ::testing::Test {
protected:
    SoundServiceTest() {
        fs::create_directories(folder_ / "beside");
        fs::current_path(folder_);
        Put("ding.wav", Encode(SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    }
    ~SoundServiceTest() override {
        fs::current_path(previous_);
        fs::remove_all(folder_);
    }
    fs::path previous_ = fs::current_path();
    fs::path folder_ = fs::temp_directory_path() / ("pegelwerk-sound-" + std::to_string(getpid()));
    std::shared_ptr<testing_support::SinkLog> log_ = std::make_shared<testing_support::SinkLog>();
    const SoundServiceSetup setup_{.makeSink = testing_support::PacedSinkFactory(log_),
                                   .searchDirectories = {".", "beside"},
                                   .stallSeconds = 0.5};
};

TEST_F(SoundServiceTest, RequestsNeverWaitAndABurstWhileASoundPlaysIsDropped) {
    Put("ding.wav", Encode(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 12000));  // 1.5 s
    AlsaSoundService service(setup_);
    for (int i = 0; i < 10; ++i) {
        const auto start = Clock::now();
        EXPECT_EQ(service.sndPlaySoundA("ding.wav", kFeedback), i == 0) << i;
        // Half the sound's length: a request that waited for it could not return so soon.
        EXPECT_LT(Clock::now() - start, 750ms) << "request " << i << " waited";
    }
    // The first sound is played complete and drained.
    EXPECT_TRUE(log_->WaitUntil([](const auto& s) {
        return s.size() == 1 && s[0].closed && s[0].drained && !s[0].dropped &&
               s[0].frames == 12000;
    }));
}

// Without SND_ASYNC a request returns once the worker is done with it.
TEST_F(SoundServiceTest, AStuckDeviceCostsOnlyItsSound) {
    auto service = std::make_unique<AlsaSoundService>(setup_);
    log_->stall = true;  // the output stops taking frames
    EXPECT_FALSE(service->sndPlaySoundA("ding.wav", SND_SYNC));
    EXPECT_TRUE(log_->Sessions()[0].dropped && log_->Sessions()[0].closed);
    log_->stall = false;

    // The output takes the sound but never plays it out, as a sound server
    // that stopped after the last write, and reports a delay that wrapped
    // around: no more than the fake's 50 ms buffer is waited for, with its
    // 50 ms latency and a quarter second's slack: free again well before 1 s.
    log_->frozen = 1L << 62;
    auto start = Clock::now();
    EXPECT_TRUE(service->sndPlaySoundA("ding.wav", SND_SYNC));
    EXPECT_LT(Clock::now() - start, 1s);
    log_->frozen = 0;
    const auto frozen = log_->Sessions()[1];
    EXPECT_TRUE(frozen.frames == 1010 && frozen.dropped && frozen.closed && !frozen.drained);
    EXPECT_TRUE(service->sndPlaySoundA("ding.wav", SND_SYNC));
    const auto next = log_->Sessions()[2];
    EXPECT_TRUE(next.frames == 1010 && next.drained && !next.dropped && next.closed);

    log_->hang = true;  // opening the device never returns
    ASSERT_TRUE(service->sndPlaySoundA("ding.wav", kFeedback));
    ASSERT_TRUE(log_->WaitUntil([](const auto& s) { return s.size() == 4; }));
    start = Clock::now();
    EXPECT_FALSE(service->sndPlaySoundA("ding.wav", kFeedback));
    EXPECT_LT(Clock::now() - start, 750ms);
    start = Clock::now();
    service.reset();
    EXPECT_LT(Clock::now() - start, 1s);
    log_->hang = false;  // the worker left behind ends on its own
}

// A worker left behind at exit that goes on once the static destructors have
// run: what it touches then, the failure log among it, must still be there.
testing_support::SinkLog* leftBehind = nullptr;
fs::path leftBehindFolder;

TEST_F(SoundServiceTest, AWorkerLeftBehindAtExitOutlivesTheStaticDestructors) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");  // a fresh process: nothing logged yet
    const auto run = [this] {
        leftBehind = log_.get();
        leftBehindFolder = folder_;
        // Registered before the failure log's first use, so run after whatever
        // that use leaves to destroy.
        std::atexit([] {
            leftBehind->refuse = true;  // released, the worker logs a failed open
            leftBehind->hang = false;
            leftBehind->WaitUntil([](const auto& s) { return s[0].refused; });
            fs::remove_all(leftBehindFolder);
        });
        LogFailureOnce("first", "the failure log in use");
        auto service = std::make_unique<AlsaSoundService>(setup_);
        log_->hang = true;
        service->sndPlaySoundA("ding.wav", kFeedback);
        log_->WaitUntil([](const auto& s) { return !s.empty(); });
        service.reset();
        std::exit(0);
    };
    EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "opening the sound device: refused");
}

// The built-in tone is the only sound at 44100 Hz here: the files are at 8000.
TEST_F(SoundServiceTest, ABadFileNamedLikeTheDingPlaysTheDefaultSound) {
    const std::string riff = Encode(SF_FORMAT_WAV | SF_FORMAT_PCM_16);  // 44-byte header
    const std::string rifx = Encode(SF_FORMAT_WAV | SF_FORMAT_PCM_16 | SF_ENDIAN_BIG);
    const std::string rf64 = Encode(SF_FORMAT_RF64 | SF_FORMAT_PCM_16);
    const std::string adpcm = Encode(SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM);
    const auto patched = [&](std::size_t at, std::uint32_t value) {
        return riff.substr(0, at) + Le(value) + riff.substr(at + 4);
    };
    std::string junk255;
    for (int i = 0; i < 255; ++i) junk255 += Chunk("JUNK", "");
    const std::tuple<const char*, std::optional<std::string>, unsigned, fs::path> cases[] = {
        {"missing", std::nullopt, 44100, "."},
        {"empty", "", 44100, "."},
        {"garbage", std::string(3000, 'Z'), 44100, "."},
        {"truncated RIFF", riff.substr(0, riff.size() - 100), 44100, "."},
        {"truncated RIFX", rifx.substr(0, rifx.size() - 100), 44100, "."},
        {"truncated RF64", rf64.substr(0, rf64.size() - 100), 44100, "."},
        {"10 Hz", patched(24, 10), 44100, "."},
        {"fmt chunk past the end", patched(16, 0xFFFFFFF0u), 44100, "."},
        {"ADPCM in the current folder", adpcm, 44100, "."},
        {"AIFF", Encode(SF_FORMAT_AIFF | SF_FORMAT_PCM_16), 44100, "."},
        {"RIFX", rifx, 8000, "."},
        {"RF64", rf64, 8000, "."},
        {"float", Encode(SF_FORMAT_WAV | SF_FORMAT_FLOAT), 8000, "."},
        {"ADPCM beside the program", adpcm, 8000, "beside"},
        // Hand-built: 1010 frames as 16-bit PCM are 2020 bytes, as IMA ADPCM 2 blocks of 256.
        {"INFO list past the end, beside the program",
         Riff(Chunk("fmt ", kFmtPcm16) + Chunk("data", std::string(2020, 0)) +
              Chunk("LIST", "INFO", 0xE5F4AD)),
         44100, "beside"},
        // libsndfile reads 4 bytes of an empty fact chunk and so never sees the
        // second fmt chunk; the walk takes it, and reads on in its body: a
        // chunk of 8000 bytes (the sample rate) that the 7992 zeros fill.
        {"IMA ADPCM to libsndfile, PCM to the walk",
         Riff(Chunk("fmt ", kFmtImaAdpcm) + Chunk("data", std::string(512, 0)) + Chunk("fact", "") +
              Chunk("fmt ", kFmtPcm16) + std::string(7992, 0)),
         44100, "."},
        {"INFO list in a second fmt chunk, beside the program",
         Riff(Chunk("fmt ", kFmtPcm16) + Chunk("data", std::string(2020, 0)) +
              Chunk("fmt ", Chunk("LIST", "INFO", 0xE5F4AD))),
         44100, "beside"},
        {"data after 256 chunks",
         Riff(Chunk("fmt ", kFmtPcm16) + junk255 + Chunk("data", std::string(2020, 0))), 44100,
         "."},
    };
    AlsaSoundService service(setup_);
    for (const auto& [what, bytes, rate, folder] : cases) {
        SCOPED_TRACE(what);
        fs::remove("ding.wav");
        if (bytes) Put(folder / "ding.wav", *bytes);
        ASSERT_TRUE(service.sndPlaySoundA("ding.wav", SND_SYNC));
        fs::remove("beside/ding.wav");
        const auto sound = log_->Sessions().back();
        EXPECT_EQ(sound.rate, rate);
        EXPECT_EQ(sound.frames, rate == 44100 ? 11025u : 1010u);  // the tone: a quarter second
    }
}

// Each pass: the folders before `first` hold no ding, it and all after it hold one that
// names its folder. This test's program folder is its build folder; its install prefix's
// data folder is one of its own (tests/sound/CMakeLists.txt).
TEST_F(SoundServiceTest, ANameIsLookedForHereThenBesideTheProgramThenInItsDataThenInstalled) {
    const fs::path program = fs::read_symlink("/proc/self/exe").parent_path();
    const fs::path folders[] = {folder_, program, program / ".." / "share" / "pegelwerk",
                                PEGELWERK_SOUND_DATADIR};
    const std::vector<fs::path> searched = SoundServiceSetup::Standard().searchDirectories;
    for (std::size_t first = 0; first < std::size(folders); ++first) {
        for (std::size_t i = 0; i < std::size(folders); ++i) {
            fs::create_directories(folders[i]);
            fs::remove(folders[i] / "ding.wav");
            if (i >= first) std::ofstream(folders[i] / "ding.wav") << i;
        }
        std::size_t found = 99;
        std::ifstream(ResolveSoundName("ding.wav", searched).value_or("none")) >> found;
        EXPECT_EQ(found, first);
    }
    for (const auto& folder : folders) fs::remove(folder / "ding.wav");
}

TEST(AlsaPcmSink, AFailureIsLoggedWithAlsasMessage) {
    setenv("ALSA_CONFIG_PATH", "/dev/null", 1);  // no PCM at all
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(AlsaPcmSink().Open(8000, 1));
    const std::string logged = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(
        logged.find("pegelwerk: opening the sound device default: No such file or directory\n"),
        std::string::npos)
        << logged;
}

}  // namespace
