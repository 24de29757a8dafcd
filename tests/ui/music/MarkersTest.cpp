// Markers fixed by hand on the timeline and in their list, taken back with Ctrl+Z and saved to
// the millisecond; the zoom's limits and snapping in pixels; the music's keys, which never
// change a cell or a header field being typed.

#include "Driver.h"
#include "ProgramUnderTest.h"
#include "model/io/Wave.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/music/EventTime.h"
#include "ui/music/TMusique.h"
#include "ui/music/TReperes.h"
#include "ui/timeline/MusicLane.h"
#include "ui/timeline/TChronologie.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>

using namespace salvo;
using namespace salvo::ui;
using namespace driver;

namespace {

QString Listed(const TMusique& music) {
    QStringList out;
    for (const Marker& m : music.Data.Markers)
        out << QString::number(m.Time, 'f', 3) + " " + QString::fromStdString(m.Text);
    return out.join(" | ");
}

// Answers the next marker dialog with a time and a text.
void AnswerMarker(const QString& time, const QString& text) {
    QTimer::singleShot(0, [time, text] {
        QWidget* box = QApplication::activeModalWidget();
        QVERIFY(box && box->objectName() == "TRepere");
        box->findChild<QLineEdit*>("EditTemps")->setText(time);
        box->findChild<QLineEdit*>("EditTexte")->setText(text);
        box->findChild<QPushButton*>("ButtonOK")->click();
    });
}

} // namespace

class MarkersTest : public QObject, ProgramUnderTest {
    Q_OBJECT

    TFenetreEnfant* E = nullptr;
    TMusique* Music = nullptr;
    TChronologie* Panel = nullptr;

    int BandY() const { return Panel->viewport()->height() - 20; }
    QPoint InBand(double seconds) { return QPoint(Panel->Layout().XOf(seconds), BandY()); }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    // A program of one sequence (channel 1 manual, 2 and 3 automatic) with 60 s of silence
    // attached through the menu, and markers at 10, 20 and 30 s.
    void init() {
        StartProgram(QSize(1400, 900));
        Trigger(*Form, "FileNew");
        E = Form->ActiveEditor();
        E->ChangeChannelType(1, Automatic);
        E->ChangeChannelType(2, Automatic);
        QFile wave(P("silence.wav"));
        QVERIFY(wave.open(QIODevice::WriteOnly));
        const std::string bytes = WaveBytes(std::vector<int16_t>(size_t(8000) * 60, 0), 1, 8000);
        wave.write(bytes.data(), qint64(bytes.size()));
        wave.close();
        Dialogs.OpenPaths << P("silence.wav");
        Trigger(*Form, "MusiqueAssocierItem");
        Music = TMusique::Of(E, false);
        QVERIFY(Music);
        Music->WaitForWave();
        Panel = Control<TChronologie>(*E, "Chronologie");
        // The keyboard goes to the timeline, where Space and M act on the music.
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(Panel));
        for (double t : {10.0, 20.0, 30.0})
            Music->Markers().Add(t, "r" + std::to_string(int(t)));
        Music->Markers().Forget();
        E->SetModified(false);
    }
    void cleanup() { StopProgram(); }

    void markersAreSelectedMovedRemovedEditedAndTakenBack() {
        const QString start = Listed(*Music);
        // A click picks a marker up; a drag moves it, snapping to nothing here.
        QTest::mouseClick(Panel->viewport(), Qt::LeftButton, {}, InBand(20));
        QCOMPARE(Music->Markers().Selected(), 1);
        QCOMPARE(MarkerCaption(*Music, 1, ','), QString::fromUtf8("Repère n°2 : 20 s, r20"));
        QVERIFY(!E->Modified());
        QTest::mousePress(Panel->viewport(), Qt::LeftButton, {}, InBand(20));
        QTest::mouseMove(Panel->viewport(), InBand(20) + QPoint(8, 0));
        QTest::mouseMove(Panel->viewport(), InBand(35));
        QTest::mouseRelease(Panel->viewport(), Qt::LeftButton, {}, InBand(35));
        const double moved = Music->Data.Markers[2].Time;
        QVERIFY2(std::abs(moved - 35) <= Panel->Layout().SecondsPerPixel(),
                 qPrintable(Listed(*Music)));
        QCOMPARE(moved, std::round(moved * 1000) / 1000);
        QCOMPARE(Music->Markers().Selected(), 2); // it passed the marker at 30 s
        QVERIFY(E->Modified());
        // Delete removes the selected one; a double click asks for its time and text.
        Key(Qt::Key_Delete);
        QCOMPARE(Music->Data.Markers.size(), size_t(2));
        AnswerMarker("12,3456", "Refrain");
        QTest::mouseDClick(Panel->viewport(), Qt::LeftButton, {}, InBand(10));
        QCOMPARE(Listed(*Music), "12.346 Refrain | 30.000 r30");
        // The list: a marker added, one deleted, then everything taken back step by step.
        WhenShown<TReperes>([](TReperes& d) {
            auto* table = Control<QTableWidget>(d, "TableReperes");
            QCOMPARE(table->rowCount(), 2);
            QCOMPARE(table->item(0, 1)->text(), QStringLiteral("12,346"));
            QCOMPARE(table->item(0, 2)->text(), QStringLiteral("Refrain"));
            AnswerMarker("254,417", "Bouquet");
            Control<QPushButton>(d, "ButtonAjouter")->click();
            QCOMPARE(table->item(2, 1)->text(), QStringLiteral("254,417"));
            table->selectRow(1);
            table->setFocus();
            QTest::keyClick(table, Qt::Key_Delete);
            QCOMPARE(table->rowCount(), 2);
            QCOMPARE(table->item(1, 2)->text(), QStringLiteral("Bouquet"));
            Control<QPushButton>(d, "ButtonFermer")->click();
        });
        Trigger(*Form, "MusiqueListeReperesItem");
        QCOMPARE(Listed(*Music), "12.346 Refrain | 254.417 Bouquet");

        Dialogs.SavePaths << P("show.tir");
        Trigger(*Form, "FileSaveAs");
        QFile saved(P("show.musique"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(saved.readAll());
        QVERIFY2(text.contains(QString::fromUtf8("Repère ; 12.346 ; Refrain\nRepère ; 254.417 ; "
                                                 "Bouquet\n")),
                 qPrintable(text));

        ShowActive(*Form); // a dialog that closed leaves no window active offscreen
        Panel->setFocus();
        const QStringList back = {
            "12.346 Refrain | 30.000 r30 | 254.417 Bouquet", "12.346 Refrain | 30.000 r30",
            "10.000 r10 | 30.000 r30",
            "10.000 r10 | 30.000 r30 | " + QString::number(moved, 'f', 3) + " r20", start};
        for (const QString& expected : back) {
            Key(Qt::Key_Z, Qt::ControlModifier);
            QCOMPARE(Listed(*Music), expected);
        }
        Key(Qt::Key_Z, Qt::ControlModifier); // nothing more to take back
        QCOMPARE(Listed(*Music), start);
        QVERIFY(E->Modified());
    }

    void zoomStaysWithinItsLimits() {
        struct Case {
            const char* what;
            TimelineView view;
            double anchor, factor;
            TimelineView expected;
        } cases[] = {
            {"closer around the pointer", {}, 60, 2, {30, 120}},
            {"no closer than 10 ms a pixel", {}, 60, 1000, {57.5, 10}},
            {"no farther than the whole show", {30, 120}, 60, 0.25, {}},
            {"against the end of the show", {200, 40}, 239, 0.5, {160, 80}},
            {"against its start", {0, 40}, 1, 0.5, {0, 80}},
        };
        for (const Case& c : cases) {
            const TimelineView v = ZoomedView(c.view, 240, 1000, c.anchor, c.factor);
            QVERIFY2(std::abs(v.Start - c.expected.Start) < 1e-9 &&
                         std::abs(v.Span - c.expected.Span) < 1e-9,
                     qPrintable(QString("%1: %2 %3").arg(c.what).arg(v.Start).arg(v.Span)));
        }
        QVERIFY(ClampedView({-5, 50}, 240, 1000) == (TimelineView{0, 50}));
        QVERIFY(ClampedView({230, 50}, 240, 1000) == (TimelineView{190, 50}));
        QVERIFY(ClampedView({0, 5}, 8, 1000) == TimelineView{}); // shorter than the finest zoom

        // On the panel: Ctrl+wheel keeps the time under the pointer, the keys and "Ajuster".
        const TimelineLayout whole = Panel->Layout();
        const QPoint pointer(whole.XOf(20), BandY());
        const double under = TimeAtX(whole, pointer.x());
        QWheelEvent wheel(pointer, Panel->viewport()->mapToGlobal(pointer), {}, {0, 120 * 8},
                          Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(Panel->viewport(), &wheel);
        const TimelineLayout& closer = Panel->Layout();
        QVERIFY(closer.SecondsPerPixel() < whole.SecondsPerPixel() / 5);
        QVERIFY(std::abs(closer.XOf(under) - pointer.x()) <= 1);
        QVERIFY(Panel->horizontalScrollBar()->isVisible());
        for (int k = 0; k < 12; ++k)
            Key(Qt::Key_Plus);
        QVERIFY(std::abs(Panel->Layout().SecondsPerPixel() - FinestSecondsPerPixel) < 1e-9);
        Panel->horizontalScrollBar()->setValue(40000);
        QCOMPARE(Panel->Layout().ViewStart, 40.0);
        Control<QToolButton>(*Panel, "BoutonAjuster")->click();
        QVERIFY(Panel->View() == TimelineView{});
        QCOMPARE(Panel->Layout().ViewEnd, Panel->Layout().AxisEnd);
    }

    // A dragged flag or marker snaps within a few pixels whatever the zoom: not by seconds.
    void snappingIsInPixels() {
        struct Case {
            const char* what;
            double secondsPerPixel; // 0: the whole show
            int pixelsAway;
            bool snaps;
        } cases[] = {
            {"whole show, 3 px", 0, 3, true},
            {"whole show, 12 px", 0, 12, false},
            {"10 ms a pixel, 4 px", 0.01, 4, true},
            {"10 ms a pixel, 9 px (0,09 s)", 0.01, 9, false},
        };
        Music->SetPlannedStart(0, 9);
        for (const SequenceSpan& other : Music->Sequences()) // out of the way
            if (other.First > 0)
                Music->SetPlannedStart(other.First, 50);
        for (const Case& c : cases) {
            const int pixels = Panel->Layout().AxisRight - Panel->Layout().AxisLeft;
            Panel->SetView(c.secondsPerPixel > 0 ? TimelineView{8.5, c.secondsPerPixel * pixels}
                                                 : TimelineView{});
            const TimelineLayout L = Panel->Layout();
            if (c.secondsPerPixel > 0)
                QVERIFY(std::abs(L.SecondsPerPixel() - c.secondsPerPixel) < 1e-9);
            // The marker at 10 s dragged next to the flag at 9 s, then the flag next to the
            // marker at 20 s.
            const QPoint marker(L.XOf(10), BandY()), target(L.XOf(9) + c.pixelsAway, BandY());
            QTest::mousePress(Panel->viewport(), Qt::LeftButton, {}, marker);
            QTest::mouseMove(Panel->viewport(), marker + QPoint(8, 0));
            QTest::mouseMove(Panel->viewport(), target);
            QTest::mouseRelease(Panel->viewport(), Qt::LeftButton, {}, target);
            QVERIFY2((Music->Data.Markers[0].Time == 9) == c.snaps,
                     qPrintable(QString("%1: %2 start %3 spp %4 x %5 %6")
                                    .arg(c.what)
                                    .arg(Music->Data.Markers[0].Time)
                                    .arg(Music->Starts()[0])
                                    .arg(L.SecondsPerPixel())
                                    .arg(L.XOf(9))
                                    .arg(L.XOf(10))));
            Music->Markers().Undo();

            Panel->SetView(c.secondsPerPixel > 0 ? TimelineView{8.5, c.secondsPerPixel * pixels}
                                                 : TimelineView{});
            const TimelineLayout F = Panel->Layout();
            const int y = F.Lanes[0].Box.top() + 8 - Panel->verticalScrollBar()->value();
            QVERIFY(F.XOf(10) < F.AxisRight);
            const QPoint flag(F.XOf(9), y), near(F.XOf(10) - c.pixelsAway, y);
            QTest::mousePress(Panel->viewport(), Qt::LeftButton, {}, flag);
            QTest::mouseMove(Panel->viewport(), flag + QPoint(8, 0));
            QTest::mouseMove(Panel->viewport(), near);
            QTest::mouseRelease(Panel->viewport(), Qt::LeftButton, {}, near);
            QVERIFY2((Music->Starts()[0] == 10) == c.snaps,
                     qPrintable(QString("%1: flag %2").arg(c.what).arg(Music->Starts()[0])));
            Music->SetPlannedStart(0, 9);
        }
    }

    // F5 and F6 reach the music from anywhere in the window and leave what is being typed as
    // it is; Space and M there are text.
    void musicKeysLeaveCellsAndTitleAlone() {
        auto* title = Control<QLineEdit>(*E, "StringTitre");
        struct Case {
            const char* what;
            std::function<void()> focus;
            QString typedBefore, typedAfter;
            std::function<QString()> text;
            QString expected;
        } cases[] = {
            {"a description cell being typed", [this] { FocusCell(*E, 3, 2); },
             QString::fromUtf8("Comètes arg"), QString::fromUtf8("entées"),
             [this] { return E->CellText(3, 2); }, QString::fromUtf8("Comètes argentées")},
            {"a delay being typed", [this] { FocusCell(*E, 2, 2); }, QStringLiteral("12,"),
             QStringLiteral("4"), [this] { return E->CellText(2, 2); }, QStringLiteral("12,4")},
            {"a description cell selected", [this] { FocusCell(*E, 3, 3); }, QString(), QString(),
             [this] { return E->CellText(3, 3); }, QString()},
            {"the title", [title] { title->setFocus(); }, QStringLiteral("Final m"),
             QStringLiteral(" en or"), [title] { return title->text(); },
             QStringLiteral("Final m en or")},
        };
        double head = 1;
        for (const Case& c : cases) {
            Music->SetHead(head++); // a marker where one already is would not be added again
            c.focus();
            Type(c.typedBefore);
            const size_t markers = Music->Data.Markers.size();
            Key(Qt::Key_F6);
            QVERIFY2(Music->Data.Markers.size() == markers + 1, c.what);
            Key(Qt::Key_F5);
            if (Music->Playing())
                Key(Qt::Key_F5);
            QVERIFY2(!Music->Playing(), c.what);
            Type(c.typedAfter);
            if (QApplication::focusWidget() != title)
                Key(Qt::Key_Return);
            QCOMPARE(c.text(), c.expected);
        }
    }

    // F6 through its menu command is placed when the key was pressed, not when the command
    // runs: the key's own time is taken once, for that key only, and only while it is fresh.
    void theMarkKeysOwnTimeIsTakenOnce() {
        using namespace std::chrono_literals;
        const auto send = [this](QEvent::Type type, int key, quint64 stamp) {
            QKeyEvent event(type, key, Qt::NoModifier);
            event.setTimestamp(stamp);
            QCoreApplication::sendEvent(E->window(), &event);
        };
        const auto near = [](sound::Instant a, sound::Instant b) {
            return std::chrono::abs(a - b) < 20ms;
        };
        const quint64 now = 5'000'000; // the window system's clock, learnt from a first event
        send(QEvent::KeyRelease, Qt::Key_A, now);
        const sound::Instant learnt = std::chrono::steady_clock::now();
        send(QEvent::ShortcutOverride, Qt::Key_F6, now - 300);
        QVERIFY(!near(KeyPressInstant(Qt::Key_F5), learnt - 300ms)); // another key's
        send(QEvent::ShortcutOverride, Qt::Key_F6, now - 300);
        QVERIFY(near(KeyPressInstant(Qt::Key_F6), learnt - 300ms));
        QVERIFY(near(KeyPressInstant(Qt::Key_F6), std::chrono::steady_clock::now())); // taken
        send(QEvent::KeyPress, Qt::Key_F6, now - 1500);
        QVERIFY(near(KeyPressInstant(Qt::Key_F6), std::chrono::steady_clock::now())); // stale
    }
};

QTEST_MAIN(MarkersTest)
#include "MarkersTest.moc"
