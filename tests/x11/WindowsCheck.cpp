// The windows as laid out on a real display with a window manager: labels against their fields,
// cascaded editors, the status line of a menu opened from the keyboard, boxes in front of the
// dialogs, title bars, dialogs closed by the window manager, the list of windows. Run by
// tests/x11/run.

#include "Driver.h"
#include "IgnivelleSim.h"
#include "ScriptedDialogs.h"
#include "device/port/PosixSerialLine.h"
#include "model/io/Wave.h"
#include "ui/common/Messages.h"
#include "ui/dialogs/TDlgGestionConnection.h"
#include "ui/dialogs/TGestionRafale.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/music/TMusique.h"
#include "ui/products/TProduitsVoies.h"
#include "ui/shell/Application.h"
#include "ui/shell/Main.h"
#include "ui/timeline/MusicLane.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QCompleter>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

using namespace driver;

namespace {
// What waits on the window manager may take on a loaded machine. A window manager or an X
// server that dies is caught at once by run, which then ends this program.
constexpr int WindowManagerMs = 60000;

QString Output(const QString& program, const QStringList& arguments,
               const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(program, arguments);
    if (!p.waitForFinished(WindowManagerMs)) {
        p.kill();
        p.waitForFinished();
    }
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

void Xdotool(const QStringList& arguments) {
    QProcess p;
    p.start(QStringLiteral("xdotool"), arguments);
    QVERIFY2(p.waitForFinished(WindowManagerMs), qPrintable(arguments.join(' ')));
    QCOMPARE(p.exitCode(), 0);
}

void ClickOn(QWidget* w) {
    QPoint p = w->mapToGlobal(w->rect().center());
    Xdotool({"mousemove", QString::number(p.x()), QString::number(p.y()), "click", "1"});
}

QString Property(QWidget* w, const char* name) {
    return Output(QStringLiteral("xprop"),
                  {QStringLiteral("-id"), QString::number(w->winId()), QString::fromLatin1(name)});
}

// The window manager has taken the window in: it has framed it and set its state.
bool Managed(QWidget* w) {
    return Property(w, "WM_STATE").contains(QStringLiteral("window state: Normal"));
}

// Shows the main window as the program does, then waits for what the keyboard needs: the
// window manager managing it, then the activation asked for.
bool ShownActive(QWidget& window) {
    window.showMaximized();
    if (!QTest::qWaitFor([&] { return Managed(&window); }, WindowManagerMs)) {
        qWarning("the window manager did not take the window in");
        return false;
    }
    window.activateWindow();
    if (!QTest::qWaitFor([&] { return window.isActiveWindow(); }, WindowManagerMs)) {
        qWarning("not activated: %s",
                 qPrintable(Output(QStringLiteral("xprop"), {"-root", "_NET_ACTIVE_WINDOW"})));
        return false;
    }
    return true;
}

// A window's two titles as an older tool and a newer one read them, decoded by xprop in a
// UTF-8 locale of the system's own (the program's LOCPATH, if any, is not xprop's).
QString TitleProperties(QWidget* w) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LOCPATH"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    return Output(QStringLiteral("xprop"),
                  {QStringLiteral("-id"), QString::number(w->winId()), QStringLiteral("WM_NAME"),
                   QStringLiteral("_NET_WM_NAME")},
                  environment);
}

// What the program asked of the window manager for a window, one property a line.
QString Hints(QWidget* w) {
    return Output(QStringLiteral("xprop"),
                  {QStringLiteral("-id"), QString::number(w->winId()),
                   QStringLiteral("_MOTIF_WM_HINTS"), QStringLiteral("_NET_WM_WINDOW_TYPE")});
}

// Client windows from bottom to top, as the window manager stacks them.
QStringList Stacking() {
    QString line = Output(QStringLiteral("xprop"),
                          {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")});
    QStringList ids;
    for (const QString& id : line.section(QLatin1Char('#'), 1).split(QLatin1Char(',')))
        ids << QString::number(id.trimmed().toULong(nullptr, 16));
    return ids;
}

// A check that fails leaves no modal window behind to block the next ones.
struct CloseOnExit {
    QPointer<QWidget> Window;
    ~CloseOnExit() {
        if (auto* d = qobject_cast<QDialog*>(Window.data()); d && d->isVisible())
            d->reject();
    }
};

// Runs f inside the modal dialog the next command shows.
void WhenModal(std::function<void(QWidget&)> f) {
    QTimer::singleShot(0, [f] {
        QWidget* w = nullptr;
        for (int i = 0; i < 100 && !(w = QApplication::activeModalWidget()); ++i)
            QTest::qWait(50);
        if (!w)
            qFatal("no modal dialog shown");
        CloseOnExit guard{w};
        f(*w);
    });
}

} // namespace

class WindowsCheck : public QObject {
    Q_OBJECT

    std::unique_ptr<TMainForm> Form;
    ScriptedDialogs Dialogs;

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void init() {
        Form = std::make_unique<TMainForm>();
        QVERIFY(ShownActive(*Form));
        Trigger(*Form, "FileNew");
        QTRY_VERIFY(Form->ActiveEditor() && Form->ActiveEditor()->isMaximized());
    }
    void cleanup() {
        for (TFenetreEnfant* e : Form->Editors())
            e->SetModified(false);
        Form.reset();
    }

    void everyLabelReadsWholeBesideItsField() {
        TFenetreEnfant* e = Form->ActiveEditor();
        QTest::qWait(200);
        const std::pair<const char*, const char*> pairs[] = {{"LabelTitre", "StringTitre"},
                                                             {"LabelNumSerie", "NumeroSerie"},
                                                             {"LabelVersion", "Version"}};
        for (auto [labelName, fieldName] : pairs) {
            auto* label = Control<QLabel>(*e, labelName);
            auto* field = Control<QLineEdit>(*e, fieldName);
            QRect l = label->geometry(), f = field->geometry();
            QVERIFY2(l.right() < f.left(), qPrintable(label->text()));
            QVERIFY2(l.left() >= 0, qPrintable(label->text()));
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= l.width(),
                     qPrintable(label->text()));
            QVERIFY2(qAbs(l.center().y() - f.center().y()) <= 1, qPrintable(label->text()));
        }
        QCOMPARE(Control<QLineEdit>(*e, "StringTitre")->geometry().topLeft(), QPoint(120, 8));
        QCOMPARE(Control<QLineEdit>(*e, "NumeroSerie")->geometry().topLeft(), QPoint(120, 35));
        QCOMPARE(Control<QLineEdit>(*e, "Version")->geometry().topLeft(), QPoint(392, 34));
    }

    void cascadeLeavesBothGridsInSight() {
        Trigger(*Form, "FileNew");
        QTRY_COMPARE(Form->Editors().size(), 2);
        Trigger(*Form, "WindowCascade");
        QTest::qWait(300);
        QList<TFenetreEnfant*> editors = Form->Editors();
        QVERIFY(editors[0]->y() != editors[1]->y());
        for (TFenetreEnfant* e : editors) {
            QVERIFY(!e->isMaximized());
            QVERIFY2(e->height() >= 400, qPrintable(QString::number(e->height())));
            QVERIFY(e->width() >= e->minimumWidth());
            QVERIFY(!Grid(*e)->visibleRegion().isEmpty());
        }
        TFenetreEnfant* front = Form->ActiveEditor();
        QVERIFY(Grid(*front)->visibleRegion().boundingRect().height() >= 300);
    }

    void aMenuOpenedFromTheKeyboardShowsItsItemsText() {
        TFenetreEnfant* e = Form->ActiveEditor();
        QTableWidget* grid = Grid(*e);
        QPoint over = grid->mapToGlobal(grid->rect().center());
        Xdotool({"mousemove", QString::number(over.x()), QString::number(over.y())});
        QTRY_COMPARE(Form->statusBar()->currentMessage(), QStringLiteral("Numero de la voie"));
        Xdotool({"key", "alt+f"});
        QTRY_COMPARE(Form->statusBar()->currentMessage(),
                     QString::fromUtf8("Créer un nouveau fichier"));
        QTest::qWait(500);
        QCOMPARE(Form->statusBar()->currentMessage(),
                 QString::fromUtf8("Créer un nouveau fichier"));
        Xdotool({"key", "Down"});
        QTRY_COMPARE(Form->statusBar()->currentMessage(),
                     QString::fromUtf8("Ouvrir un fichier existant"));
        Xdotool({"key", "Escape", "Escape"});
    }

    // "Produits des voies" from the keyboard: a product picked in the list the typing opens,
    // and the wheel over another channel's product scrolling the channels, never changing it.
    void aProductIsPickedFromTheTypedListAndTheWheelChangesNone() {
        salvo::Product bomb, cake;
        bomb.Name = "Bombe 105 pivoine";
        cake.Name = "Compact 100 coups";
        Form->Catalogue().Products = {bomb, cake};
        // The dialog's loop starts from the keys, inside this test's wait: the checks run from
        // a timer inside that loop.
        bool done = false;
        QTimer poll;
        poll.setInterval(50);
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* d = qobject_cast<TProduitsVoies*>(QApplication::activeModalWidget());
            if (!d)
                return;
            poll.stop();
            CloseOnExit guard{d};
            done = true;
            QTRY_VERIFY(d->isActiveWindow());
            ClickOn(d->ProductBox(1)->lineEdit());
            QTRY_VERIFY(d->ProductBox(1)->lineEdit()->hasFocus());
            Xdotool({"type", "--delay", "80", "pivo"});
            QAbstractItemView* list = d->ProductBox(1)->completer()->popup();
            QTRY_VERIFY(list->isVisible());
            Xdotool({"key", "--delay", "100", "Down", "Return"});
            QTRY_COMPARE(d->ProductBox(1)->currentText(), QString::fromUtf8("Bombe 105 pivoine"));
            QScrollBar* bar = d->Table->verticalScrollBar();
            const int before = bar->value();
            QComboBox* other = d->ProductBox(4);
            const QPoint at = other->mapToGlobal(other->rect().center());
            Xdotool({"mousemove", QString::number(at.x()), QString::number(at.y())});
            Xdotool({"click", "--repeat", "3", "--delay", "100", "5"});
            QTRY_VERIFY(bar->value() > before);
            QCOMPARE(other->currentText(), QString());
            QCOMPARE(d->QuantityBox(4)->value(), 1);
            ClickOn(Control<QPushButton>(*d, "ButtonOK"));
            QTRY_VERIFY(!d->isVisible());
        });
        poll.start();
        Xdotool({"key", "--delay", "100", "alt+p", "v"});
        QTRY_VERIFY_WITH_TIMEOUT(done && !QApplication::activeModalWidget(), WindowManagerMs);
        TMusique* music = TMusique::Of(Form->ActiveEditor(), false);
        QVERIFY(music);
        QCOMPARE(int(music->Beyond.Channels.size()), 1);
        QCOMPARE(music->Beyond.Channels.at(1).Item.Name, std::string("Bombe 105 pivoine"));
    }

    // Fenêtre lists the editor windows; choosing one brings a minimized one back in front.
    void theWindowMenuBringsBackAMinimizedWindow() {
        TFenetreEnfant* first = Form->ActiveEditor();
        Trigger(*Form, "FileNew");
        QTRY_COMPARE(Form->Editors().size(), 2);
        TFenetreEnfant* second = Form->ActiveEditor();
        Form->MdiArea->setActiveSubWindow(first);
        first->showMinimized();
        QTRY_VERIFY(first->isMinimized());
        Xdotool({"key", "--delay", "100", "alt+n", "m"}); // Mosaïque leaves it where it was
        auto* menu = Form->findChild<QMenu*>(QStringLiteral("WindowMenu"));
        auto choose = [menu](const QStringList& expected, const char* key) {
            Xdotool({"key", "alt+n"});
            QTRY_VERIFY(menu->isVisible());
            QStringList items;
            for (QAction* a : menu->actions())
                if (a->isCheckable())
                    items << a->text() + (a->isChecked() ? QStringLiteral(" *") : QString());
            QCOMPARE(items, expected);
            Xdotool({"key", key});
            QTRY_VERIFY(!menu->isVisible());
        };
        choose({"&1 NONAME1 *", "&2 NONAME2"}, "2");
        QTRY_COMPARE(Form->ActiveEditor(), second);
        QVERIFY(first->isMinimized());
        choose({"&1 NONAME1", "&2 NONAME2 *"}, "1");
        QTRY_COMPARE(Form->ActiveEditor(), first);
        QVERIFY(!first->isMinimized());
        QTRY_VERIFY(Grid(*first)->visibleRegion().boundingRect().height() > 100);
    }

    // A box asked for by an editor while a dialog kept on top shows opens in front of the
    // dialog, takes the keyboard, and leaves the dialog working.
    void aBoxOpensInFrontOfTheDialogShown() {
        TFenetreEnfant* editor = Form->ActiveEditor();
        bool checked = false;
        WhenModal([&](QWidget& dialog) {
            QCOMPARE(dialog.objectName(), QStringLiteral("TDlgConnection"));
            qInfo("transfer dialog: %s", qPrintable(Hints(&dialog)));
            QCOMPARE(Hints(&dialog), QStringLiteral("_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x1, 0x6, "
                                                    "0x0, 0x0, 0x0\n_NET_WM_WINDOW_TYPE(ATOM) = "
                                                    "_NET_WM_WINDOW_TYPE_DIALOG, "
                                                    "_NET_WM_WINDOW_TYPE_NORMAL"));
            QTimer::singleShot(0, [&] {
                QWidget* box = nullptr;
                QTRY_VERIFY((box = QApplication::activeModalWidget()) != &dialog);
                CloseOnExit guard{box};
                QTest::qWait(500);
                QCOMPARE(box->parentWidget(), &dialog);
                qInfo("message box: %s", qPrintable(Hints(box)));
                QVERIFY(Hints(box).startsWith(
                    QStringLiteral("_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x3, 0x26, 0xe,")));
                QStringList stack = Stacking();
                QVERIFY2(stack.indexOf(QString::number(box->winId())) >
                             stack.indexOf(QString::number(dialog.winId())),
                         qPrintable(stack.join(' ')));
                QTRY_VERIFY(box->isActiveWindow());
                Xdotool({"key", "Return"});
                QTRY_VERIFY(!box->isVisible());
                checked = true;
            });
            salvo::ui::ShowWarning(editor, QStringLiteral("Avertissement de la fenêtre"));
            QTRY_VERIFY(dialog.isActiveWindow());
            Xdotool({"key", "alt+q"}); // Quitter still answers
        });
        Trigger(*Form, "ConnectionTransfertItem");
        QVERIFY(checked);
        QVERIFY(!Form->TransferDialog->isVisible());
    }

    // The burst dialog asks for a close box only; minimised by the window manager anyway, it
    // comes back with the program.
    void aMinimizedDialogComesBackWithTheProgram() {
        bool back = false;
        WhenModal([&](QWidget& dialog) {
            QCOMPARE(dialog.objectName(), QStringLiteral("TGestionRafale"));
            QTest::qWait(300);
            qInfo("burst dialog: %s", qPrintable(Hints(&dialog)));
            QCOMPARE(Hints(&dialog), QStringLiteral("_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x3, 0x26, "
                                                    "0xe, 0x0, 0x0\n_NET_WM_WINDOW_TYPE(ATOM) = "
                                                    "_NET_WM_WINDOW_TYPE_DIALOG, "
                                                    "_NET_WM_WINDOW_TYPE_NORMAL"));
            Xdotool({"windowminimize", QString::number(dialog.winId())});
            QTRY_VERIFY(dialog.isMinimized() || !dialog.isActiveWindow());
            // Back to the program, as from a task bar.
            Xdotool({"windowactivate", QString::number(Form->winId())});
            QTRY_VERIFY(!Form->isMinimized() && !dialog.isMinimized() && dialog.isVisible());
            QTRY_VERIFY(dialog.isActiveWindow());
            QVERIFY(!Grid(*Form->ActiveEditor())->visibleRegion().isEmpty());
            back = true;
            Xdotool({"key", "Escape"});
        });
        Trigger(*Form, "EditRafaleItem");
        QVERIFY(back);
        QVERIFY(!Form->BurstDialog->isVisible());
    }

    // The print dialog proposes the document's title as the name of a PDF.
    void thePrintDialogProposesTheTitleAsPdfName() {
        QString proposed;
        WhenModal([&](QWidget& dialog) {
            if (auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("filename")))
                proposed = QFileInfo(name->text()).fileName();
        });
        Trigger(*Form, "FilePrint");
        QCOMPARE(proposed, QStringLiteral("NONAME1.pdf"));
    }

    // Closed by the window manager in the data step, the transfer dialog is left as "&Annuler"
    // leaves it: at the next showing "&Connecter" starts a session.
    void aDialogClosedInMidSessionConnectsAgain() {
        QTemporaryDir home;
        namespace fs = std::filesystem;
        const fs::path root = home.path().toStdString();
        fs::create_directories(root / ".config/salvodesk/ports");
        fs::create_directories(root / "dev");
        fs::create_directories(root / "sys");
        salvo::SetDefaultPortRoots(
            {root.string(), (root / "dev").string(), (root / "sys").string()});
        salvo::sim::DeviceOptions options;
        options.Pace = true;
        salvo::sim::SimulatedDevice device(options);
        QCOMPARE(device.Start(), 0);
        QCOMPARE(device.LinkAs((root / ".config/salvodesk/ports/COM1").string()), 0);
        auto fromProgram = [&device] {
            auto log = device.Log();
            return std::count_if(log.begin(), log.end(),
                                 [](const salvo::sim::ByteRecord& r) { return r.FromProgram; });
        };
        TDlgConnection* dlg = Form->TransferDialog;
        WhenModal([&](QWidget&) {
            QTRY_VERIFY(dlg->isActiveWindow());
            ClickOn(dlg->ButtonConnection);
            QTRY_VERIFY_WITH_TIMEOUT(dlg->ProgressionBar->isVisible(), 20000);
            QTRY_VERIFY(dlg->ProgressionBar->value() > 0);
            Xdotool({"key", "alt+F4"});
            QTRY_VERIFY(!dlg->isVisible());
        });
        Trigger(*Form, "ConnectionTransfertItem");
        QVERIFY(!dlg->TimerConnection->isActive());
        long before = 0;
        WhenModal([&](QWidget&) {
            QVERIFY(dlg->ButtonConnection->isEnabled());
            QTRY_VERIFY(dlg->isActiveWindow());
            before = fromProgram();
            ClickOn(dlg->ButtonConnection);
            QTRY_VERIFY2_WITH_TIMEOUT(fromProgram() > before,
                                      qPrintable(dlg->StatusLines().join('|')), 10000);
            QTRY_VERIFY(dlg->BoutonAnulation->isEnabled());
            ClickOn(dlg->BoutonAnulation);
            QTRY_VERIFY(!dlg->isVisible());
        });
        Trigger(*Form, "ConnectionTransfertItem");
        QVERIFY(before > 0);
        Form->ActiveEditor()->Link().ClosePort();
        salvo::ResetDefaultPortRoots();
    }

    // Accented titles reach both title properties whole whatever the C library's locale (run
    // calls this again under other locales): WM_NAME for the older tools, _NET_WM_NAME.
    void accentedTitlesReadTheSameInBothProperties() {
        const auto expected = [](const QString& title) {
            return QStringLiteral("WM_NAME(STRING) = \"%1\"\n_NET_WM_NAME(UTF8_STRING) = \"%1\"")
                .arg(title);
        };
        QTemporaryDir dir;
        Form->SetDialogProvider(&Dialogs);
        Dialogs.OpenPaths << dir.filePath(QStringLiteral("musique.wav"));
        std::ofstream(Dialogs.OpenPaths.back().toStdString(), std::ios::binary)
            << salvo::WaveBytes(std::vector<int16_t>(8000), 1, 8000);
        Trigger(*Form, "MusiqueAssocierItem");
        TMusique::Of(Form->ActiveEditor())->WaitForWave();

        const std::pair<const char*, const char*> dialogs[] = {
            {"EditRafaleItem", "Génération d'une rafale"},
            {"ConnectionConfigurationItem", "Comfiguration du port série"},
            {"ConnectionVerifierItem", "Vérification de l'appareil"},
            {"MusiqueRepetitionItem", "Répétition"},
            {"MusiqueFrappeItem", "Régler la frappe"},
            {"FilePrintPreview", "Aperçu avant impression: NONAME1"},
            {nullptr, "Début de la séquence"},
        };
        for (auto [command, title] : dialogs) {
            QString seen;
            WhenModal([&](QWidget& dialog) {
                seen = TitleProperties(&dialog);
                qInfo("%s", qPrintable(seen));
            });
            if (command) {
                Trigger(*Form, command);
            } else {
                double start = 1.2;
                salvo::ui::AskPlannedStart(Form.get(), start, ',');
            }
            QCOMPARE(seen, expected(QString::fromUtf8(title)));
        }

        // The main window shows the name of the file saved.
        Dialogs.SavePaths << dir.filePath(QString::fromUtf8("Fête d'été.tir"));
        Trigger(*Form, "FileSaveAs");
        const QString main = QString::fromUtf8("Salvodesk - [Fête d'été]");
        QTRY_COMPARE(Form->windowTitle(), main);
        QTRY_COMPARE(TitleProperties(Form.get()), expected(main));
        qInfo("%s", qPrintable(TitleProperties(Form.get())));
    }
};

int main(int argc, char** argv) {
    TApplication app(argc, argv); // the program's own start, its locale for window titles
    WindowsCheck check;
    return QTest::qExec(&check, argc, argv);
}
#include "WindowsCheck.moc"
