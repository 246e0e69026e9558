// The controls of the virtual sound card: what each one is called, how many
// channels it has, its range and its value when the card is new.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vcard {

struct CardElement {
    std::string name;  // the control's full name, e.g. "Master Playback Volume"
    bool isSwitch = false;
    unsigned channels = 1;
    long minimum = 0;
    long maximum = 0;
    long initial = 0;

    bool Accepts(long value) const { return value >= minimum && value <= maximum; }
};

// One control from its description "NAME:CHANNELS:MIN:MAX[:INITIAL]" or
// "NAME:CHANNELS:switch[:INITIAL]". A volume starts at its minimum and a switch
// on unless INITIAL says otherwise. Nothing for a malformed description.
std::optional<CardElement> ParseElement(const std::string& description);

// The descriptions of a built-in card: "full", "noline", "usb", "lineswitch",
// "odd" or "empty". Nothing for an unknown name.
std::optional<std::vector<std::string>> ProfileDescriptions(const std::string& profile);

}  // namespace vcard
