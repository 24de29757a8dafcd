#pragma once
// The title-bar buttons of the program's dialogs and message boxes, asked of the window system
// exactly, and a dialog that a window manager minimises anyway kept with its application.

#include <Qt>

class QWidget;

namespace salvo::ui {

// Sets the window flags and, on X11, sets them again on the native window once it exists:
// there Qt gives any window with a close box a window menu too.
void AskTitleBarButtons(QWidget* dialog, Qt::WindowFlags flags);

// Called when the main window comes back (restored or activated): a modal dialog left
// minimised would block it unseen.
void RestoreMinimizedModal();

} // namespace salvo::ui
