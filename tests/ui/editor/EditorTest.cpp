// The editor window driven by keys, clicks and pointer moves, with a French locale.

#include "Boxes.h"
#include "Driver.h"
#include "ui/common/Messages.h"
#include "ui/editor/TFenetreEnfant.h"
#include "ui/shell/Main.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QtTest>

using namespace driver;

namespace {
const QString NotANumber = QStringLiteral("La Valeur saisie n'est pas un nombre");
const QString Adjusted = QString::fromUtf8(MsgDelaysAdjusted);
} // namespace

class EditorTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TMainForm> Form;
    std::unique_ptr<BoxAnswers> Boxes;
    TFenetreEnfant* E = nullptr;

    int VisibleRows() const {
        int n = 0;
        for (int r = 0; r < Grid(*E)->rowCount(); ++r)
            n += !Grid(*E)->isRowHidden(r);
        return n;
    }
    QLineEdit* Field(const char* name) const { return Control<QLineEdit>(*E, name); }
    QComboBox* ModelList() const { return Control<QComboBox>(*E, "ComboBoxType"); }
    QComboBox* TypeList() const { return Control<QComboBox>(*E, "TypeEditor"); }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void init() {
        Form = std::make_unique<TMainForm>();
        ShowActive(*Form);
        Boxes = std::make_unique<BoxAnswers>();
        Trigger(*Form, "FileNew");
        E = Form->ActiveEditor();
        QVERIFY(E);
    }
    void cleanup() {
        CloseProgram(Form);
        Boxes.reset();
    }

    void newWindowShowsAnEmptyV30Program() {
        QCOMPARE(E->RowCount(), 31);
        QCOMPARE(VisibleRows(), 30);
        QCOMPARE(ModelList()->currentText(), QStringLiteral("Ignivelle V30"));
        QCOMPARE(ModelList()->count(), 3);
        QStringList headings;
        for (int c = 0; c < 4; ++c)
            headings << E->CellText(c, 0);
        QCOMPARE(headings, QStringList({QString::fromUtf8(" N° de la ligne "), " Type de la voie ",
                                        " Retard de la voie ", " Description "}));
        for (int n = 1; n <= 30; ++n) {
            QCOMPARE(E->CellText(0, n), QString::number(n));
            QCOMPARE(E->CellText(1, n), QStringLiteral("Manuel"));
            QCOMPARE(E->CellText(2, n), QStringLiteral("0"));
            QCOMPARE(E->CellText(3, n), QString());
        }
        QCOMPARE(E->CurrentColumn(), 2);
        QCOMPARE(E->CurrentRow(), 1);
        QVERIFY(!E->Modified());
        QVERIFY(E->Title().isEmpty() && E->SerialNumber().isEmpty() && E->VersionText().isEmpty());
        QCOMPARE(Control<QLabel>(*E, "LabelNumSerie")->text(),
                 QString::fromUtf8("Numéro de série :"));
        QCOMPARE(Field("NumeroSerie")->toolTip(), QString::fromUtf8("Contient le numéro de série"));
        QCOMPARE(Grid(*E)->toolTip(), QString());
        QCOMPARE(Field("StringTitre")->geometry(), QRect(120, 8, 377, 21));
        QCOMPARE(Grid(*E)->columnWidth(3), 275);
        QVERIFY(TypeList()->isHidden());
    }

    void typedDelayLandsOnTheGridAtEnter() {
        FocusCell(*E, 2, 3);
        Type("1,5");
        QCOMPARE(E->CellText(2, 3), QStringLiteral("1,5")); // the cell holds what is typed
        Key(Qt::Key_Return);
        QCOMPARE(E->CellText(2, 3), QStringLiteral("1,6"));
        QCOMPARE(E->Link().Slots[2].Steps, 8u);
        QVERIFY(E->Modified());
        QVERIFY(Boxes->Seen.empty());
    }

    void tabCommitsAndMovesOn() {
        FocusCell(*E, 2, 4);
        Type("12,34");
        Key(Qt::Key_Tab);
        QCOMPARE(E->CellText(2, 4), QStringLiteral("12,4"));
        QCOMPARE(E->CurrentColumn(), 3);
        QVERIFY(Boxes->Seen.empty());
    }

    void secondSeparatorWarnsAtThatKeystroke() {
        FocusCell(*E, 2, 2);
        Type(",");
        QVERIFY(Boxes->Seen.empty()); // a lone separator reads as 0
        Type("5");
        Type(",");
        QCOMPARE(Boxes->Texts(), QStringList({NotANumber}));
        QCOMPARE(Boxes->Seen[0].Caption, QStringLiteral("Avertissement"));
        QCOMPARE(E->CellText(2, 2), QStringLiteral(",5,"));
        // Enter commits it once: the key the cell editor lets through is not handled again.
        Key(Qt::Key_Return);
        QCOMPARE(Boxes->Texts(), QStringList({NotANumber, NotANumber}));
        // Leaving the cell commits it: still not a number, still the same text.
        ClickCell(*E, 3, 2);
        QCOMPARE(Boxes->Texts(), QStringList({NotANumber, NotANumber, NotANumber}));
        QCOMPARE(E->CellText(2, 2), QStringLiteral(",5,"));
        QCOMPARE(E->Link().Slots[1].Steps, 0u);
    }

    void keyFiltersByColumn() {
        int beeps = salvo::ui::BeepCount();
        FocusCell(*E, 2, 5);
        Type("a");
        QCOMPARE(E->CellText(2, 5), QStringLiteral("0"));
        QCOMPARE(salvo::ui::BeepCount(), beeps + 1);
        FocusCell(*E, 1, 5);
        Type("x");
        QCOMPARE(E->CellText(1, 5), QStringLiteral("Manuel"));
        QCOMPARE(salvo::ui::BeepCount(), beeps + 1); // silently
        FocusCell(*E, 3, 5);
        Type("Bouquet");
        QCOMPARE(E->CellText(3, 5), QStringLiteral("Bouquet"));
        QVERIFY(E->Modified());
    }

    void keypadDecimalTypesTheSeparator() {
        FocusCell(*E, 2, 6);
        Type("2");
        KeypadDecimal();
        Type("4");
        QCOMPARE(E->CellText(2, 6), QStringLiteral("2,4"));
        Key(Qt::Key_Return);
        QCOMPARE(E->CellText(2, 6), QStringLiteral("2,4"));
        FocusCell(*E, 3, 6);
        Type("v");
        KeypadDecimal();
        QCOMPARE(E->CellText(3, 6), QStringLiteral("v,"));
    }

    void modelSwitchHidesRowsAndKeepsThem() {
        E->ChangeChannelType(19, salvo::Automatic);
        E->ApplyChannelTime(19, 3.0);
        E->SetDescription(20, QStringLiteral("Final"));
        FocusCell(*E, 3, 8);
        ModelList()->activated(0); // as when the user picks "Ignivelle"
        QCOMPARE(E->RowCount(), 16);
        QCOMPARE(VisibleRows(), 15);
        QCOMPARE(E->CurrentColumn(), 2);
        QCOMPARE(E->CurrentRow(), 1);
        QVERIFY(Boxes->Seen.empty());
        ModelList()->setCurrentIndex(2);
        ModelList()->activated(2);
        QCOMPARE(VisibleRows(), 30);
        QCOMPARE(E->CellText(1, 20), QStringLiteral("Automatique"));
        QCOMPARE(E->CellText(2, 20), QStringLiteral("3"));
        QCOMPARE(E->CellText(3, 20), QStringLiteral("Final"));
        QCOMPARE(E->Link().Slots[19].Steps, 15u);
    }

    void resizingGivesTheGridTheOuterHeightLess120() {
        E->showNormal();
        for (int h : {500, 640, 777}) {
            E->resize(800, h);
            QCOMPARE(Grid(*E)->contentsRect().height(), h - 120);
        }
    }

    void channelOneTypeCellCannotBeSelected() {
        // Nor drawn as selected: the current cell is the only one drawn so.
        auto onlyCurrentSelected = [this] {
            return Grid(*E)->selectionModel()->selectedIndexes() ==
                   QModelIndexList({Grid(*E)->currentIndex()});
        };
        ClickCell(*E, 1, 1);
        QCOMPARE(E->CurrentColumn(), 2);
        QCOMPARE(E->CurrentRow(), 1);
        QVERIFY(onlyCurrentSelected());
        FocusCell(*E, 2, 1);
        Key(Qt::Key_Left);
        Key(Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(E->CurrentColumn(), 2);
        QVERIFY(onlyCurrentSelected());
        ClickCell(*E, 0, 4); // the fixed number column
        QCOMPARE(E->CurrentColumn(), 2);
        QVERIFY(TypeList()->isHidden());
    }

    void typeListOpensOverTheCellAndAppliesOnLeaving() {
        E->ApplyChannelTime(1, 4.0);
        ClickCell(*E, 1, 3);
        QVERIFY(TypeList()->isVisible());
        QRect cell = Grid(*E)->visualRect(Grid(*E)->model()->index(2, 1));
        QCOMPARE(TypeList()->geometry().topLeft(), cell.topLeft());
        QCOMPARE(TypeList()->width(), cell.width() + 10);
        QCOMPARE(TypeList()->currentIndex(), 0);
        TypeList()->setCurrentIndex(1);
        QCOMPARE(E->CellText(1, 3), QStringLiteral("Manuel")); // not applied yet
        MovePointerToCell(*E, 1, 3);                           // same cell: nothing
        QVERIFY(TypeList()->isVisible());
        MovePointerToCell(*E, 3, 7);
        QVERIFY(TypeList()->isHidden());
        QCOMPARE(E->CellText(1, 3), QStringLiteral("Automatique"));
        QCOMPARE(E->CellText(2, 3), QStringLiteral("4,2")); // one step after channel 2
        QCOMPARE(E->CurrentColumn(), 2);
        QCOMPARE(E->CurrentRow(), 3);
        QVERIFY(Boxes->Seen.empty());
    }

    void passingOverTypeCellsWithKeysChangesNoType() {
        ClickCell(*E, 1, 3);
        TypeList()->setCurrentIndex(1);
        MovePointerToCell(*E, 3, 3);
        QCOMPARE(E->CellText(1, 3), QStringLiteral("Automatique"));
        FocusCell(*E, 2, 5);
        Key(Qt::Key_Left);
        QCOMPARE(E->CurrentColumn(), 1);
        Key(Qt::Key_Down);
        Key(Qt::Key_Right);
        QCOMPARE(E->CellText(1, 5), QStringLiteral("Manuel"));
        QCOMPARE(E->CellText(1, 6), QStringLiteral("Manuel"));
    }

    void leavingEditingWarnsOnceOverTheBackground() {
        FocusCell(*E, 2, 2);
        Type("7");
        MovePointerToBackground(*E);
        QCOMPARE(Boxes->Texts(), QStringList({Adjusted}));
        QCOMPARE(E->CellText(2, 2), QStringLiteral("7"));
        QCOMPARE(E->Link().Slots[1].Steps, 35u);
        MovePointerToBackground(*E);
        QCOMPARE(Boxes->Seen.size(), size_t(1));
        // Between the header fields too, the pointer is over the window's background.
        QCoreApplication::processEvents(); // what the window's layout left to do
        FocusCell(*E, 2, 3);
        Type("8");
        // Through the window, which hands the move to the control under the pointer.
        QPoint between = E->widget()->mapTo(Form.get(), QPoint(200, 31)); // below the title
        QTest::mouseMove(Form->windowHandle(), between);
        QCOMPARE(Boxes->Texts(), QStringList({Adjusted, Adjusted}));
        QCOMPARE(E->CellText(2, 3), QStringLiteral("8"));
    }

    void serialNumberTakesDigitsOnlyAndTypingLimits() {
        int beeps = salvo::ui::BeepCount();
        Field("NumeroSerie")->setFocus();
        Type("12a3");
        QCOMPARE(E->SerialNumber(), QStringLiteral("123"));
        QCOMPARE(salvo::ui::BeepCount(), beeps + 1);
        E->SetModified(false);
        Type("x");
        QVERIFY(E->Modified()); // even a refused key marks the document
        Type("4567890123");
        QCOMPARE(E->SerialNumber(), QStringLiteral("12345678901"));
        // The program may put in more than a user may type.
        QString sixty(60, QLatin1Char('T'));
        E->SetTitle(sixty);
        QCOMPARE(E->Title(), sixty);
        Field("StringTitre")->setFocus();
        Field("StringTitre")->end(false);
        Type("z");
        QCOMPARE(E->Title(), sixty);
        Key(Qt::Key_Backspace);
        QCOMPARE(E->Title().size(), 59);
    }

    void charactersAFileCannotHoldAreRefusedAtTheKey() {
        int beeps = salvo::ui::BeepCount();
        Field("StringTitre")->setFocus();
        Type(QString::fromUtf8("Łé"));
        Field("Version")->setFocus();
        Type(QString::fromUtf8("日€"));
        FocusCell(*E, 3, 2);
        Type(QString::fromUtf8("🎆œ"));
        QCOMPARE(E->Title(), QString::fromUtf8("é"));
        QCOMPARE(E->VersionText(), QString::fromUtf8("€"));
        QCOMPARE(E->CellText(3, 2), QString::fromUtf8("œ"));
        QCOMPARE(salvo::ui::BeepCount(), beeps + 3);
    }

    void headerTextsOfAnyLengthStayWhole() {
        QString long40k(40000, QLatin1Char('7'));
        E->SetTitle(long40k);
        E->SetSerialNumber(long40k);
        E->SetVersionText(long40k);
        QCOMPARE(E->Title(), long40k);
        QCOMPARE(E->SerialNumber(), long40k);
        QCOMPARE(E->VersionText(), long40k);
        // A field lays out only the beginning of such a text (all of a megabyte would take it
        // a second); the rest stays after what the user edits, until all the field shows is
        // typed over or emptied.
        QVERIFY(Field("Version")->text().size() < 5000);
        Field("Version")->setFocus();
        Field("Version")->home(false);
        Type("v");
        QCOMPARE(E->VersionText(), "v" + long40k);
        Key(Qt::Key_A, Qt::ControlModifier);
        Type("w");
        QCOMPARE(E->VersionText(), QStringLiteral("w"));
        Field("StringTitre")->setFocus();
        Field("StringTitre")->selectAll();
        Key(Qt::Key_Delete);
        QCOMPARE(E->Title(), QString());
        E->SetDescription(3, long40k);
        FocusCell(*E, 3, 3);
        Key(Qt::Key_F2); // edits the cell as it stands
        Key(Qt::Key_End);
        Type("8");
        QCOMPARE(E->CellText(3, 3), long40k + "8");
    }

    void refreshChannelsRewritesFromTheTable() {
        E->Link().SetChannelType(4, salvo::Automatic);
        E->Link().SetStepDelay(4, 1.0);
        E->Link().SetStepDelay(3, 2.0);
        E->SetModified(false);
        E->RefreshChannels();
        QCOMPARE(E->CellText(1, 5), QStringLiteral("Automatique"));
        QCOMPARE(E->CellText(2, 5), QStringLiteral("3"));
        QCOMPARE(E->CellText(2, 4), QStringLiteral("2"));
        QVERIFY(E->Modified());
    }
};

QTEST_MAIN(EditorTest)
#include "EditorTest.moc"
