#pragma once
// The "Musique" menu and the music's part in opening and saving a program.

#include <QKeySequence>
#include <QString>

#include <functional>

class TFenetreEnfant;
class Workspace;

namespace salvo::ui {

// How a command is reached besides its menu item.
struct CommandKeys {
    QKeySequence Shortcut;
    // Runs with a cell being typed, which it leaves as it is (it reads no cell).
    bool WhileTyping = false;
};
// Adds one document command to the menu: name, caption, status text, what it does, its keys;
// a null name adds a separator.
using AddCommand = std::function<void(const char*, const QString&, const QString&,
                                      std::function<void()>, const CommandKeys&)>;
// The menu's items, each acting on the active editor window's music.
void BuildMusicMenu(Workspace& w, const AddCommand& addCommand);

// After a program was read: its companion file, when there is one.
void LoadMusic(TFenetreEnfant* editor);
// After a program was written to programPath: its companion beside it. False (with a box
// shown) when the music could not be written.
bool SaveMusic(TFenetreEnfant* editor, const QString& programPath);

} // namespace salvo::ui
