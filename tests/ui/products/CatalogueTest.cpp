// The catalogue window: cells typed in place (refused ones give their old value back), rows
// added, copied, searched, sorted and removed; the catalogue saved and opened again through a
// real file, and files it cannot read leaving the catalogue as it was.

#include "model/products/Catalogue.h"
#include "Boxes.h"
#include "ScriptedDialogs.h"
#include "ui/products/TCatalogue.h"

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace salvo;

namespace {

Product Item(const char* name, const char* maker, Category c, std::optional<int64_t> grams,
             std::optional<int64_t> ms, std::optional<int64_t> cm) {
    Product p;
    p.Name = name;
    p.Maker = maker;
    p.Class = c;
    p.MassGrams = grams;
    p.DurationMs = ms;
    p.SafetyDistanceCm = cm;
    return p;
}

std::vector<Product> Sample() {
    return {Item("Bombe 100 rouge", "Étoile", Category::F3, 1000, 3500, 1500),
            Item("Chandelle", "Lumen", Category::F2, std::nullopt, std::nullopt, std::nullopt),
            Item("Fontaine", "Lumen", Category::F2, 250, 30000, 800)};
}

QString Cells(const QTableWidget& t, int row) {
    QStringList out;
    for (int c = 0; c < t.columnCount(); ++c)
        out << t.item(row, c)->text();
    return out.join(QLatin1Char('|'));
}

int RowOf(const QTableWidget& t, const QString& name) {
    for (int r = 0; r < t.rowCount(); ++r)
        if (t.item(r, 0)->text() == name)
            return r;
    return -1;
}

// The cell editor open in a shown table.
QLineEdit* Editor(const QTableWidget& t) {
    for (QLineEdit* e : t.viewport()->findChildren<QLineEdit*>())
        if (e->isVisible())
            return e;
    return nullptr;
}

// Types into the open cell editor as the user does, ended by Return.
void TypeInEditor(QTableWidget& t, const QString& text) {
    QLineEdit* editor = Editor(t);
    QVERIFY(editor);
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Backspace);
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Return);
    // The cell is committed, then any refusal's box shown, each from the event loop.
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

void Type(QTableWidget& t, int row, int column, const QString& text) {
    t.setCurrentCell(row, column);
    t.editItem(t.item(row, column));
    TypeInEditor(t, text);
}

void Click(QPushButton* b) {
    QTest::mouseClick(b, Qt::LeftButton);
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(absent)");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

class CatalogueTest : public QObject {
    Q_OBJECT
private slots:
    void editingTheTable() {
        CatalogueSession session{QString(), Sample(), false};
        ScriptedDialogs dialogs;
        BoxAnswers boxes;
        TCatalogue dlg(session, dialogs, QStringLiteral("/docs"));
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTableWidget& t = *dlg.TableProduits;

        QCOMPARE(dlg.objectName(), QStringLiteral("TCatalogue"));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Catalogue des produits"));
        QCOMPARE(dlg.EditRecherche->placeholderText(), QStringLiteral("Rechercher"));
        QStringList headings;
        for (int c = 0; c < t.columnCount(); ++c)
            headings << t.horizontalHeaderItem(c)->text();
        QCOMPARE(headings.join('|'), QStringLiteral("Nom commercial|Fabricant|Catégorie|Référence|"
                                                    "Calibre (mm)|Masse active (g)|Durée (s)|"
                                                    "Levée (s)|Distance (m)|Effet"));
        QStringList buttons;
        for (QPushButton* b :
             {dlg.ButtonAjouter, dlg.ButtonCopier, dlg.ButtonSupprimer, dlg.ButtonOuvrir,
              dlg.ButtonEnregistrer, dlg.ButtonEnregistrerSous, dlg.ButtonFermer})
            buttons << b->objectName() + '=' + b->text();
        QCOMPARE(buttons.join(' '),
                 QStringLiteral("ButtonAjouter=&Ajouter ButtonCopier=&Copier "
                                "ButtonSupprimer=&Supprimer ButtonOuvrir=&Ouvrir... "
                                "ButtonEnregistrer=&Enregistrer "
                                "ButtonEnregistrerSous=Enregistrer &sous... ButtonFermer=&Fermer"));
        // A missing figure is an empty cell, never 0.
        QCOMPARE(Cells(t, 0), QStringLiteral("Bombe 100 rouge|Étoile|F3|||1000|3,5||15|"));
        QCOMPARE(Cells(t, 1), QStringLiteral("Chandelle|Lumen|F2|||||||"));

        const QString back = QStringLiteral("\n\nLa cellule reprend sa valeur précédente.");
        const struct {
            int column;
            const char* typed;
            const char* shown; // in the cell afterwards
            const char* refusal;
        } edits[] = {
            {5, "-5", "1000", "Masse active (g) : « -5 » est négatif"},
            {2, "F5", "F3",
             "Catégorie : « F5 » n'est pas une catégorie (F1, F2, F3, F4, T1 ou T2)"},
            {6, "abc", "3,5", "Durée (s) : « abc » n'est pas un nombre"},
            {4, "30,5", "", "Calibre (mm) : « 30,5 » n'est pas un nombre entier"},
            {8, "1,255", "15", "Distance (m) : « 1,255 » a trop de décimales"},
            {0, " ", "Bombe 100 rouge", "Nom commercial : la cellule est vide"},
            {2, "f4", "F4", nullptr},
            {8, "12.5", "12,5", nullptr},
            {6, "", "", nullptr},
            {4, "100", "100", nullptr},
            {7, "0,25", "0,25", nullptr},
        };
        for (const auto& e : edits) {
            const size_t seen = boxes.Seen.size();
            Type(t, 0, e.column, QString::fromUtf8(e.typed));
            QCOMPARE(t.item(0, e.column)->text(), QString::fromUtf8(e.shown));
            QCOMPARE(boxes.Seen.size(), seen + (e.refusal ? 1 : 0));
            if (e.refusal)
                QCOMPARE(boxes.Seen.back().Text, QString::fromUtf8(e.refusal) + '.' + back);
        }
        Product typed = Sample()[0];
        typed.Class = Category::F4;
        typed.SafetyDistanceCm = 1250;
        typed.DurationMs.reset();
        typed.CalibreMm = 100;
        typed.LiftMs = 250;
        QVERIFY(session.Products[0] == typed);
        QVERIFY(session.Modified);

        // A new row is typed into at once.
        Click(dlg.ButtonAjouter);
        QCOMPARE(session.Products.size(), size_t(4));
        QCOMPARE(Cells(t, 3), QStringLiteral("Nouveau produit||F2|||||||"));
        TypeInEditor(t, QStringLiteral("Pluie d'or"));
        QCOMPARE(session.Products[3].Name, std::string("Pluie d'or"));

        t.selectRow(1);
        Click(dlg.ButtonCopier);
        QCOMPARE(session.Products[2].Name, std::string("Chandelle (copie)"));
        QCOMPARE(session.Products[2].Maker, std::string("Lumen"));
        QCOMPARE(t.item(t.currentRow(), 0)->text(), QStringLiteral("Chandelle (copie)"));

        const struct {
            const char* words;
            int shown;
        } searches[] = {{"etoile", 1}, {"LUMEN", 3}, {"chandelle copie", 1},
                        {"f2", 4},     {"zz", 0},    {"", 5}};
        for (const auto& s : searches) {
            dlg.EditRecherche->setText(QString::fromUtf8(s.words));
            int shown = 0;
            for (int r = 0; r < t.rowCount(); ++r)
                shown += t.isRowHidden(r) ? 0 : 1;
            QCOMPARE(shown, s.shown);
        }

        // Figures sort as numbers, missing first; the session keeps its order.
        QHeaderView* header = t.horizontalHeader();
        QTest::mouseClick(
            header->viewport(), Qt::LeftButton, {},
            QPoint(header->sectionViewportPosition(5) + header->sectionSize(5) / 2, 5));
        QStringList masses;
        for (int r = 0; r < t.rowCount(); ++r)
            masses << t.item(r, 5)->text();
        QCOMPARE(masses.join(' '), header->sortIndicatorOrder() == Qt::AscendingOrder
                                       ? QStringLiteral("   250 1000")
                                       : QStringLiteral("1000 250   "));
        QCOMPARE(session.Products[0].Name, std::string("Bombe 100 rouge"));

        t.clearSelection();
        for (const char* name : {"Chandelle", "Fontaine"})
            t.selectionModel()->select(t.model()->index(RowOf(t, name), 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        Click(dlg.ButtonSupprimer);
        QStringList left;
        for (const Product& p : session.Products)
            left << QString::fromStdString(p.Name);
        QCOMPARE(left.join('|'), QStringLiteral("Bombe 100 rouge|Chandelle (copie)|Pluie d'or"));
        QCOMPARE(t.rowCount(), 3);
        QVERIFY(!dlg.ButtonSupprimer->isEnabled());
    }

    void savingAndOpening() {
        QTemporaryDir dir;
        const QString path = dir.filePath("catalogue.csv");
        const QString docs = dir.path();
        CatalogueSession session{QString(), Sample(), true};
        ScriptedDialogs dialogs;
        BoxAnswers boxes;
        auto dlg = std::make_unique<TCatalogue>(session, dialogs, docs);
        dlg->show();

        // A folder cannot be written over: the products and the flag stay.
        dialogs.SavePaths << dir.path();
        boxes.Queue({"&Oui", "OK"});
        Click(dlg->ButtonEnregistrer);
        QCOMPARE(dialogs.SaveFolders, QStringList{docs});
        QCOMPARE(dialogs.ProposedNames, QStringList{"Catalogue.csv"});
        QCOMPARE(dialogs.SaveFilters.value(0),
                 QStringLiteral("Catalogue de produits (*.csv)|*.csv|Tous les fichiers (*.*)|*"));
        QCOMPARE(boxes.Texts().join('#'),
                 QString("Le fichier « %1 » existe déjà.\n\nVoulez-vous le remplacer ?#"
                         "Le catalogue n'a pas pu être enregistré dans le fichier « %1 ».\n\n"
                         "Les produits restent dans cette fenêtre ; enregistrez-les ailleurs avec "
                         "« Enregistrer sous... ».")
                     .arg(QFileInfo(dir.path()).fileName()));
        QVERIFY(session.Modified && session.Path.isEmpty() && session.Products == Sample());

        dialogs.SavePaths << path;
        Click(dlg->ButtonEnregistrer);
        QCOMPARE(FileBytes(path), QByteArray::fromStdString(CatalogueBytes(Sample())));
        QVERIFY(!session.Modified && session.Path == path);

        // A cell still being typed is saved with the rest, in its own file without a question.
        std::vector<Product> saved = Sample();
        saved[0].Effect = "Pivoines";
        dlg->TableProduits->setCurrentCell(0, 9);
        dlg->TableProduits->editItem(dlg->TableProduits->item(0, 9));
        QTest::keyClicks(Editor(*dlg->TableProduits), QStringLiteral("Pivoines"));
        Click(dlg->ButtonEnregistrer);
        const std::string expected = CatalogueBytes(saved);
        QCOMPARE(FileBytes(path), QByteArray::fromStdString(expected));
        QCOMPARE(dialogs.SaveFolders.size(), 2);
        QCOMPARE(boxes.Seen.size(), size_t(2));

        // Closing with changes asks; "Annuler" stays, "Non" closes.
        Click(dlg->ButtonAjouter);
        boxes.Queue({"Annuler", "&Non"});
        Click(dlg->ButtonFermer);
        QVERIFY(dlg->isVisible());
        Click(dlg->ButtonFermer);
        QVERIFY(!dlg->isVisible());
        QCOMPARE(boxes.Seen.back().Text,
                 QStringLiteral("Le catalogue a été modifié. Enregistrer les modifications ?"));

        // Opened into another run's empty catalogue: the same products, and the same bytes
        // when saved again.
        CatalogueSession other;
        TCatalogue again(other, dialogs, docs);
        again.show();
        dialogs.OpenPaths << path;
        Click(again.ButtonOuvrir);
        QCOMPARE(dialogs.OpenFolders.value(0), docs);
        QVERIFY(other.Products == saved);
        QVERIFY(!other.Modified && other.Path == path);
        QCOMPARE(again.TableProduits->rowCount(), 3);
        Click(again.ButtonEnregistrer);
        QCOMPARE(FileBytes(path), QByteArray::fromStdString(expected));
        QCOMPARE(boxes.Seen.size(), size_t(4));

        // Changes asked about before any other file; "Annuler" opens nothing.
        Click(again.ButtonAjouter);
        boxes.Queue({"Annuler"});
        Click(again.ButtonOuvrir);
        QCOMPARE(dialogs.OpenFolders.size(), 1);
        Click(again.ButtonSupprimer); // the new row, still selected
        Click(again.ButtonEnregistrer);
        QCOMPARE(FileBytes(path), QByteArray::fromStdString(expected));

        const QString heads = QString::fromUtf8(CatalogueHeadings);
        const struct {
            const char* name;
            QByteArray bytes; // empty: no such file
            bool asksColumns;
            const char* box;
        } unreadable[] = {
            {"absent.csv", {}, false, "Le fichier « absent.csv » n'a pas pu être lu.\n\n"},
            {"image.png", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), false,
             "Le fichier « image.png » n'est pas un catalogue que Salvodesk sait lire."},
            {"vide.csv", "", false, "Le fichier « vide.csv » n'est pas un catalogue"},
            {"prix.csv", "Article;Prix\r\nBombe;3\r\n", true,
             "Aucune colonne du fichier « prix.csv » ne donne le nom commercial des produits"},
            {"faux.csv", (heads + "\r\nBombe;;F5\r\n").toUtf8(), false,
             "Aucun produit du fichier « faux.csv » n'a pu être lu :\n\nLigne 2, colonne "
             "Catégorie : « F5 » n'est pas une catégorie (F1, F2, F3, F4, T1 ou T2)"},
        };
        for (const auto& u : unreadable) {
            const QString file = dir.filePath(u.name);
            if (QByteArrayView(u.name) != "absent.csv")
                WriteFile(file, u.bytes);
            dialogs.OpenPaths << file;
            // Foreign headings: the columns are asked, and "Nom" left at none.
            bool asked = false;
            QTimer::singleShot(0, [&asked] {
                if (QWidget* box = QApplication::activeModalWidget()) {
                    asked = box->objectName() == "TColonnesCatalogue";
                    box->findChild<QPushButton*>("ButtonOK")->click();
                }
            });
            boxes.Seen.clear();
            Click(again.ButtonOuvrir);
            QCoreApplication::processEvents(); // the timer, when nothing was asked
            QCOMPARE(asked, u.asksColumns);
            QCOMPARE(boxes.Seen.size(), size_t(1));
            QVERIFY2(boxes.Seen[0].Text.startsWith(QString::fromUtf8(u.box)),
                     qPrintable(boxes.Seen[0].Text));
            QVERIFY(boxes.Seen[0].Text.endsWith(QString::fromUtf8("reste tel qu'il était.")));
            QVERIFY(other.Products == saved && other.Path == path && !other.Modified);
        }

        // Refused rows are named; the good ones are opened.
        WriteFile(
            path,
            (heads + "\r\nBombe;;F5\r\nChandelle;Lumen;f2;;;-3\r\nFontaine;;T1\r\n").toUtf8());
        dialogs.OpenPaths << path;
        boxes.Seen.clear();
        Click(again.ButtonOuvrir);
        QCOMPARE(boxes.Texts(),
                 QStringList{"Lignes refusées du fichier « catalogue.csv » (elles ne sont pas "
                             "reprises dans le catalogue) :\n\n"
                             "Ligne 2, colonne Catégorie : « F5 » n'est pas une catégorie (F1, "
                             "F2, F3, F4, T1 ou T2)\n"
                             "Ligne 3, colonne Masse active (g) : « -3 » est négatif\n\n"
                             "Produits ouverts : 1."});
        QCOMPARE(other.Products.size(), size_t(1));
        QCOMPARE(Cells(*again.TableProduits, 0), QStringLiteral("Fontaine||T1|||||||"));
        // Saving never writes over that file unasked: the refused rows are still in it.
        QVERIFY(other.Path.isEmpty() && other.Modified);

        // Another program's columns, chosen by the user; never written back unasked.
        const QString sheet = dir.filePath("fournisseur.csv");
        WriteFile(sheet, "Article;Classe;Poids;Duree\r\nBombe;F3;250;2,5\r\n");
        dialogs.OpenPaths << sheet;
        QStringList offered;
        QTimer::singleShot(0, [&offered] {
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box && box->objectName() == "TColonnesCatalogue");
            auto combo = [box](const char* name) { return box->findChild<QComboBox*>(name); };
            for (int i = 0; i < combo("ComboNom")->count(); ++i)
                offered << combo("ComboNom")->itemText(i);
            combo("ComboNom")->setCurrentIndex(1);
            combo("ComboCategorie")->setCurrentIndex(2);
            combo("ComboMasse")->setCurrentIndex(3);
            combo("ComboDuree")->setCurrentIndex(4);
            box->findChild<QPushButton*>("ButtonOK")->click();
        });
        boxes.Queue({"&Non"}); // the rows kept from that file are not saved
        Click(again.ButtonOuvrir);
        QCOMPARE(offered.join('|'), QStringLiteral("(aucune)|Colonne 1 : Article|Colonne 2 : "
                                                   "Classe|Colonne 3 : Poids|Colonne 4 : Duree"));
        QCOMPARE(Cells(*again.TableProduits, 0), QStringLiteral("Bombe||F3|||250|2,5|||"));
        QVERIFY(other.Path.isEmpty() && other.Modified);
    }
};

QTEST_MAIN(CatalogueTest)
#include "CatalogueTest.moc"
