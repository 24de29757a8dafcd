// Every document command of every menu, run with a delay typed and not yet committed: what it
// produces (file bytes, the printed page, the cue track, the rehearsal's plan, the program
// itself afterwards) is what it produces once the delay is committed, and not what the
// program held before the typing.

#include "Driver.h"
#include "ProgramUnderTest.h"
#include "model/io/Wave.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/music/TMusique.h"
#include "ui/music/TPisteSignaux.h"
#include "ui/music/TRepetition.h"
#include "ui/shell/FileCommands.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <functional>

using namespace salvo;
using namespace driver;

namespace {

enum class Typing { None, WithoutEnter, WithEnter };

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(no file)");
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}


} // namespace

class CommandsTest : public QObject, ProgramUnderTest {
    Q_OBJECT

    // Channel 1 manual, 2 automatic at 2,2 s; channel 3 manual with 4 and 5 behind it. The
    // second sequence's planned start follows the first one's end, so channel 2 moves it.
    TFenetreEnfant* NewShow() {
        Trigger(*Form, "FileNew");
        TFenetreEnfant* e = Form->ActiveEditor();
        e->ChangeChannelType(1, Automatic);
        e->ChangeChannelType(3, Automatic);
        e->ChangeChannelType(4, Automatic);
        e->ApplyChannelTime(1, 2.2);
        e->ApplyChannelTime(2, 0.4);
        e->ApplyChannelTime(3, 1.0);
        e->ApplyChannelTime(4, 2.0);
        std::vector<int16_t> silence(size_t(8000) * 30, 0);
        Write(P("music.wav"), QByteArray::fromStdString(WaveBytes(silence, 1, 8000)));
        Write(P("repères.txt"), "0.5\t0.5\tun\n1.5\t1.5\tdeux\n3.0\t3.0\ttrois\n");
        Dialogs.OpenPaths << P("music.wav") << P("repères.txt");
        Trigger(*Form, "MusiqueAssocierItem");
        Trigger(*Form, "MusiqueReperesItem");
        TMusique::Of(e)->WaitForWave();
        return e;
    }

    static QByteArray Program(TFenetreEnfant* e) {
        QByteArray out;
        for (int n = 1; n <= 6; ++n)
            out += QByteArray::number(e->Link().Slots[size_t(n - 1)].Type) + ":" +
                   QByteArray::number(e->Link().GetChannelTime(n - 1)) + " ";
        return out;
    }

    static QByteArray PdfText(const QString& pdf) {
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        p.waitForFinished(20000);
        return p.readAllStandardOutput();
    }

    struct Row {
        const char* Command;
        // Prepares the dialogs the command will show, runs it, and returns what it produced.
        std::function<QByteArray(CommandsTest&, TFenetreEnfant*, const QString& run)> Run;
        bool TypedValueShows = true; // false where the command overwrites that very delay
        // The music's keys run while a cell is typed and leave it being typed: they see the
        // program as it was before the typing, which goes on afterwards.
        bool LeavesTyping = false;
    };

    static QByteArray Plain(CommandsTest& t, TFenetreEnfant* e, const char* command) {
        WhenShown<QWidget>([](QWidget&) {}, Shown::Lenient);
        Trigger(*t.Form, command);
        return Program(e);
    }

    static std::vector<Row> Rows() {
        auto plain = [](const char* command) {
            return Row{command, [command](CommandsTest& t, TFenetreEnfant* e, const QString&) {
                           return Plain(t, e, command);
                       }};
        };
        std::vector<Row> rows = {
            {"FileExportTableur",
             [](CommandsTest& t, TFenetreEnfant*, const QString& run) {
                 t.Dialogs.SavePaths << t.P(run + ".csv");
                 Trigger(*t.Form, "FileExportTableur");
                 return Bytes(t.P(run + ".csv"));
             }},
            {"FilePrint",
             [](CommandsTest& t, TFenetreEnfant*, const QString& run) {
                 t.Dialogs.PdfPath = t.P(run + ".pdf");
                 Trigger(*t.Form, "FilePrint");
                 return PdfText(t.P(run + ".pdf"));
             }},
            {"MusiqueSignauxItem",
             [](CommandsTest& t, TFenetreEnfant*, const QString& run) {
                 t.Dialogs.SavePaths << t.P(run + ".wav");
                 WhenShown<TPisteSignaux>([](TPisteSignaux& d) { d.accept(); }, Shown::Lenient);
                 Trigger(*t.Form, "MusiqueSignauxItem");
                 return Bytes(t.P(run + ".wav"));
             }},
            {"MusiqueRepetitionItem",
             [](CommandsTest& t, TFenetreEnfant*, const QString&) {
                 QByteArray plan;
                 WhenShown<TRepetition>([&plan](TRepetition& d) {
                     for (const RehearsalSequence& s : d.Run().Sequences()) {
                         plan += QByteArray::number(s.Planned) + ":";
                         for (const ChainShot& shot : s.Chain)
                             plan += QByteArray::number(shot.Channel) + "@" +
                                     QByteArray::number(qint64(shot.Milliseconds)) + " ";
                     }
                 }, Shown::Lenient);
                 Trigger(*t.Form, "MusiqueRepetitionItem");
                 return plan;
             }},
            {"MusiqueCalerItem",
             [](CommandsTest& t, TFenetreEnfant* e, const QString&) {
                 return Plain(t, e, "MusiqueCalerItem");
             },
             false},
            plain("FilePrintPreview"),
            plain("EditRafaleItem"),
            plain("MusiqueDetacherItem"),
            {"MusiqueLectureItem",
             [](CommandsTest& t, TFenetreEnfant* e, const QString&) {
                 return Plain(t, e, "MusiqueLectureItem");
             },
             true, true},
            {"MusiqueMarquerItem",
             [](CommandsTest& t, TFenetreEnfant* e, const QString&) {
                 return Plain(t, e, "MusiqueMarquerItem");
             },
             true, true},
            plain("MusiqueListeReperesItem"),
            plain("ProduitsVoiesItem"),
            plain("ProduitsBilanItem"),
            plain("ProduitsDossierItem"),
            plain("ProduitsChargementItem"),
            plain("ProduitsEtiquettesItem"),
            plain("ProduitsOperateurItem"),
            {"MusiqueAssocierItem",
             [](CommandsTest& t, TFenetreEnfant* e, const QString&) {
                 t.Dialogs.OpenPaths << t.P("music.wav");
                 return Plain(t, e, "MusiqueAssocierItem");
             }},
            {"MusiqueReperesItem",
             [](CommandsTest& t, TFenetreEnfant* e, const QString&) {
                 t.Dialogs.OpenPaths << t.P("repères.txt");
                 return Plain(t, e, "MusiqueReperesItem");
             }},
        };
        return rows;
    }

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext (Debian package poppler-utils) is needed to read the printed page");
    }
    void init() { StartProgram(QSize(1200, 800)); }
    void cleanup() { StopProgram(); }

    // A command added to a menu without a row here fails this test.
    void everyDocumentCommandHasARow() {
        // Read nothing of the program, run as typed (saving writes the cells as shown), or
        // are driven after a typed delay with a device on the line (the transfer and
        // read-back tests).
        const QStringList elsewhere = {"FileNew",
                                       "FileOpen",
                                       "FileSave",
                                       "FileSaveAs",
                                       "FileImportTableur",
                                       "FileFermerItem",
                                       "FilePrintSetup",
                                       "FileExit",
                                       "EditUndo",
                                       "EditCut",
                                       "EditCopy",
                                       "EditPaste",
                                       "ConnectionConfigurationItem",
                                       "ConnectionTransfertItem",
                                       "MusiqueFrappeItem",
                                       "ProduitsCatalogueItem",
                                       "ConnectionVerifierItem",
                                       "ConnectionLireItem",
                                       "WindowTile",
                                       "WindowCascade",
                                       "WindowArrange",
                                       "HelpGuide",
                                       "HelpAbout"};
        QStringList inRows;
        for (const Row& r : Rows())
            inRows << QString::fromLatin1(r.Command);
        for (QAction* menu : Form->menuBar()->actions())
            for (QAction* a : menu->menu()->actions())
                if (!a->isSeparator())
                    QVERIFY2(inRows.contains(a->objectName()) ||
                                 elsewhere.contains(a->objectName()),
                             qPrintable(a->objectName() + " has no row"));
    }

    // The cue track and the spreadsheet never replace a file of the open program or its music,
    // and replace any other file only when the user says so.
    void writersAskBeforeReplacingAndNeverTakeTheProgramsFiles() {
        TFenetreEnfant* e = NewShow();
        Dialogs.SavePaths << P("show.tir") << P("show.tir");
        Trigger(*Form, "FileSaveAs");
        Boxes->Queue({"OK"});
        Trigger(*Form, "FileSaveAs"); // the second save leaves show.Bak
        Write(P("other"), "other\n");
        struct Case {
            const char* target;
            const char* answer; // to the replace question; none: refused without one
            bool replaced;
        };
        const Case cases[] = {{"music.wav", nullptr, false}, {"show.tir", nullptr, false},
                              {"show.Bak", nullptr, false},  {"show.musique", nullptr, false},
                              {"other", "Annuler", false},   {"other", "OK", true}};
        for (const char* command : {"FileExportTableur", "MusiqueSignauxItem"})
            for (const Case& c : cases) {
                const QByteArray before = Bytes(P(c.target));
                Boxes->Seen.clear();
                // Once its file is settled, the cue track says that some starts are too close
                // for its countdown.
                const bool cue = qstrcmp(command, "MusiqueSignauxItem") == 0 && c.replaced;
                if (c.answer)
                    Boxes->Queue({QString::fromLatin1(c.answer)});
                if (cue)
                    Boxes->Queue({"&Non"});
                Dialogs.SavePaths << P(c.target);
                WhenShown<TPisteSignaux>([](TPisteSignaux& d) { d.accept(); }, Shown::Lenient);
                Trigger(*Form, command);
                QCoreApplication::processEvents();
                const QString what = QStringLiteral("%1 %2").arg(command, c.target);
                QVERIFY2(int(Boxes->Seen.size()) == (cue ? 2 : 1),
                         qPrintable(what + Boxes->Texts().join("|")));
                const QString name = QString::fromUtf8(c.target);
                QCOMPARE(Boxes->Seen.front().Text,
                         c.answer ? QString::fromUtf8("Le fichier \"%1\" existe déjà \n\n\r "
                                                      "Voulez vous le remplacer?")
                                        .arg(name)
                                  : QString::fromUtf8(MsgOwnFile).arg(name));
                QVERIFY2((Bytes(P(c.target)) != before) == c.replaced, qPrintable(what));
                if (c.replaced)
                    Write(P("other"), "other\n");
            }
        QVERIFY(!e->Modified());
    }

    void everyCommandUsesTheDelayBeingTyped() {
        for (const Row& row : Rows()) {
            QByteArray produced[3];
            for (Typing typing : {Typing::None, Typing::WithoutEnter, Typing::WithEnter}) {
                StopProgram();
                StartProgram(QSize(1200, 800));
                TFenetreEnfant* e = NewShow();
                if (typing != Typing::None) {
                    FocusCell(*e, 2, 2);
                    Type(QStringLiteral("9"));
                    if (typing == Typing::WithEnter)
                        Key(Qt::Key_Return);
                }
                const QString run = QStringLiteral("%1-%2").arg(row.Command).arg(int(typing));
                produced[int(typing)] = row.Run(*this, e, run);
                QVERIFY2(!produced[int(typing)].isEmpty(), row.Command);
            }
            if (row.LeavesTyping) {
                QVERIFY2(produced[1] == produced[0] && produced[1] != produced[2], row.Command);
                continue;
            }
            QVERIFY2(produced[1] == produced[2], row.Command);
            if (row.TypedValueShows)
                QVERIFY2(produced[1] != produced[0], row.Command);
        }
    }
};

QTEST_MAIN(CommandsTest)
#include "CommandsTest.moc"
