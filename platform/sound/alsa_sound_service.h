// The sound service on Linux: libsndfile decodes, ALSA plays, one worker thread
// does both so a request never waits for the file or the device.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "platform/sound/pcm_sink.h"
#include "platform/sound_service.h"

struct SoundServiceSetup {
    // Makes the output for one sound (the ALSA `default` PCM in the program).
    PcmSinkFactory makeSink{};
    // Where a bare sound name is looked for, in order. A sound found in the
    // current folder (".") is played only if it is plain PCM or float WAVE.
    std::vector<std::filesystem::path> searchDirectories{};
    // Played, the first that decodes, when the asked-for sound cannot be;
    // after them a built-in tone.
    std::vector<std::filesystem::path> defaultSounds{};
    // No sound plays longer than this, however long its file.
    double longestSoundSeconds = 5.0;
    // An output that takes no frames for this long loses the sound and is
    // closed; the next sound opens it afresh.
    double stallSeconds = 2.0;

    // The program's setup: ALSA `default`, the standard directories and the
    // freedesktop theme's bell.
    static SoundServiceSetup Standard();
};

class AlsaSoundService : public SoundService {
public:
    AlsaSoundService();
    explicit AlsaSoundService(SoundServiceSetup setup);
    // Cuts a playing sound short and gives the worker a short while to end. A
    // worker stuck in the device is left behind: it owns what it still uses.
    ~AlsaSoundService() override;
    AlsaSoundService(const AlsaSoundService&) = delete;
    AlsaSoundService& operator=(const AlsaSoundService&) = delete;

    // SND_ASYNC: returns at once, true when the request was taken. Otherwise
    // waits, a bounded time, and returns whether a sound was played.
    // SND_NOSTOP: while a sound is queued or playing the request is dropped
    // (false); without it the new request replaces the one queued or playing.
    // A null name stops the sound. The named sound must be a WAVE file; the
    // default sounds may be any format libsndfile reads.
    bool sndPlaySoundA(const char* pszSound, std::uint32_t fuSound) override;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    std::thread worker_;
};
