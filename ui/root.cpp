#include "ui/root.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWindow>
#include <tuple>

#include "ui/level_steps.h"
#include "ui/volume_slider.h"

namespace {
// The reasons a window closes, as the query-unload event reports them.
constexpr std::int16_t vbFormControlMenu = 0;  // the user, through the window system
constexpr std::int16_t vbFormCode = 1;         // the program
}  // namespace

Root::Root(MixerService& mixerService, SoundService& soundService, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      mixerService_(mixerService),
      soundService_(soundService) {
    BuildControls();
    connect(RLautstärke, &Slider::Scroll, this, [this] { RLautstärke_Scroll(); });
    connect(RMicrofon, &Slider::Scroll, this, [this] { RMicrofon_Scroll(); });
    connect(RLineIn, &Slider::Scroll, this, [this] { RLineIn_Scroll(); });
    connect(RCDAudio, &Slider::Scroll, this, [this] { RCDAudio_Scroll(); });
    connect(RMidi, &Slider::Scroll, this, [this] { RMidi_Scroll(); });
    connect(RWave, &Slider::Scroll, this, [this] { RWave_Scroll(); });
    mixerService_.mixerWatchMoves([this] {
        QMetaObject::invokeMethod(this, [this] { LinesMoved(); }, Qt::QueuedConnection);
    });
}

// A window destroyed without closing still releases the mixer.
Root::~Root() { mixerService_.mixerWatchMoves({}); }

void Root::Form_Load() {
    Mixer = std::make_unique<clsVolume>(mixerService_, *this);

    const std::int32_t ranges[] = {
        Mixer->MinWaveVolume(), Mixer->MaxWaveVolume(),   Mixer->MinMicVolume(),
        Mixer->MaxMicVolume(),  Mixer->MinLineInVolume(), Mixer->MaxLineInVolume(),
        Mixer->MinCDVolume(),   Mixer->MaxCDVolume(),     Mixer->MinMidVolume(),
        Mixer->MaxMidVolume(),  Mixer->MinWavInVolume(),  Mixer->MaxWavInVolume(),
    };
    Slider* const sliders[] = {RLautstärke, RMicrofon, RLineIn, RCDAudio, RMidi, RWave};
    for (int i = 0; i < 6; ++i) {
        sliders[i]->Min(PositionOfLevel(ranges[2 * i]));
        sliders[i]->Max(PositionOfLevel(ranges[2 * i + 1]));
    }

    UpdateSliders();
}

void Root::UpdateSliders() {
    const std::int32_t levels[] = {
        Mixer->WaveVolume(), Mixer->MicroVolume(), Mixer->LineInVolume(),
        Mixer->CD_Volume(),  Mixer->MidVolume(),   Mixer->WaveInVolume(),
    };
    Slider* const sliders[] = {RLautstärke, RMicrofon, RLineIn, RCDAudio, RMidi, RWave};
    for (int i = 0; i < 6; ++i) ShowLevel(sliders[i], levels[i]);
}

void Root::ShowLevel(Slider* slider, std::int32_t level) {
    // Compared unrounded: a level between two positions is always written.
    if (StepsOfLevel(level) == static_cast<double>(slider->Value())) return;
    slider->Value(PositionOfLevel(level));
}

// A line that moved to another device shows that device's level, as the start
// showed the first one's; the window still does not follow other programs.
void Root::LinesMoved() {
    if (!Mixer) return;
    using Line = clsVolume::Line;
    const std::tuple<Line, Slider*, std::int32_t (clsVolume::*)()> shown[] = {
        {Line::WaveVolume, RLautstärke, &clsVolume::WaveVolume},
        {Line::MicroVolume, RMicrofon, &clsVolume::MicroVolume},
        {Line::WaveInVolume, RWave, &clsVolume::WaveInVolume},
        {Line::MidVolume, RMidi, &clsVolume::MidVolume},
        {Line::LineInVolume, RLineIn, &clsVolume::LineInVolume},
        {Line::CD_Volume, RCDAudio, &clsVolume::CD_Volume}};
    for (Line line : Mixer->MovedLines())
        for (auto [which, slider, level] : shown)
            if (which == line) ShowLevel(slider, ((*Mixer).*level)());
}

void Root::Form_QueryUnload(std::int16_t& /*Cancel*/, std::int16_t& /*UnloadMode*/) {
    Mixer.reset();
}

void Root::closeEvent(QCloseEvent* event) {
    std::int16_t Cancel = 0;
    std::int16_t UnloadMode = event->spontaneous() ? vbFormControlMenu : vbFormCode;
    Form_QueryUnload(Cancel, UnloadMode);
    if (Cancel != 0) {
        event->ignore();
        return;
    }
    event->accept();
}

std::int32_t Root::MsgBox(const std::string& Prompt, std::int32_t /*Buttons*/) {
    // The mixer layer only ever asks for the OK-only style.
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(),
                    QString::fromStdString(Prompt), QMessageBox::Ok);
    box.setWindowIcon(windowIcon());  // the window's own, made once
    box.exec();
    return vbOK;
}

// Centred on the screen the first time it is shown. The frame counts where the
// window system tells its size before the window is shown. On X11 it never
// does: the frame comes with the window manager, once the window is mapped, and
// asking first would cost three round trips to the display server at start.
void Root::setVisible(bool visible) {
    if (visible && !placed_) {
        placed_ = true;
        if (const QScreen* screen = this->screen()) {
            if (QGuiApplication::platformName() != QLatin1String("xcb")) create();
            const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
            QRect outer(QPoint(0, 0), size().grownBy(frame));
            outer.moveCenter(screen->availableGeometry().center());
            // The client area: a window not created yet has no frame to place by.
            setGeometry(outer.marginsRemoved(frame));
        }
    }
    QWidget::setVisible(visible);
}

void Root::RLautstärke_Scroll() {
    const auto level = LevelOfPosition(RLautstärke->Value());
    if (!level || !Mixer) return;
    Mixer->WaveVolume(*level);
    PlayFeedback();
}

void Root::RMicrofon_Scroll() {
    const auto level = LevelOfPosition(RMicrofon->Value());
    if (!level || !Mixer) return;
    Mixer->MicroVolume(*level);
    PlayFeedback();
}

void Root::RLineIn_Scroll() {
    const auto level = LevelOfPosition(RLineIn->Value());
    if (!level || !Mixer) return;
    Mixer->LineInVolume(*level);
    PlayFeedback();
}

void Root::RCDAudio_Scroll() {
    const auto level = LevelOfPosition(RCDAudio->Value());
    if (!level || !Mixer) return;
    Mixer->CD_Volume(*level);
    PlayFeedback();
}

void Root::RMidi_Scroll() {
    const auto level = LevelOfPosition(RMidi->Value());
    if (!level || !Mixer) return;
    Mixer->MidVolume(*level);
    PlayFeedback();
}

void Root::RWave_Scroll() {
    const auto level = LevelOfPosition(RWave->Value());
    if (!level || !Mixer) return;
    Mixer->WaveInVolume(*level);
    PlayFeedback();
}

void Root::PlayFeedback() { soundService_.sndPlaySoundA("ding.wav", SND_ASYNC | SND_NOSTOP); }
