#pragma once
// The rehearsal: the music plays, the next sequence and its countdown show, and the operator
// presses Space (or "Feu !") where the device's button would be pressed. Each pressed chain
// then fires as the device times it, lighting its channels on the timeline. At the end, or on
// "Arrêter", the score: how early or late each press was.

#include "model/music/Rehearsal.h"
#include "sound/Sound.h"

#include <QDialog>
#include <QPointer>
#include <QString>

#include <map>

#include <memory>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSlider;
class QStackedWidget;
class QTableWidget;
class QTimer;
class MusicProgram;
class TMusique;

// Where the music is: the player, or a clock that a test moves.
class RehearsalClock {
public:
    virtual ~RehearsalClock() = default;
    virtual double Position() = 0;
    // Where the music was at an instant just past (a key press's own time).
    virtual double PositionAt(salvo::sound::Instant) { return Position(); }
    virtual double Duration() = 0;
    virtual bool Playing() = 0;
    virtual void Play() = 0;
    virtual void Pause() = 0;
    virtual void Seek(double seconds) = 0;
    // Why Play did not start the music ("" when it did, or when it needs no sound).
    virtual QString Failure() const { return QString(); }
};

class TRepetition : public QDialog {
    Q_OBJECT
public:
    // clock: null for the music's own player.
    TRepetition(MusicProgram* program, TMusique* music,
                std::unique_ptr<RehearsalClock> clock = nullptr, QWidget* parent = nullptr);
    ~TRepetition() override;

    // One frame: reads the music's position, fires what is due, shows the countdown. Runs on a
    // 16 ms timer while the music plays.
    void Tick();
    void Press();
    void Press(salvo::sound::Instant when);
    void Stop();
    const salvo::RehearsalRun& Run() const { return *Rehearsal; }
    // When each channel (0-based) was seen firing, in seconds of music.
    const std::map<int, double>& FiredAt() const { return Fired; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

private:
    void PlayPause();
    void Seek(double seconds);
    void ShowScore();
    void Adopt();
    void ShowNext(double position);
    void GoSilent(const QString& why);
    QString Seconds(double s) const;

    // The program, while its window lives.
    MusicProgram* Program() const { return Window ? Owner : nullptr; }
    MusicProgram* Owner = nullptr;
    QPointer<QWidget> Window;
    QPointer<TMusique> Music;
    bool Silent = false; // no sound output: the clock runs alone
    std::unique_ptr<RehearsalClock> Clock;
    std::unique_ptr<salvo::RehearsalRun> Rehearsal;
    std::map<int, double> Fired;
    salvo::Score Result;
    bool Started = false;
    bool Finished = false;

    QStackedWidget* Pages = nullptr;
    QRadioButton* RadioDebut = nullptr;
    QRadioButton* RadioTete = nullptr;
    QLabel* LabelProchaine = nullptr;
    QLabel* LabelDecompte = nullptr;
    QLabel* LabelPosition = nullptr;
    QSlider* Position = nullptr;
    QPushButton* ButtonFeu = nullptr;
    QPushButton* ButtonLecture = nullptr;
    QPushButton* ButtonArreter = nullptr;
    QCheckBox* CheckBoucle = nullptr;
    QDoubleSpinBox* BoucleDebut = nullptr;
    QDoubleSpinBox* BoucleFin = nullptr;
    QTableWidget* TableauScore = nullptr;
    QLabel* LabelResume = nullptr;
    QPushButton* ButtonAdopter = nullptr;
    QLabel* LabelSansSon = nullptr;
    QTimer* Frame = nullptr;
};
