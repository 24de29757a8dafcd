// "&Rafale" on the active document: the dialog opens on the current row, OK writes the burst
// into the grid, Annuler changes nothing.

#include "Boxes.h"
#include "Driver.h"
#include "ScriptedDialogs.h"
#include "model/files/ProgramDocument.h"
#include "ui/dialogs/TGestionRafale.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/shell/Main.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace driver;

namespace {
// Runs f on the burst dialog once it is shown, then presses the named button.
void WhenBurstDialogShows(std::function<void(TGestionRafale&)> f, const char* button) {
    QTimer::singleShot(0, [f, button] {
        auto* dlg = qobject_cast<TGestionRafale*>(QApplication::activeModalWidget());
        if (!dlg)
            qFatal("the burst dialog is not shown");
        f(*dlg);
        dlg->findChild<QPushButton*>(button)->click();
    });
}
} // namespace

class BurstCommandTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void burstFromTheCurrentRowReachesTheGridAndTheFile() {
        TMainForm form;
        ScriptedDialogs dialogs;
        form.SetDialogProvider(&dialogs);
        ShowActive(form);
        BoxAnswers boxes;
        Trigger(form, "FileNew");
        TFenetreEnfant* e = form.ActiveEditor();
        e->ApplyChannelTime(4, 10.0);
        FocusCell(*e, 2, 5);
        e->SetModified(false);

        QString firstShown;
        WhenBurstDialogShows(
            [&](TGestionRafale& d) { firstShown = d.findChild<QLineEdit*>("EditNumVoie")->text(); },
            "BitBtn2");
        Trigger(form, "EditRafaleItem");
        QCOMPARE(firstShown, QStringLiteral("5"));
        QVERIFY(!e->Modified());
        QCOMPARE(e->CellText(1, 6), QStringLiteral("Manuel"));

        // OK with the settings as they stand: one channel after the first, one step later.
        WhenBurstDialogShows([](TGestionRafale&) {}, "BitBtn1");
        Trigger(form, "EditRafaleItem");
        QVERIFY(e->Modified());
        QCOMPARE(e->CellText(1, 6), QStringLiteral("Automatique"));
        QCOMPARE(e->CellText(2, 6), QStringLiteral("10,2"));
        QCOMPARE(e->CellText(2, 5), QStringLiteral("10"));

        QTemporaryDir dir;
        dialogs.SavePaths << dir.filePath("rafale.tir");
        Trigger(form, "FileSave");
        salvo::ProgramDocument back(',');
        QCOMPARE(back.Open(dir.filePath("rafale.tir").toStdString()), salvo::ReadResult::Read);
        QCOMPARE(back.TypeCells[5], std::string("Automatique"));
        QCOMPARE(back.DelayCells[5], std::string("10,2"));
        QVERIFY(boxes.Seen.empty());
    }
};

QTEST_MAIN(BurstCommandTest)
#include "BurstCommandTest.moc"
