// A one-call message box: shows the prompt with the given button style and
// waits for the user's answer. The box carries the application's title.
#pragma once

#include <cstdint>
#include <string>

inline constexpr std::int32_t vbOKOnly = 0;
inline constexpr std::int32_t vbOK = 1;

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    virtual std::int32_t MsgBox(const std::string& Prompt, std::int32_t Buttons) = 0;
};
