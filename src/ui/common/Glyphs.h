#pragma once
// The program's pictures, drawn in code: tool button glyphs, the window icon, the about picture.

#include <QIcon>
#include <QPixmap>

namespace salvo::ui {

QIcon NewGlyph();
QIcon OpenGlyph();
QIcon SaveGlyph();
QIcon ProgramIcon();
QPixmap AboutPicture(int size);

} // namespace salvo::ui
