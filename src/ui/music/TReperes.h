#pragma once
// "Repères": every marker of the music with its time and text, to correct, remove or add one at
// a time. Each edit is a step of the music's marker edits, taken back with "Défaire" here or
// Ctrl+Z on the timeline.

#include <QDialog>
#include <QPointer>

class QPushButton;
class QTableWidget;
class TMusique;

class TReperes : public QDialog {
    Q_OBJECT
public:
    TReperes(TMusique* music, QWidget* parent);

private:
    void Fill();
    int Row() const; // the marker of the selected row, -1 when none
    void Add();
    void Edit();
    void Remove();
    void Undo();
    bool eventFilter(QObject* watched, QEvent* event) override;

    QPointer<TMusique> Music;
    QTableWidget* Table = nullptr;
    QPushButton* ButtonModifier = nullptr;
    QPushButton* ButtonSupprimer = nullptr;
    QPushButton* ButtonDefaire = nullptr;
    bool Filling = false;
};

// "Repère n°3" dialog: its time (typed as the grid types times) and its text; for a new
// marker, number is 0 and the title is "Nouveau repère". False on cancel.
bool AskMarker(QWidget* parent, int number, double& seconds, QString& text, char separator);

// What the timeline says of the selected marker: "Repère n°3 : 12,345 s, Refrain".
QString MarkerCaption(const TMusique& music, int index, char separator);

// The marker at index asked again ("Repère n°3") and changed as one step; false when it was
// left as it was.
bool EditMarker(QWidget* parent, TMusique& music, int index);
