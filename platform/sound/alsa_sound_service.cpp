#include "platform/sound/alsa_sound_service.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/failure_log.h"
#include "platform/sound/alsa_pcm_sink.h"
#include "platform/sound/sound_file_source.h"
#include "platform/sound/sound_name_resolver.h"
#include "platform/sound/tone_source.h"

namespace {

using Clock = std::chrono::steady_clock;

// Frames decoded and written at a time; also how often a cancel is noticed.
constexpr std::size_t kChunkFrames = 1024;
// How long the destructor waits for the worker before leaving it behind.
constexpr auto kWorkerEndDeadline = std::chrono::milliseconds(300);
// How long a full output is waited on before it is offered frames again.
constexpr auto kWaitSlice = std::chrono::milliseconds(20);
// Beyond the output's own latency, for a sound server waking its device and
// for a loaded machine, when the end of a sound is waited for.
constexpr auto kPlayOutSlack = std::chrono::milliseconds(250);

struct Outcome {
    bool done = false;
    bool played = false;
};

struct Request {
    std::string name;
    std::uint32_t flags = 0;
    std::shared_ptr<Outcome> outcome;
};

struct OpenedSound {
    std::unique_ptr<SoundSource> source;
    std::vector<std::int16_t> chunk;  // room for kChunkFrames frames
    std::size_t frames = 0;           // frames of `chunk` still to be played
};

// Reads the first chunk: a sound that yields no frame at all counts as broken.
std::optional<OpenedSound> Primed(std::unique_ptr<SoundSource> source) {
    if (!source) return std::nullopt;
    OpenedSound sound;
    sound.chunk.resize(kChunkFrames * source->Channels());
    sound.frames = source->Read(sound.chunk.data(), kChunkFrames);
    if (sound.frames == 0) return std::nullopt;
    sound.source = std::move(source);
    return sound;
}

Clock::duration Seconds(double seconds) {
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(std::max(0.0, seconds)));
}

}  // namespace

// Everything the worker uses. The worker holds its own reference, so a worker
// left behind in a device call never touches freed memory.
struct AlsaSoundService::Shared {
    explicit Shared(SoundServiceSetup s) : setup(std::move(s)) {}
    explicit Shared(std::function<SoundServiceSetup()> make) : makeSetup(std::move(make)) {}

    void Run();
    bool Play(const Request& request);
    bool HeardOut(PcmSink& sink, unsigned rate) const;
    std::optional<OpenedSound> Find(const Request& request) const;
    void DiscardPending();

    // The program's setup looks through the file system: the worker makes it
    // before its first sound, not the window's thread at start. Its limits are
    // the defaults, which a waiting caller reads meanwhile.
    const std::function<SoundServiceSetup()> makeSetup;
    SoundServiceSetup setup;  // written only by the worker, under the mutex, before its first sound
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finished;
    std::optional<Request> pending;
    bool playing = false;  // the worker has taken a request and not yet finished it
    bool quit = false;
    bool ended = false;  // the worker has returned
    std::atomic<bool> cancel{false};
};

SoundServiceSetup SoundServiceSetup::Standard() {
    SoundServiceSetup setup;
    setup.makeSink = [] { return std::make_unique<AlsaPcmSink>(); };
    setup.searchDirectories = StandardSoundDirectories();
    setup.defaultSounds = {"/usr/share/sounds/freedesktop/stereo/bell.oga"};
    return setup;
}

// The worker starts with the first sound, not with the program: a thread made
// at start costs the window's first paint, and so does the setup.
AlsaSoundService::AlsaSoundService()
    : shared_(std::make_shared<Shared>(std::function(&SoundServiceSetup::Standard))) {}

AlsaSoundService::AlsaSoundService(SoundServiceSetup setup)
    : shared_(std::make_shared<Shared>(std::move(setup))) {}

AlsaSoundService::~AlsaSoundService() {
    if (!worker_.joinable()) return;
    std::unique_lock lock(shared_->mutex);
    shared_->quit = true;
    shared_->cancel = true;
    shared_->wake.notify_all();
    const bool ended =
        shared_->finished.wait_for(lock, kWorkerEndDeadline, [this] { return shared_->ended; });
    lock.unlock();
    if (ended) {
        worker_.join();
    } else {
        worker_.detach();
    }
}

bool AlsaSoundService::sndPlaySoundA(const char* pszSound, std::uint32_t fuSound) {
    Shared& s = *shared_;
    std::unique_lock lock(s.mutex);
    if (s.quit) return false;
    if (!worker_.joinable()) {
        if (pszSound == nullptr) return true;  // nothing plays
        try {
            worker_ = std::thread([shared = shared_] { shared->Run(); });
        } catch (const std::system_error&) {
            return false;  // the request is dropped; the next one tries again
        }
    }
    if (pszSound == nullptr) {
        s.DiscardPending();
        s.cancel = true;
        return true;
    }
    const bool busy = s.playing || s.pending.has_value();
    if (busy && (fuSound & SND_NOSTOP) != 0) return false;
    if (busy) {
        s.DiscardPending();
        s.cancel = true;
    }
    auto outcome = std::make_shared<Outcome>();
    s.pending = Request{pszSound, fuSound, outcome};
    s.wake.notify_one();
    if ((fuSound & SND_ASYNC) != 0) return true;
    // Playing ends by the longest sound plus a stall; the rest is for opening.
    const auto deadline =
        Seconds(s.setup.longestSoundSeconds + 3 * s.setup.stallSeconds) + std::chrono::seconds(1);
    s.finished.wait_for(lock, deadline, [&] { return outcome->done; });
    return outcome->played;
}

void AlsaSoundService::Shared::DiscardPending() {
    if (pending) {
        pending->outcome->done = true;
        pending.reset();
        finished.notify_all();
    }
}

void AlsaSoundService::Shared::Run() {
    std::optional<SoundServiceSetup> made;
    if (makeSetup) {
        try {
            made = makeSetup();
        } catch (...) {
            // without a setup nothing plays, and requests are still answered
        }
    }
    std::unique_lock lock(mutex);
    if (made) setup = std::move(*made);
    for (;;) {
        wake.wait(lock, [this] { return quit || pending.has_value(); });
        if (quit) break;
        Request request = std::move(*pending);
        pending.reset();
        playing = true;
        cancel = false;
        lock.unlock();
        bool played = false;
        try {
            played = Play(request);
        } catch (...) {
            // A failure while playing ends that sound only.
        }
        lock.lock();
        playing = false;
        request.outcome->played = played;
        request.outcome->done = true;
        finished.notify_all();
    }
    DiscardPending();
    ended = true;
    finished.notify_all();
}

std::optional<OpenedSound> AlsaSoundService::Shared::Find(const Request& request) const {
    std::optional<OpenedSound> sound;
    if (auto found = ResolveSoundName(request.name, setup.searchDirectories)) {
        const bool inCurrentFolder = found->parent_path() == ".";
        sound = Primed(
            OpenSoundFile(*found, inCurrentFolder ? SoundFiles::kPlainWave : SoundFiles::kWave));
    }
    if (sound || (request.flags & SND_NODEFAULT) != 0) return sound;
    for (const auto& fallback : setup.defaultSounds) {
        if ((sound = Primed(OpenSoundFile(fallback, SoundFiles::kAnyFormat)))) return sound;
    }
    return Primed(MakeTone());
}

bool AlsaSoundService::Shared::Play(const Request& request) {
    std::optional<OpenedSound> sound = Find(request);
    if (!sound || cancel) return false;

    const unsigned rate = sound->source->Rate();
    const unsigned channels = sound->source->Channels();
    std::unique_ptr<PcmSink> sink = setup.makeSink ? setup.makeSink() : nullptr;
    if (!sink) return false;
    if (!sink->Open(rate, channels)) return false;

    const auto longest = static_cast<std::size_t>(std::max(0.0, setup.longestSoundSeconds) * rate);
    const std::size_t limit = std::max<std::size_t>(1, std::min(sound->source->Frames(), longest));
    const auto stall = Seconds(setup.stallSeconds);
    // However the output trickles, the sound ends by its own length plus a stall.
    const auto giveUp = Clock::now() + Seconds(static_cast<double>(limit) / rate) + stall;
    auto lastProgress = Clock::now();
    std::size_t played = 0;
    bool failed = false;
    while (sound->frames > 0 && !failed && !cancel) {
        const std::size_t n = std::min(sound->frames, limit - played);
        for (std::size_t done = 0; done < n && !failed && !cancel;) {
            const long taken = sink->Write(sound->chunk.data() + done * channels, n - done);
            if (taken < 0) {
                failed = true;
                break;
            }
            const auto now = Clock::now();
            done += static_cast<std::size_t>(taken);
            played += static_cast<std::size_t>(taken);
            if (taken > 0) lastProgress = now;
            if (now - lastProgress >= stall || now >= giveUp) {
                LogFailureOnce("sound-stall",
                               "playing on the sound device: it stopped taking sound; "
                               "the sound was dropped");
                failed = true;
            } else if (taken == 0) {
                sink->Wait(kWaitSlice);
            }
        }
        if (failed || played >= limit) break;
        sound->frames = sound->source->Read(sound->chunk.data(), kChunkFrames);
    }
    if (failed || cancel || !HeardOut(*sink, rate)) sink->Drop();
    sink->Close();
    return played > 0;
}

// Waits until the output has played what it was given, but no longer than
// that takes plus the output's latency and some slack: an output that never
// finishes (a sound server that stopped) costs the end of one sound, never the
// worker.
bool AlsaSoundService::Shared::HeardOut(PcmSink& sink, unsigned rate) const {
    long unheard = sink.Unheard();
    // No more can be queued than the output's buffer holds: a larger delay is a count that
    // wrapped around (PipeWire's plugin reports one once the output ran dry).
    const double buffered = std::chrono::duration<double>(sink.Latency()).count() * rate;
    const double delay = std::min(static_cast<double>(unheard), buffered);
    const auto deadline = Clock::now() + Seconds(delay / rate) +
                          sink.Latency() + kPlayOutSlack;
    while (unheard > 0 && !cancel) {
        if (Clock::now() >= deadline) {
            LogFailureOnce("sound-play-out",
                           "playing on the sound device: it stopped playing; "
                           "the end of the sound was dropped");
            return false;
        }
        std::this_thread::sleep_for(kWaitSlice);
        unheard = sink.Unheard();
    }
    return unheard == 0;
}
