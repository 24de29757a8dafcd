#pragma once
// The "Musique" menu and the music's part in opening and saving a program.

#include <QList>
#include <QString>

class QAction;
class QMenu;
class TFenetreEnfant;
class TMainForm;

namespace salvo::ui {

// Fills the menu; its items are document commands.
void BuildMusicMenu(TMainForm* form, QMenu* menu);

// After a program was read: its companion file, when there is one.
void LoadMusic(TFenetreEnfant* editor);
// After a program was written to programPath: its companion beside it. False (with a box
// shown) when the music could not be written.
bool SaveMusic(TFenetreEnfant* editor, const QString& programPath);

} // namespace salvo::ui
