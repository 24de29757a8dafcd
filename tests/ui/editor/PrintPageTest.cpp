// The printed page, measured on a recording surface: margins, header, table rules, delay and
// description cells.

#include "RecordingSurface.h"
#include "ui/editor/Printing.h"

#include <QtTest>

#include <algorithm>
#include <cmath>

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
                          n % 3 == 1 ? QStringLiteral("Manuel") : QStringLiteral("Automatique"),
                          QStringLiteral("1,2"), QStringLiteral("Bombe %1").arg(n)});
    return s;
}

int Dots(double mm, int dpi) {
    return static_cast<int>(std::lround(mm * dpi / 25.4));
}

bool IsHorizontal(const DrawCall& c) {
    return c.What == DrawCall::Kind::Line && c.Y1 == c.Y2;
}

// The horizontal lines that close the table's rows, top to bottom.
std::vector<DrawCall> RowBottoms(const RecordingSurface& s) {
    std::vector<DrawCall> out;
    for (const DrawCall& c : s.Calls)
        if (IsHorizontal(c))
            out.push_back(c);
    return out;
}

std::vector<DrawCall> TextsAt(const RecordingSurface& s, int points) {
    std::vector<DrawCall> out;
    for (const DrawCall& c : s.Of(DrawCall::Kind::Text))
        if (c.Style.Points == points)
            out.push_back(c);
    return out;
}

} // namespace

class PrintPageTest : public QObject {
    Q_OBJECT
private slots:
    void marginsFollowThePaperEdges_data() {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<double>("leftMm");
        QTest::addColumn<double>("rightMm");
        QTest::addColumn<double>("topMm");
        QTest::addColumn<double>("bottomMm");
        QTest::addColumn<double>("sideMm");   // expected left and right margins on paper
        QTest::addColumn<double>("topEdge");  // expected top margin on paper
        QTest::addColumn<double>("footEdge"); // expected bottom margin on paper
        QTest::newRow("5 mm all round") << 600 << 5.0 << 5.0 << 5.0 << 5.0 << 10.0 << 10.0 << 10.0;
        QTest::newRow("5 mm left, 15 mm right")
            << 600 << 5.0 << 15.0 << 5.0 << 5.0 << 15.0 << 10.0 << 10.0;
        QTest::newRow("15 mm left, 5 mm right")
            << 600 << 15.0 << 5.0 << 5.0 << 5.0 << 15.0 << 10.0 << 10.0;
        QTest::newRow("no unprintable margin, 300 dpi")
            << 300 << 0.0 << 0.0 << 0.0 << 0.0 << 10.0 << 10.0 << 10.0;
        QTest::newRow("12 mm top, 4 mm bottom, 1200 dpi")
            << 1200 << 4.0 << 4.0 << 12.0 << 4.0 << 10.0 << 12.0 << 12.0;
    }
    void marginsFollowThePaperEdges() {
        QFETCH(int, dpi);
        QFETCH(double, leftMm);
        QFETCH(double, rightMm);
        QFETCH(double, topMm);
        QFETCH(double, bottomMm);
        QFETCH(double, sideMm);
        QFETCH(double, topEdge);
        QFETCH(double, footEdge);

        RecordingSurface s;
        s.Device = RecordingSurface::Paper(210, 297, dpi, leftMm, topMm, rightMm, bottomMm);
        QVERIFY(DrawProgramPage(MakeSheet(2, 30), s, QStringLiteral(","),
                                QStringLiteral("01/02/2024")));
        const DeviceMeasures& d = s.Device;

        // Left: the frame's outer edge and the left-aligned header and foot texts.
        const auto frames = s.Of(DrawCall::Kind::Rectangle);
        QCOMPARE(frames.size(), size_t(1));
        const DrawCall& frame = frames[0];
        const int side = Dots(sideMm, dpi);
        QVERIFY(std::abs(d.OffsetLeft + frame.X1 - frame.Pen / 2 - side) <= 1);
        const auto serial = s.TextsEqual(QStringLiteral("Numéro de série :"));
        QCOMPARE(serial.size(), size_t(1));
        QVERIFY(std::abs(d.OffsetLeft + serial[0].X1 - side) <= 1);
        const auto foot = TextsAt(s, 8);
        QCOMPARE(foot.size(), size_t(1));
        QCOMPARE(foot[0].Text, QStringLiteral("Date d'impression :  01/02/2024"));
        QCOMPARE(foot[0].X1, serial[0].X1);

        // Right: the frame's outer edge.
        QVERIFY(std::abs(d.OffsetLeft + frame.X2 + frame.Pen / 2 - (d.PaperWidth - side)) <= 1);

        // Top: the title; bottom: the foot hangs 2 dots below the bottom margin.
        const auto title = s.TextsEqual(QStringLiteral("Final du 14 juillet"));
        QCOMPARE(title.size(), size_t(1));
        QVERIFY(std::abs(d.OffsetTop + title[0].Y1 - Dots(topEdge, dpi)) <= 1);
        QVERIFY(std::abs(d.OffsetTop + foot[0].Y1 - 2 - (d.PaperHeight - Dots(footEdge, dpi))) <=
                1);
    }

    void headerLinesAreInPlace() {
        RecordingSurface s;
        PrintSheet sheet = MakeSheet(1, 15);
        QVERIFY(DrawProgramPage(sheet, s, QStringLiteral(","), QStringLiteral("x")));

        const auto texts = s.Of(DrawCall::Kind::Text);
        QVERIFY(texts.size() >= 6);
        struct Expected {
            QString text;
            int points;
            bool bold, underline;
        };
        const Expected header[] = {
            {QStringLiteral("Final du 14 juillet"), 16, true, true},
            {QStringLiteral("Version :  2.1"), 14, false, false},
            {QStringLiteral("Numéro de série :"), 12, false, true},
            {QStringLiteral(" 123456"), 12, false, false},
            {QStringLiteral("Type Ignivelle :"), 12, false, true},
            {QStringLiteral(" Ignivelle SII"), 12, false, false},
        };
        for (size_t i = 0; i < std::size(header); ++i) {
            QCOMPARE(texts[i].Text, header[i].text);
            QCOMPARE(texts[i].Style.Points, header[i].points);
            QCOMPARE(texts[i].Style.Bold, header[i].bold);
            QCOMPARE(texts[i].Style.Underline, header[i].underline);
        }
        // Title and version centred over the frame; values right after their captions.
        const DrawCall frame = s.Of(DrawCall::Kind::Rectangle).at(0);
        const int middle = (frame.X1 + frame.X2) / 2;
        for (int i : {0, 1}) {
            const int centre = texts[i].X1 + s.TextWidth(texts[i].Text, texts[i].Style) / 2;
            QVERIFY2(std::abs(centre - middle) <= frame.Pen, qPrintable(texts[i].Text));
        }
        for (int i : {3, 5}) {
            QCOMPARE(texts[i].X1,
                     texts[i - 1].X1 + s.TextWidth(texts[i - 1].Text, texts[i - 1].Style));
            QCOMPARE(texts[i].Y1, texts[i - 1].Y1);
        }
        // Line spacing, in heights of the line above: title 1.5, version 2, serial number 1.5,
        // model 1.5 down to the table.
        const int line[] = {texts[0].Y1, texts[1].Y1, texts[2].Y1, texts[4].Y1, frame.Y1};
        const double factor[] = {1.5, 2, 1.5, 1.5};
        const int above[] = {0, 1, 2, 4};
        for (size_t i = 0; i < std::size(factor); ++i) {
            const DrawCall& t = texts[size_t(above[i])];
            QCOMPARE(line[i + 1] - line[i], int(factor[i] * s.TextHeight(t.Text, t.Style)));
        }
    }

    // Header texts wider than the page (a file may hold a megabyte) are cut to the margins, in
    // a few measures; the table below is drawn as usual.
    void headerTextsWiderThanThePageAreCut() {
        const QString words = QStringLiteral("Grand final de la fête ").repeated(40000);
        PrintSheet sheet = MakeSheet(1, 15);
        sheet.Title = words;
        sheet.Version = words;
        sheet.SerialNumber = QStringLiteral("1").repeated(1000000);
        RecordingSurface s;
        QVERIFY(DrawProgramPage(sheet, s, QStringLiteral(","), QStringLiteral("x")));
        QVERIFY2(s.WidthQueries < 1000, qPrintable(QString::number(s.WidthQueries)));

        const auto texts = s.Of(DrawCall::Kind::Text);
        const DrawCall frame = s.Of(DrawCall::Kind::Rectangle).at(0);
        const QString starts[] = {words, QStringLiteral("Version :  ") + words,
                                  QStringLiteral(" ") + sheet.SerialNumber};
        for (int i : {0, 1, 3}) {
            const DrawCall& t = texts[size_t(i)];
            QVERIFY2(!t.Text.isEmpty() && starts[i == 3 ? 2 : i].startsWith(t.Text),
                     qPrintable(QString::number(i)));
            QVERIFY2(t.X1 >= frame.X1 - frame.Pen &&
                         t.X1 + s.TextWidth(t.Text, t.Style) <= frame.X2 + frame.Pen,
                     qPrintable(QString::number(i)));
        }
        QCOMPARE(TextsAt(s, 10).size(), size_t(15));
    }

    void delayTextsGetTheirDecimalAndShareOneRightEdge_data() {
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("printed");
        const struct {
            const char *name, *separator, *shown, *printed;
        } cases[] = {
            {"whole, comma", ",", "12", "12,0"},
            {"decimal, comma", ",", "12,4", "12,4"},
            {"zero, comma", ",", "0", "0,0"},
            {"largest", ",", "6553,4", "6553,4"},
            {"whole, point", ".", "12", "12.0"},
            {"point text under a comma locale", ",", "3.5", "3.5"},
        };
        for (const auto& c : cases)
            QTest::newRow(c.name) << QString::fromUtf8(c.separator) << QString::fromUtf8(c.shown)
                                  << QString::fromUtf8(c.printed);
    }
    void delayTextsGetTheirDecimalAndShareOneRightEdge() {
        QFETCH(QString, separator);
        QFETCH(QString, shown);
        QFETCH(QString, printed);
        PrintSheet sheet = MakeSheet(0, 15);
        sheet.Rows[4].Delay = shown;
        RecordingSurface s;
        QVERIFY(DrawProgramPage(sheet, s, separator, QStringLiteral("x")));

        const auto hit = s.TextsEqual(printed);
        QCOMPARE(hit.size(), size_t(1));
        QCOMPARE(hit[0].Style.Points, 12);
        const int edge = hit[0].X1 + s.TextWidth(printed, hit[0].Style);
        const auto others = s.TextsEqual(QStringLiteral("1,2"));
        QCOMPARE(others.size(), size_t(14));
        for (const DrawCall& c : others)
            QCOMPARE(c.X1 + s.TextWidth(c.Text, c.Style), edge);
        // Inside its column: between the rules of its row on either side.
        int before = -1, after = -1;
        for (const DrawCall& c : s.Of(DrawCall::Kind::Line)) {
            if (c.X1 != c.X2 || hit[0].Y1 < std::min(c.Y1, c.Y2) ||
                hit[0].Y1 > std::max(c.Y1, c.Y2))
                continue;
            if (c.X1 < hit[0].X1)
                before = std::max(before, c.X1);
            else if (after < 0 || c.X1 < after)
                after = c.X1;
        }
        QVERIFY(before >= 0 && after > edge);
    }

    void descriptionsAreCutToTheirColumn() {
        PrintSheet sheet = MakeSheet(2, 30);
        const QString longText = QStringLiteral("Chandelles romaines et bombes de 100 mm, "
                                                "tirées depuis la barge nord ")
                                     .repeated(4);
        sheet.Rows[0].Description = longText;
        sheet.Rows[1].Description.clear();
        // Fireworks are two UTF-16 units each: the cut never splits one, whatever the parity.
        const QString firework = QString::fromUtf8("🎆");
        sheet.Rows[2].Description = firework.repeated(80);
        sheet.Rows[3].Description = QStringLiteral("a") + firework.repeated(80);
        RecordingSurface s;
        QVERIFY(DrawProgramPage(sheet, s, QStringLiteral(","), QStringLiteral("x")));

        const auto descriptions = TextsAt(s, 10);
        QCOMPARE(descriptions.size(), size_t(29)); // the empty one draws nothing
        const DrawCall& cut = descriptions[0];
        QVERIFY(cut.Text.size() < longText.size());
        QVERIFY(longText.startsWith(cut.Text));
        // It keeps 1.75 mm from the frame's outer edge, and is cut no shorter than needed: the
        // room left is less than one more character (plus a few dots lost to rounding).
        const DrawCall frame = s.Of(DrawCall::Kind::Rectangle).at(0);
        const int gap = frame.X2 + frame.Pen / 2 - (cut.X1 + s.TextWidth(cut.Text, cut.Style));
        const int padding = Dots(1.75, 600);
        QVERIFY2(gap >= padding, qPrintable(QString::number(gap)));
        QVERIFY2(gap < padding + s.TextWidth(QStringLiteral("x"), cut.Style) + 8,
                 qPrintable(QString::number(gap)));
        QCOMPARE(descriptions[1].Text, firework.repeated(descriptions[1].Text.size() / 2));
        QCOMPARE(descriptions[2].Text,
                 QStringLiteral("a") + firework.repeated((descriptions[2].Text.size() - 1) / 2));
        QCOMPARE(descriptions[3].Text, QStringLiteral("Bombe 5"));

        // A huge text gives the same cut, in a few measures rather than one per character.
        PrintSheet huge = MakeSheet(2, 1);
        huge.Rows[0].Description = longText.repeated(1000);
        RecordingSurface s3;
        QVERIFY(DrawProgramPage(huge, s3, QStringLiteral(","), QStringLiteral("x")));
        QCOMPARE(TextsAt(s3, 10).at(0).Text, cut.Text);
        QVERIFY2(s3.WidthQueries < 1000, qPrintable(QString::number(s3.WidthQueries)));

        // A text that fits prints whole.
        PrintSheet again = MakeSheet(2, 30);
        again.Rows[0].Description = cut.Text;
        RecordingSurface s2;
        QVERIFY(DrawProgramPage(again, s2, QStringLiteral(","), QStringLiteral("x")));
        QCOMPARE(TextsAt(s2, 10).at(0).Text, cut.Text);
    }

    void everyChannelGetsARowOnOnePage_data() {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("modelName");
        QTest::newRow("Ignivelle") << 0 << 15 << "Ignivelle";
        QTest::newRow("Ignivelle SII") << 1 << 15 << "Ignivelle SII";
        QTest::newRow("Ignivelle V30") << 2 << 30 << "Ignivelle V30";
    }
    void everyChannelGetsARowOnOnePage() {
        QFETCH(int, model);
        QFETCH(int, rows);
        QFETCH(QString, modelName);
        RecordingSurface s;
        QVERIFY(
            DrawProgramPage(MakeSheet(model, rows), s, QStringLiteral(","), QStringLiteral("x")));

        QCOMPARE(s.TextsEqual(QStringLiteral(" ") + modelName).size(), size_t(1));
        const auto bottoms = RowBottoms(s);
        QCOMPARE(bottoms.size(), size_t(rows));
        const DrawCall frame = s.Of(DrawCall::Kind::Rectangle).at(0);
        int previous = frame.Y2;
        for (int n = 1; n <= rows; ++n) {
            const auto number = s.TextsEqual(QString::number(n));
            QCOMPARE(number.size(), size_t(1));
            const int bottom = bottoms[size_t(n - 1)].Y1;
            QVERIFY(number[0].Y1 > previous && number[0].Y1 < bottom);
            const auto description = s.TextsEqual(QStringLiteral("Bombe %1").arg(n));
            QCOMPARE(description.size(), size_t(1));
            QCOMPARE(description[0].Y1, number[0].Y1);
            previous = bottom;
        }
        QVERIFY(s.TextsEqual(QString::number(rows + 1)).empty());
        // The table ends above the bottom margin, the date below it.
        const DrawCall foot = TextsAt(s, 8).at(0);
        QVERIFY(previous < foot.Y1 - 2);
        QVERIFY(foot.Y1 < s.Device.PrintableHeight);
    }

    void rulesAreThickOutsideAndThinInside_data() {
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("thick");
        QTest::addColumn<int>("thin");
        QTest::newRow("300 dpi") << 300 << 5 << 2;
        QTest::newRow("600 dpi") << 600 << 11 << 4;
        QTest::newRow("1200 dpi") << 1200 << 23 << 9;
    }
    void rulesAreThickOutsideAndThinInside() {
        QFETCH(int, dpi);
        QFETCH(int, thick);
        QFETCH(int, thin);
        RecordingSurface s;
        s.Device = RecordingSurface::Paper(210, 297, dpi, 5, 5, 5, 5);
        QVERIFY(DrawProgramPage(MakeSheet(2, 30), s, QStringLiteral(","), QStringLiteral("x")));

        QCOMPARE(s.Of(DrawCall::Kind::Rectangle).at(0).Pen, thick);
        const auto bottoms = RowBottoms(s);
        QCOMPARE(bottoms.back().Pen, thick);
        for (size_t i = 0; i + 1 < bottoms.size(); ++i)
            QCOMPARE(bottoms[i].Pen, thin);
        // Verticals: the two sides of every row are thick, the column rules thin.
        const DrawCall frame = s.Of(DrawCall::Kind::Rectangle).at(0);
        int sides = 0, rules = 0;
        for (const DrawCall& c : s.Of(DrawCall::Kind::Line)) {
            if (c.X1 != c.X2)
                continue;
            const bool side = std::abs(c.X1 - frame.X1) <= 1 || c.X1 == frame.X2;
            QCOMPARE(c.Pen, side ? thick : thin);
            side ? ++sides : ++rules;
        }
        QCOMPARE(sides, 2 * 30);
        QCOMPARE(rules, 3 + 3 * 30);
    }

    void aPrintableAreaOfNoSizeDrawsNothing() {
        RecordingSurface s;
        s.Device.PrintableWidthMm = 0;
        QVERIFY(!DrawProgramPage(MakeSheet(2, 30), s, QStringLiteral(","), QStringLiteral("x")));
        QVERIFY(s.Calls.empty());
    }

    void aSheetShorterThanItsCountPrintsTheRowsItHas() {
        PrintSheet sheet = MakeSheet(2, 10);
        sheet.ChannelCount = 30;
        RecordingSurface s;
        QVERIFY(DrawProgramPage(sheet, s, QStringLiteral(","), QStringLiteral("x")));
        QCOMPARE(RowBottoms(s).size(), size_t(10));
    }
};

QTEST_MAIN(PrintPageTest)
#include "PrintPageTest.moc"
