#pragma once
// The program a music belongs to, as the music's windows see it. The editor window implements
// it, so that the music, the rehearsal and the cue track never know that window.

#include "model/files/EditableProgram.h"

#include <QSet>

class QWidget;
class TMusique;

class MusicProgram {
public:
    virtual ~MusicProgram() = default;
    // The window the music lives in and whose boxes it shows.
    virtual QWidget* ProgramWindow() = 0;
    // The program itself, as the headless paths see it: its changes go through the delay
    // rules, with the window's cells and warnings, as if typed.
    virtual salvo::EditableProgram& Document() = 0;
    // A music was made for the program: the window draws it.
    virtual void ShowMusic(TMusique* music) = 0;
    // The channels (numbered from 1) a rehearsal shows firing; none when empty.
    virtual void LightChannels(const QSet<int>& channels) = 0;
};
