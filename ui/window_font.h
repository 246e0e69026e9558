// The window's font: Verdana 8.25 pt, or the desktop's sans-serif at the same
// size and weight where Verdana is not installed.
#pragma once

#include <QFont>

QFont WindowFont(bool bold = false);
