#pragma once
// "Piste de signaux": a sound file for the firing line's headphones, with a spoken countdown
// before each sequence start. Its options dialog, the check of starts too close for the
// countdown, and the writing.

#include "model/music/CueTrack.h"

#include <QDialog>
#include <QString>

#include <functional>

class QRadioButton;
class QSpinBox;
class MusicProgram;
class TMusique;

class TPisteSignaux : public QDialog {
    Q_OBJECT
public:
    explicit TPisteSignaux(QWidget* parent = nullptr);
    int Lead() const;
    salvo::CueVariant Variant() const;

    QSpinBox* EditAvance = nullptr;
    QRadioButton* RadioStereo = nullptr;
    QRadioButton* RadioMono = nullptr;
    QRadioButton* RadioBips = nullptr;
};

// The words built into the program, at the given rate.
salvo::CueVoice BuiltInVoice(int rate);

// The whole command: options, the file (askPath; an empty answer cancels), the check of the
// starts and its remedy, which changes the program only once the track is written. Returns the
// status line's text, empty when nothing was written.
QString WriteCueTrackFor(QWidget* parent, MusicProgram* program, TMusique* music,
                         const std::function<QString()>& askPath);

extern const char* const MsgCueTrackWritten; // %1: the file's name
