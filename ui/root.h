// Root: the program's one window. Six sliders drive six mixer lines through
// the one clsVolume object that the window owns from Form_Load until it
// closes; every user move of a slider sets its line and asks for a ding.
#pragma once

#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "mixer/cls_volume.h"
#include "platform/message_box.h"
#include "platform/mixer_service.h"
#include "platform/sound_service.h"

class Slider;

class Root : public QWidget, public MessageBoxService {
    Q_OBJECT

public:
    Root(MixerService& mixerService, SoundService& soundService, QWidget* parent = nullptr);
    ~Root() override;

    // Load event: runs once, before the window is first shown.
    void Form_Load();
    // Query-unload event: runs on every way of closing the window.
    void Form_QueryUnload(std::int16_t& Cancel, std::int16_t& UnloadMode);

    // The message box of the mixer layer: OK only, no icon, titled with the
    // application's name.
    std::int32_t MsgBox(const std::string& Prompt, std::int32_t Buttons) override;

    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void UpdateSliders();
    void ShowLevel(Slider* slider, std::int32_t level);
    void LinesMoved();
    void PlayFeedback();

    void RLautstärke_Scroll();
    void RMicrofon_Scroll();
    void RLineIn_Scroll();
    void RCDAudio_Scroll();
    void RMidi_Scroll();
    void RWave_Scroll();

    MixerService& mixerService_;
    SoundService& soundService_;
    std::unique_ptr<clsVolume> Mixer;
    bool placed_ = false;

    Slider* RLautstärke = nullptr;
    Slider* RMicrofon = nullptr;
    Slider* RLineIn = nullptr;
    Slider* RCDAudio = nullptr;
    Slider* RMidi = nullptr;
    Slider* RWave = nullptr;
};
