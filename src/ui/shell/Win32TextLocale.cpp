#include "ui/shell/TextLocale.h"

// Windows takes window titles in UTF-16 from Qt: nothing goes through the C library's locale.
void UseUtf8CharacterType() {}
