// "Vérifier l'appareil" and "Lire l'appareil" from the real menu, with the real timer, against
// the simulated device linked as COM1 and holding a known program file.

#include "Boxes.h"
#include "Driver.h"
#include "IgnivelleSim.h"
#include "ScriptedDialogs.h"
#include "device/port/PosixSerialLine.h"
#include "ui/dialogs/TDlgGestionConnection.h"
#include "ui/dialogs/TDlgLecture.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/shell/Main.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <functional>

using namespace driver;
using salvo::sim::DeviceOptions;
using salvo::sim::SimulatedDevice;

namespace {

// A program as a device can hold it: no title, version or descriptions.
const char* const ShowFile = "VersionFichier ; 2\n"
                             "TypeIgnivelle ; 2\n"
                             "TitreListeTir ; \n"
                             "NumeroSerie ; 424242\n"
                             "Version ; \n"
                             "NumVoie ; TypeVoie ; Retard ; Description\n"
                             "1 ; 0 ; 0 ; \n2 ; 1 ; 0,4 ; \n3 ; 1 ; 1,2 ; \n4 ; 1 ; 2 ; \n"
                             "5 ; 0 ; 15 ; \n6 ; 1 ; 15,6 ; \n7 ; 1 ; 16,2 ; \n8 ; 1 ; 16,8 ; \n"
                             "9 ; 0 ; 30 ; \n10 ; 1 ; 30,2 ; \n11 ; 1 ; 30,4 ; \n12 ; 0 ; 45,8 ; \n"
                             "13 ; 1 ; 47 ; \n14 ; 1 ; 48,4 ; \n15 ; 0 ; 60 ; \n16 ; 1 ; 61 ; \n"
                             "17 ; 1 ; 62 ; \n18 ; 0 ; 100 ; \n19 ; 1 ; 100,2 ; \n"
                             "20 ; 1 ; 100,4 ; \n21 ; 0 ; 1234,6 ; \n22 ; 1 ; 1240 ; \n"
                             "23 ; 0 ; 2000 ; \n24 ; 1 ; 2000,2 ; \n25 ; 0 ; 3000 ; \n"
                             "26 ; 1 ; 3001 ; \n27 ; 0 ; 6553,4 ; \n28 ; 1 ; 6600 ; \n"
                             "29 ; 1 ; 6600,2 ; \n30 ; 0 ; 0,2 ; \n";


QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool AnyRegisterWrite(const SimulatedDevice& device) {
    auto log = device.Log();
    return std::any_of(log.begin(), log.end(), [](const salvo::sim::ByteRecord& r) {
        return r.FromProgram && r.Value == 0x8B;
    });
}

} // namespace

class ReadBackDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> Home;
    std::unique_ptr<TMainForm> Form;
    std::unique_ptr<BoxAnswers> Boxes;
    ScriptedDialogs Dialogs;

    std::string PortLink() const {
        return Home->filePath(QStringLiteral(".config/salvodesk/ports/COM1")).toStdString();
    }

    // Runs one read-back session in the dialog the command shows, then quits it.
    QStringList RunCommand(const char* command, QString* caption = nullptr) {
        QStringList memo;
        WhenShown<TDlgLecture>([&](TDlgLecture& dlg) {
            if (caption)
                *caption = dlg.windowTitle();
            dlg.ButtonConnection->click();
            QTRY_VERIFY_WITH_TIMEOUT(dlg.ButtonConnection->isEnabled(), 20000);
            memo = dlg.StatusLines();
            dlg.ButtonQuitter->click();
        });
        Trigger(*Form, command);
        return memo;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void init() {
        Home = std::make_unique<QTemporaryDir>();
        std::filesystem::create_directories(std::filesystem::path(PortLink()).parent_path());
        std::filesystem::create_directories(Home->filePath("dev").toStdString());
        std::filesystem::create_directories(Home->filePath("sys").toStdString());
        salvo::SetDefaultPortRoots({Home->path().toStdString(), Home->filePath("dev").toStdString(),
                                    Home->filePath("sys").toStdString()});
        Form = std::make_unique<TMainForm>();
        Form->SetDialogProvider(&Dialogs);
        ShowActive(*Form);
        Boxes = std::make_unique<BoxAnswers>();
    }
    void cleanup() {
        CloseProgram(Form);
        Boxes.reset();
        salvo::ResetDefaultPortRoots();
    }

    void menuItemsEndTheConnectionMenu() {
        auto* menu = Form->findChild<QMenu*>("ConnectionMenu");
        QList<QAction*> items = menu->actions();
        QCOMPARE(items.size(), 4);
        QCOMPARE(items[2]->objectName(), QStringLiteral("ConnectionVerifierItem"));
        QCOMPARE(items[2]->text(), QString::fromUtf8("&Vérifier l'appareil"));
        QCOMPARE(items[2]->statusTip(),
                 QString::fromUtf8("Comparer l'appareil avec le programme en cours"));
        QCOMPARE(items[3]->objectName(), QStringLiteral("ConnectionLireItem"));
        QCOMPARE(items[3]->text(), QString::fromUtf8("&Lire l'appareil"));
        QCOMPARE(items[3]->statusTip(),
                 QString::fromUtf8("Lire le programme contenu dans l'appareil"));
        QVERIFY(!items[2]->isEnabled() && items[3]->isEnabled());
        Trigger(*Form, "FileNew");
        QVERIFY(items[2]->isEnabled());
        Form->ActiveEditor()->close();
        QTRY_VERIFY(!items[2]->isEnabled());
        QVERIFY(items[3]->isEnabled());
    }

    // Lire gives a window whose save is the device's program file, byte for byte; Vérifier on
    // it finds the device holds it, then names the one channel changed in the document.
    void lireThenVerifier() {
        QString show = Home->filePath("show.tir");
        QFile f(show);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(ShowFile);
        f.close();
        DeviceOptions options;
        QCOMPARE(QString::fromStdString(salvo::sim::LoadProgramFile(show.toStdString(), options)),
                 QString());
        SimulatedDevice device(options);
        QCOMPARE(device.Start(), 0);
        QCOMPARE(device.LinkAs(PortLink()), 0);

        QString caption;
        QStringList memo = RunCommand("ConnectionLireItem", &caption);
        QCOMPARE(caption, QString::fromUtf8("Lecture de l'appareil"));
        QCOMPARE(memo.at(5), QStringLiteral("COM1 : %1 : pseudo-terminal")
                                 .arg(QString::fromStdString(device.SlavePath())));
        QVERIFY(memo.contains(QString::fromUtf8("Lecture réussie")));
        // It never writes, and says so; the transfer dialog keeps its own words.
        QCOMPARE(memo.last(),
                 QString::fromUtf8("Appuyez sur \"Connecter\" pour lancer la lecture."));
        QCOMPARE(Form->ReadBackDialog()->LabelProgression->text(),
                 QString::fromUtf8("Progression de la lecture"));
        QCOMPARE(Form->TransferDialog->LabelProgression->text(),
                 QString::fromUtf8("Progression de la transmission"));
        QCOMPARE(Form->TransferDialog->StatusLines().last(),
                 QString::fromUtf8("Appuyez sur \"Connecter\" pour lancer le transfert."));
        QVERIFY(Boxes->Seen.empty());
        QCOMPARE(Form->Editors().size(), 1);
        TFenetreEnfant* e = Form->ActiveEditor();
        QCOMPARE(e->windowTitle(), QStringLiteral("Appareil 424242"));
        QVERIFY(e->Modified());
        QCOMPARE(e->SelectedModel(), 2);
        QCOMPARE(e->CellText(2, 28), QStringLiteral("6600"));
        // The command's own link let the port go.
        QCOMPARE(salvo::ProbePort("\\.\\COM1"), 0);

        QString saved = Home->filePath("lu.tir");
        Dialogs.SavePaths << saved;
        Trigger(*Form, "FileSave");
        QCOMPARE(Dialogs.ProposedNames, QStringList({QStringLiteral("Appareil 424242")}));
        QCOMPARE(FileBytes(saved), QByteArray(ShowFile));
        QVERIFY(!e->Modified());

        memo = RunCommand("ConnectionVerifierItem", &caption);
        QCOMPARE(caption, QString::fromUtf8("Vérification de l'appareil"));
        QCOMPARE(Boxes->Texts(),
                 QStringList({QString::fromUtf8("L'appareil contient exactement ce programme.")}));
        QCOMPARE(Boxes->Seen.back().Caption, QStringLiteral("Information"));
        QVERIFY(!e->Modified());

        // Channel 8, the last of its sequence, typed as 17 without Enter: Vérifier commits it
        // first, as leaving the window would.
        FocusCell(*e, 2, 8);
        Type(QStringLiteral("17"));
        memo = RunCommand("ConnectionVerifierItem");
        QCOMPARE(Boxes->Texts().at(Boxes->Texts().size() - 2),
                 QString::fromUtf8(MsgDelaysAdjusted));
        QVERIFY(memo.contains(
            QString::fromUtf8("Voie 8 : programme Automatique, retard 0,8 s (à 17 s) ; appareil "
                              "Automatique, retard 0,6 s (à 16,8 s)")));
        QCOMPARE(Boxes->Texts().last(), QString::fromUtf8("L'appareil ne contient pas ce "
                                                          "programme.\n\nVoies différentes : 8."));
        QCOMPARE(Boxes->Seen.back().Caption, QStringLiteral("Avertissement"));
        QCOMPARE(e->Link().GetChannelTime(7), 17.0);
        QVERIFY(!AnyRegisterWrite(device));
    }

    void garbledDeviceMakesNoWindow() {
        DeviceOptions options;
        options.GarbageDigits = true;
        SimulatedDevice device(options);
        QCOMPARE(device.Start(), 0);
        QCOMPARE(device.LinkAs(PortLink()), 0);
        QStringList memo = RunCommand("ConnectionLireItem");
        QVERIFY(memo.contains(QStringLiteral("Erreur de transmission")));
        QCOMPARE(Boxes->Texts(), QStringList({QString::fromUtf8(
                                     "Une erreur de transmission est survenue.\n\nVous pouvez "
                                     "recommencer la lecture.")}));
        QVERIFY(Form->Editors().isEmpty());
        QVERIFY(!AnyRegisterWrite(device));
    }
};

QTEST_MAIN(ReadBackDialogTest)
#include "ReadBackDialogTest.moc"
