#pragma once
// What the line edits of the editor window share.

#include "model/io/Windows1252.h"

#include <QString>

// They keep whatever a file holds; Qt's default would cut at 32767 characters.
constexpr int Unlimited = 0x7fffffff;

// Whether typed text can go into a file as it stands: a character the file cannot hold is
// refused at the key rather than turned into "?" at the next save.
inline bool Saveable(const QString& text) {
    return salvo::FitsWindows1252(text.toStdString());
}
