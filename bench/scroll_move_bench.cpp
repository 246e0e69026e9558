// One slider move end to end inside the process, beside the floor: the
// master slider of Root takes a user step (the Scroll handler, clsVolume, the
// ALSA mixer service handing the level to the device's thread, and the ding
// request), once with a healthy card and once with master on a sound server
// that hangs. Beside them, the card write itself: a bare
// snd_mixer_selem_set_playback_volume_all of the same raw values to the same
// card (the floor, and how the service wrote before), and the service's write
// of the line's one volume control. The sound service is the real one with an
// output that plays in real time but makes no noise, so a move while the ding
// plays is dropped as in the program.
//
// Run: scroll_bench --benchmark_repetitions=9 --benchmark_report_aggregates_only
#include <alsa/asoundlib.h>
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "platform/alsa/alsa_mixer_device.h"
#include "platform/alsa/alsa_mixer_service.h"
#include "platform/sound/alsa_sound_service.h"
#include "tests/sound/paced_fake_sink.h"
#include "tests/vcard/virtual_card.h"
#include "ui/root.h"
#include "ui/volume_slider.h"

namespace {

// Positions 5 and 6 of the master: levels 30000 and 36000, raw 40 and 48 of 0..87.
constexpr long kRawAtFive = 40;
constexpr long kRawAtSix = 48;

struct Program {
    testing_support::VirtualCard card;
    AlsaMixerService mixer;
    std::unique_ptr<AlsaSoundService> sound;
    std::unique_ptr<Root> root;
    Slider* master = nullptr;

    explicit Program(const testing_support::VirtualCardOptions& options = {}) : card(options) {
        SoundServiceSetup setup = SoundServiceSetup::Standard();
        setup.makeSink =
            testing_support::PacedSinkFactory(std::make_shared<testing_support::SinkLog>());
        setup.searchDirectories = {std::filesystem::path(PEGELWERK_DING_WAV).parent_path()};
        sound = std::make_unique<AlsaSoundService>(std::move(setup));
        root = std::make_unique<Root>(mixer, *sound);
        root->Form_Load();
        master = root->findChild<Slider*>(QStringLiteral("RLautstärke"));
        master->Value(5);
    }
};

// Made on first use, gone before the application object; one at a time, as
// each card is the process's ALSA configuration.
std::unique_ptr<Program> program, frozen;

Program& TheProgram() {
    if (!program) program = std::make_unique<Program>();
    return *program;
}

void MoveToAndFro(benchmark::State& state, Slider* master) {
    master->Value(5);
    bool up = true;
    for (auto _ : state) {
        master->triggerAction(up ? QAbstractSlider::SliderSingleStepAdd
                                 : QAbstractSlider::SliderSingleStepSub);
        up = !up;
    }
    if (master->Value() != 5 && master->Value() != 6) state.SkipWithError("the slider ran off");
}

void BM_SliderMove(benchmark::State& state) { MoveToAndFro(state, TheProgram().master); }
BENCHMARK(BM_SliderMove);

void BM_OwnVolumeControlWrite(benchmark::State& state) {
    TheProgram();
    int error = 0;
    auto device = AlsaMixerDevice::Open("default", error);
    if (!device) return state.SkipWithError("cannot open the card");
    bool up = true;
    for (auto _ : state) {
        if (device->WriteVolume({"Master", 0, false}, up ? 36000 : 30000) < 0) {
            state.SkipWithError("write refused");
            break;
        }
        up = !up;
    }
}
BENCHMARK(BM_OwnVolumeControlWrite);

void BM_BareSetPlaybackVolumeAll(benchmark::State& state) {
    TheProgram();  // the same card, set up the same way
    snd_mixer_t* mixer = nullptr;
    if (snd_mixer_open(&mixer, 0) < 0 || snd_mixer_attach(mixer, "default") < 0 ||
        snd_mixer_selem_register(mixer, nullptr, nullptr) < 0 || snd_mixer_load(mixer) < 0) {
        state.SkipWithError("cannot open the card");
        if (mixer) snd_mixer_close(mixer);
        return;
    }
    snd_mixer_selem_id_t* id;
    snd_mixer_selem_id_alloca(&id);
    snd_mixer_selem_id_set_name(id, "Master");
    snd_mixer_elem_t* master = snd_mixer_find_selem(mixer, id);
    bool up = true;
    for (auto _ : state) {
        if (snd_mixer_selem_set_playback_volume_all(master, up ? kRawAtSix : kRawAtFive) < 0) {
            state.SkipWithError("write refused");
            break;
        }
        up = !up;
    }
    snd_mixer_close(mixer);
}
BENCHMARK(BM_BareSetPlaybackVolumeAll);

// Master on a sound server that hangs from the first move on.
void BM_SliderMoveServerFrozen(benchmark::State& state) {
    if (!frozen) {
        program.reset();
        frozen = std::make_unique<Program>(testing_support::VirtualCardOptions{
            .serverElements = {"Master Playback Volume:2:0:65536:32768"}});
        frozen->card.Hang(true, true);
    }
    MoveToAndFro(state, frozen->master);
}
BENCHMARK(BM_SliderMoveServerFrozen);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (frozen) frozen->card.Hang(false, true);
    frozen.reset();
    program.reset();
    return 0;
}
