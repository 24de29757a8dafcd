#include "Boxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

using namespace salvo::ui;

BoxAnswers::BoxAnswers() {
    SetBoxInterceptor([this](const BoxRecord& record) {
        Seen.push_back(record);
        QString wanted;
        if (!Answers.empty()) {
            wanted = Answers.front();
            Answers.pop_front();
        }
        for (BoxButton b : record.Buttons)
            if (ButtonText(b) == wanted)
                return b;
        // An unexpected box: take its first button and let the test see it in Seen.
        return record.Buttons.empty() ? BoxButton::Ok : record.Buttons.front();
    });
}

BoxAnswers::~BoxAnswers() {
    SetBoxInterceptor(nullptr);
}

void BoxAnswers::Queue(const QStringList& buttonTexts) {
    for (const QString& t : buttonTexts)
        Answers.push_back(t);
}

QStringList BoxAnswers::Texts() const {
    QStringList out;
    for (const BoxRecord& r : Seen)
        out << r.Text;
    return out;
}

void PressInNextRealBox(const QString& buttonText, QString* seenText, QString* seenCaption) {
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, buttonText, seenText, seenCaption] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->stop();
        timer->deleteLater();
        if (seenText)
            *seenText = box->text();
        if (seenCaption)
            *seenCaption = box->windowTitle();
        for (QAbstractButton* b : box->buttons())
            if (b->text() == buttonText) {
                b->click();
                return;
            }
        box->reject();
    });
    timer->start();
}
