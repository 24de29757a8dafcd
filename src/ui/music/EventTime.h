#pragma once
// When an input event happened, on the steady clock the sound output's position is read on.
// Events carry the window system's own time in milliseconds (X server time on X11); its
// offset to the steady clock is learnt from every input event the program gets: the least
// (arrival - event time) seen so far is the one that waited least, nearest to the true offset.

#include "sound/Sound.h"

class QInputEvent;

// Starts watching the input events of the application (once; later calls do nothing).
void WatchEventTimes();
// The instant the event happened; its arrival when it carries no time of its own.
salvo::sound::Instant EventInstant(const QInputEvent* event);
// The instant `key` was last pressed, for a command its shortcut ran: taken once, and only
// within the last second (a command chosen with the mouse is then placed now).
salvo::sound::Instant KeyPressInstant(int key);
