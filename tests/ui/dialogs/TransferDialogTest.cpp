// Transfers from the real program into the simulated device, and the port selection, on a
// fake set of serial ports: COMn links in a temporary home folder.

#include "Boxes.h"
#include "Driver.h"
#include "IgnivelleSim.h"
#include "device/port/PosixSerialLine.h"
#include "ui/common/Messages.h"
#include "ui/dialogs/TConfigurationPort.h"
#include "ui/dialogs/TDlgGestionConnection.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/shell/Main.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>
#include <functional>

using namespace driver;
using salvo::sim::DeviceOptions;
using salvo::sim::SimulatedDevice;

namespace {

const QStringList Instructions = {
    QString::fromUtf8("Connectez le ignivelle au PC par la liaison série."),
    QString::fromUtf8("Mettez en marche l'appareil en appuyant sur le bouton."),
    QString::fromUtf8("Appuyez sur \"Connecter\" pour lancer le transfert.")};


// One tick after another until the session goes idle (connect enabled again) or n ticks.
void RunTicks(TDlgConnection& d, int n = 80) {
    for (int i = 0; i < n && !d.ButtonConnection->isEnabled(); ++i) {
        d.TimerConnectionTimer();
        QCoreApplication::processEvents(); // the posted endings
    }
}

} // namespace

class TransferDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> Home;
    std::unique_ptr<TMainForm> Form;
    std::unique_ptr<BoxAnswers> Boxes;

    std::string PortLink(int n) const {
        return Home->filePath(QStringLiteral(".config/salvodesk/ports/COM%1").arg(n)).toStdString();
    }
    TDlgConnection& Dialog() { return *Form->TransferDialog; }

    TFenetreEnfant* NewDocument(const char* serial) {
        Trigger(*Form, "FileNew");
        TFenetreEnfant* e = Form->ActiveEditor();
        e->SetSerialNumber(QString::fromUtf8(serial));
        return e;
    }

private slots:
    void init() {
        Home = std::make_unique<QTemporaryDir>();
        std::filesystem::create_directories(std::filesystem::path(PortLink(1)).parent_path());
        std::filesystem::create_directories(Home->filePath("dev").toStdString());
        std::filesystem::create_directories(Home->filePath("sys").toStdString());
        salvo::SetDefaultPortRoots({Home->path().toStdString(), Home->filePath("dev").toStdString(),
                                    Home->filePath("sys").toStdString()});
        Form = std::make_unique<TMainForm>();
        ShowActive(*Form);
        Boxes = std::make_unique<BoxAnswers>();
    }
    void cleanup() {
        CloseProgram(Form);
        Boxes.reset();
        salvo::ResetDefaultPortRoots();
    }

    void dialogLooksAsLaidOutAndShowsTheInstructions() {
        TDlgConnection& d = Dialog();
        QCOMPARE(d.windowTitle(), QStringLiteral("Gestion de Connexion"));
        QCOMPARE(d.size(), QSize(396, 352));
        QVERIFY(!(d.windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(d.ButtonConnection->text(), QStringLiteral("&Connecter"));
        QCOMPARE(d.BoutonAnulation->toolTip(), QStringLiteral("Annulation de la transmission"));
        QCOMPARE(d.ButtonQuitter->toolTip(), QString::fromUtf8("Quittez la fenêtre"));
        QCOMPARE(d.EditStatus->geometry(), QRect(8, 24, 305, 105));
        QVERIFY(d.ButtonConnection->isEnabled() && !d.BoutonAnulation->isEnabled());
        QVERIFY(d.ProgressionBar->isHidden() && d.LabelProgression->isHidden());
        QCOMPARE(d.StatusLines(), Instructions);
        // Shown twice: the memo holds the three lines each time. Escape does nothing while
        // cancel is disabled; quit leaves.
        NewDocument("");
        for (int i = 0; i < 2; ++i) {
            QStringList seen;
            WhenShown<TDlgConnection>([&seen](TDlgConnection& dlg) {
                seen = dlg.StatusLines();
                QTest::keyClick(&dlg, Qt::Key_Escape);
                QVERIFY(dlg.isVisible());
                dlg.ButtonQuitter->click();
            });
            Trigger(*Form, "ConnectionTransfertItem");
            QCOMPARE(seen, Instructions);
        }
    }

    void aMissingPortSaysSoAndChangesNothing() {
        NewDocument("1");
        QString reason;
        WhenShown<TDlgConnection>([&reason](TDlgConnection& dlg) {
            QTest::keyClick(&dlg, Qt::Key_Return); // the default button: connect
            QVERIFY(dlg.ButtonConnection->isEnabled());
            QVERIFY(!dlg.TimerConnection->isActive());
            reason = dlg.StatusLines().last();
            dlg.ButtonQuitter->click();
        });
        Trigger(*Form, "ConnectionTransfertItem");
        QCOMPARE(Boxes->Texts(),
                 QStringList({QString::fromUtf8("Le port série n'est pas valide")}));
        QCOMPARE(Boxes->Seen[0].Caption, QStringLiteral("Information"));
        QCOMPARE(reason, QString::fromUtf8("Le port COM1 est absent : aucun port série ne lui "
                                           "correspond (adaptateur débranché ?)."));
    }

    void wholeTransferWithTheRealTimerEndsInTheSuccessBox() {
        SimulatedDevice device(DeviceOptions{2, "", 4000000000u, 2, 7});
        QCOMPARE(device.Start(), 0);
        QCOMPARE(device.LinkAs(PortLink(1)), 0);
        TFenetreEnfant* e = NewDocument("4000000000");
        e->ChangeChannelType(3, salvo::Automatic);
        e->ApplyChannelTime(3, 2.4);
        e->ApplyChannelTime(29, 6553.4);
        int beeps = salvo::ui::BeepCount();
        Boxes->Queue({"&Oui"});
        QStringList memo;
        int barAtEnd = -1;
        QElapsedTimer clock;
        WhenShown<TDlgConnection>([&](TDlgConnection& dlg) {
            clock.start();
            dlg.ButtonConnection->click();
            QVERIFY(dlg.TimerConnection->isActive());
            QCOMPARE(dlg.TimerConnection->interval(), 1500);
            QVERIFY(!dlg.ButtonConnection->isEnabled() && dlg.BoutonAnulation->isEnabled());
            QTRY_VERIFY_WITH_TIMEOUT(dlg.ButtonConnection->isEnabled(), 20000);
            memo = dlg.StatusLines();
            barAtEnd = dlg.ProgressionBar->value();
            dlg.ButtonQuitter->click();
        });
        Trigger(*Form, "ConnectionTransfertItem");
        QVERIFY(clock.elapsed() >= 1500 + 30 * 200);
        QCOMPARE(Boxes->Texts(),
                 QStringList({QString::fromUtf8("La programmation du ignivelle a réussi.")}));
        QCOMPARE(Boxes->Seen[0].Buttons,
                 std::vector<salvo::ui::BoxButton>{salvo::ui::BoxButton::Yes});
        QCOMPARE(salvo::ui::BeepCount(), beeps + 1);
        QStringList expected = Instructions;
        expected << " "
                 << "Recherche de la connexion."
                 << QStringLiteral("COM1 : %1 : pseudo-terminal")
                        .arg(QString::fromStdString(device.SlavePath()))
                 << QString::fromUtf8("Appareil connecté") << " "
                 << "Demande du type d'appareil"
                 << "Ignivelle V30"
                 << " " << QString::fromUtf8("Demande du numéro de série")
                 << QString::fromUtf8("Le numéro de série est : 4000000000")
                 << "La version du circuit est 2.7"
                 << " " << QString::fromUtf8("Transmission des données")
                 << QString::fromUtf8("Transmission réussie") << " " << Instructions;
        QCOMPARE(memo, expected);
        QCOMPARE(barAtEnd, 0); // hidden and reset after the ending
        auto regs = device.Registers();
        for (int i = 0; i < 30; ++i) {
            int word = regs[size_t(2 * i)] | (regs[size_t(2 * i + 1)] << 8);
            QCOMPARE(word, int(e->Link().ChannelWord(i)));
        }
        QCOMPARE(int(e->Link().ChannelWord(3)), 0x800C);
        QVERIFY(!e->Link().PortOpen()); // quit released it
    }

    void failedEndingsShowTheirTextsAndCanStartAgain() {
        SimulatedDevice device(DeviceOptions{0, "", 5, 1, 0});
        QCOMPARE(device.Start(), 0);
        QCOMPARE(device.LinkAs(PortLink(1)), 0);
        NewDocument("5"); // a 30-channel document, a 15-channel device
        QStringList afterWrongModel, afterNak;
        bool restartable = false;
        WhenShown<TDlgConnection>([&](TDlgConnection& dlg) {
            dlg.ButtonConnection->click();
            RunTicks(dlg);
            afterWrongModel = dlg.StatusLines().mid(3);
            restartable = dlg.ButtonConnection->isEnabled() && !dlg.BoutonAnulation->isEnabled();
            // The same device, now of the right model, refusing its fifth register write.
            device.SetOptions(DeviceOptions{2, "", 5, 1, 0, false, 0, 5});
            dlg.ButtonConnection->click();
            RunTicks(dlg);
            afterNak = dlg.StatusLines();
            dlg.ButtonQuitter->click();
        });
        Trigger(*Form, "ConnectionTransfertItem");
        QVERIFY(restartable);
        QCOMPARE(afterWrongModel.mid(0, 7),
                 QStringList({" ", "Recherche de la connexion.",
                              QStringLiteral("COM1 : %1 : pseudo-terminal")
                                  .arg(QString::fromStdString(device.SlavePath())),
                              QString::fromUtf8("Appareil connecté"), " ",
                              "Demande du type d'appareil", " "}));
        QCOMPARE(afterWrongModel.at(7), QStringLiteral("Mauvais type d'appareil"));
        int failed = afterNak.indexOf(QStringLiteral("Erreur de transmission"));
        QVERIFY(failed > 0);
        QCOMPARE(afterNak.at(failed + 1),
                 QString::fromUtf8("Attention : l'appareil contient maintenant un programme "
                                   "incomplet (voies 1 à 2 écrites). Recommencez le transfert."));
        QCOMPARE(
            Boxes->Texts(),
            QStringList({QString::fromUtf8("Le type d'appareil ne correspond pas à un "
                                           "Ignivelle.\n\n\rL'appareil n'est pas un Ignivelle!"),
                         QString::fromUtf8("Une erreur de transmission est survenue.\n\n\r Vous "
                                           "pouvez essayer de recommencer un autre transfert.")}));
        // Two register writes of channel 0 and 1 went through before the refusal.
        QCOMPARE(device.Registers()[0], uint8_t(0));
    }

    // A delay typed without Enter is what the device gets; a refused one stops every command
    // that reads the document before it starts.
    void aDelayBeingTypedIsEndedBeforeTheDocumentIsRead() {
        SimulatedDevice device(DeviceOptions{2, "", 7, 1, 0});
        QCOMPARE(device.Start(), 0);
        QCOMPARE(device.LinkAs(PortLink(1)), 0);
        TFenetreEnfant* e = NewDocument("7");
        FocusCell(*e, 2, 2);
        Type(QStringLiteral("77"));
        WhenShown<TDlgConnection>([](TDlgConnection& dlg) {
            dlg.ButtonConnection->click();
            RunTicks(dlg);
            dlg.ButtonQuitter->click();
        });
        Trigger(*Form, "ConnectionTransfertItem");
        QCOMPARE(Boxes->Texts(), QStringList({QString::fromUtf8(MsgDelaysAdjusted),
                                              QString::fromUtf8("La programmation du ignivelle "
                                                                "a réussi.")}));
        auto regs = device.Registers();
        QCOMPARE(regs[2] | (regs[3] << 8), 385); // 77 s in steps of 0,2 s

        const char* commands[] = {"ConnectionTransfertItem", "ConnectionVerifierItem",
                                  "EditRafaleItem", "FilePrint", "FilePrintPreview"};
        QString sep(e->DecimalSeparator());
        struct Refused {
            int row;
            QString typed;
            int boxes; // the refusal, then the editing's own warning
        };
        const Refused refused[] = {{1, QStringLiteral("7000"), 2},
                                   {2, QStringLiteral("4") + sep + "4" + sep, 2}};
        for (const Refused& r : refused) {
            for (const char* command : commands) {
                FocusCell(*e, 2, r.row);
                Type(r.typed);
                Boxes->Seen.clear();
                QString shown;
                QTimer::singleShot(0, [&shown] {
                    if (QWidget* w = QApplication::activeModalWidget()) {
                        shown = QString::fromLatin1(w->metaObject()->className());
                        w->close();
                    }
                });
                Trigger(*Form, command);
                QCoreApplication::processEvents();
                QVERIFY2(shown.isEmpty(), qPrintable(shown + " shown by " + command));
                QCOMPARE(int(Boxes->Seen.size()), r.boxes);
                QCOMPARE(Boxes->Texts().last(), QString::fromUtf8(MsgDelaysAdjusted));
                Key(Qt::Key_Escape);
            }
        }
        QCOMPARE(e->Link().GetChannelTime(1), 77.0);
    }

    void serialRefusedWritesNothingAndCancelKeepsThePort() {
        SimulatedDevice device(DeviceOptions{2, "", 3000000000u, 1, 0});
        QCOMPARE(device.Start(), 0);
        QCOMPARE(device.LinkAs(PortLink(1)), 0);
        device.SetRegister(0, 0x5A);
        TFenetreEnfant* first = NewDocument("");
        Boxes->Queue({"&Non"});
        QStringList memo;
        WhenShown<TDlgConnection>([&](TDlgConnection& dlg) {
            dlg.ButtonConnection->click();
            RunTicks(dlg);
            memo = dlg.StatusLines();
            dlg.BoutonAnulation->setEnabled(true); // as a session left it after a cancel
            dlg.BoutonAnulation->click();
        });
        Trigger(*Form, "ConnectionTransfertItem");
        QCOMPARE(Boxes->Texts(), QStringList({QString::fromUtf8(
                                     "Le numéro de série du ignivelle (3000000000) n'est "
                                     "pas le numéro de série enregistré (0)\n\n\rVoulez "
                                     "vous programmer ce ignivelle avec ce programme?")}));
        QCOMPARE(Boxes->Seen[0].Caption, QStringLiteral("Avertissement"));
        QVERIFY(
            memo.contains(QString::fromUtf8("Programmation abandonnée! Mauvais numéro de série.")));
        QCOMPARE(device.Registers()[0], uint8_t(0x5A));
        QVERIFY(first->Link().PortOpen()); // cancel keeps it

        // Another document cannot use the port while the first one holds it.
        NewDocument("3000000000");
        QString reason;
        WhenShown<TDlgConnection>([&reason](TDlgConnection& dlg) {
            dlg.ButtonConnection->click();
            reason = dlg.StatusLines().last();
            dlg.ButtonQuitter->click();
        });
        Trigger(*Form, "ConnectionTransfertItem");
        QCOMPARE(Boxes->Texts().last(), QString::fromUtf8("Le port série n'est pas valide"));
        QVERIFY2(reason.startsWith(QStringLiteral("Le port COM1 (")) &&
                     reason.contains(QString::fromUtf8(") est occupé par un autre programme")),
                 qPrintable(reason));
        // Closing the first document lets the port go.
        first->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(salvo::ProbePort("\\.\\COM1"), 0);
    }

    // Cancel in the data step closes the dialog at once: the warning waits for its next showing.
    void cancelInTheDataStepIsSaidWhenShownAgain() {
        SimulatedDevice device;
        QCOMPARE(device.Start(), 0);
        QCOMPARE(device.LinkAs(PortLink(1)), 0);
        NewDocument("0");
        int written = 0; // the real timer may have sent one more meanwhile
        WhenShown<TDlgConnection>([&written](TDlgConnection& dlg) {
            dlg.ButtonConnection->click();
            RunTicks(dlg, 3 + 4);
            QVERIFY(dlg.ProgressionBar->isVisible());
            written = dlg.TransferSession().SendIndex;
            dlg.BoutonAnulation->click();
        });
        Trigger(*Form, "ConnectionTransfertItem");
        QStringList shown;
        WhenShown<TDlgConnection>([&shown](TDlgConnection& dlg) {
            shown = dlg.StatusLines();
            dlg.ButtonQuitter->click();
        });
        Trigger(*Form, "ConnectionTransfertItem");
        QVERIFY(written >= 4 && written < 30);
        QCOMPARE(shown, Instructions +
                            QStringList{QString::fromUtf8("Attention : l'appareil contient "
                                                          "maintenant un programme incomplet "
                                                          "(voies 1 à %1 écrites). Recommencez le "
                                                          "transfert.")
                                            .arg(written)});
        QVERIFY(Boxes->Texts().isEmpty());
    }

    void portSelectionGreysMissingPortsAndKeepsTheChoice() {
        SimulatedDevice one, three;
        QCOMPARE(one.Start(), 0);
        QCOMPARE(three.Start(), 0);
        QCOMPARE(one.LinkAs(PortLink(1)), 0);
        QCOMPARE(three.LinkAs(PortLink(3)), 0);
        TConfPort& d = *Form->PortDialog;
        QCOMPARE(d.windowTitle(), QString::fromUtf8("Comfiguration du port série"));
        QCOMPARE(d.size(), QSize(481, 210));
        QCOMPARE(d.SelectedPort(), 1);

        // COM1 is held by another program: still offered.
        salvo::CP02 holder;
        holder.SetPort(0);
        QCOMPARE(holder.OpenPort(), 0);
        QString oneReaches = QString::fromStdString(one.SlavePath()) + " : pseudo-terminal";
        WhenShown<TConfPort>([&oneReaches](TConfPort& dlg) {
            QVERIFY(dlg.Radio(1)->isEnabled() && dlg.Radio(3)->isEnabled());
            QVERIFY(!dlg.Radio(2)->isEnabled() && !dlg.Radio(4)->isEnabled());
            QCOMPARE(dlg.Radio(1)->text(), QStringLiteral("COM1"));
            QCOMPARE(dlg.Description(1)->text(), oneReaches);
            QCOMPARE(dlg.Description(2)->text(), QStringLiteral("absent"));
            QVERIFY(!dlg.Description(2)->isEnabled());
            QTest::mouseClick(dlg.Radio(3), Qt::LeftButton);
            dlg.findChild<QPushButton*>("Validation")->click();
        });
        Trigger(*Form, "ConnectionConfigurationItem");
        QCOMPARE(Form->PortIndex, 2);

        // COM3 gone: shown checked and greyed; "Valider" keeps it.
        std::filesystem::remove(PortLink(3));
        WhenShown<TConfPort>([](TConfPort& dlg) {
            QVERIFY(dlg.Radio(3)->isChecked() && !dlg.Radio(3)->isEnabled());
            dlg.findChild<QPushButton*>("Validation")->click();
        });
        Trigger(*Form, "ConnectionConfigurationItem");
        QCOMPARE(Form->PortIndex, 2);
        // Ports linked after the dialog was first shown are offered at the next opening.
        QCOMPARE(three.LinkAs(PortLink(3)), 0);
        SimulatedDevice four;
        QCOMPARE(four.Start(), 0);
        QCOMPARE(four.LinkAs(PortLink(4)), 0);
        WhenShown<TConfPort>([](TConfPort& dlg) {
            QVERIFY(dlg.Radio(3)->isEnabled() && dlg.Radio(4)->isEnabled());
            QVERIFY(dlg.Description(4)->text().endsWith(QStringLiteral(" : pseudo-terminal")));
            QTest::mouseClick(dlg.Radio(4), Qt::LeftButton);
            dlg.close();
        });
        Trigger(*Form, "ConnectionConfigurationItem");
        QCOMPARE(Form->PortIndex, 3);
    }
};

QTEST_MAIN(TransferDialogTest)
#include "TransferDialogTest.moc"
