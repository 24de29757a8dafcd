#pragma once
// The import box of "Importer d'un tableur": how the file is written (separator, decimal
// separator, character set), which column gives what, a preview of the first rows, every
// refused cell by row and column, and how far the programmed times will lie from the file's.
// The program is made in a document of its own as the user chooses; "Importer" hands it over.

#include "model/files/ProgramDocument.h"
#include "model/files/Spreadsheet.h"

#include <QDialog>

#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTableWidget;

class TImportTableur : public QDialog {
    Q_OBJECT
public:
    explicit TImportTableur(QWidget* parent = nullptr);

    // The file's bytes and name, the options guessed from them and the table read with those
    // options (a large file is read once); the columns are guessed from the table.
    void SetSource(const std::string& bytes, const QString& fileName, char decimalSeparator,
                   const salvo::SheetOptions& guess, salvo::SheetTable table);

    // The program as it will be imported, and how far it lies from the file's times.
    salvo::ProgramDocument& Result() { return *Program; }
    const salvo::ImportOutcome& Outcome() const { return Measured; }
    bool Importable() const;

    QLabel* LabelFichier = nullptr;
    QComboBox* ComboSeparateur = nullptr;
    QComboBox* ComboDecimale = nullptr;
    QComboBox* ComboCodage = nullptr;
    QComboBox* ComboImages = nullptr;
    QCheckBox* CaseTitres = nullptr;
    QComboBox* ComboVoie = nullptr;
    QComboBox* ComboType = nullptr;
    QComboBox* ComboRetard = nullptr;
    QComboBox* ComboHeure = nullptr;
    QComboBox* ComboDescription = nullptr;
    QTableWidget* Apercu = nullptr;
    QLabel* LabelBilan = nullptr;
    QListWidget* ListeRemarques = nullptr;
    QPushButton* ButtonImporter = nullptr;
    QPushButton* ButtonAnnuler = nullptr;

private:
    // The file read again with a new separator or character set; the decimal mark, the
    // headings and the columns guessed again.
    void ReadAgain();
    // The columns guessed from the table, its preview, the program made of it.
    void ShowTable();
    // The program made again with the chosen columns.
    void PlanAgain();
    salvo::SheetOptions ChosenOptions() const;
    salvo::ColumnMapping ChosenColumns() const;
    void ShowPreview();

    std::string Bytes;
    char Separator = ',';
    salvo::SheetTable Table;
    salvo::ImportPlan Plan;
    salvo::ImportOutcome Measured;
    std::unique_ptr<salvo::ProgramDocument> Program;
    bool Filling = false; // the combos are being set by the program, not the user
};
