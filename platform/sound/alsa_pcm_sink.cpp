#include "platform/sound/alsa_pcm_sink.h"

#include <cerrno>
#include <utility>

namespace {
// Short enough that draining or dropping at exit is quick, long enough for
// sound servers not to starve.
constexpr unsigned kLatencyMicroseconds = 150000;
// The device is opened non-blocking and waited on in slices this long, so a
// stop is seen quickly even where the device wakes its waiters rarely (sound
// servers' ALSA plugins wake them only on their timing updates).
constexpr int kWaitSliceMilliseconds = 20;
}  // namespace

AlsaPcmSink::AlsaPcmSink(std::string device) : device_(std::move(device)) {}

AlsaPcmSink::~AlsaPcmSink() { close(); }

bool AlsaPcmSink::open(unsigned rate, unsigned channels) {
    close();
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, device_.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK) < 0) return false;
    if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, channels,
                           rate, 1, kLatencyMicroseconds) < 0) {
        snd_pcm_close(pcm);
        return false;
    }
    pcm_ = pcm;
    channels_ = channels;
    return true;
}

bool AlsaPcmSink::write(const std::int16_t* samples, std::size_t frames) {
    if (pcm_ == nullptr) return false;
    int recoveries = 0;
    while (frames > 0) {
        if (stopRequested()) return false;
        snd_pcm_sframes_t n = snd_pcm_writei(pcm_, samples, frames);
        if (n == -EAGAIN || n == 0) {
            waitBriefly();
            continue;
        }
        if (n < 0) {
            // An underrun (-EPIPE) or a suspend (-ESTRPIPE) is got past once per
            // chunk; anything else ends this sound.
            if (++recoveries > 1 || snd_pcm_recover(pcm_, static_cast<int>(n), 1) < 0) {
                return false;
            }
            continue;
        }
        frames -= static_cast<std::size_t>(n);
        samples += static_cast<std::size_t>(n) * channels_;
    }
    return true;
}

void AlsaPcmSink::waitBriefly() { snd_pcm_wait(pcm_, kWaitSliceMilliseconds); }

void AlsaPcmSink::drain() {
    if (pcm_ == nullptr) return;
    // Non-blocking, the drain only starts here; the sound is heard out below.
    if (snd_pcm_drain(pcm_) != -EAGAIN) return;
    // What is left is one buffer at most; a device that never finishes it is
    // given up on after a while rather than holding the worker.
    for (int slice = 0; snd_pcm_state(pcm_) == SND_PCM_STATE_DRAINING; ++slice) {
        if (stopRequested() || slice * kWaitSliceMilliseconds > 2000) {
            snd_pcm_drop(pcm_);
            return;
        }
        waitBriefly();
    }
}

void AlsaPcmSink::drop() {
    if (pcm_ != nullptr) snd_pcm_drop(pcm_);
}

void AlsaPcmSink::close() {
    if (pcm_ != nullptr) {
        snd_pcm_close(pcm_);
        pcm_ = nullptr;
    }
}
