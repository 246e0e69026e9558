#include "platform/alsa/alsa_line_names.h"

#include <cstring>


namespace {

constexpr const char* kSpeakers[] = {"Master", "Speaker", "Front"};
constexpr const char* kWaveOut[] = {"PCM", "Wave"};
// "Capture" comes last: on PipeWire and PulseAudio desktops it is the default
// source, which is usually the microphone.
constexpr const char* kMicrophone[] = {"Mic", "Front Mic", "Internal Mic", "Capture"};
constexpr const char* kLine[] = {"Line"};
constexpr const char* kAuxiliary[] = {"Aux"};
constexpr const char* kCompactDisc[] = {"CD"};
constexpr const char* kSynthesizer[] = {"Synth", "MIDI", "FM"};

}  // namespace

std::span<const char* const> AlsaElementNamesFor(DWORD componentType) {
    switch (componentType) {
        case MIXERLINE_COMPONENTTYPE_DST_SPEAKERS:
            return kSpeakers;
        case MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT:
            return kWaveOut;
        case MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE:
            return kMicrophone;
        case MIXERLINE_COMPONENTTYPE_SRC_LINE:
            return kLine;
        case MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY:
            return kAuxiliary;
        case MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC:
            return kCompactDisc;
        case MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER:
            return kSynthesizer;
        default:
            return {};
    }
}

std::optional<bool> AlsaLineDirection(const char* name, bool playbackVolume, bool captureVolume) {
    if (std::strcmp(name, "Capture") == 0) return captureVolume ? std::optional(true) : std::nullopt;
    if (playbackVolume) return false;
    // A USB microphone has its "Mic" as a capture volume alone.
    if (captureVolume && std::strstr(name, "Mic")) return true;
    return std::nullopt;
}
