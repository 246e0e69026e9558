// Which simple-mixer element stands for which kind of mixer line. The first
// name that the card has wins.
#pragma once

#include <span>

#include "platform/mixer_records.h"

// The element names for a component type, in order of preference; empty for a
// type this mixer does not serve.
std::span<const char* const> AlsaElementNamesFor(DWORD componentType);
