#pragma once
// "Catalogue des produits": the user's products in a table typed in place, searched as one
// types, opened from and saved to a spreadsheet file. Every accepted cell goes straight into
// the session's products, which keep their own order: a sort changes only the rows shown.

#include "ui/products/CatalogueSession.h"

#include <QDialog>

#include <cstddef>
#include <vector>

class FileDialogProvider;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;

class TCatalogue : public QDialog {
    Q_OBJECT
public:
    // The dialogs start in documentsFolder until the catalogue has a file of its own.
    TCatalogue(CatalogueSession& session, FileDialogProvider& dialogs,
               const QString& documentsFolder, QWidget* parent = nullptr);

    // The session's file, or one asked for when it has none; false when nothing was written.
    bool Save();
    bool SaveAs();
    // A catalogue file chosen by the user replaces the products, once their changes are dealt
    // with; any fault leaves them as they were.
    void Open();

    QLineEdit* EditRecherche = nullptr;
    QTableWidget* TableProduits = nullptr;
    QPushButton* ButtonAjouter = nullptr;
    QPushButton* ButtonCopier = nullptr;
    QPushButton* ButtonSupprimer = nullptr;
    QPushButton* ButtonOuvrir = nullptr;
    QPushButton* ButtonEnregistrer = nullptr;
    QPushButton* ButtonEnregistrerSous = nullptr;
    QPushButton* ButtonFermer = nullptr;

    // Escape, "Fermer" and the close box all come here: unsaved changes are asked about first.
    void reject() override;

private:
    // Before the rows or the file change under a cell being typed.
    void EndTyping();
    void Fill();
    void ShowCell(QTableWidgetItem* item, int column);
    void CellTyped(QTableWidgetItem* item);
    void Filter();
    void Add();
    void Copy();
    void Remove();
    void SelectProduct(size_t index, bool edit);
    size_t ProductOfRow(int row) const;
    std::vector<size_t> SelectedProducts() const;
    void UpdateButtons();
    bool MayDropChanges();
    bool WriteTo(const QString& path);
    QString Folder() const;
    bool eventFilter(QObject* watched, QEvent* event) override;

    CatalogueSession& Session;
    FileDialogProvider& Dialogs;
    QString DocumentsFolder;
    bool Filling = false; // cells set by the program, not typed
};
