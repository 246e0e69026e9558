// A card's simple controls, as "amixer scontents" prints them, turned into the virtual card's
// element descriptions (see tests/vcard/write-config), every volume at its minimum so that a
// write shows. Enumerations are left out, and so are elements with an index other than 0 and
// names with '/' or ':': the virtual card keeps one control per name, in a file of that name.
#pragma once

#include <istream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

inline std::vector<std::string> AmixerElements(std::istream& in) {
    struct Range {
        std::string min, max;
    };
    std::vector<std::string> out;
    std::string name, caps;
    bool kept = false;
    long playbackChannels = 0, captureChannels = 0;
    Range playback, capture, common;
    const auto flush = [&] {
        if (!kept) return;
        std::istringstream words(caps);
        std::vector<std::string> list;
        for (std::string w; words >> w;) list.push_back(w);
        const auto has = [&](const std::string& cap) {
            for (const auto& w : list)
                if (w == cap) return true;
            return false;
        };
        // A joined capability is one value for all the element's channels.
        const auto channels = [&](const std::string& cap, long listed) {
            return std::to_string(has(cap + "-joined") ? 1 : listed);
        };
        const std::string p = name == "Capture" ? "" : name + " Playback ";
        const std::string c = name == "Capture" ? "Capture " : name + " Capture ";
        const auto volume = [&](const std::string& control, const std::string& n, Range r) {
            out.push_back(control + "Volume:" + n + ":" + r.min + ":" + r.max + ":" + r.min);
        };
        if (has("pvolume")) volume(p, channels("pvolume", playbackChannels), playback);
        if (has("cvolume")) volume(c, channels("cvolume", captureChannels), capture);
        const long anyChannels = playbackChannels ? playbackChannels : captureChannels;
        if (has("volume")) volume(name + " ", channels("volume", anyChannels), common);
        if (has("pswitch")) out.push_back(p + "Switch:" + channels("pswitch", playbackChannels) + ":switch");
        if (has("cswitch")) out.push_back(c + "Switch:" + channels("cswitch", captureChannels) + ":switch");
        if (has("switch")) out.push_back(name + " Switch:" + channels("switch", anyChannels) + ":switch");
    };
    // "Front Left - Front Right" is two channels, "Mono" one.
    const auto count = [](const std::string& list) {
        long n = 1;
        for (std::size_t at = 0; (at = list.find(" - ", at)) != std::string::npos; at += 3) ++n;
        return n;
    };
    for (std::string line; std::getline(in, line);) {
        line.erase(0, line.find_first_not_of(" \t\xC2\xA0"));  // no-break spaces, as some posts have
        const auto after = [&](const std::string& label) {
            return line.rfind(label, 0) == 0 ? std::optional(line.substr(label.size()))
                                             : std::nullopt;
        };
        if (auto rest = after("Simple mixer control '")) {
            flush();
            const auto quote = rest->rfind("',");
            name = rest->substr(0, quote);
            kept = rest->substr(quote + 2) == "0" && name.find_first_of("/:") == std::string::npos;
            caps.clear(), playbackChannels = captureChannels = 0;
            playback = capture = common = {};
        } else if (auto rest = after("Capabilities:")) {
            caps = *rest;
        } else if (auto rest = after("Playback channels: ")) {
            playbackChannels = count(*rest);
        } else if (auto rest = after("Capture channels: ")) {
            captureChannels = count(*rest);
        } else if (auto rest = after("Limits:")) {
            // "Playback 0 - 87", "Capture 0 - 63", "0 - 3", or both directions on one line
            std::istringstream words(*rest);
            Range* range = &common;
            for (std::string w, dash; words >> w;) {
                if (w == "Playback" || w == "Capture") {
                    range = w == "Playback" ? &playback : &capture;
                    continue;
                }
                range->min = w;
                words >> dash >> range->max;
            }
        }
    }
    flush();
    return out;
}

}  // namespace testing_support
