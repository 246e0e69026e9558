// The current values of the virtual card's controls. They live in a small
// text file, one "NAME=V1 V2 ..." line per control, read and written under
// flock so that every process using the card (the program, amixer) sees the
// same values. Without a file the values live in this object only.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "card_elements.h"

namespace vcard {

using CardValues = std::vector<std::vector<long>>;  // per control, per channel

class CardState {
public:
    CardState(std::string path, std::vector<CardElement> elements);

    const std::vector<CardElement>& Elements() const { return elements_; }

    // All values. A control the file lacks, or holds in a form that does not
    // fit, has its initial value. 0, or a negative errno.
    int Load(CardValues& values);

    // Replaces one control's values. `changed` tells whether they differ from
    // what was there. 0, or a negative errno.
    int Store(std::size_t index, const std::vector<long>& values, bool& changed);

private:
    CardValues Initial() const;
    void Parse(const std::string& text, CardValues& values) const;
    std::string Format(const CardValues& values) const;

    std::string path_;
    std::vector<CardElement> elements_;
    CardValues memory_;  // used when there is no file
};

}  // namespace vcard
