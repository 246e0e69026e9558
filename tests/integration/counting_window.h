// The window started on a virtual card made of the test's controls, over the
// real ALSA mixer service, with a sound service that only counts, every
// message box answered, and the lines' expectations following the sliders.
#pragma once

#include <vector>

#include "platform/alsa/alsa_mixer_service.h"
#include "tests/integration/line_expectations.h"
#include "tests/integration/window_on_card.h"

namespace integration {

struct CountingWindow {
    CountingWindow(const std::vector<CardControl>& controls,
                   const std::vector<SliderOnCard>& sliders,
                   testing_support::VirtualCardOptions options = {})
        : card(WithControls(std::move(options), controls)),
          root(mixer, sound),
          lines(root, controls, sliders) {
        Start(root);
    }

    testing_support::VirtualCard card;
    AlsaMixerService mixer;
    CountingSound sound;
    DialogCounter dialogs;
    Root root;
    LineExpectations lines;

private:
    static testing_support::VirtualCardOptions WithControls(
        testing_support::VirtualCardOptions options, const std::vector<CardControl>& controls) {
        options.elements = Descriptions(controls);
        return options;
    }
};

}  // namespace integration
