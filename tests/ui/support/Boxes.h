#pragma once
// Answers message boxes in widget tests: by the text of the button to press, in order, and
// keeps what each box showed.

#include "ui/common/Messages.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <vector>

class BoxAnswers {
public:
    BoxAnswers();
    ~BoxAnswers();

    // Button texts to press, in the order the boxes will come ("OK", "&Oui", "Annuler"...).
    void Queue(const QStringList& buttonTexts);

    std::vector<salvo::ui::BoxRecord> Seen;
    QStringList Texts() const;
    int Pending() const { return static_cast<int>(Answers.size()); }

private:
    std::deque<QString> Answers;
};

// Presses a button of the real modal box that comes next, by its text, from a timer; returns
// at once. For the few tests that go through real boxes.
void PressInNextRealBox(const QString& buttonText, QString* seenText = nullptr,
                        QString* seenCaption = nullptr);
