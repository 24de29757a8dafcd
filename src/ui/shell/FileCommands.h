#pragma once
// The file commands: New, Open, Save, Save as, and the checks before any other file is
// written.

#include <QString>

class TFenetreEnfant;
class Workspace;

void NewProgram(Workspace& w);
void OpenProgram(Workspace& w);
// What Open does with the name chosen in its dialog (or handed to the program when it starts).
void OpenProgramFile(Workspace& w, const QString& chosen);
// The save shared by Save, Save as and the save on closing.
void SaveProgram(Workspace& w, TFenetreEnfant* editor, bool newNameWanted);
// Binds the document to path and writes it; an empty path only unbinds it.
void SaveProgramTo(Workspace& w, TFenetreEnfant* editor, const QString& path);
// Before writing a file other than a program: never one that an open program holds (its
// ".tir", ".Bak", music file or music), and an existing one only when the user says so.
bool MayWriteFile(Workspace& w, const QString& path);
// Where the file dialogs open: the active document's folder, else the last one chosen in this
// run, else the user's Documents folder (or home when there is none).
QString DialogFolder(const Workspace& w);
// The user's Documents folder, or home when there is none.
QString DocumentsFolder();

extern const char* const OpenFilter;
extern const char* const SaveFilter;
extern const char* const MsgCharactersReplaced;
extern const char* const MsgOwnFile; // %1: the file's name
