// Fuzzes the named sound: each input, as the only "ding.wav" the service finds,
// must end in exactly one sound, played out and closed; an input that is not a
// WAVE file plays the built-in tone (a quarter of a second at 44100 Hz).
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <utility>

#include "platform/sound/alsa_sound_service.h"
#include "tests/sound/paced_fake_sink.h"

namespace {

const std::filesystem::path kFolder = "fuzz-scratch";  // in the folder the run starts in
auto log = std::make_shared<testing_support::SinkLog>();
AlsaSoundService* service = nullptr;  // lives as long as the process

// libFuzzer keeps the input that broke a rule; the stack shows which rule.
void Require(bool rule) {
    if (!rule) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::filesystem::create_directories(kFolder);
    log->paced = false;
    service = new AlsaSoundService(
        {.makeSink = testing_support::PacedSinkFactory(log), .searchDirectories = {kFolder}});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::ofstream(kFolder / "ding.wav", std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    // Without SND_ASYNC the request returns once the worker is done with it.
    Require(service->sndPlaySoundA("ding.wav", SND_NOSTOP));  // exactly one sound...
    const auto played = log->Change([](auto& s) { return std::exchange(s, {}); });
    Require(played.size() == 1 && played[0].frames > 0);
    Require(played[0].drained && played[0].closed);  // ...played out and closed
    const bool wave = size >= 12 && std::memcmp(data + 8, "WAVE", 4) == 0 &&
                      (std::memcmp(data, "RIFF", 4) == 0 || std::memcmp(data, "RIFX", 4) == 0 ||
                       std::memcmp(data, "RF64", 4) == 0);
    Require(wave || (played[0].rate == 44100 && played[0].frames == 11025));  // else the tone
    return 0;
}
