// The cost of one sound request on the caller's thread, on the paced fake output:
// while a sound plays (the request is dropped) and when the service is idle.
#include <benchmark/benchmark.h>
#include <sndfile.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/sound/alsa_sound_service.h"
#include "tests/sound/paced_fake_sink.h"

namespace {

constexpr std::uint32_t kFeedbackFlags = SND_ASYNC | SND_NOSTOP;

// A folder holding ding.wav, silence of `frames` frames at 8000 Hz.
class DingFolder {
public:
    explicit DingFolder(int frames) {
        std::filesystem::create_directories(path_);
        SF_INFO info{0, 8000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
        SNDFILE* file = sf_open((path_ / "ding.wav").c_str(), SFM_WRITE, &info);
        const std::vector<short> silence(static_cast<std::size_t>(frames));
        sf_writef_short(file, silence.data(), frames);
        sf_close(file);
    }
    ~DingFolder() { std::filesystem::remove_all(path_); }

    SoundServiceSetup Setup(std::shared_ptr<testing_support::SinkLog> log) const {
        SoundServiceSetup s;
        s.makeSink = testing_support::PacedSinkFactory(std::move(log));
        s.searchDirectories = {path_};
        s.longestSoundSeconds = 600;
        return s;
    }

private:
    std::filesystem::path path_ =
        std::filesystem::temp_directory_path() / ("pegelwerk-bench-" + std::to_string(getpid()));
};

void BM_RequestWhileASoundPlays(benchmark::State& state) {
    DingFolder folder(8000 * 120);  // 2 minutes
    AlsaSoundService service(folder.Setup(std::make_shared<testing_support::SinkLog>()));
    service.sndPlaySoundA("ding.wav", kFeedbackFlags);
    for (auto _ : state) {
        if (service.sndPlaySoundA("ding.wav", kFeedbackFlags)) {
            state.SkipWithError("a request was taken while a sound played");
            break;
        }
    }
}
BENCHMARK(BM_RequestWhileASoundPlays)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_RequestWhenIdle(benchmark::State& state) {
    DingFolder folder(8);  // 1 ms
    AlsaSoundService service(folder.Setup(std::make_shared<testing_support::SinkLog>()));
    for (auto _ : state) {
        if (!service.sndPlaySoundA("ding.wav", kFeedbackFlags)) {
            state.SkipWithError("a request was dropped while idle");
            break;
        }
        state.PauseTiming();
        // Replaces that sound with one played to its end: the service is idle again.
        service.sndPlaySoundA("ding.wav", SND_SYNC);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RequestWhenIdle)->Iterations(2000)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
