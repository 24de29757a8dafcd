// The windows as laid out on a real display with a window manager: labels against their fields,
// cascaded editors, the status line of a menu opened from the keyboard. Run by tests/x11/run.

#include "Driver.h"
#include "Main.h"
#include "TFenetreEnfant.h"
#include "TGrid.h"

#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QProcess>
#include <QStatusBar>
#include <QtTest>

using namespace driver;

namespace {
void Xdotool(const QStringList& arguments) {
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), arguments), 0);
}
} // namespace

class WindowsCheck : public QObject {
    Q_OBJECT

    std::unique_ptr<TMainForm> Form;

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::French, QLocale::France)); }

    void init() {
        Form = std::make_unique<TMainForm>();
        Form->showMaximized();
        // A window manager that has just started may pass over the first activation.
        for (int tries = 0; tries < 100 && !Form->isActiveWindow(); ++tries) {
            Form->activateWindow();
            QTest::qWait(200);
        }
        QVERIFY(Form->isActiveWindow());
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
        const std::pair<QLabel*, QLineEdit*> pairs[] = {{e->LabelTitre, e->StringTitre},
                                                        {e->LabelNumSerie, e->NumeroSerie},
                                                        {e->LabelVersion, e->Version}};
        for (auto [label, field] : pairs) {
            QRect l = label->geometry(), f = field->geometry();
            QVERIFY2(l.right() < f.left(), qPrintable(label->text()));
            QVERIFY2(l.left() >= 0, qPrintable(label->text()));
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= l.width(),
                     qPrintable(label->text()));
            QVERIFY2(qAbs(l.center().y() - f.center().y()) <= 1, qPrintable(label->text()));
        }
        QCOMPARE(e->StringTitre->geometry().topLeft(), QPoint(120, 8));
        QCOMPARE(e->NumeroSerie->geometry().topLeft(), QPoint(120, 35));
        QCOMPARE(e->Version->geometry().topLeft(), QPoint(392, 34));
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
            QVERIFY(!e->Tableau->visibleRegion().isEmpty());
        }
        TFenetreEnfant* front = Form->ActiveEditor();
        QVERIFY(front->Tableau->visibleRegion().boundingRect().height() >= 300);
    }

    void aMenuOpenedFromTheKeyboardShowsItsItemsText() {
        TFenetreEnfant* e = Form->ActiveEditor();
        QPoint over = e->Tableau->mapToGlobal(e->Tableau->rect().center());
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
};

QTEST_MAIN(WindowsCheck)
#include "WindowsCheck.moc"
