// The rehearsal driven by Space presses against a clock the test moves, over a 10-minute
// show: each channel lights on the timeline within one 16 ms frame of the device's time; the
// score, adopting its times, pause, seek and loop. The cue track through the menu: the box for
// starts too close, its automatic-channel remedy, and the built-in "feu" on its start. Listening
// on a machine without a sound output.

#include "Boxes.h"
#include "Driver.h"
#include "NullSink.h"
#include "ProgramUnderTest.h"
#include "ScriptedDialogs.h"
#include "model/io/Wave.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/music/TMusique.h"
#include "ui/music/TPisteSignaux.h"
#include "ui/music/TRepetition.h"
#include "ui/shell/Main.h"
#include "ui/timeline/TChronologie.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace salvo;
using namespace salvo::ui;
using namespace driver;

namespace {

constexpr int Rate = 44100;

struct ClockState {
    double Now = 0, Length = 600;
    bool Running = false;
};

class TestClock : public RehearsalClock {
public:
    explicit TestClock(std::shared_ptr<ClockState> s) : S(std::move(s)) {}
    double Position() override { return S->Now; }
    double Duration() override { return S->Length; }
    bool Playing() override { return S->Running; }
    void Play() override { S->Running = true; }
    void Pause() override { S->Running = false; }
    void Seek(double seconds) override { S->Now = seconds; }

private:
    std::shared_ptr<ClockState> S;
};

std::vector<int16_t> Music(int seconds) {
    std::vector<int16_t> samples(size_t(Rate) * size_t(seconds) * 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>((i / 2) % 3000 - 1500);
    return samples;
}

QString Cell(QTableWidget* t, int row, int column) {
    return t->item(row, column) ? t->item(row, column)->text() : QString();
}

void AnswerCueOptions() {
    QTimer::singleShot(0, [] {
        auto* options = qobject_cast<TPisteSignaux*>(QApplication::activeModalWidget());
        QVERIFY(options);
        QTest::mouseClick(options->findChild<QPushButton*>("Validation"), Qt::LeftButton);
    });
}

} // namespace

class RehearsalTest : public QObject, ProgramUnderTest {
    Q_OBJECT

    TFenetreEnfant* ProgramWithMusic(int seconds) {
        Trigger(*Form, "FileNew");
        QFile f(P("music.wav"));
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray::fromStdString(WaveBytes(Music(seconds), 2, Rate)));
        f.close();
        Dialogs.OpenPaths << P("music.wav");
        Trigger(*Form, "MusiqueAssocierItem");
        TMusique::Of(Form->ActiveEditor())->WaitForWave();
        return Form->ActiveEditor();
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void init() { StartProgram(QSize(1400, 900)); }
    void cleanup() { StopProgram(); }

    void tenMinuteShowFiresEachChannelWithinAFrameAndScoresThePresses() {
        TFenetreEnfant* e = ProgramWithMusic(1);
        // Two sequences of fifteen channels over ten minutes, typed on the 0.2 s grid.
        std::map<int, double> typed;
        for (int k = 0; k < 30; ++k) {
            const bool first = k < 15;
            e->ChangeChannelType(k, k == 0 || k == 15 ? Manual : Automatic);
            typed[k] = first ? 20.2 * k + 0.4 : 19.8 * (k - 15) + 1.2;
            e->ApplyChannelTime(k, typed[k]);
        }
        TMusique* music = TMusique::Of(e);
        music->SetPlannedStart(0, 3.25);
        music->SetPlannedStart(15, 301.7);
        e->SetModified(false);

        auto clock = std::make_shared<ClockState>();
        TRepetition dialog(e, music, std::make_unique<TestClock>(clock), Form.get());
        dialog.show();
        auto* next = dialog.findChild<QLabel*>("LabelProchaine");
        auto* countdown = dialog.findChild<QLabel*>("LabelDecompte");
        QCOMPARE(next->text(), QString::fromUtf8("Prochaine : séquence 1 (voie 1), à 3,25 s"));
        QCOMPARE(countdown->text(), QStringLiteral("3,3"));

        const double presses[] = {3.31, 301.52};
        const double frame = 0.016;
        std::map<int, double> litAt;
        auto* timeline = Control<TChronologie>(*e, "Chronologie");
        size_t pressed = 0;
        QTest::mouseClick(dialog.findChild<QPushButton*>("ButtonLecture"), Qt::LeftButton);
        QVERIFY(clock->Running);
        for (int n = 0; clock->Running; ++n) {
            clock->Now = n * frame;
            if (pressed < 2 && clock->Now >= presses[pressed]) {
                clock->Now = presses[pressed++];
                QTest::keyClick(&dialog, Qt::Key_Space);
            } else {
                dialog.Tick();
            }
            for (int channel : timeline->LitChannels())
                litAt.emplace(channel - 1, clock->Now);
            if (n == 2000) // 32 s: the first sequence under way
                QCOMPARE(next->text(),
                         QString::fromUtf8("Prochaine : séquence 2 (voie 16), à 301,7 s"));
            QVERIFY(n < 40000);
        }
        QCOMPARE(litAt.size(), size_t(30));
        double worst = 0;
        for (auto [channel, at] : litAt) {
            const double due = presses[channel < 15 ? 0 : 1] + typed[channel];
            QVERIFY2(at - due > -1e-9 && at - due < frame, qPrintable(QString::number(channel)));
            worst = std::max(worst, at - due);
        }
        qInfo("largest lag of a lit channel behind its device time: %.1f ms", worst * 1000);

        auto* table = dialog.findChild<QTableWidget*>("TableauScore");
        QVERIFY(table->isVisible());
        QCOMPARE(table->rowCount(), 2);
        const QStringList expected[] = {{"1 (voie 1)", "3,25", "3,31", "+0,06", "en retard"},
                                        {"2 (voie 16)", "301,7", "301,52", "-0,18", "en avance"}};
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 5; ++c)
                QCOMPARE(Cell(table, r, c), expected[r][c]);
        QCOMPARE(dialog.findChild<QLabel*>("LabelResume")->text(),
                 QString::fromUtf8("Écart moyen : 0,12 s ; écart le plus grand : -0,18 s "
                                   "(séquence 2)"));
        if (qEnvironmentVariableIsSet("REHEARSAL_SCREENSHOT")) {
            dialog.grab().save(qEnvironmentVariable("REHEARSAL_SCREENSHOT"));
        }

        Boxes->Queue({"&Non", "&Oui"});
        auto* adopt = dialog.findChild<QPushButton*>("ButtonAdopter");
        QTest::mouseClick(adopt, Qt::LeftButton);
        QCOMPARE(music->Data.Starts, (PlannedStartMap{{1, 3.25}, {16, 301.7}}));
        QVERIFY(!e->Modified());
        QTest::mouseClick(adopt, Qt::LeftButton);
        QCOMPARE(
            Boxes->Seen[1].Text,
            QString::fromUtf8("Les instants d'appui de cette répétition deviennent les "
                              "débuts prévus des 2 séquences lancées.\n\nAdopter ces temps ?"));
        QCOMPARE(Boxes->Seen[1].Caption, QStringLiteral("Confirmation"));
        QCOMPARE(music->Data.Starts, (PlannedStartMap{{1, 3.31}, {16, 301.52}}));
        QVERIFY(e->Modified());
    }

    void pauseSeekAndLoop() {
        TFenetreEnfant* e = ProgramWithMusic(1);
        e->ChangeChannelType(1, Automatic);
        e->ApplyChannelTime(1, 1.0);
        TMusique* music = TMusique::Of(e);
        music->SetPlannedStart(0, 3.0);
        auto clock = std::make_shared<ClockState>();
        clock->Now = 2.0; // the play head
        TRepetition dialog(e, music, std::make_unique<TestClock>(clock), Form.get());
        dialog.show();
        dialog.findChild<QRadioButton*>("RadioTete")->setChecked(true);
        dialog.findChild<QCheckBox*>("CheckBoucle")->setChecked(true);
        dialog.findChild<QDoubleSpinBox*>("BoucleDebut")->setValue(2.5);
        dialog.findChild<QDoubleSpinBox*>("BoucleFin")->setValue(6);
        // The first Space starts the music from the play head, the second presses.
        QTest::keyClick(&dialog, Qt::Key_Space);
        QVERIFY(clock->Running);
        QCOMPARE(clock->Now, 2.0);
        clock->Now = 3.4;
        QTest::keyClick(&dialog, Qt::Key_Space);
        QCOMPARE(*dialog.Run().Presses()[0], 3.4);
        // Paused: presses mean nothing, and nothing fires.
        QTest::mouseClick(dialog.findChild<QPushButton*>("ButtonLecture"), Qt::LeftButton);
        QVERIFY(!clock->Running);
        QTest::keyClick(&dialog, Qt::Key_Space);
        QVERIFY(dialog.Run().Pending());
        QTest::mouseClick(dialog.findChild<QPushButton*>("ButtonLecture"), Qt::LeftButton);
        clock->Now = 3.41;
        dialog.Tick();
        auto* timeline = Control<TChronologie>(*e, "Chronologie");
        QCOMPARE(timeline->LitChannels(), QSet<int>({1}));
        // The loop's end sends the music back; the chain under way is dropped.
        clock->Now = 6.0;
        dialog.Tick();
        QCOMPARE(clock->Now, 2.5);
        QVERIFY(!dialog.Run().Pending());
        QVERIFY(timeline->LitChannels().isEmpty());
        QCOMPARE(dialog.findChild<QLabel*>("LabelDecompte")->text(), QStringLiteral("0,5"));
        clock->Now = 2.9;
        // Tried again, a little early this time; Space presses even where the loop is typed.
        QTest::keyClick(dialog.findChild<QDoubleSpinBox*>("BoucleFin"), Qt::Key_Space);
        // A click on the position slider's groove seeks a second on, past the first start.
        dialog.findChild<QSlider*>("Position")->triggerAction(QAbstractSlider::SliderPageStepAdd);
        QTRY_COMPARE(clock->Now, 3.9);
        QCOMPARE(dialog.findChild<QLabel*>("LabelProchaine")->text(),
                 QString::fromUtf8("Prochaine : séquence 2 (voie 3), à 4 s"));
        QTest::mouseClick(dialog.findChild<QPushButton*>("ButtonArreter"), Qt::LeftButton);
        QVERIFY(!clock->Running);
        auto* table = dialog.findChild<QTableWidget*>("TableauScore");
        QCOMPARE(Cell(table, 0, 2), QStringLiteral("2,90"));
        QCOMPARE(Cell(table, 0, 3), QStringLiteral("-0,10"));
        QCOMPARE(Cell(table, 0, 4), QStringLiteral("en avance"));
    }

    // With no sound server to play through, listening says so with the system's reason, and
    // the rehearsal runs silent and says why only then.
    void withoutASoundOutputListeningSaysWhyAndTheRehearsalRunsSilent() {
        qputenv("PULSE_SERVER", "unix:/nonexistent/salvodesk/native");
        TFenetreEnfant* e = ProgramWithMusic(3);
        Boxes->Queue({"OK"});
        Trigger(*Form, "MusiqueLectureItem");
        QCOMPARE(Boxes->Texts(),
                 QStringList({QString::fromUtf8("Aucune sortie son n'est disponible sur cet "
                                                "ordinateur : la musique ne peut pas être "
                                                "écoutée (Connection refused).")}));
        TMusique* music = TMusique::Of(e);
        QVERIFY(!music->Playing());

        TRepetition dialog(e, music, nullptr, Form.get());
        dialog.show();
        auto* note = dialog.findChild<QLabel*>("LabelSansSon");
        QVERIFY(!note->isVisible());
        QTest::mouseClick(dialog.findChild<QPushButton*>("ButtonLecture"), Qt::LeftButton);
        QVERIFY(note->isVisible());
        QCOMPARE(note->text(), QString::fromUtf8("Aucune sortie son sur cet ordinateur : la "
                                                 "répétition suit l'horloge, sans la musique "
                                                 "(Connection refused)."));
        QTRY_VERIFY(music->Head() > 0.2); // the clock runs, the play head follows it
        qunsetenv("PULSE_SERVER");
    }

    // Through a sound output the rehearsal says nothing of silence.
    void withASoundOutputTheRehearsalPlaysTheMusic() {
        nullsink::Server server;
        QVERIFY(server.Ok());
        TFenetreEnfant* e = ProgramWithMusic(3);
        TMusique* music = TMusique::Of(e);
        TRepetition dialog(e, music, nullptr, Form.get());
        dialog.show();
        QTest::mouseClick(dialog.findChild<QPushButton*>("ButtonLecture"), Qt::LeftButton);
        QVERIFY(music->Playing());
        QVERIFY(!dialog.findChild<QLabel*>("LabelSansSon")->isVisible());
        QTRY_VERIFY(music->Head() > 0.3);
        dialog.Stop();
        QVERIFY(!music->Playing());
        QCOMPARE(Boxes->Texts(), QStringList());
    }

    void cueTrackJoinsStartsTooCloseAndSaysFeuOnTheStart() {
        TFenetreEnfant* e = ProgramWithMusic(12);
        e->ChangeChannelType(1, Automatic);
        e->ApplyChannelTime(1, 1.0);
        e->ApplyChannelTime(2, 0);
        for (int k = 3; k < 30; ++k)
            e->ChangeChannelType(k, Automatic);
        e->ApplyChannelTime(3, 0.6);
        TMusique* music = TMusique::Of(e);
        music->SetPlannedStart(0, 6.0);
        music->SetPlannedStart(2, 9.5);
        Dialogs.SavePaths << P("cues.wav");
        Boxes->Queue({"&Oui"});
        QTimer::singleShot(0, [] {
            auto* options = qobject_cast<TPisteSignaux*>(QApplication::activeModalWidget());
            QVERIFY(options);
            QCOMPARE(options->EditAvance->value(), 5);
            QVERIFY(options->RadioStereo->isChecked());
            QTest::mouseClick(options->findChild<QPushButton*>("Validation"), Qt::LeftButton);
        });
        Trigger(*Form, "MusiqueSignauxItem");
        QCOMPARE(Boxes->Seen.size(), size_t(1));
        QVERIFY(Boxes->Seen[0].Text.startsWith(
            QString::fromUtf8("Ces départs sont trop proches pour un décompte de 5 secondes :\n\n"
                              "Séquence 1 (6 s) et séquence 2 (9,5 s) : 3,50 s d'écart\n")));
        // Channel 3 follows channel 2 now: 2,4 s after it puts it at 9,4 s in the music.
        QCOMPARE(e->CellText(1, 3), QStringLiteral("Automatique"));
        QCOMPARE(e->CellText(2, 3), QStringLiteral("3,4"));
        QCOMPARE(e->CellText(2, 4), QStringLiteral("4"));
        QCOMPARE(music->Data.Starts, (PlannedStartMap{{1, 6.0}}));
        QCOMPARE(Form->statusBar()->currentMessage(),
                 QString::fromUtf8("Piste de signaux enregistrée : cues.wav"));

        QFile f(P("cues.wav"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        const auto* samples = reinterpret_cast<const int16_t*>(bytes.constData() + 44);
        QCOMPARE(bytes.size(), 44 + 12 * Rate * 4);
        const CueVoice voice = BuiltInVoice(Rate);
        QVERIFY(voice.Fire.size() > size_t(Rate) / 10);
        const size_t fire = size_t(6 * Rate);
        QCOMPARE(samples[2 * (fire - 1) + 1], int16_t(0));
        for (size_t i = 0; i < voice.Fire.size(); ++i)
            QCOMPARE(samples[2 * (fire + i) + 1], voice.Fire[i]);
        // The announcement five seconds before: "Séquence" then "un".
        for (size_t i = 0; i < voice.Sequence.size(); ++i)
            QCOMPARE(samples[2 * (fire - 5 * Rate + i) + 1], voice.Sequence[i]);
        const std::vector<int16_t> music12 = Music(12);
        for (size_t i = 0; i < size_t(12 * Rate); i += 4999)
            QCOMPARE(samples[2 * i], music12[2 * i]);
    }

    // A sound the program does not read itself (A-law samples) is decoded for the track, at
    // its own rate.
    void cueTrackTakesADecodedSound() {
        QByteArray alaw = "RIFF" + QByteArray(4, 0) + "WAVEfmt " + QByteArray("\x12\0\0\0", 4) +
                          QByteArray("\x06\0\x01\0\x40\x1f\0\0\x40\x1f\0\0\x01\0\x08\0\0\0", 18) +
                          "data" + QByteArray("\x80\x3e\0\0", 4); // 2 s at 8 kHz
        QByteArray samples(16000, char(0xd5));                    // silence
        samples.replace(8000, 40, QByteArray(40, char(0xaa)));    // a click at 1 s
        alaw += samples;
        const quint32 riff = quint32(alaw.size() - 8);
        for (int i = 0; i < 4; ++i)
            alaw[4 + i] = char((riff >> (8 * i)) & 0xff);
        QFile f(P("alaw.wav"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(alaw);
        f.close();
        Trigger(*Form, "FileNew");
        TFenetreEnfant* e = Form->ActiveEditor();
        for (int k = 1; k < 30; ++k)
            e->ChangeChannelType(k, Automatic);
        Dialogs.OpenPaths << P("alaw.wav");
        Trigger(*Form, "MusiqueAssocierItem");
        TMusique* music = TMusique::Of(e);
        music->WaitForWave();
        music->SetPlannedStart(0, 6.0);
        Dialogs.SavePaths << P("cues.wav");
        AnswerCueOptions();
        Trigger(*Form, "MusiqueSignauxItem");
        QCOMPARE(Boxes->Texts(), QStringList());

        QFile out(P("cues.wav"));
        QVERIFY(out.open(QIODevice::ReadOnly));
        const QByteArray bytes = out.readAll();
        quint32 rate;
        std::memcpy(&rate, bytes.constData() + 24, 4);
        QCOMPARE(rate, 8000u);
        const auto* track = reinterpret_cast<const int16_t*>(bytes.constData() + 44);
        QVERIFY(std::abs(track[2 * 8010]) > 20000); // the click, on the left
        QVERIFY(std::abs(track[2 * 4000]) < 100);
        const CueVoice voice = BuiltInVoice(8000);
        const size_t fire = 6 * 8000;
        QCOMPARE(size_t(bytes.size() - 44), (fire + voice.Fire.size()) * 4);
        for (size_t i = 0; i < voice.Fire.size(); ++i)
            QCOMPARE(track[2 * (fire + i) + 1], voice.Fire[i]);
    }
};

QTEST_MAIN(RehearsalTest)
#include "RehearsalTest.moc"
