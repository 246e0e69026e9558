// The virtual sound card itself: what clients see of it through alsa-lib
// (in this process) and through amixer (in another one).
#include <alsa/asoundlib.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/vcard/virtual_card.h"

namespace {

using testing_support::VirtualCard;
using testing_support::VirtualCardOptions;

// The card's "default" control device, opened in this process.
class Control {
public:
    Control() { error_ = snd_ctl_open(&ctl_, "default", 0); }
    ~Control() {
        if (ctl_) snd_ctl_close(ctl_);
    }
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    int OpenError() const { return error_; }
    snd_ctl_t* Handle() const { return ctl_; }

    // snd_ctl_elem_write's result for these values.
    int Write(const char* name, std::initializer_list<long> values) {
        snd_ctl_elem_value_t* v;
        snd_ctl_elem_value_alloca(&v);
        snd_ctl_elem_value_set_interface(v, SND_CTL_ELEM_IFACE_MIXER);
        snd_ctl_elem_value_set_name(v, name);
        unsigned i = 0;
        for (long x : values) snd_ctl_elem_value_set_integer(v, i++, x);
        return snd_ctl_elem_write(ctl_, v);
    }
    int Read(const char* name, long& first) {
        snd_ctl_elem_value_t* v;
        snd_ctl_elem_value_alloca(&v);
        snd_ctl_elem_value_set_interface(v, SND_CTL_ELEM_IFACE_MIXER);
        snd_ctl_elem_value_set_name(v, name);
        int err = snd_ctl_elem_read(ctl_, v);
        first = snd_ctl_elem_value_get_integer(v, 0);
        return err;
    }

private:
    snd_ctl_t* ctl_ = nullptr;
    int error_ = 0;
};

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(VirtualCardProfiles, AmixerSeesEachCardsControlsAndRanges) {
    {
        VirtualCard card("full");
        auto r = card.Amixer("scontents");
        ASSERT_EQ(r.status, 0) << r.output;
        for (const char* expected :
             {"'Master',0", "Limits: Playback 0 - 87", "'PCM',0", "Limits: Playback 0 - 255",
              "Limits: Playback 0 - 31 Capture 0 - 63", "'Line',0", "'Aux',0", "'CD',0",
              "'Synth',0", "pswitch"})
            EXPECT_NE(r.output.find(expected), std::string::npos) << expected << "\n" << r.output;
        EXPECT_EQ(card.Raw("Master Playback Volume"), (std::vector<long>{60, 60}));
        EXPECT_EQ(card.Raw("Master Playback Switch"), (std::vector<long>{1, 1}));
    }
    {
        VirtualCard card("usb");
        auto r = card.Amixer("scontents");
        ASSERT_EQ(r.status, 0) << r.output;
        EXPECT_NE(r.output.find("Limits: Playback 0 - 65535"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("Capabilities: cvolume cvolume-joined cswitch"), std::string::npos)
            << r.output;
        EXPECT_EQ(r.output.find("'PCM'"), std::string::npos);
    }
    {
        VirtualCard card("odd");
        auto r = card.Amixer("scontents");
        ASSERT_EQ(r.status, 0) << r.output;
        EXPECT_NE(r.output.find("Limits: Playback 10 - 70"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("Limits: Playback 5 - 6"), std::string::npos) << r.output;
        EXPECT_NE(r.output.find("'Capture',0"), std::string::npos) << r.output;
    }
}

TEST(VirtualCardProfiles, ControlsCanComeFromTheConfiguration) {
    VirtualCard card(VirtualCardOptions{
        .elements = {"Speaker Playback Volume:1:-5:5:-2", "Front Mic Capture Switch:2:switch:0"}});
    EXPECT_EQ(card.Raw("Speaker Playback Volume"), (std::vector<long>{-2}));
    EXPECT_EQ(card.Raw("Front Mic Capture Switch"), (std::vector<long>{0, 0}));
    EXPECT_TRUE(card.Raw("Master Playback Volume").empty());

    VirtualCard broken(VirtualCardOptions{.elements = {"Master Playback Volume:2:9:3"}});
    EXPECT_NE(broken.Amixer("scontents").status, 0);
}

TEST(VirtualCardValues, AreSharedBetweenProcessesThroughTheStateFile) {
    VirtualCard card("full");
    ASSERT_TRUE(card.SetRaw("PCM Playback Volume", {17, 230}));
    EXPECT_EQ(card.Raw("PCM Playback Volume"), (std::vector<long>{17, 230}));
    EXPECT_NE(ReadFile(card.StatePath()).find("PCM Playback Volume=17 230\n"), std::string::npos);

    Control ctl;
    ASSERT_EQ(ctl.OpenError(), 0);
    long value = 0;
    ASSERT_EQ(ctl.Read("PCM Playback Volume", value), 0);
    EXPECT_EQ(value, 17);
    ASSERT_GE(ctl.Write("CD Playback Volume", {3, 4}), 0);
    EXPECT_EQ(card.Raw("CD Playback Volume"), (std::vector<long>{3, 4}));
}

TEST(VirtualCardValues, WritesOutsideTheRangeAreRejectedAndChangesReported) {
    VirtualCard card("odd");
    Control ctl;
    ASSERT_EQ(ctl.OpenError(), 0);
    EXPECT_EQ(ctl.Write("Master Playback Volume", {71, 40}), -EINVAL);
    EXPECT_EQ(ctl.Write("Master Playback Volume", {40, 9}), -EINVAL);
    EXPECT_EQ(card.Raw("Master Playback Volume"), (std::vector<long>{40, 40}));
    EXPECT_EQ(ctl.Write("Master Playback Volume", {70, 10}), 1);  // changed
    EXPECT_EQ(ctl.Write("Master Playback Volume", {70, 10}), 0);  // the same again
    EXPECT_EQ(card.Raw("Master Playback Volume"), (std::vector<long>{70, 10}));
}

TEST(VirtualCardFailures, RefusesToOpenWhenToldTo) {
    VirtualCard card(VirtualCardOptions{.failOpen = true});
    Control ctl;
    EXPECT_LT(ctl.OpenError(), 0);
    EXPECT_NE(card.Amixer("scontents").status, 0);
}

TEST(VirtualCardFailures, WritesFailAfterTheirNumberIsUsedUp) {
    VirtualCard card(VirtualCardOptions{.failWritesAfter = 2});
    Control ctl;
    ASSERT_EQ(ctl.OpenError(), 0);
    EXPECT_GE(ctl.Write("Synth Playback Volume", {1, 1}), 0);
    EXPECT_GE(ctl.Write("Synth Playback Volume", {2, 2}), 0);
    EXPECT_EQ(ctl.Write("Synth Playback Volume", {3, 3}), -EIO);
    long value = 0;
    EXPECT_EQ(ctl.Read("Synth Playback Volume", value), 0);
    EXPECT_EQ(value, 2);
}

TEST(VirtualCardFailures, AnUnpluggedCardFailsEverythingUntilPluggedBackIn) {
    VirtualCard card("full");
    Control ctl;
    ASSERT_EQ(ctl.OpenError(), 0);
    card.Unplug();
    long value = 0;
    EXPECT_EQ(ctl.Read("Master Playback Volume", value), -ENODEV);
    EXPECT_EQ(ctl.Write("Master Playback Volume", {1, 1}), -ENODEV);
    snd_ctl_event_t* event;
    snd_ctl_event_alloca(&event);
    EXPECT_EQ(snd_ctl_read(ctl.Handle(), event), -ENODEV);
    EXPECT_NE(card.Amixer("scontents").status, 0);

    card.Replug();
    EXPECT_EQ(ctl.Read("Master Playback Volume", value), 0);
    EXPECT_EQ(value, 60);
}

TEST(VirtualCardEvents, ChangesByAnotherProcessWakeAndReachASubscriber) {
    VirtualCard card("full");
    Control ctl;
    ASSERT_EQ(ctl.OpenError(), 0);
    ASSERT_EQ(snd_ctl_subscribe_events(ctl.Handle(), 1), 0);
    ASSERT_EQ(snd_ctl_nonblock(ctl.Handle(), 1), 0);
    snd_ctl_event_t* event;
    snd_ctl_event_alloca(&event);
    EXPECT_EQ(snd_ctl_read(ctl.Handle(), event), -EAGAIN);

    ASSERT_TRUE(card.SetRaw("Line Playback Volume", {30, 31}));
    pollfd fds[4];
    int n = snd_ctl_poll_descriptors(ctl.Handle(), fds, 4);
    ASSERT_EQ(n, 1);
    EXPECT_EQ(poll(fds, 1, 2000), 1);

    ASSERT_EQ(snd_ctl_read(ctl.Handle(), event), 1);
    EXPECT_EQ(snd_ctl_event_get_type(event), SND_CTL_EVENT_ELEM);
    EXPECT_EQ(snd_ctl_event_elem_get_mask(event), SND_CTL_EVENT_MASK_VALUE);
    EXPECT_STREQ(snd_ctl_event_elem_get_name(event), "Line Playback Volume");
    EXPECT_EQ(snd_ctl_read(ctl.Handle(), event), -EAGAIN);
}

TEST(VirtualCardSound, TheDefaultPcmWritesAWavFileIntoTheCardsFolder) {
    VirtualCard card("full");
    snd_pcm_t* pcm = nullptr;
    ASSERT_EQ(snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0), 0);
    ASSERT_EQ(snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1,
                                 22050, 1, 100000),
              0);
    short frames[2205] = {};
    frames[7] = 1234;
    EXPECT_EQ(snd_pcm_writei(pcm, frames, 2205), 2205);
    snd_pcm_drain(pcm);
    snd_pcm_close(pcm);
    std::string wav = ReadFile(card.CapturePath());
    ASSERT_GE(wav.size(), 44u + 4410u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(8, 4), "WAVE");
}

// The shell command writes the same kind of configuration for scripts.
TEST(WriteConfigScript, WritesAConfigurationAmixerCanUse) {
    const char* script = std::getenv("PEGELWERK_VCARD_WRITE_CONFIG");
    if (!script) GTEST_SKIP() << "run through ctest, which names the script";
    VirtualCard card("full");  // for its temporary folder
    auto folder = card.Folder() / "script";
    std::string write = std::string(script) + " " + folder.string() + " usb > /dev/null";
    ASSERT_EQ(std::system(write.c_str()), 0);
    std::string amixer = "ALSA_CONFIG_PATH=" + (folder / "asound.conf").string() + " " +
                         PEGELWERK_AMIXER + " -D default sget Master > " +
                         (folder / "out").string() + " 2>&1";
    ASSERT_EQ(std::system(amixer.c_str()), 0);
    EXPECT_NE(ReadFile(folder / "out").find("Limits: Playback 0 - 65535"), std::string::npos)
        << ReadFile(folder / "out");

    std::string unknown = std::string(script) + " " + folder.string() + " nosuch 2> /dev/null";
    EXPECT_NE(std::system(unknown.c_str()), 0);
}

}  // namespace
