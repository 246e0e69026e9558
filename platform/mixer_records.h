// Records, constants and result codes of the mixer service, in the shapes the
// program has always exchanged with it (single-byte-character forms).
#pragma once

#include <cstddef>
#include <cstdint>

using DWORD = std::uint32_t;
using MMRESULT = std::uint32_t;
// A mixer handle is a 32-bit number that names one open mixer of the service.
using HMIXER = std::uint32_t;

// Result codes.
inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT MIXERR_BASE = 1024;
inline constexpr MMRESULT MIXERR_INVALLINE = MIXERR_BASE + 0;
inline constexpr MMRESULT MIXERR_INVALCONTROL = MIXERR_BASE + 1;
inline constexpr MMRESULT MIXERR_INVALVALUE = MIXERR_BASE + 2;

// Component types of mixer lines.
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_FIRST = 0x0000;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_SPEAKERS = MIXERLINE_COMPONENTTYPE_DST_FIRST + 4;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_FIRST = 0x1000;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_LINE = MIXERLINE_COMPONENTTYPE_SRC_FIRST + 2;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE = MIXERLINE_COMPONENTTYPE_SRC_FIRST + 3;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER = MIXERLINE_COMPONENTTYPE_SRC_FIRST + 4;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC = MIXERLINE_COMPONENTTYPE_SRC_FIRST + 5;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT = MIXERLINE_COMPONENTTYPE_SRC_FIRST + 8;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY = MIXERLINE_COMPONENTTYPE_SRC_FIRST + 9;

// Control types and flags.
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;
inline constexpr DWORD MIXER_OBJECTF_MIXER = 0x00000000;
inline constexpr DWORD MIXER_OBJECTF_HMIXER = 0x80000000;
inline constexpr DWORD MIXER_GETLINEINFOF_COMPONENTTYPE = 0x00000003;
inline constexpr DWORD MIXER_GETLINECONTROLSF_ONEBYTYPE = 0x00000002;
inline constexpr DWORD MIXER_GETCONTROLDETAILSF_VALUE = 0x00000000;
inline constexpr DWORD MIXER_SETCONTROLDETAILSF_VALUE = 0x00000000;
inline constexpr DWORD MIXER_OBJECTF_TYPEMASK = 0xF0000000;
inline constexpr DWORD MIXER_QUERYMASK = 0x0000000F;

inline constexpr std::size_t MIXER_SHORT_NAME_CHARS = 16;
inline constexpr std::size_t MIXER_LONG_NAME_CHARS = 64;
inline constexpr std::size_t MAXPNAMELEN = 32;

struct MIXERLINE {
    DWORD cbStruct;
    DWORD dwDestination;
    DWORD dwSource;
    DWORD dwLineID;
    DWORD fdwLine;
    DWORD dwUser;  // 32 bits wide, as in the record's published 168-byte form
    DWORD dwComponentType;
    DWORD cChannels;
    DWORD cConnections;
    DWORD cControls;
    char szShortName[MIXER_SHORT_NAME_CHARS];
    char szName[MIXER_LONG_NAME_CHARS];
    struct {
        DWORD dwType;
        DWORD dwDeviceID;
        std::uint16_t wMid;
        std::uint16_t wPid;
        DWORD vDriverVersion;
        char szPname[MAXPNAMELEN];
    } Target;
};
static_assert(sizeof(MIXERLINE) == 168, "MIXERLINE is 168 bytes");

// The program's own layout of a control record: the published record's fields up
// to the bounds, then eleven reserved words, 152 bytes in all.
struct MIXERCONTROL {
    DWORD cbStruct;
    DWORD dwControlID;
    DWORD dwControlType;
    DWORD fdwControl;
    DWORD cMultipleItems;
    char szShortName[MIXER_SHORT_NAME_CHARS];
    char szName[MIXER_LONG_NAME_CHARS];
    std::int32_t lMinimum;
    std::int32_t lMaximum;
    DWORD dwReserved[11];
};
static_assert(sizeof(MIXERCONTROL) == 152, "the program's MIXERCONTROL is 152 bytes");
inline constexpr DWORD MIXERCONTROL_SIZE = sizeof(MIXERCONTROL);

struct MIXERLINECONTROLS {
    DWORD cbStruct;
    DWORD dwLineID;
    union {
        DWORD dwControlID;
        DWORD dwControlType;
    };
    DWORD cControls;
    DWORD cbmxctrl;
    MIXERCONTROL* pamxctrl;
};

struct MIXERCONTROLDETAILS {
    DWORD cbStruct;
    DWORD dwControlID;
    DWORD cChannels;
    DWORD cMultipleItems;
    DWORD cbDetails;
    void* paDetails;
};

struct MIXERCONTROLDETAILS_UNSIGNED {
    DWORD dwValue;
};
static_assert(sizeof(MIXERCONTROLDETAILS_UNSIGNED) == 4);
