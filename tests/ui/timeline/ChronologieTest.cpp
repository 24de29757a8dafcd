// The timeline: its picture of known programs on a recording surface, its axis, and the panel
// in an editor window following commits, hiding when narrow and moving the grid's cell.

#include "Boxes.h"
#include "Driver.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/shell/Main.h"
#include "ui/timeline/TChronologie.h"
#include "ui/timeline/Timeline.h"

#include <QComboBox>
#include <QScrollBar>
#include <QTableWidget>
#include <QToolTip>
#include <QtTest>

using namespace salvo;
using namespace salvo::ui;
using namespace driver;

namespace {

// Measures every character alike and keeps the box of every text drawn.
class Recorder : public TimelineSurface {
public:
    std::vector<std::pair<QRect, QString>> Texts;
    int TextWidth(const QString& text, TimelineFont font) override {
        return static_cast<int>(text.size()) * (font == TimelineFont::Summary ? 7 : 6);
    }
    int TextHeight(TimelineFont font) override { return font == TimelineFont::Summary ? 15 : 13; }
    void Text(int x, int y, const QString& text, TimelineFont font, TimelineInk) override {
        Texts.push_back({QRect(x, y, TextWidth(text, font), TextHeight(font)), text});
    }
    void Line(int, int, int, int, TimelineInk) override {}
    void Fill(const QRect&, TimelineInk) override {}
};

// Draws the layout; no two texts share a pixel, every text lies inside the panel, and the
// texts drawn are those of the layout.
void CheckDrawing(const TimelineLayout& layout) {
    Recorder r;
    DrawTimelineLanes(layout, r, 0, 0);
    DrawTimelineHeader(layout, r);
    const auto& t = r.Texts;
    QCOMPARE(t.size(), layout.Texts().size());
    for (size_t i = 0; i < t.size(); ++i) {
        QVERIFY2(t[i].first.left() >= 0 && t[i].first.right() < layout.Width,
                 qPrintable(t[i].second));
        for (size_t j = i + 1; j < t.size(); ++j)
            QVERIFY2(!t[i].first.intersects(t[j].first),
                     qPrintable(t[i].second + " / " + t[j].second));
    }
}

QStringList LaneLabels(const TimelineLayout& layout) {
    QStringList out;
    for (const TimelineLane& lane : layout.Lanes)
        out << lane.Label.Text;
    return out;
}

} // namespace

class ChronologieTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TMainForm> Form;
    std::unique_ptr<BoxAnswers> Boxes;
    TFenetreEnfant* E = nullptr;
    TChronologie* Panel = nullptr;

    // Channel 1 manual at 0 with 2 to 10 a second apart after it; channel 11 manual at 5 with
    // 12 to 30 a second apart after it. Set as a file being read sets it.
    void OpenTwoSequences() {
        for (int i = 0; i < 30; ++i) {
            const bool manual = i == 0 || i == 10;
            E->ChangeChannelType(i, manual ? Manual : Automatic);
            E->ApplyChannelTime(i, i < 10 ? i : 5 + (i - 10));
        }
        E->SetModified(false);
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void knownProgramGivesLanesLabelsAndMarks() {
        // Two sequences on an "Ignivelle": channels 1 to 5, then a burst of 10 channels whose
        // intervals shrink from 2 s to 0,4 s.
        ChannelTable table;
        table.SetModel(0);
        const double own[15] = {2, 1, 1, 1.4, 2.6, 1, 2, 1.8, 1.6, 1.4, 1.2, 1, 0.8, 0.6, 0.4};
        const double times[15] = {2, 3, 4, 5.4, 8, 1, 3, 4.8, 6.4, 7.8, 9, 10, 10.8, 11.4, 11.8};
        for (int i = 0; i < 15; ++i) {
            table.SetChannelType(i, i == 0 || i == 5 ? Manual : Automatic);
            table.SetStepDelay(i, own[i]);
        }
        table.LastError = NoAnswer; // as a failed transfer leaves it
        const std::vector<TimelineChannel> channels = ChannelsOf(table);
        QCOMPARE(table.LastError, NoAnswer); // read, never changed

        for (int width : {2000, 500, 220}) {
            Recorder measure;
            const TimelineLayout L = LayOutTimeline(channels, width, measure, ',');
            if (width == 2000) {
                QCOMPARE(L.Summary.Text,
                         QString::fromUtf8("2 séquences, durée la plus longue 11,8 s"));
                QCOMPARE(
                    LaneLabels(L),
                    QStringList({QString::fromUtf8("Séquence 1 : voies 1 à 5, durée 8 s"),
                                 QString::fromUtf8("Séquence 2 : voies 6 à 15, durée 11,8 s")}));
                QCOMPARE(L.Numbers.size(), size_t(15)); // room for every number
            }
            // Each mark at its time on the common axis, from its sequence's button press.
            QCOMPARE(L.Marks.size(), size_t(15));
            for (int i = 0; i < 15; ++i) {
                const TimelineMark& m = L.Marks[size_t(i)];
                QCOMPARE(m.Lane, i < 5 ? 0 : 1);
                QVERIFY(std::abs(m.Time - times[i]) < 1e-9);
                QVERIFY(std::abs(m.X -
                                 (L.AxisLeft + times[i] / 11.8 * (L.AxisRight - L.AxisLeft))) <= 1);
                QVERIFY(L.Lanes[size_t(m.Lane)].Box.contains(m.Bar));
            }
            // A number stands under its own mark; where they crowd, some are left out.
            QVERIFY(L.Numbers.size() >= 8);
            for (size_t n = 0; n < L.Numbers.size(); ++n) {
                const TimelineMark& m = L.Marks[size_t(L.NumberMarks[n])];
                QCOMPARE(L.Numbers[n].Text, QString::number(m.Channel));
                QVERIFY(std::abs(L.Numbers[n].Box.center().x() - m.X) <= 3);
                QVERIFY(L.Numbers[n].Box.top() > m.Bar.bottom());
            }
            CheckDrawing(L);
        }
    }

    void axisStepKeepsTickLabelsApart_data() {
        QTest::addColumn<double>("end");
        QTest::addColumn<int>("width");
        QTest::addColumn<double>("step");
        QTest::addColumn<QString>("lastLabel");
        // At 6 px a character the axis of a 400 px panel is 362 px less the half of its last
        // label. 2 s: "0,2 s" ticks would be 36 px apart for 30 px labels and a 14 px blank.
        QTest::newRow("2 s, 400 px") << 2.0 << 400 << 0.5 << "2 s";
        QTest::newRow("2 s, 1200 px") << 2.0 << 1200 << 0.2 << "2 s";
        QTest::newRow("60 s, 400 px") << 60.0 << 400 << 10.0 << "60 s";
        QTest::newRow("60 s, 1200 px") << 60.0 << 1200 << 2.0 << "60 s";
        QTest::newRow("6553,4 s, 400 px") << MaxStepDelay << 400 << 1800.0 << "5400 s";
        QTest::newRow("6553,4 s, 1200 px") << MaxStepDelay << 1200 << 300.0 << "6300 s";
        QTest::newRow("nothing timed yet") << 0.0 << 400 << 0.2 << "1 s";
    }
    void axisStepKeepsTickLabelsApart() {
        QFETCH(double, end);
        QFETCH(int, width);
        QFETCH(double, step);
        QFETCH(QString, lastLabel);
        Recorder measure;
        const TimelineLayout L = LayOutTimeline({{1, Manual, end}}, width, measure, ',');
        QCOMPARE(L.Step, step);
        QCOMPARE(L.TickLabels.front().Text, QStringLiteral("0 s"));
        QCOMPARE(L.TickLabels.back().Text, lastLabel);
        for (size_t k = 0; k < L.TickX.size(); ++k)
            QCOMPARE(L.TickX[k], L.XOf(double(k) * step));
        for (size_t k = 1; k < L.TickLabels.size(); ++k)
            QVERIFY(L.TickLabels[k].Box.left() - L.TickLabels[k - 1].Box.right() > 8);
        QCOMPARE(LaneLabels(L).front(),
                 QString::fromUtf8("Séquence 1 : voie 1, durée %1 s")
                     .arg(QString(end == MaxStepDelay ? "6553,4" : QString::number(end))));
        QVERIFY(L.Summary.Text.startsWith(QString::fromUtf8("1 séquence, ")));
        CheckDrawing(L);
    }

    void init() {
        Form = std::make_unique<TMainForm>();
        Form->resize(1400, 900);
        ShowActive(*Form);
        Boxes = std::make_unique<BoxAnswers>();
        Trigger(*Form, "FileNew");
        E = Form->ActiveEditor();
        QVERIFY(E);
        Panel = E->findChild<TChronologie*>(QStringLiteral("Chronologie"));
        QVERIFY(Panel);
        OpenTwoSequences();
    }
    void cleanup() {
        CloseProgram(Form);
        Boxes.reset();
    }

    void panelSharesTheRowWithTheGridOrHides() {
        QVERIFY(E->isMaximized());
        QVERIFY(Panel->isVisible());
        QCOMPARE(Panel->focusPolicy(), Qt::NoFocus);
        QTableWidget* table = Grid(*E);
        const QRect grid = table->geometry();
        QCOMPARE(Panel->geometry().left(), grid.right() + 1);
        QCOMPARE(Panel->geometry().top(), grid.top());
        QCOMPARE(Panel->geometry().right(), E->widget()->width() - 1);
        QVERIFY(table->viewport()->width() >= 150 + 150 + 150 + 275);
        QCOMPARE(table->columnWidth(3), 275);

        // A window of its normal width has no room for it: the grid spans the window again.
        E->showNormal();
        QVERIFY(!Panel->isVisible());
        QCOMPARE(table->width(), E->widget()->width());
        E->showMaximized();
        QVERIFY(Panel->isVisible());
        QVERIFY(Panel->width() >= TChronologie::MinimumWidth);
    }

    void panelFollowsCommittedDelaysAndTheModel() {
        const auto lane = [this](int k) { return Panel->Layout().Lanes.at(size_t(k)).Label.Text; };
        QCOMPARE(Panel->Layout().Lanes.size(), size_t(2));
        QCOMPARE(lane(0), QString::fromUtf8("Séquence 1 : voies 1 à 10, durée 9 s"));
        QCOMPARE(lane(1), QString::fromUtf8("Séquence 2 : voies 11 à 30, durée 24 s"));

        // Typed, not yet committed: the panel still shows the program as it is.
        FocusCell(*E, 2, 2);
        Type("20");
        QCOMPARE(E->CellText(2, 2), QStringLiteral("20"));
        QCOMPARE(lane(0), QString::fromUtf8("Séquence 1 : voies 1 à 10, durée 9 s"));
        // Enter commits: channels 3 to 10 move after channel 2, 0,2 s apart.
        Key(Qt::Key_Return);
        QCOMPARE(E->CellText(2, 10), QStringLiteral("21,6"));
        QCOMPARE(lane(0), QString::fromUtf8("Séquence 1 : voies 1 à 10, durée 21,6 s"));
        QCOMPARE(Panel->Layout().Marks.at(1).Time, 20.0);
        QCOMPARE(Panel->Layout().Summary.Text,
                 QString::fromUtf8("2 séquences, durée la plus longue 24 s"));

        // Drawing reads the document and changes nothing of it.
        E->SetModified(false);
        E->Link().LastError = NoAnswer; // as a failed transfer leaves it
        Panel->ProgramChanged();
        QVERIFY(!Panel->viewport()->grab().isNull());
        QVERIFY(!E->Modified());
        QCOMPARE(E->Link().LastError, NoAnswer);

        // A type made manual starts a sequence.
        E->ChangeChannelType(5, Manual);
        QCOMPARE(Panel->Layout().Lanes.size(), size_t(3));
        QCOMPARE(lane(1), QString::fromUtf8("Séquence 2 : voies 6 à 10, durée 21,6 s"));

        // "Ignivelle": 15 channels in use.
        auto* models = Control<QComboBox>(*E, "ComboBoxType");
        models->setCurrentIndex(0);
        models->activated(0);
        QCOMPARE(Panel->Layout().Marks.size(), size_t(15));
        QCOMPARE(lane(2), QString::fromUtf8("Séquence 3 : voies 11 à 15, durée 9 s"));
        QVERIFY(Boxes->Seen.empty());
    }

    void clickOnAMarkMakesItsDelayTheCurrentCell() {
        E->SetDescription(14, QStringLiteral("Bombe 100 mm"));
        // Channel 1 being typed into when the mark is clicked.
        FocusCell(*E, 2, 1);
        Type("3");
        const TimelineMark mark = Panel->Layout().Marks.at(13);
        QCOMPARE(mark.Channel, 14);
        const QPoint at(mark.X, mark.Bar.center().y() - Panel->verticalScrollBar()->value());
        QCOMPARE(Panel->MarkAt(at)->Channel, 14);

        QHelpEvent help(QEvent::ToolTip, at, Panel->viewport()->mapToGlobal(at));
        QApplication::sendEvent(Panel->viewport(), &help);
        QCOMPARE(QToolTip::text(), QStringLiteral("Voie 14, Automatique, 8 s\nBombe 100 mm"));

        QTest::mouseClick(Panel->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QCOMPARE(E->CurrentColumn(), 2);
        QCOMPARE(E->CurrentRow(), 14);
        QVERIFY(Grid(*E)->hasFocus());
        // Leaving channel 1's cell committed it, as a move in the grid does.
        QCOMPARE(E->Link().GetChannelTime(0), 3.0);
        QCOMPARE(Panel->CurrentChannel(), 14);
        // Beside the marks, a click does nothing.
        QTest::mouseClick(Panel->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(Panel->viewport()->width() - 3, at.y()));
        QCOMPARE(E->CurrentRow(), 14);
        QVERIFY(Boxes->Seen.empty());
    }
};

QTEST_MAIN(ChronologieTest)
#include "ChronologieTest.moc"
