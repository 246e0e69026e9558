#include "card_elements.h"

#include <cerrno>
#include <cstdlib>
#include <map>

namespace vcard {
namespace {

std::vector<std::string> SplitFields(const std::string& text) {
    std::vector<std::string> fields;
    std::string::size_type start = 0;
    for (;;) {
        auto colon = text.find(':', start);
        fields.push_back(text.substr(start, colon - start));
        if (colon == std::string::npos) return fields;
        start = colon + 1;
    }
}

std::optional<long> ParseNumber(const std::string& text) {
    if (text.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return std::nullopt;
    return value;
}

// Shared by several cards.
const char* const kMaster = "Master Playback Volume:2:0:87:60";
const char* const kMasterSwitch = "Master Playback Switch:2:switch";
const char* const kPcm = "PCM Playback Volume:2:0:255:200";
const char* const kMicPlayback = "Mic Playback Volume:1:0:31:8";
const char* const kMicCapture = "Mic Capture Volume:1:0:63:40";
const char* const kLine = "Line Playback Volume:2:0:31:12";
const char* const kAux = "Aux Playback Volume:2:0:15:5";
const char* const kCd = "CD Playback Volume:2:0:31:20";
const char* const kSynth = "Synth Playback Volume:2:0:31:24";

const std::map<std::string, std::vector<std::string>>& Profiles() {
    static const std::map<std::string, std::vector<std::string>> profiles = {
        // Every line the program knows, and an auxiliary input beside the line input.
        {"full", {kMaster, kMasterSwitch, kPcm, kMicPlayback, kMicCapture, kLine, kAux, kCd,
                  kSynth}},
        // An auxiliary input but no line input.
        {"noline", {kMaster, kMasterSwitch, kPcm, kMicPlayback, kMicCapture, kAux, kCd, kSynth}},
        // A USB headset: one wide mono volume, a microphone that only records.
        {"usb", {"Master Playback Volume:1:0:65535:32768", "Master Playback Switch:1:switch",
                 "Mic Capture Volume:1:0:16:8", "Mic Capture Switch:1:switch"}},
        // The line input can only be switched on and off; no auxiliary input.
        {"lineswitch", {kMaster, kMasterSwitch, kPcm, kMicPlayback, kMicCapture,
                        "Line Playback Switch:2:switch", kCd, kSynth}},
        // Ranges that do not start at 0, a single step, and a microphone that
        // is only the card's capture control.
        {"odd", {"Master Playback Volume:2:10:70:40", "PCM Playback Volume:2:5:6:5",
                 "Capture Volume:2:0:63:20", "CD Playback Volume:2:-10:10:0",
                 "Synth Playback Volume:1:1:2:2"}},
        // A card with no control the program knows.
        {"empty", {"Headphone Playback Switch:2:switch"}},
    };
    return profiles;
}

}  // namespace

std::optional<CardElement> ParseElement(const std::string& description) {
    auto fields = SplitFields(description);
    if (fields.size() < 3 || fields[0].empty()) return std::nullopt;
    CardElement element;
    element.name = fields[0];
    auto channels = ParseNumber(fields[1]);
    if (!channels || *channels < 1 || *channels > 8) return std::nullopt;
    element.channels = static_cast<unsigned>(*channels);
    std::size_t next;
    if (fields[2] == "switch") {
        element.isSwitch = true;
        element.minimum = 0;
        element.maximum = 1;
        element.initial = 1;
        next = 3;
    } else {
        if (fields.size() < 4) return std::nullopt;
        auto minimum = ParseNumber(fields[2]);
        auto maximum = ParseNumber(fields[3]);
        if (!minimum || !maximum || *minimum > *maximum) return std::nullopt;
        element.minimum = *minimum;
        element.maximum = *maximum;
        element.initial = *minimum;
        next = 4;
    }
    if (fields.size() > next + 1) return std::nullopt;
    if (fields.size() == next + 1) {
        auto initial = ParseNumber(fields[next]);
        if (!initial || !element.Accepts(*initial)) return std::nullopt;
        element.initial = *initial;
    }
    return element;
}

std::optional<std::vector<std::string>> ProfileDescriptions(const std::string& profile) {
    auto it = Profiles().find(profile);
    if (it == Profiles().end()) return std::nullopt;
    return it->second;
}

}  // namespace vcard
