// The sound service: plays a sound file by name.
#pragma once

#include <cstdint>

inline constexpr std::uint32_t SND_SYNC = 0x0000;
inline constexpr std::uint32_t SND_ASYNC = 0x0001;
inline constexpr std::uint32_t SND_NODEFAULT = 0x0002;
inline constexpr std::uint32_t SND_NOSTOP = 0x0010;

class SoundService {
public:
    virtual ~SoundService() = default;
    // Returns whether a sound was started. With SND_ASYNC the call returns at
    // once; with SND_NOSTOP a request made while a sound plays is dropped.
    virtual bool sndPlaySoundA(const char* pszSound, std::uint32_t fuSound) = 0;
};
