// The cost of one sound request on the caller's thread, on the paced fake output:
// while a sound plays (the request is dropped) and when the service is idle.
#include <benchmark/benchmark.h>

#include <chrono>

#include "platform/sound/alsa_sound_service.h"
#include "tests/sound/paced_fake_sink.h"
#include "tests/sound/sound_test_files.h"

namespace {

using namespace std::chrono_literals;
constexpr std::uint32_t kFeedbackFlags = SND_ASYNC | SND_NOSTOP;

SoundServiceSetup benchSetup(const testing_support::TempDir& dir) {
    SoundServiceSetup s;
    s.makeSink = testing_support::pacedSinkFactory(std::make_shared<testing_support::SinkLog>());
    s.searchDirectories = {dir.path()};
    s.longestSoundSeconds = 600;
    return s;
}

void BM_RequestWhileASoundPlays(benchmark::State& state) {
    testing_support::TempDir dir;
    testing_support::writeWave(dir / "long.wav", 8000, 1, 8000 * 120, 440.0);  // 2 minutes
    testing_support::writeWave(dir / "ding.wav", 8000, 1, 800, 880.0);
    AlsaSoundService service(benchSetup(dir));
    service.sndPlaySoundA("long.wav", kFeedbackFlags);
    for (auto _ : state) {
        if (service.sndPlaySoundA("ding.wav", kFeedbackFlags)) {
            state.SkipWithError("a request was taken while a sound played");
            break;
        }
    }
}
BENCHMARK(BM_RequestWhileASoundPlays)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_RequestWhenIdle(benchmark::State& state) {
    testing_support::TempDir dir;
    testing_support::writeWave(dir / "ding.wav", 8000, 1, 8, 880.0);  // 1 ms
    AlsaSoundService service(benchSetup(dir));
    for (auto _ : state) {
        state.PauseTiming();
        if (!service.waitUntilIdle(5s)) {
            state.SkipWithError("the service stayed busy");
            break;
        }
        state.ResumeTiming();
        if (!service.sndPlaySoundA("ding.wav", kFeedbackFlags)) {
            state.SkipWithError("a request was dropped while idle");
            break;
        }
    }
}
BENCHMARK(BM_RequestWhenIdle)->Iterations(2000)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
