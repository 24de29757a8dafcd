#include "Messages.h"
#include "Boxes.h"

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
