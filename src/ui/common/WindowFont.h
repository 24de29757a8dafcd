#pragma once
// The font of the editor windows' texts, at a size of pixels.

#include <QFont>

// On Windows the system's dialog font, which Qt takes from Windows (Segoe UI, Tahoma):
// "Sans Serif" is no Windows font, and where neither Arial nor a stand-in for it is installed
// (Wine without its fonts) Windows gives a serif one in its place. Elsewhere the desktop's
// sans serif font.
QFont WindowFont(int pixelSize);
