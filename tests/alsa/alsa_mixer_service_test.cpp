// The ALSA mixer service on the virtual sound card; what reached the card is
// read from the card's state, not through the service. Numbers worked out by hand.
#include "platform/alsa/alsa_mixer_service.h"

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <thread>
#include <tuple>

#include "platform/alsa/level_scaling.h"
#include "tests/support/mixer_client.h"
#include "tests/vcard/virtual_card.h"

namespace {

using testing_support::VirtualCard;
using Values = std::vector<long>;
constexpr DWORD kSpeakers = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
constexpr DWORD kWave = MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT;
constexpr DWORD kMic = MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
constexpr DWORD kLine = MIXERLINE_COMPONENTTYPE_SRC_LINE;
constexpr DWORD kCd = MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC;
constexpr DWORD kSynth = MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER;

TEST(LevelScaling, LevelsGoToTheNearestRawStepAndBack) {
    // raw range, level, LevelToRaw(level), RawToLevel of that
    const std::tuple<long, long, DWORD, long, DWORD> cases[] = {
        {0, 87, 30000, 40, 30131},  // 39.83 steps; 40 steps are 30131.03
        {10, 70, 0, 10, 0},
        {10, 70, 32768, 40, 32768},          // 30.0005 steps; 30 steps are 32767.5
        {-9000, -600, 30000, -5155, 29998},  // 3845.27 steps; 3845 steps are 29997.87
        {5, 6, 32767, 5, 0},                 // just below half the one step
        {5, 6, 32768, 6, 65535},             // just above
        {7, 7, 40000, 7, 0},                 // a single value
        {LONG_MIN, LONG_MAX, 65535, LONG_MAX, 65535},
    };
    for (auto [min, max, level, raw, levelOfRaw] : cases) {
        EXPECT_EQ(LevelToRaw(level, min, max), raw) << min << ".." << max;
        EXPECT_EQ(RawToLevel(raw, min, max), levelOfRaw) << min << ".." << max;
    }
    EXPECT_EQ(RawToLevel(0, LONG_MIN, LONG_MAX), 32768u);  // 32767.5000076
}

using namespace std::chrono_literals;

using Mixer = testing_support::MixerClient;
using testing_support::Eventually;

std::string Volume(const char* name) { return name + std::string(" Playback Volume:2:0:9:3"); }
const testing_support::VirtualCardOptions kServer{
    .serverElements = {"Master Playback Volume:2:0:65536:32768", "Capture Volume:1:0:65536:100"}};
long OpenFds() { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); }

TEST(AlsaMixerService, EachLineTakesTheFirstOfItsNamesTheCardHas) {
    const std::string capture = "Capture Volume:2:0:9:3";
    const std::tuple<std::vector<std::string>, DWORD, std::string> cases[] = {
        {{Volume("Wave"), Volume("PCM")}, kWave, "PCM"},
        {{capture, Volume("Internal Mic"), Volume("Front Mic"), Volume("Mic")}, kMic, "Mic"},
        {{capture, Volume("Internal Mic"), Volume("Front Mic")}, kMic, "Front Mic"},
        {{capture, Volume("Internal Mic")}, kMic, "Internal Mic"},
        {{Volume("FM"), Volume("MIDI"), Volume("Synth")}, kSynth, "Synth"},
        {{Volume("FM"), Volume("MIDI")}, kSynth, "MIDI"},
        {{Volume("Aux"), Volume("CD")}, kLine, ""},  // the auxiliary line only when asked for
        {{Volume("Aux"), Volume("CD")}, MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY, "Aux"},
        {{Volume("Aux"), Volume("CD")}, kCd, "CD"},
        // A switch alone, or a volume the other way, is no line: the search goes on.
        {{"Master Playback Switch:2:switch", Volume("Speaker")}, kSpeakers, "Speaker"},
        {{"Mic Capture Switch:1:switch", capture}, kMic, "Capture"},
        {{"Master Capture Volume:2:0:9:3", Volume("Speaker")}, kSpeakers, "Speaker"},
    };
    for (const auto& [elements, type, name] : cases) {
        VirtualCard card({.elements = elements});
        EXPECT_EQ(Mixer().Line(type).first, name) << elements.back();
    }
    // Without "Master", master is every output, and shows the loudest of them.
    VirtualCard card(
        {.elements = {"Speaker Playback Volume:2:0:9:8", "Headphone Playback Volume:2:0:31:20",
                      "Front Playback Volume:1:0:9:1", Volume("Surround")}});
    Mixer m;
    const auto [names, master] = m.Line(kSpeakers);
    EXPECT_EQ(names, "Headphone, Speaker, Front");
    EXPECT_EQ(m.Read(master), 58253u);  // Speaker: 8 * 65535 / 9 = 58253.3; Headphone 20 of 31
}

// Runs before the other tests here that make the service log.
TEST(AlsaMixerService, FailuresAreLoggedOncePerKindAndNothingStaysOpen) {
    VirtualCard card({.failWritesAfter = 0});
    const long before = OpenFds();
    for (int i = 0; i < 20; ++i) EXPECT_EQ(Mixer().opened, MMSYSERR_NOERROR);
    EXPECT_EQ(OpenFds(), before);
    Mixer m;
    // default and sysdefault, one card here, opened once: its state folder and its change watch
    EXPECT_EQ(OpenFds(), before + 2);
    testing::internal::CaptureStderr();
    const DWORD master = m.Line(kSpeakers).second;
    for (DWORD level : {0, 30000, 65535}) {
        EXPECT_EQ(m.Write(master, level), MMSYSERR_NOERROR);  // handed over
        EXPECT_EQ(m.Read(master), std::nullopt);  // the device is opened afresh meanwhile
    }
    EXPECT_EQ(card.Raw("Master Playback Volume"), Values({60, 60}));
    card.Unplug();
    for (int i = 0; i < 2; ++i) EXPECT_EQ(Mixer(100ms).opened, MMSYSERR_NODRIVER);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "pegelwerk: the mixer device default stopped answering; its lines take their last "
              "levels when it is back\n"
              "pegelwerk: a mixer line refused a write: Input/output error\n"
              "pegelwerk: no mixer: No such device\n");
    EXPECT_EQ(m.Read(master), std::nullopt);
    EXPECT_EQ(m.Line(kWave).second, 0u);
    EXPECT_EQ(m.service.mixerClose(m.handle), MMSYSERR_NOERROR);
    EXPECT_EQ(OpenFds(), before);
}

// A sound server keeps master and the microphone, and the card serves the rest. While the server
// is still opening (it hangs, or it answers without its defaults yet), its lines wait for it: a
// move is dropped, never set on the card, and once it answers they are told as moved and read
// from it. A move writes its line's one volume control: what another program set since (a mute,
// the other direction's volume) stays as it is, and a level it set is seen and moved from.
TEST(AlsaMixerService, AMoveWritesItsOwnVolumeOnTheSoundServerOrTheCard) {
    VirtualCard card(
        {.elements = {"Master Playback Volume:2:0:87:60", "Mic Playback Volume:1:0:31:8",
                      "PCM Playback Volume:2:0:255:200", "Line Playback Volume:2:0:31:12",
                      "Line Playback Switch:2:switch", "Line Capture Volume:2:0:63:40",
                      "Line Capture Switch:2:switch", "CD Playback Volume:2:0:31:20",
                      "Synth Playback Volume:2:0:31:24"},
         .serverElements = kServer.serverElements});
    std::optional<Mixer> opened;
    for (bool hung : {false, true}) {  // answering without its defaults, or not at all
        hung ? card.Hang(true, true) : card.Bare(true, true);
        Mixer& m = opened.emplace();
        const DWORD master = m.Line(kSpeakers).second, mic = m.Line(kMic).second;
        EXPECT_EQ(m.Write(master, 0), MMSYSERR_ERROR);
        EXPECT_EQ(m.Read(master), std::nullopt);
        EXPECT_EQ(m.Read(mic), std::nullopt);
        EXPECT_EQ(m.Read(m.Line(kLine).second), 25368u);  // the card goes on: 12 * 65535 / 31
        EXPECT_EQ(m.service.mixerMovedControls(m.handle), std::vector<DWORD>{});
        hung ? card.Hang(false, true) : card.Bare(false, true);
        ASSERT_TRUE(Eventually([&] {
            return m.service.mixerMovedControls(m.handle) == std::vector<DWORD>{master, mic};
        })) << hung;
        EXPECT_EQ(m.Read(master), 32768u);  // 32768 * 65535 / 65536 = 32767.5
        EXPECT_EQ(m.service.mixerMovedControls(m.handle), std::vector<DWORD>{mic});
        EXPECT_EQ(m.Read(mic), 100u);  // 100 * 65535 / 65536 = 99.998
    }
    Mixer& m = *opened;
    const DWORD line = m.Line(kLine).second;
    // line, the control a move to the top reaches, on the server's card, its values then
    const std::tuple<DWORD, const char*, bool, Values> lines[] = {
        {kSpeakers, "Master Playback Volume", true, {65536, 65536}},
        {kMic, "Capture Volume", true, {65536}},
        {kWave, "PCM Playback Volume", false, {255, 255}},
        {kLine, "Line Playback Volume", false, {31, 31}},
        {kCd, "CD Playback Volume", false, {31, 31}},
        {kSynth, "Synth Playback Volume", false, {31, 31}}};
    for (auto [type, control, server, values] : lines) {
        EXPECT_EQ(m.Write(m.Line(type).second, 65535), MMSYSERR_NOERROR) << control;
        EXPECT_EQ(m.Read(m.Line(type).second), 65535u) << control;  // applied before the read
        EXPECT_EQ(card.Raw(control, server), values) << control;
    }
    EXPECT_EQ(card.Raw("Master Playback Volume"), Values({60, 60}));  // the card's own: never
    EXPECT_EQ(card.Raw("Mic Playback Volume"), Values({8}));
    // Another program mutes the line both ways and sets its capture volume: a move keeps them.
    for (const char* set :
         {"'Line Playback Switch' off", "'Line Capture Switch' off", "'Line Capture Volume' 50"})
        ASSERT_EQ(card.Amixer(std::string("-D sysdefault cset name=") + set), 0);
    EXPECT_EQ(m.Write(line, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(m.Read(line), 0u);
    for (const char* control : {"Line Playback Switch", "Line Capture Switch"})
        EXPECT_EQ(card.Raw(control), Values({0, 0})) << control;
    EXPECT_EQ(card.Raw("Line Capture Volume"), Values({50, 50}));
    // A level set from outside is seen, and the level written before still reaches the card.
    ASSERT_EQ(card.Amixer("-D sysdefault cset name='Line Playback Volume' 9,3"), 0);
    EXPECT_EQ(m.Read(line), 19026u);  // the louder channel: 9 * 65535 / 31 = 19026.29
    EXPECT_EQ(m.Write(line, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(m.Read(line), 0u);
    EXPECT_EQ(card.Raw("Line Playback Volume"), Values({0, 0}));
    card.Unplug();  // without the card, the lines the server lacks stay empty
    EXPECT_EQ(Mixer().Line(kSpeakers).first, "Master");
    EXPECT_EQ(Mixer().Line(kLine).first, "");
}

// A sound server not running yet leaves master and the microphone on the card; it is tried
// again, and once it runs they move to it. A card still coming up at the start is waited for.
TEST(AlsaMixerService, AServerThatComesLaterTakesItsLinesAndALateCardIsWaitedFor) {
    {
        VirtualCard card(kServer);
        card.Unplug(true);
        Mixer m;
        const DWORD master = m.Line(kSpeakers).second;
        EXPECT_EQ(m.Read(master), 45197u);  // the card's: 60 * 65535 / 87 = 45196.55
        EXPECT_EQ(m.Write(master, 0), MMSYSERR_NOERROR);
        EXPECT_TRUE(Eventually([&] { return card.Raw("Master Playback Volume") == Values{0, 0}; }));
        card.ReplugServer();
        ASSERT_TRUE(Eventually(
            [&] { return m.service.mixerMovedControls(m.handle) == std::vector<DWORD>{master}; }));
        EXPECT_EQ(m.Read(master), 32768u);  // the server's: 32768 * 65535 / 65536 = 32767.5
        EXPECT_EQ(m.Write(master, 65535), MMSYSERR_NOERROR);
        EXPECT_EQ(m.Read(master), 65535u);
        EXPECT_EQ(card.Raw("Master Playback Volume", true), Values({65536, 65536}));
        EXPECT_EQ(card.Raw("Master Playback Volume"), Values({0, 0}));
    }
    VirtualCard card;
    card.Unplug();
    std::thread replug([&] {
        std::this_thread::sleep_for(700ms);
        card.Replug();
    });
    Mixer late;
    replug.join();
    EXPECT_EQ(late.opened, MMSYSERR_NOERROR);
    EXPECT_EQ(late.Line(kSpeakers).first, "Master");
}

// The reads at start take the levels the device's thread read as it opened the device, without
// waiting for it: they are answered while the card hangs. A level another program set since is
// read from the card.
TEST(AlsaMixerService, TheStartsReadsTakeTheLevelsReadAtOpenUnlessOneChangedSince) {
    VirtualCard card({.elements = {"Master Playback Volume:2:0:87:60"}});
    Mixer m;
    card.Hang(true);
    const DWORD master = m.Line(kSpeakers).second;
    EXPECT_NE(master, 0u);
    EXPECT_EQ(m.Read(master), 45197u);  // 60 * 65535 / 87 = 45196.55
    card.Hang(false);
    ASSERT_EQ(card.Amixer("-D sysdefault cset name='Master Playback Volume' 30,20"), 0);
    EXPECT_EQ(m.Read(master), 22598u);  // the louder channel: 30 * 65535 / 87 = 22598.28
}

const std::string kStopped =
    "pegelwerk: the mixer device default stopped answering; its lines take their last levels "
    "when it is back\n";
const std::string kBack = "pegelwerk: the mixer device default answers again\n";

// A sound server that hangs: moves are still taken, the card's lines go on, and when the
// server answers again its line takes the last level handed over, with no further move, also
// when the mixer was closed meanwhile.
TEST(AlsaMixerService, AStuckServerTakesTheLastLevelWhenItAnswersAndTheCardGoesOn) {
    for (bool close : {false, true}) {
        VirtualCard card(kServer);
        std::optional<Mixer> m(std::in_place);
        const DWORD master = m->Line(kSpeakers).second, line = m->Line(kLine).second;
        if (!close) testing::internal::CaptureStderr();
        card.Hang(true, true);
        EXPECT_EQ(m->Write(master, 0), MMSYSERR_NOERROR);
        EXPECT_EQ(m->Read(master), std::nullopt);  // stuck on that write past the deadline
        for (DWORD level : {13107, 65535, 39321})
            EXPECT_EQ(m->Write(master, level), MMSYSERR_NOERROR);
        if (close) {
            m.reset();
        } else {
            EXPECT_EQ(m->Write(line, 65535), MMSYSERR_NOERROR);
            EXPECT_TRUE(Eventually([&] {
                return card.Raw("Line Playback Volume") == Values{31, 31};
            }));
        }
        card.Hang(false, true);
        // 39321 of 65535 is 0.6, 39321.6 of 65536 raw steps: 39322
        EXPECT_TRUE(Eventually([&] {
            return card.Raw("Master Playback Volume", true) == Values({39322, 39322});
        }));
        if (close) continue;
        EXPECT_EQ(m->Read(master), 39321u);  // 39322 * 65535 / 65536 = 39321.4
        EXPECT_EQ(testing::internal::GetCapturedStderr(), kStopped + kBack);
    }
}

const AlsaLineKey kServerMaster{"Master", 0, false}, kServerCapture{"Capture", 0, true};

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// A write the device refuses (a sound server back without its defaults yet), or that tells of a
// lost connection, has the device opened afresh, no more than once each 250 ms, until a write
// lands: it stopped answering once, and answers again once, when the write went through. A
// server that comes back listing no volumes at first is opened again until it lists them.
TEST(AlsaDeviceLink, ARefusedOrLostWriteReopensFourTimesASecondAtMostUntilOneLands) {
    for (int error : {EINVAL, EPIPE}) {
        VirtualCard card(kServer);
        testing::internal::CaptureStderr();
        AlsaDeviceLink link("default", 500ms, 2s);
        ASSERT_EQ(link.AwaitFirstOpen(), 0);
        card.RefuseWrites(error, true);
        link.Write(kServerMaster, 0);
        std::this_thread::sleep_for(2s);
        // the open at the start, and one each 250 ms over the 2 s at most
        EXPECT_LE(card.Opens(true).size(), 10u) << error;
        EXPECT_TRUE(Eventually([&] { return card.Opens(true).size() >= 3; })) << error;
        card.RefuseWrites(0, true);
        EXPECT_TRUE(Eventually([&] {
            return card.Raw("Master Playback Volume", true) == Values({0, 0});
        }));
        EXPECT_TRUE(link.Ask([](AlsaMixerDevice&) {}));
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(Count(log, "stopped answering"), 1u) << log;
        EXPECT_EQ(Count(log, "answers again"), 1u) << log;
        EXPECT_TRUE(log.ends_with(kBack)) << log;
    }
    VirtualCard card(kServer);
    AlsaDeviceLink link("default", 500ms, 2s, {}, {}, [] {
        return std::vector<AlsaLineKey>{kServerMaster, kServerCapture};
    });
    ASSERT_EQ(link.AwaitFirstOpen(), 0);
    card.Unplug(true);
    card.Bare(true, true);
    link.Write(kServerMaster, 0);
    ASSERT_TRUE(Eventually([&] { return card.Opens(true).size() >= 2; }));  // the loss was seen
    card.ReplugServer();
    const std::size_t opens = card.Opens(true).size();
    ASSERT_TRUE(Eventually([&] { return card.Opens(true).size() >= opens + 2; }));
    EXPECT_EQ(card.Raw("Master Playback Volume", true), Values({32768, 32768}));
    card.Bare(false, true);
    EXPECT_TRUE(Eventually([&] {
        return card.Raw("Master Playback Volume", true) == Values({0, 0});
    }));
}

// A sound server's control plugin that waits for good for a reply from a server that is gone: the
// stuck call is given up, and with no further move a fresh open on another thread applies the
// pending levels, the stuck write's among them unless a newer one for its line came. The thread
// left behind, once it returns, closes its device and leaves without applying or reporting. A
// write that returns at once telling of the lost connection is tried again on a fresh open.
TEST(AlsaDeviceLink, ACallStuckForGoodIsGivenUpAndAFreshOpenAppliesTheLevels) {
    // returns at once, moves while Capture's write of 13107 is stuck (0.2 of 65535: raw 13107.2),
    // Capture and Master then: 52428 is 0.8, raw 52428.8 -> 52429; 26214 is 0.4, raw 26214.4
    const std::tuple<bool, std::vector<std::pair<AlsaLineKey, DWORD>>, long, long> cases[] = {
        {false, {{kServerMaster, 0}, {kServerMaster, 52428}}, 13107, 52429},
        {false, {{kServerMaster, 26214}, {kServerCapture, 52428}}, 52429, 26214},
        {true, {{kServerMaster, 26214}}, 13107, 26214},
    };
    for (const auto& [returns, moves, capture, master] : cases) {
        VirtualCard card(kServer);
        testing::internal::CaptureStderr();
        const long fds = OpenFds();
        AlsaDeviceLink link("default", 500ms, returns ? 10s : 500ms);
        ASSERT_EQ(link.AwaitFirstOpen(), 0);
        card.HangOpened(true);
        link.Write(kServerCapture, 13107);
        ASSERT_TRUE(Eventually([&] { return card.Held(true); }));  // stuck in that write
        for (const auto& [line, level] : moves) link.Write(line, level);
        if (returns) card.Hang(false, true);
        EXPECT_TRUE(Eventually([&] {
            return card.Raw("Capture Volume", true) == Values({capture}) &&
                   card.Raw("Master Playback Volume", true) == Values({master, master});
        }));
        const std::vector<long> opens = card.Opens(true);
        ASSERT_GE(opens.size(), 2u);  // more where a write held on a busy machine is made again
        EXPECT_TRUE(returns || opens[1] != opens[0]);
        EXPECT_NE(opens[1], ::syscall(SYS_gettid));
        card.Hang(false, true);  // the stuck write returns, failing
        EXPECT_TRUE(
            Eventually([&] { return OpenFds() == fds + 2; }));  // one open: state, change watch
        EXPECT_TRUE(link.Ask([](AlsaMixerDevice&) {}));  // after whatever was handed over since
        EXPECT_EQ(card.Raw("Capture Volume", true), Values({capture}));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), kStopped + kBack);
    }
}

// A write held by a hung server that reports success although it set nothing (the server was
// killed meanwhile) is made once more on a fresh open. Held less than the deadline, that is no
// word of a device that stopped answering, and a question asked meanwhile waits for it.
TEST(AlsaDeviceLink, AWriteAHungServerHeldIsMadeAgainOnAFreshOpen) {
    VirtualCard card(kServer);
    testing::internal::CaptureStderr();
    AlsaDeviceLink link("default", 5s, 10s);
    ASSERT_EQ(link.AwaitFirstOpen(), 0);
    card.HangOpened(true, true);
    link.Write(kServerMaster, 0);
    ASSERT_TRUE(Eventually([&] { return card.Held(true); }));
    std::thread release([&] {
        std::this_thread::sleep_for(100ms);
        card.Hang(false, true);
    });
    Values seen;
    EXPECT_TRUE(
        link.Ask([&](AlsaMixerDevice&) { seen = card.Raw("Master Playback Volume", true); }));
    release.join();
    EXPECT_EQ(seen, Values({0, 0}));
    EXPECT_EQ(card.Opens(true).size(), 2u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// A server frozen for good makes every fresh open hang too: the k-th call is given up no sooner
// than 50 ms x (2^k - 1) after the move (50, 150, 350 ms), and three are left behind at most.
TEST(AlsaDeviceLink, ThreadsLeftBehindAreFewAndEachWaitsTwiceAsLong) {
    VirtualCard card(kServer);
    const long fds = OpenFds();
    AlsaDeviceLink link("default", 500ms, 50ms);
    ASSERT_EQ(link.AwaitFirstOpen(), 0);
    // On a busy machine the open itself may take longer than 50 ms and be given up: the
    // count starts once the device answers a call and no other thread holds it open.
    ASSERT_TRUE(Eventually([&] { return link.Ask([](AlsaMixerDevice&) {}); }));
    ASSERT_TRUE(Eventually([&] { return OpenFds() == fds + 2; }));
    const std::size_t before = card.Opens(true).size();
    const auto start = std::chrono::steady_clock::now();
    card.Hang(true, true);
    link.Write(kServerMaster, 0);
    std::size_t opens = 0;
    for (auto elapsed = 0ms; elapsed < 1s || (opens < 3 && elapsed < 10s);) {
        opens = card.Opens(true).size() - before;
        elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        ASSERT_LE(opens, 0u + (elapsed >= 50ms) + (elapsed >= 150ms) + (elapsed >= 350ms))
            << elapsed.count() << " ms";
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(opens, 3u);
    card.Hang(false, true);
    EXPECT_TRUE(Eventually([&] {
        return card.Raw("Master Playback Volume", true) == Values{0, 0};
    }));
    EXPECT_TRUE(Eventually([&] { return OpenFds() == fds + 2; }));  // one open: state, change watch
    // It answers again; on a busy machine a call may take longer than 50 ms and be given up.
    EXPECT_TRUE(Eventually([&] { return link.Ask([](AlsaMixerDevice&) {}); }));
}

// A card pulled and plugged back in as another card: the device is opened again on its own
// thread, a few times a second at most; each line takes its last level by name and direction,
// and no other control is written.
TEST(AlsaMixerService, AReplugReopensAndEachLineTakesItsLastLevelOnItsOwnControlOnly) {
    VirtualCard card;
    Mixer m;
    const DWORD lines[] = {m.Line(kSpeakers).second, m.Line(kWave).second, m.Line(kMic).second};
    testing::internal::CaptureStderr();
    const auto unplugged = std::chrono::steady_clock::now();
    card.Unplug();
    for (DWORD control : lines) EXPECT_EQ(m.Write(control, 0), MMSYSERR_NOERROR);
    ASSERT_TRUE(Eventually([&] { return card.Opens().size() >= 4; }));  // at start, and 3 tries
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - unplugged;
    EXPECT_LE(card.Opens().size(), 3 + 10 * seconds.count());  // four tries a second, and room
    for (DWORD control : lines) EXPECT_EQ(m.Write(control, 65535), MMSYSERR_NOERROR);
    // Master has lost its volume, the microphone its playback volume; the order is new.
    card.Replug({"Synth Playback Volume:2:0:31:24", "Mic Capture Volume:1:0:63:40",
                 "PCM Playback Volume:2:0:255:200", "Master Playback Switch:2:switch",
                 "CD Playback Volume:2:0:31:20"});
    EXPECT_TRUE(Eventually([&] { return card.Raw("PCM Playback Volume") == Values({255, 255}); }));
    EXPECT_EQ(m.Read(lines[1]), 65535u);  // every pending level was tried before this
    const std::pair<const char*, Values> untouched[] = {{"Synth Playback Volume", {24, 24}},
                                                        {"Mic Capture Volume", {40}},
                                                        {"Master Playback Switch", {1, 1}},
                                                        {"CD Playback Volume", {20, 20}}};
    for (const auto& [control, values] : untouched) EXPECT_EQ(card.Raw(control), values) << control;
    for (long opener : card.Opens()) EXPECT_NE(opener, ::syscall(SYS_gettid));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), kStopped + kBack);
}

}  // namespace
