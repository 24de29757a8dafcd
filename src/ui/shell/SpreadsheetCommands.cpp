// The spreadsheet commands of the main window: "Exporter vers un tableur" writes the active
// program as a CSV file; "Importer d'un tableur" makes a new program of a CSV file.

#include "ui/shell/SpreadsheetCommands.h"

#include "ui/shell/FileCommands.h"
#include "ui/shell/Workspace.h"

#include "model/files/ProgramFile.h"
#include "model/files/Spreadsheet.h"
#include "model/io/SafeFile.h"
#include "ui/common/FileDialogs.h"
#include "ui/common/Messages.h"
#include "ui/dialogs/TImportTableur.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/editor/WindowProgram.h"

#include <QFile>
#include <QFileInfo>
#include <QStatusBar>

#include <utility>

using namespace salvo;
using namespace salvo::ui;

const char* const SpreadsheetFilter = "Fichier tableur (*.csv)|*.csv";
const char* const SpreadsheetOpenFilter =
    "Fichier tableur (*.csv, *.txt)|*.CSV *.TXT|Tous les fichiers (*.*)|*";
const char* const MsgNotASpreadsheet =
    "Le fichier \"%1\" n'est pas un tableau que Salvodesk sait lire.\n\nEnregistrez-le depuis le "
    "tableur au format CSV (texte séparé par des points-virgules, des virgules ou des "
    "tabulations), en UTF-8 ou en Windows-1252.";
const char* const MsgSheetTooWide =
    "Le fichier \"%1\" a plus de %2 colonnes : ce n'est pas un tableau que Salvodesk sait "
    "lire.\n\nUn programme de tir tient en quelques colonnes ; enregistrez depuis le tableur la "
    "seule feuille du programme, au format CSV.";

namespace {

// A show's table is a few kilobytes; anything far larger is not one.
constexpr qint64 MaxSheetBytes = 4 << 20;

} // namespace

void ExportSpreadsheet(Workspace& w) {
    TFenetreEnfant* editor = w.ActiveEditor();
    if (!editor)
        return;
    QString folder =
        editor->HasFileName() ? QFileInfo(editor->FileName()).absolutePath() : DialogFolder(w);
    QString chosen =
        w.Dialogs().SaveFileName(w.Window(), folder, editor->windowTitle(),
                                 QString::fromUtf8(SpreadsheetFilter), QStringLiteral("csv"));
    if (chosen.isEmpty())
        return;
    w.SetLastFolder(QFileInfo(chosen).absolutePath());
    if (!MayWriteFile(w, chosen))
        return;
    WindowProgram program(*editor);
    std::string bytes =
        SpreadsheetBytes(program, editor->Link(), editor->ShownTimes(), editor->DecimalSeparator());
    // All or nothing: a failed write leaves the file that was there.
    CarefulFile file;
    if (!file.Open(chosen.toStdString()) || !file.Write(bytes.data(), bytes.size()) ||
        !file.Commit()) {
        ShowError(w.Window(), QString::fromUtf8(MsgWriteFailed));
        return;
    }
    w.ShowStatus(QString::fromUtf8("Programme exporté vers %1").arg(QFileInfo(chosen).fileName()));
}

void ImportSpreadsheet(Workspace& w) {
    QString chosen = w.Dialogs().OpenFileName(w.Window(), DialogFolder(w),
                                              QString::fromUtf8(SpreadsheetOpenFilter));
    if (chosen.isEmpty())
        return;
    w.SetLastFolder(QFileInfo(chosen).absolutePath());
    QString name = QFileInfo(chosen).fileName();

    QFile file(chosen);
    if (!QFileInfo(chosen).isFile() || !file.open(QIODevice::ReadOnly)) {
        ShowError(w.Window(), QString::fromUtf8(MsgFileNotAccessible));
        return;
    }
    QByteArray bytes = file.read(MaxSheetBytes + 1);
    bool readWhole = file.error() == QFileDevice::NoError;
    file.close();
    if (!readWhole) {
        ShowError(w.Window(), QString::fromUtf8(MsgFileNotAccessible));
        return;
    }
    // Too large, binary, or without a single row: no table to offer.
    SheetProbe probe =
        ProbeSheet(bytes.size() > MaxSheetBytes ? std::string() : bytes.toStdString());
    if (probe.Fault == SheetFault::NotATable) {
        ShowError(w.Window(), QString::fromUtf8(MsgNotASpreadsheet).arg(name));
        return;
    }
    // A row of thousands of cells would freeze the box that lays them out.
    if (probe.Fault == SheetFault::TooWide) {
        ShowError(w.Window(), QString::fromUtf8(MsgSheetTooWide).arg(name).arg(MaxSheetColumns));
        return;
    }

    TImportTableur dialog(w.Window());
    char separator = TFenetreEnfant::LocaleDecimalSeparator();
    dialog.SetSource(probe.Text, name, separator, probe.Options, std::move(probe.Table));
    if (dialog.exec() != QDialog::Accepted || !dialog.Importable())
        return;

    w.EnableDocumentCommands(true);
    // Named after the file; a name without an extension is taken whole.
    QString title = QFileInfo(chosen).completeBaseName();
    TFenetreEnfant* editor = w.NewEditorWindow(title.isEmpty() ? name : title);
    WindowProgram program(*editor);
    CopyProgram(dialog.Result(), program);
    editor->SetModified(true); // nothing of it is in a ".tir" yet
    // The window must hold exactly what the box showed.
    const bool same = SameChannels(program, dialog.Result());
    if (!same) {
        editor->SetModified(false);
        editor->close();
        ShowError(w.Window(), QString::fromUtf8("L'import n'a pas donné le programme de l'aperçu ; "
                                                "aucun programme n'a été créé."));
        return;
    }
    const ImportOutcome& outcome = dialog.Outcome();
    QString status = QString::fromUtf8("Programme importé de %1").arg(name);
    if (!outcome.Corrections.empty()) {
        status += QString::fromUtf8(" : %1 voie(s) corrigée(s)").arg(outcome.Corrections.size());
        QStringList lines;
        for (const std::string& c : outcome.Corrections)
            lines << QString::fromStdString(c);
        ShowInformation(w.Window(),
                        QString::fromUtf8("Les règles de retard de l'appareil ont corrigé "
                                          "ces voies :\n\n") +
                            lines.join(QLatin1Char('\n')));
    }
    w.ShowStatus(status);
}
