#pragma once
// The program a music belongs to, as the music's windows see it. The editor window implements
// it, so that the music, the rehearsal and the cue track never know that window.

#include "model/program/ChannelTable.h"
#include "model/program/DelayRules.h"

#include <QSet>

class QWidget;
class TMusique;

class MusicProgram {
public:
    virtual ~MusicProgram() = default;
    // The window the music lives in and whose boxes it shows.
    virtual QWidget* ProgramWindow() = 0;
    virtual salvo::ChannelTable& ProgramTable() = 0;
    virtual salvo::ShownTimeArray& ProgramShownTimes() = 0;
    virtual salvo::ChannelServices& ProgramServices() = 0;
    // Through the delay rules, with the window's cells and warnings, as if typed.
    virtual void ApplyChannelTime(int index, double seconds) = 0;
    virtual char DecimalSeparator() const = 0;
    virtual void SetModified(bool modified) = 0;
    // A music was made for the program: the window draws it.
    virtual void ShowMusic(TMusique* music) = 0;
    // The channels (numbered from 1) a rehearsal shows firing; none when empty.
    virtual void LightChannels(const QSet<int>& channels) = 0;
};
