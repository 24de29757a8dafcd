#pragma once
// The "Musique" menu and the music's part in opening and saving a program.

#include <QString>

#include <functional>

class TFenetreEnfant;
class Workspace;

namespace salvo::ui {

// Adds one document command to the menu: name, caption, status text, what it does; a null
// name adds a separator.
using AddCommand =
    std::function<void(const char*, const QString&, const QString&, std::function<void()>)>;
// The menu's items, each acting on the active editor window's music.
void BuildMusicMenu(Workspace& w, const AddCommand& addCommand);

// After a program was read: its companion file, when there is one.
void LoadMusic(TFenetreEnfant* editor);
// After a program was written to programPath: its companion beside it. False (with a box
// shown) when the music could not be written.
bool SaveMusic(TFenetreEnfant* editor, const QString& programPath);

} // namespace salvo::ui
