#include "platform/alsa/alsa_line_names.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace {

constexpr const char* kSpeakers[] = {"Master"};
constexpr const char* kWaveOut[] = {"PCM", "Wave"};
// "Capture" comes last: on PipeWire and PulseAudio desktops it is the default
// source, which is usually the microphone.
constexpr const char* kMicrophone[] = {"Mic", "Front Mic", "Internal Mic", "Capture"};
constexpr const char* kLine[] = {"Line"};
constexpr const char* kAuxiliary[] = {"Aux"};
constexpr const char* kCompactDisc[] = {"CD"};
constexpr const char* kSynthesizer[] = {"Synth", "MIDI", "FM"};

// Words that make a playback volume something other than an output: sources
// ("PC" as in "PC Speaker", the beeper; any word with "mic" in it, as "DMIC1"),
// boosts and tone controls, and the parts of a surround set beside "Front",
// which are left as the user set them.
constexpr const char* kNotOutputs[] = {
    "adc",      "line",    "aux",    "cd",     "synth",   "midi",   "fm",   "pcm",
    "wave",     "capture", "beep",   "pc",     "phone",   "video",  "boost", "loopback",
    "input",    "sidetone", "monitor", "iec958", "bass",  "treble", "3d",   "tone",
    "surround", "center",  "lfe",    "clfe",   "side",    "rear"};

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

// "Line Out" and "<maker> Output" are outputs whatever else their names say.
bool AlsaIsListenerOutput(const std::string& name) {
    bool output = true;
    std::string word;
    for (std::size_t i = 0; i <= name.size(); ++i) {
        const unsigned char c = i < name.size() ? static_cast<unsigned char>(name[i]) : ' ';
        if (std::isalnum(c)) {
            word += static_cast<char>(std::tolower(c));
            continue;
        }
        if (word == "out" || word == "output") return true;
        if (word.find("mic") != std::string::npos ||
            std::find(std::begin(kNotOutputs), std::end(kNotOutputs), word) != std::end(kNotOutputs))
            output = false;
        word.clear();
    }
    return output;
}

std::vector<AlsaLineElement> AlsaLineElements(DWORD componentType, const AlsaCatalogue& catalogue) {
    for (const char* name : AlsaElementNamesFor(componentType))
        for (const AlsaElementEntry& element : catalogue) {
            if (element.index != 0 || element.name != name) continue;
            if (auto capture =
                    AlsaLineDirection(name, element.playbackVolume, element.captureVolume))
                return {{{element.name, element.index, *capture},
                         *capture ? element.captureChannels : element.playbackChannels}};
        }
    if (componentType != MIXERLINE_COMPONENTTYPE_DST_SPEAKERS) return {};
    std::vector<AlsaLineElement> outputs;
    for (const AlsaElementEntry& element : catalogue)
        if (element.playbackVolume && AlsaIsListenerOutput(element.name))
            outputs.push_back({{element.name, element.index, false}, element.playbackChannels});
    if (!outputs.empty()) return outputs;
    // Without any output of its own, what plays is as loud as the stream.
    for (const AlsaElementEntry& element : catalogue)
        if (element.index == 0 && element.name == "PCM" && element.playbackVolume)
            return {{{element.name, 0, false}, element.playbackChannels}};
    return {};
}
