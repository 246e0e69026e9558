#include "platform/sound/alsa_sound_service.h"

#include <algorithm>
#include <system_error>
#include <utility>

#include "platform/sound/alsa_pcm_sink.h"
#include "platform/sound/sound_file_source.h"
#include "platform/sound/sound_name_resolver.h"
#include "platform/sound/tone_source.h"

namespace {

// Frames decoded and written at a time; also how often a cancel is noticed.
constexpr std::size_t kChunkFrames = 1024;

struct OpenedSound {
    std::unique_ptr<SoundSource> source;
    std::vector<std::int16_t> chunk;  // room for kChunkFrames frames
    std::size_t frames = 0;           // frames of `chunk` still to be played
};

// Reads the first chunk: a sound that yields no frame at all counts as broken.
std::optional<OpenedSound> primed(std::unique_ptr<SoundSource> source) {
    if (!source) return std::nullopt;
    OpenedSound sound;
    sound.chunk.resize(kChunkFrames * source->channels());
    sound.frames = source->read(sound.chunk.data(), kChunkFrames);
    if (sound.frames == 0) return std::nullopt;
    sound.source = std::move(source);
    return sound;
}

}  // namespace

SoundServiceSetup SoundServiceSetup::standard() {
    SoundServiceSetup setup;
    setup.makeSink = [] { return std::make_unique<AlsaPcmSink>(); };
    setup.searchDirectories = standardSoundDirectories();
    setup.defaultSounds = {"/usr/share/sounds/freedesktop/stereo/bell.oga"};
    return setup;
}

AlsaSoundService::AlsaSoundService() : AlsaSoundService(SoundServiceSetup::standard()) {}

AlsaSoundService::AlsaSoundService(SoundServiceSetup setup) : setup_(std::move(setup)) {
    try {
        worker_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        // Without a worker every request is dropped.
    }
}

AlsaSoundService::~AlsaSoundService() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        cancel_ = true;
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
}

bool AlsaSoundService::sndPlaySoundA(const char* pszSound, std::uint32_t fuSound) {
    std::unique_lock lock(mutex_);
    if (!worker_.joinable() || quit_) return false;
    if (pszSound == nullptr) {
        discardPending();
        cancel_ = true;
        return true;
    }
    const bool busy = playing_ || pending_.has_value();
    if (busy && (fuSound & SND_NOSTOP) != 0) return false;
    if (busy) {
        discardPending();
        cancel_ = true;
    }
    auto outcome = std::make_shared<Outcome>();
    pending_ = Request{pszSound, fuSound, outcome};
    wake_.notify_one();
    if ((fuSound & SND_ASYNC) != 0) return true;
    finished_.wait(lock, [&] { return outcome->done; });
    return outcome->played;
}

bool AlsaSoundService::waitUntilIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return finished_.wait_for(lock, timeout, [this] { return !playing_ && !pending_; });
}

void AlsaSoundService::discardPending() {
    if (pending_) {
        pending_->outcome->done = true;
        pending_.reset();
        finished_.notify_all();
    }
}

void AlsaSoundService::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || pending_.has_value(); });
        if (quit_) break;
        Request request = std::move(*pending_);
        pending_.reset();
        playing_ = true;
        cancel_ = false;
        lock.unlock();
        bool played = false;
        try {
            played = play(request);
        } catch (...) {
            // A failure while playing ends that sound only.
        }
        lock.lock();
        playing_ = false;
        request.outcome->played = played;
        request.outcome->done = true;
        finished_.notify_all();
    }
    discardPending();
}

bool AlsaSoundService::play(const Request& request) {
    std::optional<OpenedSound> sound;
    if (auto path = resolveSoundName(request.name, setup_.searchDirectories)) {
        sound = primed(openWaveFile(*path));
    }
    if (!sound && (request.flags & SND_NODEFAULT) == 0) {
        for (const auto& fallback : setup_.defaultSounds) {
            sound = primed(openSoundFile(fallback));
            if (sound) break;
        }
        if (!sound) sound = primed(makeTone());
    }
    if (!sound || cancel_) return false;

    const unsigned rate = sound->source->rate();
    const unsigned channels = sound->source->channels();
    std::unique_ptr<PcmSink> sink = setup_.makeSink ? setup_.makeSink() : nullptr;
    if (!sink) return false;
    sink->watchForStop(&cancel_);
    if (!sink->open(rate, channels)) return false;

    const auto limit = std::max<std::size_t>(
        1, static_cast<std::size_t>(std::max(0.0, setup_.longestSoundSeconds) * rate));
    std::size_t played = 0;
    bool failed = false;
    while (sound->frames > 0 && !cancel_) {
        const std::size_t n = std::min(sound->frames, limit - played);
        if (!sink->write(sound->chunk.data(), n)) {
            failed = true;
            break;
        }
        played += n;
        if (played >= limit) break;
        sound->frames = sound->source->read(sound->chunk.data(), kChunkFrames);
    }
    if (failed || cancel_) {
        sink->drop();
    } else {
        sink->drain();
    }
    sink->close();
    return played > 0;
}
