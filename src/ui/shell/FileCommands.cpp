// The file commands of the main window: New, Open, Save, Save as.

#include "ui/shell/FileCommands.h"
#include "ui/common/Strings.h"

#include "ui/shell/Workspace.h"

#include "model/files/ProgramFile.h"
#include "model/io/SafeFile.h"
#include "model/io/Windows1252.h"
#include "model/music/MusicFile.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/Messages.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/editor/WindowProgram.h"
#include "ui/music/TMusique.h"
#include "ui/shell/MusicMenu.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace salvo;
using namespace salvo::ui;

namespace {

bool Exists(const std::string& path) {
    return QFileInfo::exists(Q(path));
}

// Whether the name (not the folders above it) holds a ".": on Linux folders often do.
bool HasExtension(const std::string& path) {
    return PathName(path).find('.') != std::string::npos;
}

// Windows finds "show.TIR" when "show.tir" is asked for; elsewhere a name keeps its case.
#ifdef Q_OS_WIN
constexpr bool CaseSensitiveNames = false;
#else
constexpr bool CaseSensitiveNames = true;
#endif

bool Confirm(QWidget* parent, const QString& text) {
    return ShowBox(parent, BoxKind::Confirmation, text, {BoxButton::Ok, BoxButton::Cancel}) ==
           BoxButton::Ok;
}

// The one question before an existing file is replaced; name is the file's name.
bool ConfirmReplace(QWidget* parent, const QString& name) {
    return Confirm(parent, QString::fromUtf8("Le fichier \"%1\" existe déjà \n\n\r Voulez vous le "
                                             "remplacer?")
                               .arg(name));
}

// The texts that a file would not give back as they stand (pasted, or typed elsewhere), named as
// the user knows them.
QStringList ChangedBySaving(const TFenetreEnfant& editor) {
    QStringList names;
    auto check = [&names](const QString& text, const QString& name) {
        if (!FitsWindows1252(text.toStdString()))
            names << name;
    };
    check(editor.Title(), QStringLiteral("Titre"));
    check(editor.SerialNumber(), QString::fromUtf8("Numéro de série"));
    check(editor.VersionText(), QStringLiteral("Version"));
    for (int n = 1; n <= editor.Link().ChannelCount(); ++n)
        check(editor.Description(n), QStringLiteral("description de la voie %1").arg(n));
    return names;
}

// One file under two names: the same once links are followed, or the same name where the
// file does not exist yet.
bool SameFile(const QString& a, const QString& b) {
    const QFileInfo x(a), y(b);
    const QString pa = x.exists() ? x.canonicalFilePath() : x.absoluteFilePath();
    const QString pb = y.exists() ? y.canonicalFilePath() : y.absoluteFilePath();
    return QString::compare(pa, pb, CaseSensitiveNames ? Qt::CaseSensitive : Qt::CaseInsensitive) ==
           0;
}

} // namespace

const char* const OpenFilter = "Fichier programme (*.tir)|*.TIR|Fichier backup (*.bak)|*.BAK";
const char* const SaveFilter = "Fichier programme (*.tir)|*.tir";
const char* const MsgCharactersReplaced =
    "Certains caractères ne peuvent pas être enregistrés dans le fichier et y seront remplacés "
    "par \"?\" :\n\n%1";

const char* const MsgOwnFile =
    "Le fichier \"%1\" appartient à un programme ouvert (programme, copie de sauvegarde, "
    "musique) : il ne peut pas être remplacé.\n\nChoisissez un autre nom.";

bool MayWriteFile(Workspace& w, const QString& path) {
    for (TFenetreEnfant* editor : w.Editors()) {
        QStringList own;
        if (editor->HasFileName()) {
            const std::string program = editor->FileName().toStdString();
            for (const std::string& name : {program, FollowLinks(program)})
                own << Q(name) << Q(BackupName(name)) << Q(CompanionName(name))
                    << Q(CompanionBackupName(name));
        }
        if (const TMusique* music = TMusique::Of(editor, false); music && music->HasSound())
            own << Q(music->Data.SoundPath);
        for (const QString& name : own)
            if (SameFile(path, name)) {
                ShowError(w.Window(),
                          QString::fromUtf8(MsgOwnFile).arg(QFileInfo(path).fileName()));
                return false;
            }
    }
    if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
        return true;
    return ConfirmReplace(w.Window(), QFileInfo(path).fileName());
}

QString DialogFolder(const Workspace& w) {
    TFenetreEnfant* editor = w.ActiveEditor();
    if (editor && editor->HasFileName())
        return QFileInfo(editor->FileName()).absolutePath();
    if (!w.LastFolder().isEmpty())
        return w.LastFolder();
    return DocumentsFolder();
}

QString DocumentsFolder() {
    // Not the working folder: started from a menu, that is the program's own folder.
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void NewProgram(Workspace& w) {
    w.EnableDocumentCommands(true);
    w.NewEditorWindow(Q(NewDocumentTitle(static_cast<int>(w.Editors().size()))));
}

void OpenProgram(Workspace& w) {
    QString chosen =
        w.Dialogs().OpenFileName(w.Window(), DialogFolder(w), QString::fromUtf8(OpenFilter));
    if (chosen.isEmpty())
        return;
    w.SetLastFolder(QFileInfo(chosen).absolutePath());
    OpenProgramFile(w, chosen);
}

void OpenProgramFile(Workspace& w, const QString& chosen) {
    std::string path = chosen.toStdString();
    if (!HasExtension(path)) {
        // Programs saved on Windows, or by earlier versions, end in ".TIR".
        if (CaseSensitiveNames && !Exists(path + ".tir") && Exists(path + ".TIR"))
            path += ".TIR";
        else
            path += ".tir";
    }
    if (Exists(path)) {
        TFenetreEnfant* editor = w.NewEditorWindow(Q(BaseName(path)));
        editor->SetFileName(Q(path));
        WindowProgram program(*editor);
        ReadResult result = ReadProgramFile(program, path, editor->DecimalSeparator());
        editor->SetModified(false);
        if (const char* message = MessageOf(result)) {
            ShowError(w.Window(), QString::fromUtf8(message));
            editor->close(); // not modified: it goes without a question
        } else {
            LoadMusic(editor);
            editor->SetModified(false);
        }
    } else {
        size_t dot = path.rfind('.');
        QString tail = Q(dot == std::string::npos ? std::string() : path.substr(dot)).toLower();
        if (tail != QStringLiteral(".tir"))
            path += ".tir";
        QString question =
            QString::fromUtf8("Le fichier \"%1\" n'existe pas \n\n\r Voulez vous le créer?")
                .arg(Q(PathName(path)));
        if (!Confirm(w.Window(), question))
            return;
        TFenetreEnfant* editor = w.NewEditorWindow(Q(BaseName(path)));
        editor->SetFileName(Q(path));
    }
    w.EnableDocumentCommands(true);
}

void SaveProgramTo(Workspace& w, TFenetreEnfant* editor, const QString& path) {
    QStringList changed = path.isEmpty() ? QStringList() : ChangedBySaving(*editor);
    if (!changed.isEmpty())
        ShowWarning(w.Window(), QString::fromUtf8(MsgCharactersReplaced).arg(changed.join(", ")));
    editor->SetFileName(path);
    WindowProgram program(*editor);
    WriteResult result = WriteProgramFile(program, path.toStdString());
    if (result == WriteResult::Written) {
        editor->setWindowTitle(Q(BaseName(path.toStdString())));
        // Music that could not be written keeps the document asking to be saved.
        editor->SetModified(!SaveMusic(editor, path));
    } else if (const char* message = MessageOf(result)) {
        ShowError(w.Window(), QString::fromUtf8(message));
        editor->SetFileName(QString());
    }
}

void SaveProgram(Workspace& w, TFenetreEnfant* editor, bool newNameWanted) {
    if (!newNameWanted && editor->HasFileName()) {
        SaveProgramTo(w, editor, editor->FileName());
        return;
    }
    QString folder =
        editor->HasFileName() ? QFileInfo(editor->FileName()).absolutePath() : DialogFolder(w);
    QString chosen = w.Dialogs().SaveFileName(
        w.Window(), folder, editor->windowTitle(), QString::fromUtf8(SaveFilter),
        // the same case as the filter's "*.tir"
        CaseSensitiveNames ? QStringLiteral("tir") : QStringLiteral("TIR"));
    if (chosen.isEmpty()) {
        SaveProgramTo(w, editor, QString()); // unbound: the next Save asks for a name again
        return;
    }
    w.SetLastFolder(QFileInfo(chosen).absolutePath());
    if (Exists(chosen.toStdString())) {
        if (!ConfirmReplace(w.Window(), Q(PathName(chosen.toStdString()))))
            return;
        // The writer keeps the replaced file as the backup, and only once the new one is whole.
    } else if (const std::string companion = CompanionName(FollowLinks(chosen.toStdString()));
               Exists(companion)) {
        // A music file left under that name from another program would be replaced too.
        if (!ConfirmReplace(w.Window(), Q(PathName(companion))))
            return;
    }
    SaveProgramTo(w, editor, chosen);
}
