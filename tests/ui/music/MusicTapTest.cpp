// "Régler la frappe": taps against the click track's clock (a clock the test moves), OK held
// until ten taps, the median proposed and saved with the show's music, and the markers and the
// rehearsal presses that follow placed that much earlier; without a sound output, the reason
// shown and the value typed.

#include "Boxes.h"
#include "Driver.h"
#include "ProgramUnderTest.h"
#include "ScriptedDialogs.h"
#include "model/io/Wave.h"
#include "model/music/MusicFile.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/music/TFrappe.h"
#include "ui/music/TMusique.h"
#include "ui/music/TRepetition.h"
#include "ui/shell/Main.h"

#include <QAction>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace salvo;
using namespace driver;
using namespace std::chrono_literals;

namespace {

// The clicks' output: playing from the instant Play was called, its position read from there.
struct OutputState {
    bool Running = false;
    sound::Instant Start;
    double Length = 0;
};

class TestOutput : public sound::Output {
public:
    explicit TestOutput(std::shared_ptr<OutputState> s) : S(std::move(s)) {}
    bool Play(std::shared_ptr<const sound::Samples> sound, double, std::string&) override {
        S->Running = true;
        S->Start = std::chrono::steady_clock::now();
        S->Length = sound->Duration();
        return true;
    }
    void Pause() override { S->Running = false; }
    bool Playing() const override { return S->Running; }
    double Position(sound::Instant when) const override {
        return std::chrono::duration<double>(when - S->Start).count();
    }

private:
    std::shared_ptr<OutputState> S;
};

class TestClock : public RehearsalClock {
public:
    double Now = 0;
    bool Running = false;
    double Position() override { return Now; }
    double Duration() override { return 20; }
    bool Playing() override { return Running; }
    void Play() override { Running = true; }
    void Pause() override { Running = false; }
    void Seek(double seconds) override { Now = seconds; }
};

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class MusicTapTest : public QObject, ProgramUnderTest {
    Q_OBJECT

    // A program of one sequence (channels 1 to 3) with 20 s of silence as its music.
    TFenetreEnfant* ProgramWithMusic() {
        Trigger(*Form, "FileNew");
        TFenetreEnfant* e = Form->ActiveEditor();
        e->ChangeChannelType(0, Manual);
        for (int k = 1; k <= 2; ++k) {
            e->ChangeChannelType(k, Automatic);
            e->ApplyChannelTime(k, 0.4 * k);
        }
        QFile f(P("music.wav"));
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray::fromStdString(WaveBytes(std::vector<int16_t>(8000 * 20), 1, 8000)));
        f.close();
        Dialogs.OpenPaths << P("music.wav");
        Trigger(*Form, "MusiqueAssocierItem");
        TMusique::Of(e)->WaitForWave();
        return e;
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }
    void init() { StartProgram(QSize(1200, 800)); }
    void cleanup() { StopProgram(); }

    void tapsMeasureTheLagThatMarkersAndPressesLoseThen() {
        QVERIFY(!Action(*Form, "MusiqueFrappeItem")->isEnabled()); // no program window
        TFenetreEnfant* e = ProgramWithMusic();
        QVERIFY(Action(*Form, "MusiqueFrappeItem")->isEnabled());
        TMusique* music = TMusique::Of(e);
        e->SetModified(false);

        auto state = std::make_shared<OutputState>();
        TFrappe dialog(music, std::make_unique<TestOutput>(state), Form.get());
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QString::fromUtf8("Régler la frappe"));
        auto* ok = Control<QPushButton>(dialog, "ButtonOK");
        auto* taps = Control<QLabel>(dialog, "LabelFrappes");
        auto* proposed = Control<QLabel>(dialog, "LabelDecalage");
        auto* field = Control<QDoubleSpinBox>(dialog, "EditDecalage");
        QVERIFY(ok->isEnabled()); // nothing measured: the value as it stands
        QVERIFY(!Control<QLabel>(dialog, "LabelSansSon")->isVisible());

        // The first Space starts the clicks. A measure begun holds OK until a value is typed.
        QTest::keyClick(&dialog, Qt::Key_Space);
        QVERIFY(state->Running);
        QVERIFY(state->Length > 30);
        for (int k = 0; k < 3; ++k)
            dialog.Tap(state->Start + 1000ms + k * 500ms + 50ms);
        QVERIFY(!ok->isEnabled());
        QCOMPARE(taps->text(), QString::fromUtf8("Encore 7 frappes pour mesurer le décalage."));
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Up);
        QVERIFY(ok->isEnabled());
        QVERIFY(dialog.Lags().empty());
        // A Space at once is a second before the first click.
        QTest::keyClick(&dialog, Qt::Key_Space);
        QVERIFY(dialog.Lags().empty());
        QCOMPARE(taps->text(), QString::fromUtf8("Frappez sur chaque clic. 1 frappe trop loin "
                                                 "d'un clic a été ignorée."));

        // Taps at their own instants, in milliseconds behind the clicks at 1 s, 1,5 s, ...
        const int lags[] = {90, 70, 85, 100, 80, -20, 85, 95, 60, 88};
        for (int k = 0; k < 10; ++k) {
            QCOMPARE(ok->isEnabled(), k == 0);
            dialog.Tap(state->Start + 1000ms + k * 500ms + std::chrono::milliseconds(lags[k]));
            if (k == 8) {
                QVERIFY(!ok->isEnabled());
                QCOMPARE(taps->text(),
                         QString::fromUtf8("Encore 1 frappe pour mesurer le décalage. 1 frappe "
                                           "trop loin d'un clic a été ignorée."));
                QCOMPARE(proposed->text(), QString());
            }
        }
        QCOMPARE(int(dialog.Lags().size()), 10);
        QVERIFY(ok->isEnabled());
        QCOMPARE(taps->text(), QString::fromUtf8("10 frappes mesurées. 1 frappe trop loin d'un "
                                                 "clic a été ignorée."));
        QCOMPARE(proposed->text(), QString::fromUtf8("Décalage de frappe : 0,085 s"));
        QCOMPARE(field->value(), 0.085);
        QTest::mouseClick(ok, Qt::LeftButton);
        QVERIFY(!state->Running); // the clicks stop with the dialog
        QCOMPARE(music->TapLag(), 0.085);
        QVERIFY(e->Modified());

        Dialogs.SavePaths << P("show.tir");
        Trigger(*Form, "FileSaveAs");
        QVERIFY(Read(P("show.musique")).endsWith("\nFrappe ; 0.085\n"));

        // F6 with the head at 3 s, and at 0,05 s: the marker never before the music.
        music->SetHead(3.0);
        Trigger(*Form, "MusiqueMarquerItem");
        music->SetHead(0.05);
        Trigger(*Form, "MusiqueMarquerItem");
        QCOMPARE(music->Data.Markers.size(), size_t(2));
        QCOMPARE(music->Data.Markers[0].Time, 0.0);
        QCOMPARE(music->Data.Markers[1].Time, 2.915);

        // A rehearsal press heard at 5 s stands for 4,915 s.
        music->SetPlannedStart(0, 4.9);
        auto clock = std::make_unique<TestClock>();
        TestClock* moved = clock.get();
        TRepetition rehearsal(e, music, std::move(clock), Form.get());
        rehearsal.show();
        QTest::mouseClick(rehearsal.findChild<QPushButton*>("ButtonLecture"), Qt::LeftButton);
        moved->Now = 5.0;
        rehearsal.Press();
        QVERIFY(rehearsal.Run().Presses()[0].has_value());
        QCOMPARE(*rehearsal.Run().Presses()[0], 5.0 - 0.085);
        QCOMPARE(Boxes->Texts(), QStringList());
    }

    // The value typed is kept, with no music as well, and read again with the program;
    // Annuler keeps the show as it was.
    void withoutASoundOutputTheLagIsTyped() {
        qputenv("PULSE_SERVER", "unix:/nonexistent/salvodesk/native");
        Trigger(*Form, "FileNew");
        TFenetreEnfant* e = Form->ActiveEditor();
        e->SetModified(false);
        WhenShown<TFrappe>([](TFrappe& d) {
            QTest::mouseClick(Control<QPushButton>(d, "ButtonEcouter"), Qt::LeftButton);
            auto* why = Control<QLabel>(d, "LabelSansSon");
            QVERIFY(why->isVisible());
            QCOMPARE(why->text(), QString::fromUtf8("Aucune sortie son sur cet ordinateur : les "
                                                    "clics ne peuvent pas être joués (Connection "
                                                    "refused). Saisissez le décalage vous-même."));
            QVERIFY(!Control<QPushButton>(d, "ButtonFrapper")->isEnabled());
            auto* field = Control<QDoubleSpinBox>(d, "EditDecalage");
            field->setFocus();
            field->selectAll();
            QTest::keyClicks(field, QStringLiteral("0,12"));
            QTest::mouseClick(Control<QPushButton>(d, "ButtonOK"), Qt::LeftButton);
        });
        Trigger(*Form, "MusiqueFrappeItem");
        TMusique* music = TMusique::Of(e, false);
        QVERIFY(music);
        QCOMPARE(music->TapLag(), 0.12);
        QVERIFY(e->Modified());
        WhenShown<TFrappe>([](TFrappe& d) {
            auto* field = Control<QDoubleSpinBox>(d, "EditDecalage");
            QCOMPARE(field->text(), QStringLiteral("0,120 s"));
            field->setValue(0.3);
            QTest::mouseClick(Control<QPushButton>(d, "ButtonAnnuler"), Qt::LeftButton);
        });
        Trigger(*Form, "MusiqueFrappeItem");
        QCOMPARE(music->TapLag(), 0.12);

        Dialogs.SavePaths << P("seul.tir");
        Trigger(*Form, "FileSaveAs");
        QCOMPARE(Read(P("seul.musique")), QByteArray("SalvodeskMusique ; 1\nFrappe ; 0.12\n"));
        Trigger(*Form, "FileFermerItem");
        Dialogs.OpenPaths << P("seul.tir");
        Trigger(*Form, "FileOpen");
        QVERIFY(Form->ActiveEditor());
        music = TMusique::Of(Form->ActiveEditor(), false);
        QVERIFY(music);
        QCOMPARE(music->TapLag(), 0.12);
        QVERIFY(!music->Active()); // nothing to draw under the timeline
        QCOMPARE(Boxes->Texts(), QStringList());
        qunsetenv("PULSE_SERVER");
    }
};

QTEST_MAIN(MusicTapTest)
#include "MusicTapTest.moc"
