// Printing through a real QPrinter into a PDF file, read back with poppler's tools.

#include "Boxes.h"
#include "Driver.h"
#include "ScriptedDialogs.h"
#include "ui/editor/Printing.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/shell/Application.h"
#include "ui/shell/Main.h"

#include <QMenu>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace salvo::ui;

namespace {

PrintSheet MakeSheet(int modelIndex, int count) {
    PrintSheet s;
    s.Title = QStringLiteral("Final du 14 juillet");
    s.Version = QStringLiteral("2.1");
    s.SerialNumber = QStringLiteral("123456");
    s.ModelIndex = modelIndex;
    s.ChannelCount = count;
    s.JobName = QStringLiteral("final");
    for (int n = 1; n <= count; ++n)
        s.Rows.push_back({QString::number(n),
                          n % 4 == 1 ? QStringLiteral("Manuel") : QStringLiteral("Automatique"),
                          n % 2 ? QString::number(n) : QStringLiteral("%1,4").arg(n),
                          QStringLiteral("Bombe %1").arg(n)});
    return s;
}

// Runs a poppler tool; a null string when it is not there.
QString Run(const QString& tool, const QStringList& args) {
    if (QStandardPaths::findExecutable(tool).isEmpty())
        return {};
    QProcess p;
    p.start(tool, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("(%1 failed: %2)")
            .arg(tool, QString::fromUtf8(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The page of a PDF file as a grey picture, byte for byte; empty when it cannot be made.
QByteArray Picture(const QString& pdf) {
    const QString base = pdf + QStringLiteral("-page");
    QProcess p;
    p.start(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QStringLiteral("50"), QStringLiteral("-gray"),
             QStringLiteral("-singlefile"), pdf, base});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return {};
    QFile f(base + QStringLiteral(".pgm"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void SetUpPdf(QPrinter& printer, const QString& path) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setPageSize(QPageSize(QPageSize::A4));
}

// Searched after every other translator: what reaches it, none of them translated.
class Untranslated : public QTranslator {
public:
    mutable QStringList Seen;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char*, int) const override {
        const QString c = QString::fromLatin1(context);
        static const QRegularExpression word(QStringLiteral("[A-Za-z]{2}"));
        if ((c.startsWith(QLatin1String("QPrint")) || c.startsWith(QLatin1String("QPageSetup")) ||
             c.startsWith(QLatin1String("QCups"))) &&
            word.match(QString::fromUtf8(source)).hasMatch())
            Seen << c + QStringLiteral(": ") + QString::fromUtf8(source);
        return {};
    }
};

} // namespace

class PrintProgramTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void pdfHoldsTheWholeSheetOnOnePage_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("modelName");
        QTest::newRow("Ignivelle SII, 15 rows") << 1 << 15 << "Ignivelle SII";
        QTest::newRow("Ignivelle V30, 30 rows") << 2 << 30 << "Ignivelle V30";
    }
    void pdfHoldsTheWholeSheetOnOnePage() {
        QFETCH(int, model);
        QFETCH(int, rows);
        QFETCH(QString, modelName);
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
            QSKIP(
                "pdftotext and pdfinfo (Debian package poppler-utils) are needed to read the PDF");

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("sheet.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        SetUpPdf(printer, path);
        BoxAnswers boxes;
        QVERIFY(PrintProgram(MakeSheet(model, rows), printer, 2));
        QVERIFY(boxes.Seen.empty());
        QCOMPARE(printer.copyCount(), 2);
        QVERIFY(QFileInfo(path).size() > 0);

        const QString info = Run(QStringLiteral("pdfinfo"), {path});
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("^Pages:\\s+1$"),
                                                  QRegularExpression::MultilineOption)),
                 qPrintable(info));
        QVERIFY2(info.contains(QRegularExpression(QStringLiteral("^Title:\\s+final$"),
                                                  QRegularExpression::MultilineOption)),
                 qPrintable(info));

        const QString text = Run(QStringLiteral("pdftotext"),
                                 {QStringLiteral("-layout"), path, QStringLiteral("-")});
        const QString date =
            QLocale().toString(QDate::currentDate(), QLocale().dateFormat(QLocale::ShortFormat));
        const QStringList expected = {
            QStringLiteral("Final du 14 juillet"),
            QStringLiteral("Version :  2.1"),
            QStringLiteral("Numéro de série : 123456"),
            QStringLiteral("Type Ignivelle : ") + modelName,
            QStringLiteral("N° de la ligne"),
            QStringLiteral("Type de la voie"),
            QStringLiteral("Retard de la voie"),
            QStringLiteral("Description"),
            QStringLiteral("Date d'impression :  ") + date,
        };
        // pdftotext turns the runs of blanks into one blank or into layout.
        QStringList lines;
        for (const QString& line : text.split(QLatin1Char('\n')))
            lines << line.simplified();
        for (const QString& e : expected)
            QVERIFY2(lines.filter(e.simplified()).size() == 1,
                     qPrintable(e + QStringLiteral("\n") + text));

        // One line per channel: number, type, delay with its decimal, description.
        for (int n = 1; n <= rows; ++n) {
            const QString type =
                n % 4 == 1 ? QStringLiteral("Manuel") : QStringLiteral("Automatique");
            const QRegularExpression row(QStringLiteral("^\\s*%1\\s+%2\\s+%1,%3\\s+Bombe %1\\s*$")
                                             .arg(n)
                                             .arg(type)
                                             .arg(n % 2 ? 0 : 4),
                                         QRegularExpression::MultilineOption);
            QVERIFY2(text.contains(row), qPrintable(row.pattern() + QStringLiteral("\n") + text));
        }
        QVERIFY(!text.contains(QStringLiteral("Bombe %1").arg(rows + 1)));
    }

    void aFailedJobShowsPrintError_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("leavesNoFile");
        QTest::newRow("folder that does not exist") << "missing/sheet.pdf" << true;
        // Every write fails there, as on a full disk, though the file opens.
        QTest::newRow("full disk") << "/dev/full" << false;
    }
    void aFailedJobShowsPrintError() {
        QFETCH(QString, path);
        QFETCH(bool, leavesNoFile);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        if (leavesNoFile)
            path = dir.filePath(path);
        else if (!QFileInfo::exists(path))
            QSKIP("this system has no /dev/full");
        QPrinter printer(QPrinter::HighResolution);
        SetUpPdf(printer, path);
        BoxAnswers boxes;
        boxes.Queue({QStringLiteral("OK")});
        QVERIFY(!PrintProgram(MakeSheet(2, 30), printer, 1));
        QCOMPARE(boxes.Seen.size(), size_t(1));
        QCOMPARE(boxes.Seen[0].Caption, QStringLiteral("Information"));
        QCOMPARE(boxes.Seen[0].Text, QStringLiteral("Erreur d'impression"));
        QCOMPARE(boxes.Seen[0].Buttons, std::vector<BoxButton>{BoxButton::Ok});
        if (leavesNoFile)
            QVERIFY(!QFileInfo::exists(path));
    }

    // File > Aperçu avant impression... shows the one page that File > Imprimer prints, and the
    // preview's own print button prints that page.
    void previewShowsAndPrintsThePrintedPage() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
            QSKIP("pdftoppm (Debian package poppler-utils) is needed to compare the pages");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        TMainForm form;
        driver::ShowActive(form);
        ScriptedDialogs dialogs;
        form.SetDialogProvider(&dialogs);
        BoxAnswers boxes;
        const QList<QAction*> items = form.findChild<QMenu*>(QStringLiteral("FileMenu"))->actions();
        QCOMPARE(items.at(items.indexOf(driver::Action(form, "FilePrint")) + 1),
                 driver::Action(form, "FilePrintPreview"));
        driver::Trigger(form, "FileNew");
        TFenetreEnfant* e = form.ActiveEditor();
        e->SetTitle(QStringLiteral("Feu du lac"));
        e->ChangeChannelType(2, 1);
        e->ApplyChannelTime(2, 12.4);
        e->SetDescription(3, QStringLiteral("Bombe 100 mm"));
        dialogs.PdfPath = dir.filePath(QStringLiteral("printed.pdf"));
        driver::Trigger(form, "FilePrint");

        const QString previewed = dir.filePath(QStringLiteral("previewed.pdf"));
        int pages = -1;
        bool printDialogShown = false;
        QTimer::singleShot(0, [&] {
            auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget());
            if (!preview)
                return;
            pages = preview->findChild<QPrintPreviewWidget*>()->pageCount();
            preview->printer()->setOutputFileName(previewed);
            QTimer::singleShot(0, [&] {
                auto* print = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
                printDialogShown = print != nullptr;
                if (print)
                    print->accept();
            });
            const QString printText = QCoreApplication::translate("QPrintPreviewDialog", "Print");
            for (QAction* a : preview->findChildren<QAction*>())
                if (a->text() == printText) {
                    a->trigger();
                    return;
                }
            preview->reject();
        });
        driver::Trigger(form, "FilePrintPreview");
        QCOMPARE(pages, 1);
        QVERIFY(printDialogShown);
        QVERIFY(boxes.Seen.empty());
        const QByteArray printedPage = Picture(dialogs.PdfPath);
        QVERIFY(!printedPage.isEmpty());
        QCOMPARE(Picture(previewed), printedPage);
    }
    // Without a printer, "Imprimer" and "Configuration imprimante..." say so and offer the
    // printed page as a PDF file.
    void withoutAPrinterThePageIsOfferedAsAPdf() {
        QTemporaryDir dir;
        TMainForm form;
        driver::ShowActive(form);
        ScriptedDialogs dialogs;
        form.SetDialogProvider(&dialogs);
        BoxAnswers boxes;
        driver::Trigger(form, "FileNew");
        TFenetreEnfant* e = form.ActiveEditor();
        e->SetTitle(QStringLiteral("Feu du lac"));
        e->ApplyChannelTime(2, 12.4);
        e->SetModified(false);
        dialogs.PdfPath = dir.filePath(QStringLiteral("printed.pdf"));
        driver::Trigger(form, "FilePrint"); // with a printer: the print dialog

        dialogs.HasPrinter = false;
        const QString printed = dir.filePath(QStringLiteral("sans imprimante.pdf"));
        const QString setUp = dir.filePath(QStringLiteral("configuration.pdf"));
        dialogs.SavePaths << printed << setUp;
        boxes.Queue({"Annuler", "Enregistrer en PDF...", "Annuler", "Enregistrer en PDF..."});
        for (const char* command : {"FilePrint", "FilePrint", "FilePrintSetup", "FilePrintSetup"})
            driver::Trigger(form, command);
        const QString noPrinter = QString::fromUtf8("Aucune imprimante n'est installée.");
        QCOMPARE(boxes.Texts(), QStringList({noPrinter, noPrinter, noPrinter, noPrinter}));
        QCOMPARE(boxes.Seen[0].Buttons,
                 std::vector<BoxButton>({BoxButton::SavePdf, BoxButton::Cancel}));
        QCOMPARE(dialogs.PrintShown, 1);
        QCOMPARE(dialogs.PageSetupShown, 0);
        QCOMPARE(dialogs.ProposedNames, QStringList({"NONAME1", "NONAME1"}));
        QCOMPARE(dialogs.SaveFilters,
                 QStringList({"Fichier PDF (*.pdf)|*.pdf", "Fichier PDF (*.pdf)|*.pdf"}));
        QVERIFY(!e->Modified());
        if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
            QSKIP("pdftoppm (Debian package poppler-utils) is needed to compare the pages");
        const QByteArray page = Picture(dialogs.PdfPath);
        QVERIFY(!page.isEmpty());
        QCOMPARE(Picture(printed), page);
        QCOMPARE(Picture(setUp), page);
    }

    // Qt's print, printer properties and page set-up dialogs leave no text in English.
    void printDialogsSpeakFrench() {
        if (QLibraryInfo::path(QLibraryInfo::TranslationsPath).isEmpty() ||
            !QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                           QStringLiteral("/qtbase_fr.qm")))
            QSKIP("Qt's French catalogue (qt6-translations-l10n) is not installed");
        Untranslated untranslated;
        QCoreApplication::installTranslator(&untranslated);
        InstallQtFrench(*QCoreApplication::instance());
        QPrinter printer;
        {
            QPrintDialog print(&printer);
            print.show();
            QString propertiesTitle;
            QStringList tabs;
            QTimer::singleShot(0, [&] {
                QWidget* w = QApplication::activeModalWidget();
                propertiesTitle = w->windowTitle();
                for (QTabWidget* t : w->findChildren<QTabWidget*>())
                    for (int i = 0; i < t->count(); ++i)
                        tabs << t->tabText(i);
                w->close();
            });
            auto* properties = print.findChild<QPushButton*>(QStringLiteral("properties"));
            QVERIFY(properties && properties->isEnabled());
            properties->click();
            QCOMPARE(propertiesTitle, QString::fromUtf8("Propriétés de l'imprimante"));
            QVERIFY2(tabs.contains(QString::fromUtf8("Avancé")), qPrintable(tabs.join('|')));
        }
        printer.setOutputFormat(QPrinter::PdfFormat);
        { QPageSetupDialog setup(&printer); }
        QCoreApplication::removeTranslator(&untranslated);
        untranslated.Seen.removeDuplicates();
        QCOMPARE(untranslated.Seen.join(QLatin1Char('\n')), QString());
    }
};

QTEST_MAIN(PrintProgramTest)
#include "PrintProgramTest.moc"
