// The soak: a long, seeded random sequence of user actions over the six
// sliders of the window on the virtual card. After every action each line of
// the card holds exactly the level of its slider's position. The process's
// private memory is sampled along the way; on a long run it must stay flat
// once warmed up.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "tests/integration/counting_window.h"
#include "tests/integration/user_actions.h"

using integration::CardControl;
using integration::kSliders;

namespace {

// Ranges of several kinds: small, wide, negative, stereo and mono.
const std::vector<CardControl> kControls = {
    {"Master Playback Volume", 2, 0, 87, 60},      {"PCM Playback Volume", 2, 0, 255, 200},
    {"Mic Playback Volume", 1, 0, 31, 8},          {"Line Playback Volume", 2, 0, 31, 12},
    {"CD Playback Volume", 2, -10, 10, 0},         {"Synth Playback Volume", 1, 0, 65535, 100},
};

long ActionsWanted() {
    const char* text = std::getenv("PEGELWERK_SOAK_ACTIONS");
    const long n = text ? std::atol(text) : 0;
    return n > 0 ? n : 10000;
}

// Runs below this many actions are too short for the memory to settle.
constexpr long kMemoryCheckedFrom = 100000;
// Growth allowed after the warm-up (the first quarter of the run).
constexpr long kMemoryToleranceKb = 2048;

}  // namespace

// ASan holds freed memory back until its quarantine is full (256 MB by
// default), which on a long run looks just like growth. A smaller quarantine
// fills within the warm-up, so what is sampled afterwards is the program's.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16"; }

TEST(Soak, EveryLineHoldsItsSlidersLevelAfterEveryUserAction) {
    const long actions = ActionsWanted();
    integration::CountingWindow w(kControls, kSliders);
    const auto& card = w.card;
    auto& lines = w.lines;
    ASSERT_TRUE(lines.Holds(card));
    integration::RandomUser user(lines.Sliders(), 20261207);

    const long sampleEvery = std::max(1L, actions / 40);
    std::vector<long> memoryKb;
    const auto start = std::chrono::steady_clock::now();
    for (long i = 1; i <= actions; ++i) {
        user.Act();
        ASSERT_TRUE(lines.Holds(card)) << "after action " << i;
        if (i % 256 == 0) QCoreApplication::processEvents();  // paints, as the event loop would
        if (i % sampleEvery == 0) memoryKb.push_back(integration::PrivateDirtyKb());
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(w.sound.requests.load(), lines.writingScrolls);
    EXPECT_GT(lines.scrolls, actions / 3) << "most actions should move a slider";

    std::printf("soak: %ld actions, %ld slider moves, %.1f s (%.3f ms per action)\n", actions,
                lines.scrolls, took.count(), 1000.0 * took.count() / actions);
    std::printf("soak: Private_Dirty kB every %ld actions:", sampleEvery);
    for (long kb : memoryKb) std::printf(" %ld", kb);
    std::printf("\n");
    if (actions >= kMemoryCheckedFrom && !memoryKb.empty() && memoryKb.front() >= 0) {
        const std::size_t warm = memoryKb.size() / 4;
        const long settled = memoryKb[warm];
        const long highest = *std::max_element(memoryKb.begin() + warm, memoryKb.end());
        std::printf("soak: after warm-up %ld kB, highest %ld kB, growth %ld kB\n", settled,
                    highest, highest - settled);
        EXPECT_LE(highest - settled, kMemoryToleranceKb) << "private memory keeps growing";
    }

    w.root.close();
    EXPECT_EQ(w.mixer.OpenCount(), 0u);
}
