#include "mixer/cls_volume.h"

#include <cstring>

clsVolume::clsVolume(MixerService& service, MessageBoxService& messages)
    : service_(service), messages_(messages) {
    Class_Initialize();
}

clsVolume::~clsVolume() { Class_Terminate(); }

void clsVolume::Class_Initialize() {
    LastResult = static_cast<std::int32_t>(service_.mixerOpen(&hMixer, 0, 0, 0, 0));
    if (LastResult != 0) {
        messages_.MsgBox(kNoMixerPrompt, vbOKOnly);
        return;
    }

    // Lookup order differs from member order on purpose: line-in comes last so
    // that the auxiliary line is only asked for when line-in is missing.
    if (FindVolumeControl(hMixer, MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, SpeakersControl)) {
        SpeakersMin = SpeakersControl.lMinimum;
        SpeakersMax = SpeakersControl.lMaximum;
    }
    if (FindVolumeControl(hMixer, MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, MicrophoneControl)) {
        MicrophoneMin = MicrophoneControl.lMinimum;
        MicrophoneMax = MicrophoneControl.lMaximum;
    }
    if (FindVolumeControl(hMixer, MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, WaveOutControl)) {
        WaveOutMin = WaveOutControl.lMinimum;
        WaveOutMax = WaveOutControl.lMaximum;
    }
    if (FindVolumeControl(hMixer, MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER, SynthesizerControl)) {
        SynthesizerMin = SynthesizerControl.lMinimum;
        SynthesizerMax = SynthesizerControl.lMaximum;
    }
    if (FindVolumeControl(hMixer, MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, CompactDiscControl)) {
        CompactDiscMin = CompactDiscControl.lMinimum;
        CompactDiscMax = CompactDiscControl.lMaximum;
    }
    if (FindVolumeControl(hMixer, MIXERLINE_COMPONENTTYPE_SRC_LINE, LineInControl) ||
        FindVolumeControl(hMixer, MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY, LineInControl)) {
        LineInMin = LineInControl.lMinimum;
        LineInMax = LineInControl.lMaximum;
    }
}

void clsVolume::Class_Terminate() { service_.mixerClose(hMixer); }

std::vector<clsVolume::Line> clsVolume::MovedLines() {
    const std::pair<const MIXERCONTROL&, Line> lines[] = {
        {SpeakersControl, Line::WaveVolume},     {MicrophoneControl, Line::MicroVolume},
        {WaveOutControl, Line::WaveInVolume},    {SynthesizerControl, Line::MidVolume},
        {LineInControl, Line::LineInVolume},     {CompactDiscControl, Line::CD_Volume}};
    std::vector<Line> moved;
    for (DWORD control : service_.mixerMovedControls(hMixer))
        for (const auto& [record, line] : lines)
            if (record.dwControlID != 0 && record.dwControlID == control) moved.push_back(line);
    return moved;
}

bool clsVolume::FindVolumeControl(HMIXER hmx, DWORD componentType, MIXERCONTROL& control) {
    WorkLine.dwComponentType = componentType;
    WorkLine.cbStruct = sizeof(MIXERLINE);
    LastResult = static_cast<std::int32_t>(
        service_.mixerGetLineInfoA(hmx, &WorkLine, MIXER_GETLINEINFOF_COMPONENTTYPE));
    if (LastResult != 0) return false;

    WorkLineControls.cbStruct = sizeof(MIXERLINECONTROLS);
    WorkLineControls.dwLineID = WorkLine.dwLineID;
    WorkLineControls.dwControlType = MIXERCONTROL_CONTROLTYPE_VOLUME;
    WorkLineControls.cControls = 1;
    WorkLineControls.cbmxctrl = MIXERCONTROL_SIZE;

    BlockLease block(hBuffer, MIXERCONTROL_SIZE);
    if (!block.Address()) {
        LastResult = static_cast<std::int32_t>(MMSYSERR_NOMEM);
        return false;
    }
    WorkLineControls.pamxctrl = static_cast<MIXERCONTROL*>(block.Address());
    LastResult = static_cast<std::int32_t>(
        service_.mixerGetLineControlsA(hmx, &WorkLineControls, MIXER_GETLINECONTROLSF_ONEBYTYPE));
    WorkLineControls.pamxctrl = nullptr;  // the block goes with this scope
    if (LastResult != 0) return false;

    std::memcpy(&control, block.Address(), MIXERCONTROL_SIZE);
    return true;
}

void clsVolume::PrepareControlDetails() {
    WorkValue.dwValue = 0;
    WorkDetails.cMultipleItems = 0;
    WorkDetails.dwControlID = WorkControl.dwControlID;
    WorkDetails.cbStruct = sizeof(MIXERCONTROLDETAILS);
    WorkDetails.cbDetails = sizeof(MIXERCONTROLDETAILS_UNSIGNED);
    WorkDetails.paDetails = hBuffer.Alloc(sizeof(MIXERCONTROLDETAILS_UNSIGNED));
    if (!WorkDetails.paDetails) LastResult = static_cast<std::int32_t>(MMSYSERR_NOMEM);
    WorkDetails.cChannels = 1;
}

// A slot whose control was never found has the identifier 0, which the mixer
// may have given to another line's control: such a slot never reaches the
// mixer, so a missing line cannot move another one.
std::int32_t clsVolume::ReadControlLevel(const MIXERCONTROL& control) {
    if (control.dwControlID == 0) return 0;
    WorkControl = control;
    PrepareControlDetails();
    if (!WorkDetails.paDetails) return 0;
    LastResult = static_cast<std::int32_t>(
        service_.mixerGetControlDetailsA(hMixer, &WorkDetails, MIXER_GETCONTROLDETAILSF_VALUE));
    std::memcpy(&WorkValue, WorkDetails.paDetails, sizeof WorkValue);
    hBuffer.Free();
    WorkDetails.paDetails = nullptr;
    if (LastResult != 0) return 0;
    return static_cast<std::int32_t>(WorkValue.dwValue);
}

bool clsVolume::WriteControlLevel(const MIXERCONTROL& control, std::int32_t level) {
    if (control.dwControlID == 0) return false;
    WorkControl = control;
    PrepareControlDetails();
    if (!WorkDetails.paDetails) return false;
    WorkValue.dwValue = static_cast<DWORD>(level);
    std::memcpy(WorkDetails.paDetails, &WorkValue, sizeof WorkValue);
    LastResult = static_cast<std::int32_t>(
        service_.mixerSetControlDetails(hMixer, &WorkDetails, MIXER_SETCONTROLDETAILSF_VALUE));
    hBuffer.Free();
    WorkDetails.paDetails = nullptr;
    return LastResult == 0;
}

void clsVolume::WriteClamped(const MIXERCONTROL& control, std::int32_t min, std::int32_t max,
                             std::int32_t NewVolume) {
    std::int32_t v = NewVolume;
    if (v < min) v = min;
    if (v > max) v = max;  // applied last: a minimum above the maximum yields the maximum
    WriteControlLevel(control, v);
}

std::int32_t clsVolume::WaveVolume() { return ReadControlLevel(SpeakersControl); }
std::int32_t clsVolume::MicroVolume() { return ReadControlLevel(MicrophoneControl); }
std::int32_t clsVolume::WaveInVolume() { return ReadControlLevel(WaveOutControl); }
std::int32_t clsVolume::MidVolume() { return ReadControlLevel(SynthesizerControl); }
std::int32_t clsVolume::LineInVolume() { return ReadControlLevel(LineInControl); }
std::int32_t clsVolume::CD_Volume() { return ReadControlLevel(CompactDiscControl); }

void clsVolume::WaveVolume(std::int32_t NewVolume) {
    WriteClamped(SpeakersControl, SpeakersMin, SpeakersMax, NewVolume);
}
void clsVolume::MicroVolume(std::int32_t NewVolume) {
    WriteClamped(MicrophoneControl, MicrophoneMin, MicrophoneMax, NewVolume);
}
void clsVolume::WaveInVolume(std::int32_t NewVolume) {
    WriteClamped(WaveOutControl, WaveOutMin, WaveOutMax, NewVolume);
}
void clsVolume::MidVolume(std::int32_t NewVolume) {
    WriteClamped(SynthesizerControl, SynthesizerMin, SynthesizerMax, NewVolume);
}
void clsVolume::LineInVolume(std::int32_t NewVolume) {
    WriteClamped(LineInControl, LineInMin, LineInMax, NewVolume);
}
void clsVolume::CD_Volume(std::int32_t NewVolume) {
    WriteClamped(CompactDiscControl, CompactDiscMin, CompactDiscMax, NewVolume);
}
