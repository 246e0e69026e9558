#include "platform/sound/alsa_pcm_sink.h"

#include <cerrno>
#include <utility>

#include "platform/failure_log.h"

namespace {
// Short enough that draining or dropping at exit is quick, long enough for
// sound servers not to starve.
constexpr unsigned kLatencyMicroseconds = 150000;
// The device is opened non-blocking and waited on in slices this long, so a
// stop is seen quickly even where the device wakes its waiters rarely (sound
// servers' ALSA plugins wake them only on their timing updates).
constexpr int kWaitSliceMilliseconds = 20;
// What is left to drain is one buffer at most; a device that never finishes it
// is given up on after this long.
constexpr int kLongestDrainMilliseconds = 2000;
}  // namespace

AlsaPcmSink::AlsaPcmSink(std::string device) : device_(std::move(device)) {}

AlsaPcmSink::~AlsaPcmSink() { Close(); }

void AlsaPcmSink::LogFailure(const char* kind, const char* what, int error) const {
    LogFailureOnce(kind, std::string(what) + " " + device_ + ": " + snd_strerror(error));
}

bool AlsaPcmSink::Open(unsigned rate, unsigned channels) {
    Close();
    snd_pcm_t* pcm = nullptr;
    int error = snd_pcm_open(&pcm, device_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (error < 0) {
        LogFailure("sound-open", "opening the sound device", error);
        return false;
    }
    error = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, channels,
                               rate, 1, kLatencyMicroseconds);
    if (error < 0) {
        LogFailure("sound-setup", "setting up the sound device", error);
        snd_pcm_close(pcm);
        return false;
    }
    pcm_ = pcm;
    return true;
}

long AlsaPcmSink::Write(const std::int16_t* samples, std::size_t frames) {
    if (pcm_ == nullptr) return -1;
    const snd_pcm_sframes_t n = snd_pcm_writei(pcm_, samples, frames);
    if (n >= 0) return static_cast<long>(n);
    if (n == -EAGAIN) return 0;
    // An underrun (-EPIPE) or a suspend (-ESTRPIPE) is got past; a device that
    // keeps failing so makes no progress, which the caller bounds.
    if (snd_pcm_recover(pcm_, static_cast<int>(n), 1) == 0) return 0;
    LogFailure("sound-write", "playing on the sound device", static_cast<int>(n));
    return -1;
}

void AlsaPcmSink::Wait(std::chrono::milliseconds timeout) {
    if (pcm_ != nullptr) snd_pcm_wait(pcm_, static_cast<int>(timeout.count()));
}

void AlsaPcmSink::Drain() {
    if (pcm_ == nullptr) return;
    // Non-blocking, the drain only starts here; the sound is heard out below.
    if (snd_pcm_drain(pcm_) != -EAGAIN) return;
    for (int waited = 0; snd_pcm_state(pcm_) == SND_PCM_STATE_DRAINING;
         waited += kWaitSliceMilliseconds) {
        if (StopRequested() || waited > kLongestDrainMilliseconds) {
            snd_pcm_drop(pcm_);
            return;
        }
        snd_pcm_wait(pcm_, kWaitSliceMilliseconds);
    }
}

void AlsaPcmSink::Drop() {
    if (pcm_ != nullptr) snd_pcm_drop(pcm_);
}

void AlsaPcmSink::Close() {
    if (pcm_ != nullptr) {
        snd_pcm_close(pcm_);
        pcm_ = nullptr;
    }
}
