#pragma once
// One firing program as the headless paths see it, with a window or without: what the file
// reader and writer use, the channel table, the delay rules' procedures and the shown times.
// The editor window (through its adapter) and the headless ProgramDocument both implement it,
// so that spreadsheets and the music's fitting run the same on either.

#include "model/files/ProgramFile.h"
#include "model/program/ChannelTable.h"
#include "model/program/DelayRules.h"

namespace salvo {

class EditableProgram : public ProgramSource, public ProgramSink {
public:
    // One count for both sides.
    int ChannelCount() const override = 0;
    virtual ChannelTable& Channels() = 0;
    virtual const ChannelTable& Channels() const = 0;
    virtual ShownTimeArray& ShownTimes() = 0;
    // The cells and warnings the delay rules report to.
    virtual ChannelServices& Services() = 0;
    virtual char DecimalSeparator() const = 0;
    virtual void SetModified(bool modified) = 0;
    virtual bool Modified() const = 0;
};

// Whether two programs hold the same model and the same channels (types and steps).
bool SameChannels(const EditableProgram& a, const EditableProgram& b);

} // namespace salvo
