// The crew's sheets: labels where the sheet's layout puts them, from a chosen first label and
// over as many sheets as it takes; the operator's rows with music and without; the loading
// sheet, the labels and the operator's sheet printed to PDF through the menu and read back.

#include "Driver.h"
#include "ProgramUnderTest.h"
#include "RecordingSurface.h"
#include "model/sheets/Labels.h"
#include "model/sheets/OperatorSheet.h"
#include "ui/common/Strings.h"
#include "ui/sheets/SheetPages.h"
#include "ui/sheets/TFeuille.h"

#include <QComboBox>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QStandardPaths>
#include <QtTest>

#include <cmath>

using namespace salvo;
using namespace salvo::ui;
using namespace driver;

class CrewSheetsTest : public QObject, ProgramUnderTest {
    Q_OBJECT

    QString PdfText(const QString& pdf) {
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        p.waitForFinished(20000);
        return QString::fromUtf8(p.readAllStandardOutput())
            .normalized(QString::NormalizationForm_KC)
            .simplified();
    }

    QString PageSize(const QString& pdf) {
        QProcess p;
        p.start(QStringLiteral("pdfinfo"), {pdf});
        p.waitForFinished(20000);
        const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Page size: +(.*)\n"))
                                              .match(QString::fromUtf8(p.readAllStandardOutput()));
        return m.captured(1).trimmed();
    }

    // Prints the active program's sheet to a PDF through the menu and its dialog.
    QString Print(const char* command, const QString& pdf,
                  std::function<void(TFeuille&)> choose = nullptr) {
        WhenShown<TFeuille>([choose](TFeuille& d) {
            if (choose)
                choose(d);
            d.ButtonPdf->click();
        });
        Dialogs.SavePaths << pdf;
        Trigger(*Form, command);
        return PdfText(pdf);
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }
    void init() { StartProgram(QSize(1200, 800)); }
    void cleanup() { StopProgram(); }

    void labelsSitWhereTheSheetHasThem() {
        struct Case {
            int Layout, First, Count;
            int Sheets;
        };
        for (const Case& c : {Case{0, 0, 24, 1}, Case{0, 23, 2, 2}, Case{1, 5, 12, 2}}) {
            const LabelLayout& layout = LabelLayouts()[size_t(c.Layout)];
            std::vector<LabelText> labels;
            for (int n = 1; n <= c.Count; ++n)
                labels.push_back({QString("Voie %1").arg(n), "Bombe", "12,4 s", U("N° 123456")});
            RecordingSurface s; // A4 at 600 dpi, 5 mm unprintable margins
            int sheets = 1;
            QVERIFY(DrawLabels(labels, layout, c.First, s, [&] { return ++sheets, true; }));
            QCOMPARE(sheets, c.Sheets);
            const double dots = 600 / 25.4;
            for (int n = 1; n <= c.Count; ++n) {
                const int place = (c.First + n - 1) % layout.PerSheet();
                const double xMm = layout.LeftMm + place % layout.Columns * layout.PitchXMm + 5;
                const double yMm = layout.TopMm + place / layout.Columns * layout.PitchYMm + 3;
                const std::vector<DrawCall> at = s.TextsEqual(QString("Voie %1").arg(n));
                QCOMPARE(int(at.size()), 1);
                QVERIFY2(std::fabs((at[0].X1 + s.Device.OffsetLeft) / dots - xMm) < 0.1 &&
                             std::fabs((at[0].Y1 + s.Device.OffsetTop) / dots - yMm) < 0.1,
                         qPrintable(QString("label %1 at %2, %3 mm").arg(n)
                                        .arg((at[0].X1 + s.Device.OffsetLeft) / dots)
                                        .arg((at[0].Y1 + s.Device.OffsetTop) / dots)));
            }
        }
        // The layouts fit A4.
        for (const LabelLayout& l : LabelLayouts()) {
            const LabelRect last = LabelAt(l, l.PerSheet() - 1);
            QVERIFY(last.X + last.Width <= 210.0 && last.Y + last.Height <= 297.0);
        }
    }

    void operatorRowsWithAndWithoutMusic() {
        const std::vector<SequenceSpan> sequences = {{0, 9, 12.4}, {10, 10, 0}, {11, 29, 31.2}};
        const std::vector<Marker> markers = {{4.0, "Entrée"}, {151.43, "Refrain"}};
        auto rows = [](const std::vector<OperatorRow>& r) {
            QStringList out;
            for (const OperatorRow& row : r)
                out << QString("%1|%2|%3|%4|%5").arg(row.Number)
                           .arg(row.Start ? Q(MinutesText(*row.Start, ',')) : QString("-"))
                           .arg(Q(row.Marker)).arg(Q(ChannelRange(row.FirstChannel, row.LastChannel)))
                           .arg(row.Duration);
            return out;
        };
        QCOMPARE(rows(OperatorRows(sequences, {4.0, 20.0, 151.4}, markers)),
                 QStringList({U("1|0:04,0|Entrée|1 à 10|12.4"), U("2|0:20,0||11|0"),
                              U("3|2:31,4|Refrain|12 à 30|31.2")}));
        QCOMPARE(rows(OperatorRows(sequences, {}, markers)),
                 QStringList({U("1|-||1 à 10|12.4"), U("2|-||11|0"), U("3|-||12 à 30|31.2")}));
        QCOMPARE(Q(MinutesText(59.96, ',')), QString("1:00,0"));
    }

    void theThreeSheetsThroughTheMenu() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (Debian package poppler-utils) is needed to read the sheets");
        Dialogs.OpenPaths << SALVODESK_SOURCE_DIR "/docs/example/feu-plage-boite-1.tir";
        Trigger(*Form, "FileOpen");

        const QString loading = Print("ProduitsChargementItem", P("chargement.pdf"));
        for (const char* expected :
             {"Fiche de chargement - Feu de la plage - boîte 1", "Ignivelle V30 n° 123456",
              "Chargé", "25 Automatique 4,2 s Compact 49 coups soleil",
              "Bombe 50 mm pivoine rouge", "Page 1 / 2", "Page 2 / 2"})
            QVERIFY2(loading.contains(U(expected)), expected);

        // A printer set to Letter: the labels still go out on A4, and the printer keeps Letter.
        Dialogs.Paper = QPageSize::Letter;
        Trigger(*Form, "FilePrintSetup");
        const QString labels = Print("ProduitsEtiquettesItem", P("etiquettes.pdf"), [](TFeuille& d) {
            d.ComboDisposition->setCurrentIndex(1);
            d.SpinPremiere->setValue(14);
        });
        for (const char* expected : {"Voie 1 Gâteau 100 coups comètes", "Voie 30", "N° 123456"})
            QVERIFY2(labels.contains(U(expected)), expected);
        // On paper: the first label on the 14th place of the first sheet (2nd column, 7th row),
        // the second on the first place of the next sheet, 5 mm and 3 mm inside their corners.
        const LabelLayout& layout = LabelLayouts()[1];
        const std::pair<int, QPointF> spots[] = {
            {1, {layout.LeftMm + layout.PitchXMm + 5, layout.TopMm + 6 * layout.PitchYMm + 3}},
            {2, {layout.LeftMm + 5, layout.TopMm + 3}}};
        for (const auto& [page, mm] : spots) {
            QProcess p;
            p.start("pdftotext", {"-bbox", "-f", QString::number(page), "-l", QString::number(page),
                                  P("etiquettes.pdf"), "-"});
            QVERIFY(p.waitForFinished(20000));
            const QString words = QString::fromUtf8(p.readAllStandardOutput());
            const QRegularExpressionMatch m =
                QRegularExpression(R"re(xMin="([\d.]+)" yMin="([\d.]+)"[^>]*>Voie<)re").match(words);
            QVERIFY(m.hasMatch());
            const QPointF at(m.captured(1).toDouble() / 72 * 25.4, m.captured(2).toDouble() / 72 * 25.4);
            QVERIFY2(std::fabs(at.x() - mm.x()) < 0.5 && std::fabs(at.y() - mm.y()) < 0.5,
                     qPrintable(QString("page %1: %2, %3 mm").arg(page).arg(at.x()).arg(at.y())));
        }

        QVERIFY2(PageSize(P("etiquettes.pdf")).endsWith("(A4)"), qPrintable(PageSize(P("etiquettes.pdf"))));

        const QString plain = Print("ProduitsOperateurItem", P("operateur.pdf"));
        QVERIFY2(PageSize(P("operateur.pdf")).endsWith("(letter)"), qPrintable(PageSize(P("operateur.pdf"))));
        QVERIFY2(plain.contains(U("Séquence Voies Durée 1 1 à 10 20 s 2 11 à 20 19,6 s 3 21 à 30 6,2 s")), qPrintable(plain));

        // A program set to music: each press at its time in the music, the marker there.
        Boxes->Queue({"OK"}); // its sound file is not in the examples
        Dialogs.OpenPaths << SALVODESK_SOURCE_DIR "/docs/example/feu-en-musique.tir";
        Trigger(*Form, "FileOpen");
        const QString music = Print("ProduitsOperateurItem", P("operateur-musique.pdf"));
        QVERIFY2(music.contains(U("Séquence Appui Repère Voies Durée 1 0:04,0 Entrée 1 à 10")),
                 qPrintable(music));
    }
};

QTEST_MAIN(CrewSheetsTest)
#include "CrewSheetsTest.moc"
