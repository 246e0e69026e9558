// clsVolume: the mixer device, its six lines and their levels.
//
// Creating the object opens mixer device 0 and finds the volume control and
// range of each line; destroying it closes the device. Ranges are read once;
// every level read asks the mixer, every level write is clamped to the line's
// range first. Nothing here reports an error: failures yield 0 or are dropped.
#pragma once

#include <cstdint>
#include <vector>

#include "mixer/global_block.h"
#include "platform/message_box.h"
#include "platform/mixer_records.h"
#include "platform/mixer_service.h"

inline constexpr char kNoMixerPrompt[] = "Es wurde kein Mixer in Ihrem System gefunden !";

class clsVolume {
public:
    clsVolume(MixerService& service, MessageBoxService& messages);
    ~clsVolume();
    clsVolume(const clsVolume&) = delete;
    clsVolume& operator=(const clsVolume&) = delete;

    // Ranges, as the mixer reported them at creation.
    std::int32_t MinWaveVolume() const { return SpeakersMin; }
    std::int32_t MaxWaveVolume() const { return SpeakersMax; }
    std::int32_t MinMicVolume() const { return MicrophoneMin; }
    std::int32_t MaxMicVolume() const { return MicrophoneMax; }
    std::int32_t MinWavInVolume() const { return WaveOutMin; }
    std::int32_t MaxWavInVolume() const { return WaveOutMax; }
    std::int32_t MinMidVolume() const { return SynthesizerMin; }
    std::int32_t MaxMidVolume() const { return SynthesizerMax; }
    std::int32_t MinLineInVolume() const { return LineInMin; }
    std::int32_t MaxLineInVolume() const { return LineInMax; }
    std::int32_t MinCDVolume() const { return CompactDiscMin; }
    std::int32_t MaxCDVolume() const { return CompactDiscMax; }

    // Levels: WaveVolume is the master (speakers) line, WaveInVolume the
    // wave playback line.
    std::int32_t WaveVolume();
    std::int32_t MicroVolume();
    std::int32_t WaveInVolume();
    std::int32_t MidVolume();
    std::int32_t LineInVolume();
    std::int32_t CD_Volume();

    void WaveVolume(std::int32_t NewVolume);
    void MicroVolume(std::int32_t NewVolume);
    void WaveInVolume(std::int32_t NewVolume);
    void MidVolume(std::int32_t NewVolume);
    void LineInVolume(std::int32_t NewVolume);
    void CD_Volume(std::int32_t NewVolume);

    // The lines, named by their level properties, whose control moved to another
    // device since their level was last read: a sound server that answered late,
    // or came up after refusing. Their levels are worth reading again.
    enum class Line { WaveVolume, MicroVolume, WaveInVolume, MidVolume, LineInVolume, CD_Volume };
    std::vector<Line> MovedLines();

private:
    void Class_Initialize();
    void Class_Terminate();
    bool FindVolumeControl(HMIXER hmx, DWORD componentType, MIXERCONTROL& control);
    bool WriteControlLevel(const MIXERCONTROL& control, std::int32_t level);
    std::int32_t ReadControlLevel(const MIXERCONTROL& control);
    void PrepareControlDetails();
    void WriteClamped(const MIXERCONTROL& control, std::int32_t min, std::int32_t max,
                      std::int32_t NewVolume);

    MixerService& service_;
    MessageBoxService& messages_;

    HMIXER hMixer{};

    MIXERCONTROL SpeakersControl{};
    MIXERCONTROL MicrophoneControl{};
    MIXERCONTROL WaveOutControl{};
    MIXERCONTROL LineInControl{};
    MIXERCONTROL CompactDiscControl{};
    MIXERCONTROL SynthesizerControl{};

    std::int32_t SpeakersMin{};
    std::int32_t SpeakersMax{};
    std::int32_t MicrophoneMin{};
    std::int32_t MicrophoneMax{};
    std::int32_t WaveOutMin{};
    std::int32_t WaveOutMax{};
    std::int32_t LineInMin{};
    std::int32_t LineInMax{};
    std::int32_t CompactDiscMin{};
    std::int32_t CompactDiscMax{};
    std::int32_t SynthesizerMin{};
    std::int32_t SynthesizerMax{};

    MIXERLINE WorkLine{};
    MIXERCONTROL WorkControl{};
    MIXERCONTROLDETAILS WorkDetails{};
    MIXERLINECONTROLS WorkLineControls{};
    MIXERCONTROLDETAILS_UNSIGNED WorkValue{};
    GlobalBlock hBuffer;
    std::int32_t LastResult{};
};
