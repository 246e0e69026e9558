// The program's icon: a 16 x 16 fader plate in the sixteen classic colours.
#pragma once

#include <QImage>

QImage PegelwerkIcon();
