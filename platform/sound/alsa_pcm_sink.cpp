#include "platform/sound/alsa_pcm_sink.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/failure_log.h"

namespace {
// Short enough that dropping at exit is quick, long enough for sound servers
// not to starve.
constexpr unsigned kLatencyMicroseconds = 150000;
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

// No snd_pcm_drain: sound servers' plugins wait in it for the server without a
// timeout, whatever the open mode, so a server that stops answering would keep
// the worker for good. The delay is read from what the plugin already knows.
long AlsaPcmSink::Unheard() {
    if (pcm_ == nullptr) return -1;
    switch (snd_pcm_state(pcm_)) {
        case SND_PCM_STATE_PREPARED:
            // A sound shorter than the buffer has not started: it would start on
            // the full buffer or the drain, neither of which comes.
            if (snd_pcm_start(pcm_) < 0) return -1;
            break;
        case SND_PCM_STATE_RUNNING:
            break;
        case SND_PCM_STATE_XRUN:
            return 0;  // ran dry: all was played
        default:
            return -1;
    }
    // With the pointer brought up to date: PipeWire's plugin reports a delay
    // that wraps around once the output ran dry, until it notices the underrun.
    snd_pcm_sframes_t avail = 0;
    snd_pcm_sframes_t delay = 0;
    const int error = snd_pcm_avail_delay(pcm_, &avail, &delay);
    if (error == -EPIPE) return 0;
    if (error < 0) return -1;
    return std::max<long>(0, delay);
}

std::chrono::microseconds AlsaPcmSink::Latency() const {
    return std::chrono::microseconds(kLatencyMicroseconds);
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
