// A card's simple controls, as "amixer scontents" prints them, turned into the virtual card's
// element descriptions (see tests/vcard/write-config), every volume at its minimum so that a
// write shows. Enumerations are left out, and so are elements with an index other than 0 and
// names with '/' or ':': the virtual card keeps one control per name, in a file of that name.
#pragma once

#include <istream>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

inline std::vector<std::string> AmixerElements(std::istream& in) {
    std::vector<std::string> out;
    std::string name, caps, limits[3];  // playback, capture, both directions: "MIN:MAX"
    long channels[2] = {};              // playback, capture
    bool kept = false;
    const auto flush = [&] {
        if (!kept) return;
        const auto has = [&](const std::string& cap) {
            return caps.find(" " + cap + " ") != caps.npos;
        };
        // A joined capability is one value for all the element's channels.
        const auto add = [&](const std::string& control, const std::string& cap, long listed,
                             const std::string& range) {
            if (!has(cap)) return;
            const std::string n = std::to_string(has(cap + "-joined") ? 1 : listed);
            out.push_back(
                control + ":" + n + ":" +
                (range.empty() ? "switch" : range + ":" + range.substr(0, range.find(':'))));
        };
        const std::string p = name == "Capture" ? "" : name + " Playback ";
        const std::string c = name == "Capture" ? "Capture " : name + " Capture ";
        const long both = channels[0] ? channels[0] : channels[1];
        add(p + "Volume", "pvolume", channels[0], limits[0]);
        add(c + "Volume", "cvolume", channels[1], limits[1]);
        add(name + " Volume", "volume", both, limits[2]);
        add(p + "Switch", "pswitch", channels[0], "");
        add(c + "Switch", "cswitch", channels[1], "");
        add(name + " Switch", "switch", both, "");
    };
    for (std::string line; std::getline(in, line);) {
        // Some posts indent with no-break spaces.
        line.erase(0, line.find_first_not_of(" \t\xC2\xA0"));
        const auto rest = [&](const std::string& label) {
            return line.rfind(label, 0) == 0 ? line.substr(label.size()) + " " : "";
        };
        if (const auto element = rest("Simple mixer control '"); !element.empty()) {
            flush();
            name = element.substr(0, element.rfind("',"));
            kept = element.substr(name.size()) == "',0 " && name.find_first_of("/:") == name.npos;
            caps.clear(), limits[0] = limits[1] = limits[2] = "", channels[0] = channels[1] = 0;
        } else if (line.rfind("Capabilities:", 0) == 0) {
            caps = rest("Capabilities:");
        } else if (line.rfind("Playback channels: ", 0) == 0 ||
                   line.rfind("Capture channels: ", 0) == 0) {
            // "Front Left - Front Right" is two channels, "Mono" one.
            long& n = channels[line[0] == 'C'];
            n = 1;
            for (std::size_t at = 0; (at = line.find(" - ", at)) != line.npos; at += 3) ++n;
        } else if (line.rfind("Limits:", 0) == 0) {
            // "Playback 0 - 87", "Capture 0 - 63", "0 - 3", or both directions on one line
            std::istringstream words(rest("Limits:"));
            std::string* range = &limits[2];
            for (std::string w, dash, max; words >> w;) {
                if (w == "Playback" || w == "Capture")
                    range = &limits[w == "Capture"];
                else if (words >> dash >> max)
                    *range = w + ":" + max;
            }
        }
    }
    flush();
    return out;
}

}  // namespace testing_support
