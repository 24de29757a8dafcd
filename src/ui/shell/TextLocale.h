#pragma once
// The C library's character type, for the text that still goes through it.

// On X11, Qt hands window titles to Xlib for the older WM_NAME property as UTF-8 bytes, and
// Xlib reads them in the C library's character type: in a locale that is not UTF-8 ("C", or
// a user's locale that is not installed) every accented title would reach WM_NAME as Latin-1
// mojibake. After the application object has applied the user's locale, this keeps the
// character type UTF-8 (the user's own, or C.UTF-8); numbers and dates are not touched.
void UseUtf8CharacterType();
