#include "ui/dialogs/TGestionRafale.h"
#include "ui/common/UpDownControl.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

using namespace salvo;

namespace {

struct Controls {
    explicit Controls(TGestionRafale& dlg) : Dlg(dlg) {}
    TGestionRafale& Dlg;

    UpDownControl* UpDown(const char* name) const {
        auto* w = Dlg.findChild<UpDownControl*>(QString::fromLatin1(name));
        Q_ASSERT(w);
        return w;
    }
    QString Field(const char* name) const {
        auto* w = Dlg.findChild<QLineEdit*>(QString::fromLatin1(name));
        Q_ASSERT(w);
        return w->text();
    }
    QString Label(const char* name) const {
        return Dlg.findChild<QLabel*>(QString::fromLatin1(name))->text();
    }
    QWidget* Widget(const char* name) const {
        return Dlg.findChild<QWidget*>(QString::fromLatin1(name));
    }
    QRadioButton* Radio(const char* group, int index) const {
        return Dlg.findChild<QRadioButton*>(QStringLiteral("%1Item%2").arg(group).arg(index));
    }
    // The user clicks the upper or lower arrow.
    void Up(const char* name, int times = 1) const {
        for (int i = 0; i < times; ++i)
            QTest::mouseClick(UpDown(name), Qt::LeftButton, {}, QPoint(8, 4));
    }
    void Down(const char* name, int times = 1) const {
        for (int i = 0; i < times; ++i)
            QTest::mouseClick(UpDown(name), Qt::LeftButton, {}, QPoint(8, 20));
    }
    void Choose(const char* group, int index) const {
        QTest::mouseClick(Radio(group, index), Qt::LeftButton);
    }
    void Press(const char* button) const {
        QTest::mouseClick(Dlg.findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
    }
    bool AccelerationRowShown() const {
        return Widget("LabelAccelerationVoie")->isVisibleTo(&Dlg) &&
               Widget("EditAccelerationVoie")->isVisibleTo(&Dlg) &&
               Widget("UpDownAccelerationVoie")->isVisibleTo(&Dlg);
    }
};

// Loads table and row as the main window does, then shows the dialog (not modally, so the
// test can drive it).
void Open(TGestionRafale& dlg, ChannelTable& table, int row) {
    dlg.Generator().LoadTable(&table);
    dlg.Generator().SelectFirstChannel(row);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
}

} // namespace

class TGestionRafaleTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void createdState() {
        TGestionRafale dlg;
        Controls c(dlg);
        QCOMPARE(dlg.objectName(), QStringLiteral("TGestionRafale"));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Génération d'une rafale"));
        QCOMPARE(dlg.size(), QSize(511, 223));
        QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
        QCOMPARE(c.Field("EditNumVoie"), QStringLiteral("1"));
        QCOMPARE(c.Field("EditNbVoie"), QStringLiteral("2"));
        QCOMPARE(c.Field("EditDecal1Voie"), QStringLiteral("0"));
        QCOMPARE(c.Field("EditIncremtEntreVoie"), QStringLiteral("0,2"));
        QCOMPARE(c.Field("EditAccelerationVoie"), QStringLiteral("0"));
        const struct {
            const char* name;
            int minimum, maximum, position;
        } spinners[] = {{"UpDownNumVoie", 1, 29, 1},
                        {"UpDownNbVoie", 2, 30, 2},
                        {"UpDownDecale1Voie", 0, 32767, 0},
                        {"UpDownIncremtEntreVoie", 1, 32767, 1},
                        {"UpDownAccelerationVoie", 0, 0, 0}};
        for (const auto& s : spinners) {
            QCOMPARE(c.UpDown(s.name)->Minimum(), s.minimum);
            QCOMPARE(c.UpDown(s.name)->Maximum(), s.maximum);
            QCOMPARE(c.UpDown(s.name)->Position(), s.position);
        }
        QVERIFY(c.Radio("RadioGroupTypeRafale", 0)->isChecked());
        QVERIFY(c.Radio("RadioGroupType1Voie", 0)->isChecked());
        QVERIFY(!c.Widget("RadioGroupType1Voie")->isEnabled());
        QCOMPARE(c.Label("LabelIncremtEntreVoie"),
                 QStringLiteral("Temps entre le tir de 2 voies (s)"));
        QCOMPARE(c.Label("LabelAccelerationVoie"), QStringLiteral(" "));
        QVERIFY(!c.AccelerationRowShown());
    }

    void layoutTextsAndTabOrder() {
        TGestionRafale dlg;
        Controls c(dlg);
        const struct {
            const char* name;
            QRect place;
        } places[] = {
            {"UpDownNumVoie", {249, 8, 16, 25}},
            {"EditNumVoie", {200, 8, 49, 25}},
            {"UpDownNbVoie", {249, 48, 16, 25}},
            {"EditNbVoie", {200, 48, 49, 25}},
            {"RadioGroupTypeRafale", {8, 88, 161, 81}},
            {"UpDownDecale1Voie", {465, 8, 16, 25}},
            {"EditDecal1Voie", {416, 8, 49, 25}},
            {"RadioGroupType1Voie", {272, 40, 217, 41}},
            {"BitBtn1", {96, 184, 97, 25}},
            {"BitBtn2", {272, 184, 97, 25}},
            {"EditIncremtEntreVoie", {424, 96, 49, 25}},
            {"UpDownIncremtEntreVoie", {472, 96, 16, 25}},
            {"EditAccelerationVoie", {424, 128, 49, 25}},
            {"UpDownAccelerationVoie", {472, 128, 16, 25}},
            {"LabelNum1ereVoie", {8, 8, 185, 25}},
            {"LabelNbVoie", {16, 48, 185, 25}},
            {"LabelDecale1Voiie", {272, 8, 145, 25}},
            {"LabelIncremtEntreVoie", {176, 96, 241, 25}},
            {"LabelAccelerationVoie", {176, 128, 241, 25}},
        };
        for (const auto& p : places) {
            QWidget* w = c.Widget(p.name);
            QVERIFY2(w, p.name);
            QCOMPARE(w->geometry(), p.place);
        }
        for (const char* field : {"EditNumVoie", "EditNbVoie", "EditDecal1Voie",
                                  "EditIncremtEntreVoie", "EditAccelerationVoie"})
            QVERIFY(dlg.findChild<QLineEdit*>(QString::fromLatin1(field))->isReadOnly());
        QCOMPARE(c.Label("LabelNum1ereVoie"),
                 QStringLiteral("Numéro de la 1ére voie de la rafale"));
        QCOMPARE(c.Label("LabelNbVoie"), QStringLiteral("Nombre de voie de la rafale"));
        QCOMPARE(c.Label("LabelDecale1Voiie"), QStringLiteral("Décalage de la 1ère voie"));
        QCOMPARE(static_cast<QGroupBox*>(c.Widget("RadioGroupTypeRafale"))->title(),
                 QStringLiteral("Type de Rafale"));
        QCOMPARE(static_cast<QGroupBox*>(c.Widget("RadioGroupType1Voie"))->title(),
                 QStringLiteral("Type de la 1ère Voie"));
        QCOMPARE(c.Radio("RadioGroupTypeRafale", 1)->text(),
                 QStringLiteral("Vitesse avec accélération"));
        QCOMPARE(c.Radio("RadioGroupTypeRafale", 2)->text(),
                 QStringLiteral("Vitesse avec décélération"));
        QCOMPARE(c.Radio("RadioGroupType1Voie", 0)->text(), QStringLiteral("Manuelle"));
        auto* ok = dlg.findChild<QPushButton*>(QStringLiteral("BitBtn1"));
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QVERIFY(ok->isDefault());
        QCOMPARE(dlg.findChild<QPushButton*>(QStringLiteral("BitBtn2"))->text(),
                 QStringLiteral("Annuler"));

        // The focus chain, radio buttons standing for their group.
        QStringList chain;
        QWidget* w = c.Widget("UpDownNumVoie");
        for (int i = 0; i < 40 && chain.size() < 14; ++i, w = w->nextInFocusChain()) {
            if (!(w->focusPolicy() & Qt::TabFocus))
                continue;
            QString name =
                qobject_cast<QRadioButton*>(w) ? w->parentWidget()->objectName() : w->objectName();
            if (chain.isEmpty() || chain.back() != name)
                chain << name;
        }
        QCOMPARE(chain, QStringList({"UpDownNumVoie", "EditNumVoie", "UpDownNbVoie", "EditNbVoie",
                                     "RadioGroupTypeRafale", "UpDownDecale1Voie", "EditDecal1Voie",
                                     "RadioGroupType1Voie", "BitBtn1", "BitBtn2",
                                     "EditIncremtEntreVoie", "UpDownIncremtEntreVoie",
                                     "EditAccelerationVoie", "UpDownAccelerationVoie"}));
    }

    void openedOnRowSeven() {
        ChannelTable table;
        table.Slots[6] = {Automatic, 3};
        TGestionRafale dlg;
        Controls c(dlg);
        Open(dlg, table, 7);
        for (const char* button : {"BitBtn1", "BitBtn2"}) // the check mark and the cross
            QVERIFY(!dlg.findChild<QPushButton*>(button)->icon().isNull());
        QCOMPARE(c.Field("EditNumVoie"), QStringLiteral("7"));
        QCOMPARE(c.Field("EditNbVoie"), QStringLiteral("2"));
        QCOMPARE(c.UpDown("UpDownNbVoie")->Minimum(), 2);
        QCOMPARE(c.UpDown("UpDownNbVoie")->Maximum(), 24);
        QVERIFY(c.Widget("RadioGroupType1Voie")->isEnabled());
        QVERIFY(c.Radio("RadioGroupType1Voie", 1)->isChecked());

        // Row 1: the type is not offered, and shows "Manuelle".
        dlg.reject();
        Open(dlg, table, 1);
        QVERIFY(!c.Widget("RadioGroupType1Voie")->isEnabled());
        QVERIFY(c.Radio("RadioGroupType1Voie", 0)->isChecked());
    }

    void spinnersWrapRound() {
        ChannelTable table;
        TGestionRafale dlg;
        Controls c(dlg);
        Open(dlg, table, 29);
        QVERIFY(c.Widget("RadioGroupType1Voie")->isEnabled());
        c.Up("UpDownNumVoie");
        QCOMPARE(c.Field("EditNumVoie"), QStringLiteral("1"));
        QCOMPARE(dlg.Generator().FirstChannel, 1);
        QVERIFY(!c.Widget("RadioGroupType1Voie")->isEnabled());
        c.Down("UpDownNumVoie");
        QCOMPARE(c.Field("EditNumVoie"), QStringLiteral("29"));
        QCOMPARE(c.UpDown("UpDownNbVoie")->Maximum(), 2);

        // From channel 7 the length runs 2..24; past either end it wraps, and for a changing
        // pace the acceleration limit follows.
        c.Down("UpDownNumVoie", 22);
        QCOMPARE(c.Field("EditNumVoie"), QStringLiteral("7"));
        c.Choose("RadioGroupTypeRafale", 1);
        c.Up("UpDownIncremtEntreVoie", 9);
        QCOMPARE(c.UpDown("UpDownAccelerationVoie")->Maximum(), 10);
        c.Down("UpDownNbVoie");
        QCOMPARE(c.Field("EditNbVoie"), QStringLiteral("24"));
        QCOMPARE(c.UpDown("UpDownAccelerationVoie")->Maximum(), 0);
        c.Up("UpDownNbVoie");
        QCOMPARE(c.Field("EditNbVoie"), QStringLiteral("2"));
        QCOMPARE(c.UpDown("UpDownAccelerationVoie")->Maximum(), 10);

        // The arrow keys in the bound field step its spinner.
        QTest::keyClick(dlg.findChild<QLineEdit*>(QStringLiteral("EditNumVoie")), Qt::Key_Up);
        QCOMPARE(c.Field("EditNumVoie"), QStringLiteral("8"));
        QCOMPARE(dlg.Generator().FirstChannel, 8);
    }

    void burstTypeSetsLabelsAndRow() {
        ChannelTable table;
        TGestionRafale dlg;
        Controls c(dlg);
        Open(dlg, table, 3);
        const struct {
            int type;
            const char* increment;
            const char* acceleration;
        } cases[] = {
            {1, "Temps initial entre le tir de 2 voie (s)",
             "Temps à soustraire au temps entre les 2 voies précédentes"},
            {2, "Temps initial entre le tir de 2 voie (s)",
             "Temps à ajouter au temps entre les 2 voies précédentes"},
            {0, "Temps entre le tir de 2 voies (s)", " "},
        };
        for (const auto& k : cases) {
            c.Choose("RadioGroupTypeRafale", k.type);
            QCOMPARE(int(dlg.Generator().BurstType), k.type);
            QCOMPARE(c.Label("LabelIncremtEntreVoie"), QString::fromUtf8(k.increment));
            QCOMPARE(c.Label("LabelAccelerationVoie"), QString::fromUtf8(k.acceleration));
            QCOMPARE(c.AccelerationRowShown(), k.type != 0);
        }
    }

    void accelerationStopsAtItsLimit() {
        ChannelTable table;
        TGestionRafale dlg;
        Controls c(dlg);
        Open(dlg, table, 1);
        c.Choose("RadioGroupTypeRafale", 1);
        c.Up("UpDownIncremtEntreVoie", 9);
        QCOMPARE(c.Field("EditIncremtEntreVoie"), QStringLiteral("2"));
        c.Up("UpDownNbVoie", 3);
        QCOMPARE(c.Field("EditNbVoie"), QStringLiteral("5"));
        c.Up("UpDownAccelerationVoie", 3);
        QCOMPARE(c.Field("EditAccelerationVoie"), QStringLiteral("0,6"));
        c.Up("UpDownAccelerationVoie");
        QCOMPARE(c.Field("EditAccelerationVoie"), QStringLiteral("0"));

        // A smaller increment lowers the limit, and the acceleration with it.
        c.Up("UpDownAccelerationVoie", 3);
        c.Down("UpDownIncremtEntreVoie", 6);
        QCOMPARE(c.Field("EditIncremtEntreVoie"), QStringLiteral("0,8"));
        QCOMPARE(c.UpDown("UpDownAccelerationVoie")->Maximum(), 1);
        QCOMPARE(c.Field("EditAccelerationVoie"), QStringLiteral("0,2"));
        QCOMPARE(c.UpDown("UpDownAccelerationVoie")->Position(), 1);
    }

    void offsetOfAnAutomaticFirstChannel() {
        ChannelTable table;
        table.Slots[5] = {Manual, 10};   // channel 6 at 2 s
        table.Slots[6] = {Automatic, 5}; // channel 7 one second later
        TGestionRafale dlg;
        Controls c(dlg);
        Open(dlg, table, 7);
        QCOMPARE(c.Field("EditDecal1Voie"), QStringLiteral("3"));
        QCOMPARE(c.UpDown("UpDownDecale1Voie")->Position(), 5);
        c.Up("UpDownDecale1Voie", 5);
        QCOMPARE(dlg.Generator().WorkingTable.Slots[6].Steps, 10u);
        QCOMPARE(c.Field("EditDecal1Voie"), QStringLiteral("4"));
        QCOMPARE(table.Slots[6].Steps, 5u); // the document waits for OK

        // Wrapping below 0 asks for 32767 steps, which the table refuses.
        Open(dlg, table, 6);
        c.Down("UpDownDecale1Voie", 11);
        QCOMPARE(c.UpDown("UpDownDecale1Voie")->Position(), 32767);
        QCOMPARE(c.Field("EditDecal1Voie"), QStringLiteral("0"));

        // Making it automatic from 0 steps gives it one.
        Open(dlg, table, 8);
        c.Choose("RadioGroupType1Voie", 1);
        QCOMPARE(c.Field("EditDecal1Voie"), QStringLiteral("3,2"));
    }

    void okAppliesTheBurst() {
        ChannelTable table;
        TGestionRafale dlg;
        Controls c(dlg);
        dlg.Generator().LoadTable(&table);
        dlg.Generator().SelectFirstChannel(7);
        QTimer::singleShot(0, &dlg, [&] { c.Press("BitBtn1"); });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(table.Slots[7].Type, Automatic);
        QCOMPARE(table.Slots[7].Steps, 1u);
        QCOMPARE(table.Slots[8].Type, Manual);

        // A second use keeps the pace settings; Enter presses OK.
        dlg.Generator().LoadTable(&table);
        dlg.Generator().SelectFirstChannel(10);
        QTimer::singleShot(0, &dlg, [&] {
            c.Choose("RadioGroupTypeRafale", 2);
            c.Up("UpDownIncremtEntreVoie", 4);
            c.Up("UpDownNbVoie", 2);
            c.Up("UpDownAccelerationVoie", 2);
            QTest::keyClick(&dlg, Qt::Key_Return);
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(table.Slots[10].Steps, 5u);
        QCOMPARE(table.Slots[11].Steps, 7u);
        QCOMPARE(table.Slots[12].Steps, 9u);

        dlg.Generator().LoadTable(&table);
        dlg.Generator().SelectFirstChannel(2);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QVERIFY(c.Radio("RadioGroupTypeRafale", 2)->isChecked());
        QCOMPARE(c.Field("EditIncremtEntreVoie"), QStringLiteral("1"));
        QCOMPARE(c.Field("EditAccelerationVoie"), QStringLiteral("0,4"));
        QCOMPARE(c.Field("EditNumVoie"), QStringLiteral("2"));
        QCOMPARE(c.Field("EditNbVoie"), QStringLiteral("2"));
        dlg.reject();
    }

    void cancelLeavesTheDocument() {
        ChannelTable table;
        table.Slots[4] = {Manual, 7};
        const ChannelTable before = table;
        TGestionRafale dlg;
        Controls c(dlg);
        // "Annuler", Escape and the window's close button all end without the burst.
        const std::function<void()> endings[] = {
            [&] { c.Press("BitBtn2"); },
            [&] { QTest::keyClick(&dlg, Qt::Key_Escape); },
            [&] { dlg.close(); },
        };
        for (const auto& end : endings) {
            dlg.Generator().LoadTable(&table);
            dlg.Generator().SelectFirstChannel(5);
            QTimer::singleShot(0, &dlg, [&] {
                c.Choose("RadioGroupType1Voie", 1);
                c.Up("UpDownDecale1Voie", 3);
                c.Up("UpDownNbVoie", 4);
                end();
            });
            QCOMPARE(dlg.exec(), int(QDialog::Rejected));
            for (int k = 0; k < SlotCount; ++k) {
                QCOMPARE(table.Slots[k].Type, before.Slots[k].Type);
                QCOMPARE(table.Slots[k].Steps, before.Slots[k].Steps);
            }
        }
    }

    void noTableEndsAtOnce() {
        TGestionRafale dlg;
        bool shown = false;
        QTimer::singleShot(200, &dlg, [&] {
            shown = dlg.isVisible();
            dlg.reject();
        });
        QCOMPARE(dlg.exec(), int(QDialog::Rejected));
        QVERIFY(!dlg.isVisible());
        QTest::qWait(250);
        QVERIFY(!shown);
    }
};

QTEST_MAIN(TGestionRafaleTest)
#include "TGestionRafaleTest.moc"
