// "Exporter vers un tableur" and "Importer d'un tableur" from the real menu: the file written,
// the import box, the new window, and the files that give no window.

#include "Boxes.h"
#include "Driver.h"
#include "ProgramUnderTest.h"
#include "ScriptedDialogs.h"
#include "ui/dialogs/TImportTableur.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/shell/Main.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace driver;

namespace {

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QStringList Items(QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

} // namespace

class SpreadsheetCommandsTest : public QObject, ProgramUnderTest {
    Q_OBJECT

    // Imports path through the box, which f inspects and answers.
    void Import(const QString& path, std::function<void(TImportTableur&)> f) {
        Dialogs.OpenPaths << path;
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto* d = qobject_cast<TImportTableur*>(QApplication::activeModalWidget());
            if (!d)
                return;
            shown = true;
            f(*d);
        });
        Trigger(*Form, "FileImportTableur");
        QVERIFY(shown);
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void init() { StartProgram(); }
    void cleanup() { StopProgram(); }

    void menuItemsFollowSaveAs() {
        QList<QAction*> items = Form->findChild<QMenu*>("FileMenu")->actions();
        QCOMPARE(items[3]->objectName(), QStringLiteral("FileSaveAs"));
        QCOMPARE(items[4]->objectName(), QStringLiteral("FileExportTableur"));
        QCOMPARE(items[4]->text(), QString::fromUtf8("E&xporter vers un tableur..."));
        QCOMPARE(items[4]->statusTip(),
                 QString::fromUtf8("Enregistrer le programme en cours pour un tableur"));
        QCOMPARE(items[5]->objectName(), QStringLiteral("FileImportTableur"));
        QCOMPARE(items[5]->text(), QString::fromUtf8("I&mporter d'un tableur..."));
        QCOMPARE(items[5]->statusTip(),
                 QString::fromUtf8("Créer un programme à partir d'un tableur"));
        QVERIFY(!items[4]->isEnabled() && items[5]->isEnabled());
        Trigger(*Form, "FileNew");
        QVERIFY(items[4]->isEnabled());
        Form->ActiveEditor()->close();
        QTRY_VERIFY(!items[4]->isEnabled());
        QVERIFY(items[5]->isEnabled());
    }

    // Each example program: opened, exported, imported into a new window and saved again
    // gives its own file, byte for byte.
    void roundTripGivesTheSameProgramFile() {
        for (const char* example : {"feu-14-juillet", "feu-trois-sequences"}) {
            QString original =
                QStringLiteral(SALVODESK_SOURCE_DIR "/docs/example/%1.tir").arg(example);
            Dialogs.OpenPaths << original;
            Trigger(*Form, "FileOpen");
            QString csv = Dir->filePath(QStringLiteral("%1.csv").arg(example));
            Dialogs.SavePaths << csv;
            Trigger(*Form, "FileExportTableur");
            QCOMPARE(Dialogs.DefaultExtensions.last(), QStringLiteral("csv"));
            QVERIFY(FileBytes(csv).startsWith("\xEF\xBB\xBFTitre;Feu"));
            QVERIFY(!Form->ActiveEditor()->Modified());

            QString summary;
            Import(csv, [&](TImportTableur& d) {
                summary = d.LabelBilan->text();
                QVERIFY(d.ButtonImporter->isEnabled());
                d.ButtonImporter->click();
            });
            QVERIFY2(summary.endsWith(QString::fromUtf8("programmée : 0 s.")), qPrintable(summary));
            TFenetreEnfant* e = Form->ActiveEditor();
            QCOMPARE(e->windowTitle(), QString::fromUtf8(example));
            QVERIFY(e->Modified() && !e->HasFileName());
            QCOMPARE(Form->findChild<QStatusBar*>("StatusLine")->currentMessage(),
                     QString::fromUtf8("Programme importé de %1.csv").arg(example));

            QString saved = Dir->filePath(QStringLiteral("%1.tir").arg(example));
            Dialogs.SavePaths << saved;
            Trigger(*Form, "FileSaveAs");
            QCOMPARE(FileBytes(saved), FileBytes(original));
        }
        QVERIFY(Boxes->Seen.empty());

        // Exporting onto an existing file asks first.
        QString csv = Dir->filePath("feu-14-juillet.csv");
        QByteArray before = FileBytes(csv);
        Form->ActiveEditor()->SetTitle(QStringLiteral("Autre"));
        Boxes->Queue({QStringLiteral("Annuler")});
        Dialogs.SavePaths << csv;
        Trigger(*Form, "FileExportTableur");
        QCOMPARE(Boxes->Texts(), QStringList({QString::fromUtf8(
                                     "Le fichier \"feu-14-juillet.csv\" existe déjà \n\n\r Voulez "
                                     "vous le remplacer?")}));
        QCOMPARE(FileBytes(csv), before);

        // A file that cannot be written says so.
        Boxes->Seen.clear();
        Dialogs.SavePaths << Dir->filePath("absent/feu.csv");
        Trigger(*Form, "FileExportTableur");
        QCOMPARE(Boxes->Texts(), QStringList({QString::fromUtf8(
                                     "Une Erreur d'enregistrement s'est produite\n\rLe fichier "
                                     "n'a pas pu être enregistré.")}));
    }

    // A table whose headings say nothing: the user names the time column, and the channels the
    // delay rules move are listed before and after the import.
    void columnsChosenInTheBox() {
        QString path = Dir->filePath("minutage"); // no extension: the whole name is the title
        WriteFile(path, "A;B\r\n2;Bombe\r\n3,13;Comète\r\n3,16;Comète\r\n");
        Boxes->Queue({QStringLiteral("OK")});
        Import(path, [](TImportTableur& d) {
            QCOMPARE(d.ComboHeure->currentIndex(), 0);
            QVERIFY(!d.ButtonImporter->isEnabled());
            QCOMPARE(Items(d.ListeRemarques),
                     QStringList({QString::fromUtf8(
                         "Aucune colonne ne donne l'heure ou le retard des voies")}));
            QCOMPARE(d.ComboHeure->itemText(1), QStringLiteral("A : A"));
            d.ComboHeure->setCurrentIndex(1);
            d.ComboDescription->setCurrentIndex(2);
            QCOMPARE(d.Apercu->item(2, 1)->text(), QString::fromUtf8("Comète"));
            QCOMPARE(d.LabelBilan->text(),
                     QString::fromUtf8("3 voies pour un Ignivelle V30. Plus grand écart entre "
                                       "une heure du fichier et l'heure programmée : 0,24 s (voie "
                                       "3). Les règles de retard de l'appareil corrigent ces "
                                       "voies :"));
            QCOMPARE(
                Items(d.ListeRemarques),
                QStringList({QString::fromUtf8("Voie 3 : 3,16 s demandées, 3,4 s programmées")}));
            QVERIFY(d.ButtonImporter->isEnabled());
            d.ButtonImporter->click();
        });
        TFenetreEnfant* e = Form->ActiveEditor();
        QVERIFY(e);
        QCOMPARE(e->windowTitle(), QStringLiteral("minutage"));
        QCOMPARE(e->CellText(1, 2), QStringLiteral("Automatique"));
        QCOMPARE(e->CellText(2, 3), QStringLiteral("3,4"));
        QCOMPARE(e->Description(2), QString::fromUtf8("Comète"));
        QCOMPARE(Boxes->Texts(),
                 QStringList({QString::fromUtf8("Les règles de retard de l'appareil ont corrigé "
                                                "ces voies :\n\nVoie 3 : 3,16 s demandées, 3,4 s "
                                                "programmées")}));
    }

    // The box guesses from the cells, and again when the separator changes; the headings and
    // the frame rate are the user's to change.
    void boxGuessesFromTheCells() {
        const QString refusedPoint = QString::fromUtf8(
            "Ligne 2, colonne Heure : « 1.4 » n'est pas un nombre (décimales choisies : la "
            "virgule)");
        WriteFile(Dir->filePath("points.csv"), "Heure;Effet\n1.4;A\n2.2;B\n");
        Import(Dir->filePath("points.csv"), [&](TImportTableur& d) {
            QCOMPARE(d.ComboDecimale->currentIndex(), 1);
            d.ComboDecimale->setCurrentIndex(0);
            QCOMPARE(Items(d.ListeRemarques).value(0), refusedPoint);
            d.ComboSeparateur->setCurrentIndex(2);
            d.ComboSeparateur->setCurrentIndex(0);
            QCOMPARE(d.ComboDecimale->currentIndex(), 1);
            QVERIFY(d.ButtonImporter->isEnabled());
            d.ButtonAnnuler->click();
        });

        // No heading row: offered unchecked, and checking it says which row is not imported.
        WriteFile(Dir->filePath("sans-titres.csv"), "0\n1,4\n3\n");
        Import(Dir->filePath("sans-titres.csv"), [](TImportTableur& d) {
            QVERIFY(!d.CaseTitres->isChecked());
            QCOMPARE(d.Apercu->verticalHeaderItem(0)->text(), QStringLiteral("1"));
            QCOMPARE(d.Apercu->item(0, 0)->text(), QStringLiteral("0"));
            QVERIFY(d.LabelBilan->text().startsWith(QStringLiteral("3 voies")));
            d.CaseTitres->setChecked(true);
            QCOMPARE(Items(d.ListeRemarques),
                     QStringList({QString::fromUtf8("Ligne 1 : prise pour les titres des "
                                                    "colonnes, elle n'est pas importée"),
                                  QString::fromUtf8("Aucune colonne ne donne l'heure ou le "
                                                    "retard des voies")}));
            d.CaseTitres->setChecked(false);
            d.ButtonImporter->click();
        });
        QCOMPARE(Form->ActiveEditor()->CellText(2, 1), QStringLiteral("0"));
        QCOMPARE(Form->ActiveEditor()->CellText(2, 3), QStringLiteral("3"));

        // Frames at 30 per second, and a UTF-16 file.
        WriteFile(Dir->filePath("images.csv"), "Heure\n00:00:03:28\n");
        Import(Dir->filePath("images.csv"), [](TImportTableur& d) {
            QCOMPARE(d.ComboImages->currentText(), QStringLiteral("25"));
            QVERIFY(!d.ButtonImporter->isEnabled());
            d.ComboImages->setCurrentText(QStringLiteral("30"));
            QVERIFY(d.ButtonImporter->isEnabled());
            d.ButtonImporter->click();
        });
        QCOMPARE(Form->ActiveEditor()->CellText(2, 1), QStringLiteral("4"));
        QByteArray utf16("\xFF\xFE", 2);
        for (QChar c : QString::fromUtf8("Heure\tÉtoile\r\n0,2\tComète\r\n"))
            utf16 += QByteArray(reinterpret_cast<const char*>(&c), 2);
        WriteFile(Dir->filePath("unicode.txt"), utf16);
        Import(Dir->filePath("unicode.txt"), [](TImportTableur& d) {
            QCOMPARE(d.Apercu->item(0, 1)->text(), QString::fromUtf8("Étoile"));
            d.ComboDescription->setCurrentIndex(2);
            d.ButtonImporter->click();
        });
        QCOMPARE(Form->ActiveEditor()->Description(1), QString::fromUtf8("Comète"));
        QVERIFY(Boxes->Seen.empty());
    }

    void filesThatGiveNoWindow() {
        struct Case {
            const char* Name;
            QByteArray Bytes; // empty name: no file at all
            QString Message;
        };
        QString notTable = QString::fromUtf8(
            "Le fichier \"%1\" n'est pas un tableau que Salvodesk sait lire.\n\nEnregistrez-le "
            "depuis le tableur au format CSV (texte séparé par des points-virgules, des virgules "
            "ou des tabulations), en UTF-8 ou en Windows-1252.");
        const Case cases[] = {
            {"absent.csv", QByteArray(),
             QString::fromUtf8("Le fichier n'est pas accessible \n\n\r L'opération en cours ne "
                               "sera pas effectuée")},
            {"vide.csv", QByteArray(""), notTable.arg("vide.csv")},
            {"image.csv", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
             notTable.arg("image.csv")},
            {"large.csv", "Heure\n1" + QByteArray(";x").repeated(2000000),
             QString::fromUtf8("Le fichier \"large.csv\" a plus de 256 colonnes : ce n'est pas "
                               "un tableau que Salvodesk sait lire.\n\nUn programme de tir tient "
                               "en quelques colonnes ; enregistrez depuis le tableur la seule "
                               "feuille du programme, au format CSV.")},
        };
        for (const Case& c : cases) {
            QString path = Dir->filePath(c.Name);
            if (!c.Bytes.isNull())
                WriteFile(path, c.Bytes);
            Dialogs.OpenPaths << path;
            Boxes->Seen.clear();
            Trigger(*Form, "FileImportTableur");
            QCOMPARE(Boxes->Texts(), QStringList({c.Message}));
            QCOMPARE(Boxes->Seen.front().Caption, QStringLiteral("Erreur"));
            QVERIFY(Form->Editors().isEmpty());
        }
        // Refused cells keep the box from importing; leaving it makes nothing either.
        QString path = Dir->filePath("faux.csv");
        WriteFile(path, "Voie;Type;Retard\n1;Manuel;1,2,3\n");
        Import(path, [](TImportTableur& d) {
            QVERIFY(!d.ButtonImporter->isEnabled());
            QCOMPARE(Items(d.ListeRemarques),
                     QStringList({QString::fromUtf8(
                         "Ligne 2, colonne Retard : « 1,2,3 » n'est pas un nombre")}));
            d.ButtonAnnuler->click();
        });
        QVERIFY(Form->Editors().isEmpty());
        QVERIFY(!Form->findChild<QAction*>("FileSave")->isEnabled());
    }
};

QTEST_MAIN(SpreadsheetCommandsTest)
#include "SpreadsheetCommandsTest.moc"
