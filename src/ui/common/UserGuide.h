#pragma once
// The French user's guide: found beside the installed program, or in the source tree when the
// program runs from its build folder, and opened with the system's browser.

#include <QString>

class QWidget;

namespace salvo::ui {

// The guide's first page under a program installed in programFolder, else the source tree's
// copy; empty when neither exists.
QString UserGuidePath(const QString& programFolder);
QString UserGuidePath();

// Opens the guide; a box says so when it is missing or nothing could open it.
void OpenUserGuide(QWidget* parent);

} // namespace salvo::ui
