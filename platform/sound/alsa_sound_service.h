// The sound service on Linux: libsndfile decodes, ALSA plays, one worker thread
// does both so a request never waits for the file or the device.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/sound/pcm_sink.h"
#include "platform/sound/sound_source.h"
#include "platform/sound_service.h"

struct SoundServiceSetup {
    // Makes the output for one sound (the ALSA `default` PCM in the program).
    PcmSinkFactory makeSink;
    // Where a bare sound name is looked for, in order.
    std::vector<std::filesystem::path> searchDirectories;
    // Played, the first that decodes, when the asked-for sound cannot be;
    // after them a built-in tone.
    std::vector<std::filesystem::path> defaultSounds;
    // No sound plays longer than this, however long its file.
    double longestSoundSeconds = 5.0;

    // The program's setup: ALSA `default`, the standard directories and the
    // freedesktop theme's bell.
    static SoundServiceSetup standard();
};

class AlsaSoundService : public SoundService {
public:
    AlsaSoundService();
    explicit AlsaSoundService(SoundServiceSetup setup);
    // Cuts a playing sound short and waits for the worker to end.
    ~AlsaSoundService() override;
    AlsaSoundService(const AlsaSoundService&) = delete;
    AlsaSoundService& operator=(const AlsaSoundService&) = delete;

    // SND_ASYNC: returns at once, true when the request was taken. Otherwise
    // waits and returns whether a sound was played. SND_NOSTOP: while a sound
    // is queued or playing the request is dropped (false); without it the new
    // request replaces the one queued or playing. A null name stops the sound.
    // The named sound must be a WAVE file; the default sounds may be any format
    // libsndfile reads.
    bool sndPlaySoundA(const char* pszSound, std::uint32_t fuSound) override;

    // Waits until no sound is queued or playing; false if `timeout` passed first.
    bool waitUntilIdle(std::chrono::milliseconds timeout);

private:
    struct Outcome {
        bool done = false;
        bool played = false;
    };
    struct Request {
        std::string name;
        std::uint32_t flags = 0;
        std::shared_ptr<Outcome> outcome;
    };

    void run();
    bool play(const Request& request);
    void discardPending();

    SoundServiceSetup setup_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable finished_;
    std::optional<Request> pending_;
    bool playing_ = false;  // the worker has taken a request and not yet finished it
    bool quit_ = false;
    std::atomic<bool> cancel_{false};
    std::thread worker_;
};
