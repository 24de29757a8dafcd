#include "ui/common/Messages.h"
#include "Boxes.h"

#include <QDialog>
#include <QtTest>

using namespace salvo::ui;

class MessagesTest : public QObject {
    Q_OBJECT
private slots:
    void realBoxCarriesCaptionButtonsAndAnswer() {
        QString text, caption;
        PressInNextRealBox(QStringLiteral("&Non"), &text, &caption);
        BoxButton b = ShowBox(nullptr, BoxKind::Confirmation, QStringLiteral("Sauver ?"),
                              {BoxButton::Yes, BoxButton::No, BoxButton::Cancel});
        QCOMPARE(b, BoxButton::No);
        QCOMPARE(caption, QStringLiteral("Confirmation"));
        QCOMPARE(text, QStringLiteral("Sauver ?"));
    }
    // A box asked for by a window under a modal dialog belongs to the dialog, in front of it.
    void aBoxBelongsToTheModalDialogShown() {
        QWidget main;
        main.show();
        QDialog dialog(&main);
        dialog.setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint);
        QWidget* owner = nullptr;
        Qt::WindowFlags flags;
        QTimer::singleShot(0, [&] {
            QTimer::singleShot(0, [&] {
                QWidget* box = QApplication::activeModalWidget();
                owner = box->parentWidget();
                flags = box->windowFlags();
                QTest::keyClick(box, Qt::Key_Escape);
            });
            ShowWarning(&main, QStringLiteral("W"));
            dialog.reject();
        });
        dialog.exec();
        QCOMPARE(owner, &dialog);
        QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
        QCOMPARE(BoxOwner(&main), &main);
    }
    void escapeAnswersCancel() {
        QTimer::singleShot(50, [] {
            if (QWidget* w = QApplication::activeModalWidget())
                QTest::keyClick(w, Qt::Key_Escape);
        });
        BoxButton b = ShowBox(nullptr, BoxKind::Confirmation, QStringLiteral("x"),
                              {BoxButton::Yes, BoxButton::No, BoxButton::Cancel});
        QCOMPARE(b, BoxButton::Cancel);
    }
    void interceptorSeesEveryBox() {
        BoxAnswers answers;
        answers.Queue({QStringLiteral("Annuler")});
        BoxButton b = ShowBox(nullptr, BoxKind::Confirmation, QStringLiteral("Q"),
                              {BoxButton::Ok, BoxButton::Cancel});
        QCOMPARE(b, BoxButton::Cancel);
        ShowError(nullptr, QStringLiteral("E"));
        QCOMPARE(answers.Seen.size(), size_t(2));
        QCOMPARE(answers.Seen[1].Caption, QStringLiteral("Erreur"));
        QCOMPARE(answers.Texts(), QStringList({"Q", "E"}));
    }
};

QTEST_MAIN(MessagesTest)
#include "MessagesTest.moc"
