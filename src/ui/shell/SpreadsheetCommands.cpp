// The spreadsheet commands of the main window: "Exporter vers un tableur" writes the active
// program as a CSV file; "Importer d'un tableur" makes a new program of a CSV file.

#include "ui/shell/Main.h"

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

using namespace salvo;
using namespace salvo::ui;

const char* const SpreadsheetFilter = "Fichier tableur (*.csv)|*.csv";
const char* const SpreadsheetOpenFilter =
    "Fichier tableur (*.csv, *.txt)|*.CSV *.TXT|Tous les fichiers (*.*)|*";
const char* const MsgNotASpreadsheet =
    "Le fichier \"%1\" n'est pas un tableau que Salvodesk sait lire.\n\nEnregistrez-le depuis le "
    "tableur au format CSV (texte séparé par des points-virgules, des virgules ou des "
    "tabulations), en UTF-8 ou en Windows-1252.";

namespace {

// A show's table is a few kilobytes; anything far larger is not one.
constexpr qint64 MaxSheetBytes = 4 << 20;

} // namespace

void TMainForm::FileExportTableurClick() {
    TFenetreEnfant* editor = ActiveEditor();
    if (!editor)
        return;
    QString folder =
        editor->HasFileName() ? QFileInfo(editor->FileName()).absolutePath() : DialogFolder();
    QString chosen =
        Dialogs().SaveFileName(this, folder, editor->windowTitle(),
                               QString::fromUtf8(SpreadsheetFilter), QStringLiteral("csv"));
    if (chosen.isEmpty())
        return;
    LastFolder = QFileInfo(chosen).absolutePath();
    if (!MayWriteFile(chosen))
        return;
    WindowProgram program(*editor);
    std::string bytes =
        SpreadsheetBytes(program, editor->Link, editor->Doc.ShownTimes, editor->DecimalSeparator());
    // All or nothing: a failed write leaves the file that was there.
    CarefulFile file;
    if (!file.Open(chosen.toStdString()) || !file.Write(bytes.data(), bytes.size()) ||
        !file.Commit()) {
        ShowError(this, QString::fromUtf8(MsgWriteFailed));
        return;
    }
    statusBar()->showMessage(
        QString::fromUtf8("Programme exporté vers %1").arg(QFileInfo(chosen).fileName()));
}

void TMainForm::FileImportTableurClick() {
    QString chosen =
        Dialogs().OpenFileName(this, DialogFolder(), QString::fromUtf8(SpreadsheetOpenFilter));
    if (chosen.isEmpty())
        return;
    LastFolder = QFileInfo(chosen).absolutePath();
    QString name = QFileInfo(chosen).fileName();

    QFile file(chosen);
    if (!QFileInfo(chosen).isFile() || !file.open(QIODevice::ReadOnly)) {
        ShowError(this, QString::fromUtf8(MsgFileNotAccessible));
        return;
    }
    QByteArray bytes = file.read(MaxSheetBytes + 1);
    bool readWhole = file.error() == QFileDevice::NoError;
    file.close();
    if (!readWhole) {
        ShowError(this, QString::fromUtf8(MsgFileNotAccessible));
        return;
    }
    // Too large, binary, or without a single row: no table to offer.
    std::string data = bytes.toStdString();
    SheetTable probe = ReadSheet(data, GuessSheetOptions(data));
    if (bytes.size() > MaxSheetBytes || bytes.contains('\0') || probe.HeadingRow < 0) {
        ShowError(this, QString::fromUtf8(MsgNotASpreadsheet).arg(name));
        return;
    }

    TImportTableur dialog(this);
    char separator = TFenetreEnfant::LocaleDecimalSeparator();
    dialog.SetSource(data, name, separator);
    if (dialog.exec() != QDialog::Accepted || !dialog.Importable())
        return;

    EnableDocumentCommands(true);
    // Named after the file; a name without an extension is taken whole.
    QString title = QFileInfo(chosen).completeBaseName();
    TFenetreEnfant* editor = NewEditorWindow(title.isEmpty() ? name : title);
    WindowProgram program(*editor);
    CopyProgram(dialog.Result(), program);
    editor->SetModified(true); // nothing of it is in a ".tir" yet
    // The window must hold exactly what the box showed.
    ProgramDocument& shown = dialog.Result();
    bool same = editor->Link.Model == shown.Table.Model;
    for (int k = 0; k < SlotCount; ++k)
        same = same && editor->Link.Slots[size_t(k)].Type == shown.Table.Slots[size_t(k)].Type &&
               editor->Link.Slots[size_t(k)].Steps == shown.Table.Slots[size_t(k)].Steps;
    if (!same) {
        editor->SetModified(false);
        editor->close();
        ShowError(this, QString::fromUtf8("L'import n'a pas donné le programme de l'aperçu ; "
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
        ShowInformation(this, QString::fromUtf8("Les règles de retard de l'appareil ont corrigé "
                                                "ces voies :\n\n") +
                                  lines.join(QLatin1Char('\n')));
    }
    statusBar()->showMessage(status);
}
