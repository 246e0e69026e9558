#pragma once

// Picks the Qt platform plugin before QApplication is constructed.
void ChooseDisplayPlatform();
