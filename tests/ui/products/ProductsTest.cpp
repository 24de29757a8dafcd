// The products of a show through the "Produits" menu: each channel's product chosen by typing
// part of its name, kept with the show when it is saved and opened again; the bilan for one
// program and for every open one; the declaration's pages as a PDF, read back as text, and
// laid out on as many numbered pages as the list needs.

#include "Driver.h"
#include "ProgramUnderTest.h"
#include "RecordingSurface.h"
#include "ui/common/Strings.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/music/TMusique.h"
#include "ui/products/DossierPages.h"
#include "ui/products/TBilan.h"
#include "ui/products/TDossier.h"
#include "ui/products/TProduitsVoies.h"

#include <QCheckBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QMenu>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableWidget>
#include <QtTest>

using namespace salvo;
using namespace salvo::ui;
using namespace driver;

namespace {

Product Article(const char* name, Category c, std::optional<int64_t> grams,
                std::optional<int32_t> calibre = std::nullopt) {
    Product p;
    p.Name = name;
    p.Maker = "Lumière";
    p.Class = c;
    p.Reference = "CE 0589-F4-1234";
    p.MassGrams = grams;
    p.CalibreMm = calibre;
    p.SafetyDistanceCm = 14000;
    return p;
}

// pdftotext gives ligatures ("ﬁ") as their own characters.
QString Plain(const QString& text) {
    return text.normalized(QString::NormalizationForm_KC).simplified();
}

} // namespace

class ProductsTest : public QObject, ProgramUnderTest {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }
    void init() { StartProgram(QSize(1200, 800)); }
    void cleanup() { StopProgram(); }

    void productsAreChosenKeptWithTheShowAndDeclared() {
        QStringList items;
        for (QAction* a : Form->findChild<QMenu*>("ProductsMenu")->actions())
            if (!a->isSeparator())
                items << a->text() + " | " + a->statusTip();
        QCOMPARE(items,
                 QStringList({U("&Catalogue... | Les produits que vous tirez : ajouter, modifier, "
                                "importer d'un tableur"),
                              U("Produits des &voies... | Choisir le produit et la quantité de "
                                "chaque voie"),
                              U("&Bilan de sécurité... | Masse active par catégorie, distance de "
                                "sécurité et déclaration"),
                              U("Imprimer le &dossier de déclaration... | Liste des produits et "
                                "bilan pour le dossier du spectacle"),
                              U("Fiche de c&hargement... | Imprimer la liste de chargement de "
                                "chaque voie"),
                              U("É&tiquettes... | Imprimer une étiquette par voie, à coller sur "
                                "les lignes de tir"),
                              U("Feuille de l'&opérateur... | Imprimer la feuille du tireur : "
                                "quand appuyer, séquence par séquence")}));
        Form->Catalogue().Products = {Article("Bombe 105 pivoine", Category::F4, 620, 105),
                                      Article("Compact 100 coups", Category::F2, 1500),
                                      Article("Chandelle romaine", Category::F3, std::nullopt),
                                      Article("Bombe 75 saule", Category::F4, 180, 75)};
        Trigger(*Form, "FileNew");
        TFenetreEnfant* e = Form->ActiveEditor();
        e->SetDescription(2, U("Déjà décrite"));

        // Typed names: a unique part, an unknown one and an ambiguous one; the last two are
        // refused with a box that names them and the dialog stays open until they are mended.
        QStringList refusals;
        WhenShown<TProduitsVoies>([&](TProduitsVoies& d) {
            auto type = [&](int channel, const char* text) {
                QLineEdit* line = d.ProductBox(channel)->lineEdit();
                line->setFocus();
                line->selectAll();
                QTest::keyClicks(line, QString::fromUtf8(text));
            };
            QPushButton* ok = Control<QPushButton>(d, "ButtonOK");
            // Channel 1 from the list the typing opens, as a user picks it.
            type(1, "pivo");
            QAbstractItemView* list = d.ProductBox(1)->completer()->popup();
            QTRY_VERIFY(list->isVisible());
            QTest::keyClick(list, Qt::Key_Down);
            QTest::keyClick(list, Qt::Key_Return);
            QCOMPARE(d.ProductBox(1)->currentText(), U("Bombe 105 pivoine"));
            type(2, "compact");
            d.QuantityBox(2)->setValue(3);
            type(3, "chandelle");
            type(4, "zzz");
            Boxes->Queue({"OK"});
            ok->click();
            QVERIFY(d.isVisible());
            type(4, "bombe");
            Boxes->Queue({"OK"});
            ok->click();
            QVERIFY(d.isVisible());
            QCOMPARE(d.ProductBox(4)->currentText(), QString());
            refusals = Boxes->Texts();
            d.CaseReprendreNom->setChecked(true);
            ok->click();
        });
        Trigger(*Form, "ProduitsVoiesItem");
        QCOMPARE(refusals, QStringList({U("Aucun produit ne porte le nom « zzz »."),
                                        U("2 produits contiennent « bombe » : tapez davantage de "
                                          "leur nom ou choisissez dans la liste.")}));
        TMusique* music = TMusique::Of(e, false);
        QVERIFY(music);
        QCOMPARE(int(music->Beyond.Channels.size()), 3);
        QCOMPARE(music->Beyond.Channels.at(2).Quantity, 3);
        QCOMPARE(music->Beyond.Channels.at(1).Item, Form->Catalogue().Products[0]);
        QCOMPARE(e->CellText(3, 1), U("Bombe 105 pivoine"));
        QCOMPARE(e->CellText(3, 2), U("Déjà décrite"));
        QCOMPARE(e->CellText(3, 3), U("Chandelle romaine"));
        QVERIFY(e->Modified());

        // Saved, closed and opened again: the products come back from the show's file, the
        // catalogue no longer needed.
        Dialogs.SavePaths << P("finale.tir");
        Trigger(*Form, "FileSaveAs");
        QVERIFY(QFile::exists(P("finale.musique")));
        Trigger(*Form, "FileFermerItem");
        Form->Catalogue().Products.clear();
        Dialogs.OpenPaths << P("finale.tir");
        Trigger(*Form, "FileOpen");
        e = Form->ActiveEditor();
        QVERIFY(e && TMusique::Of(e, false));
        const std::map<int, ChannelProduct> kept = TMusique::Of(e, false)->Beyond.Channels;
        QCOMPARE(int(kept.size()), 3);
        QCOMPARE(kept.at(3).Item.Name, std::string("Chandelle romaine"));

        QString verdict, missing, certificate;
        WhenShown<TBilan>([&](TBilan& d) {
            verdict = d.LabelVerdict->text();
            missing = d.LabelManques->text();
            certificate = d.LabelCertificat->text();
            QCOMPARE(d.TableCategories->item(1, 2)->text(), U("4,500 kg"));
            QCOMPARE(d.TableCategories->item(2, 2)->text(), U("0,000 kg (masse inconnue pour 1)"));
            d.reject();
        });
        Trigger(*Form, "ProduitsBilanItem");
        QCOMPARE(verdict, U(VerdictSpectacle));
        QCOMPARE(missing, U("Sans produit : « finale », voies 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, "
                            "15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29 et 30.\n"
                            "Produit sans masse active : « finale », voie 3."));
        QCOMPARE(certificate,
                 U("Les articles F4 et T2 de ce tir demandent le certificat de qualification de "
                   "niveau 2, à cause de :\n- « Bombe 105 pivoine » (« finale », voie 1) : masse "
                   "active de 620 g, plus de 500 g ; calibre de 105 mm, 105 mm ou plus."));

        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (Debian package poppler-utils) is needed to read the dossier");
        WhenShown<TDossier>([](TDossier& d) {
            d.EditLieu->setText(U("Plage du Prado, Marseille"));
            d.EditDate->setText(U("14/07/2027 22:30"));
            d.EditResponsable->setText(U("Jeanne Martin"));
            d.EditCertificat->setText(U("C4-T2 n° 1234"));
            d.ComboNiveau->setCurrentIndex(2);
            d.ButtonPdf->click();
        });
        Dialogs.SavePaths << P("dossier.pdf");
        Trigger(*Form, "ProduitsDossierItem");
        QCOMPARE(TMusique::Of(e, false)->Beyond.Declaration.Place,
                 std::string("Plage du Prado, Marseille"));
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {P("dossier.pdf"), QStringLiteral("-")});
        QVERIFY(p.waitForFinished(20000));
        const QString text = Plain(QString::fromUtf8(p.readAllStandardOutput()));
        for (const char* expected :
             {"Liste des produits et bilan de sécurité", "Lieu : Plage du Prado, Marseille",
              "Date et heure : 14/07/2027 22:30", "Organisateur : (non renseigné)",
              "Responsable de tir : Jeanne Martin, certificat C4-T2 n° 1234, niveau 2",
              "Ce tir est un spectacle pyrotechnique : il se déclare au maire et au préfet au "
              "moins un mois avant la date.",
              "F2 : 3 articles, 4,500 kg", "Plus grande distance de sécurité : 140 m",
              "Page 1 / 2", "Page 2 / 2", "Bombe 105 pivoine Lumière F4 CE 0589-F4-1234 105 1 620 0,620 140",
              "Compact 100 coups Lumière F2 CE 0589-F4-1234 inconnu 3 1500 4,500 140",
              "Total incomplet : la masse active de 1 produit de la liste n'est pas connue."})
            QVERIFY2(text.contains(U(expected)), expected);
    }

    // A show of two boxes: each under 35 kg, together over it.
    void theBilanAddsUpEveryOpenProgram() {
        auto box = [](const char* title) {
            ProgramProducts p;
            p.Title = title;
            p.Channels[1] = {Article("Gâteau 200 coups", Category::F3, 4000), 5};
            return p;
        };
        TBilan d({box("Boîte 1")}, {box("Boîte 1"), box("Boîte 2")});
        QVERIFY(d.LabelVerdict->text().startsWith(U(VerdictNotSpectacle)));
        d.CaseTousProgrammes->setChecked(true);
        QCOMPARE(d.LabelVerdict->text(), U(VerdictSpectacle));
        QCOMPARE(d.LabelRaisons->text(),
                 U("Les articles F2, F3 et T1 totalisent 40,000 kg de matière active, plus de "
                   "35 kg."));
        QCOMPARE(d.TableCategories->item(6, 1)->text(), QString("10"));
    }

    // The example show: two boxes, each under 35 kg of F2, F3 and T1, together over it.
    void theExampleShowIsASpectacleOnlyAsAWhole() {
        for (const char* box : {"feu-plage-boite-1.tir", "feu-plage-boite-2.tir"}) {
            Dialogs.OpenPaths << QString(SALVODESK_SOURCE_DIR "/docs/example/") + box;
            Trigger(*Form, "FileOpen");
        }
        QCOMPARE(Boxes->Texts(), QStringList());
        QStringList verdicts;
        WhenShown<TBilan>([&](TBilan& d) {
            verdicts << d.TableCategories->item(6, 2)->text() << d.LabelVerdict->text();
            d.CaseTousProgrammes->setChecked(true);
            verdicts << d.TableCategories->item(6, 2)->text() << d.LabelVerdict->text();
            d.reject();
        });
        Trigger(*Form, "ProduitsBilanItem");
        QCOMPARE(verdicts, QStringList({"17,270 kg", U(VerdictNotSpectacle), "36,240 kg",
                                        U(VerdictSpectacle)}));
    }

    // The list goes on over as many pages as it needs, its headings and a number on each; a
    // mass that is not known is said so, never counted as zero.
    void theProductListRunsOverNumberedPages() {
        DossierSheet sheet;
        sheet.ShowTitle = "Finale";
        ProgramProducts program;
        for (int n = 1; n <= 30; ++n)
            program.Channels[n] = {Article(qPrintable(QString("Produit %1").arg(n, 2, 10, QChar('0'))),
                                           Category::F3, n == 7 ? std::nullopt : std::optional<int64_t>(100 * n)),
                                   2};
        sheet.Programs = {program, program};
        RecordingSurface surface;
        surface.HeightPerPoint = 40; // tall lines: few rows to a page
        std::vector<size_t> breaks; // the calls drawn before each page break
        QVERIFY(DrawDossier(sheet, surface, [&] { return breaks.push_back(surface.Calls.size()), true; }));
        const int pages = int(breaks.size()) + 1;
        QVERIFY2(pages >= 4, qPrintable(QString::number(pages)));
        QCOMPARE(DossierPageCount(sheet, surface), pages);
        for (int page = 1; page <= pages; ++page)
            QCOMPARE(int(surface.TextsEqual(QString("Page %1 / %2").arg(page).arg(pages)).size()), 1);
        // The headings on every page of the list, which begins on a page of its own.
        size_t listStart = 0;
        while (surface.Calls[listStart].Text != "Liste des produits")
            ++listStart;
        const int listPages =
            pages - int(std::count_if(breaks.begin(), breaks.end(), [&](size_t b) { return b <= listStart; }));
        QVERIFY(listPages >= 2);
        QCOMPARE(int(surface.TextsEqual("Nom commercial").size()), listPages);
        // Each product once, fired four times (2 per channel, 2 programs).
        QCOMPARE(int(surface.TextsEqual("Produit 07").size()), 1);
        QCOMPARE(int(surface.TextsEqual("inconnue").size()), 2); // unit and total of product 7
        QCOMPARE(int(surface.TextsEqual("120").size()), 1);      // the articles in all
        QCOMPARE(int(surface.TextsEqual("183,200").size()), 1);
        QCOMPARE(int(surface.TextsEqual("Total incomplet : la masse active de 1 produit de la "
                                        "liste n'est pas connue.").size()), 1);
    }
};

QTEST_MAIN(ProductsTest)
#include "ProductsTest.moc"
