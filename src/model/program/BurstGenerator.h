#pragma once
// Fills a run of consecutive channels as a burst at constant, accelerating or decelerating
// pace. Every edit goes to a working copy of a document's channel table; ApplyBurst writes the
// whole copy back (slots and model, never anything a derived class adds).

#include "model/program/ChannelTable.h"

#include <cstdint>

namespace salvo {

enum BurstKind : int32_t { ConstantSpeed = 0, Accelerating = 1, Decelerating = 2 };

class BurstGenerator {
public:
    ChannelTable* TargetTable = nullptr;
    ChannelTable WorkingTable;
    int32_t FirstChannel = 1; // channel number, 1-based
    int16_t BurstLength = 2;  // channels in the burst, the first one included
    BurstKind BurstType = ConstantSpeed;
    int16_t IncrementSteps = 1;
    int16_t AccelerationSteps = 0;
    int16_t AccelerationLimit = 0;
    int16_t FirstOffsetSteps = 0;

    // Copies target's slots and model into the working table and starts a burst on channel 1.
    // A null target only clears the target.
    void LoadTable(ChannelTable* target);
    void SelectFirstChannel(int channel);
    void SetBurstLength(int length);
    void UpdateAccelerationLimit();
    void SetFirstOffset(int steps);
    void SetFirstType(int32_t type);
    void SetBurstType(BurstKind type);
    void SetIncrement(int steps);
    void SetAcceleration(int steps); // the caller keeps it within 0..AccelerationLimit
    double FirstChannelTime();
    int32_t FirstChannelType();
    // Writes the burst into the working table, then the working table over the target.
    void ApplyBurst();

    // The ranges offered for choosing.
    int ChannelCount() const { return WorkingTable.ChannelCount(); }
    int FirstChannelMaximum() const { return ChannelCount() - 1; }
    int BurstLengthMaximum() const { return ChannelCount() - FirstChannel + 1; }
    // Channel 1 is always manual, so its type is not offered.
    bool FirstTypeChangeable() const { return FirstChannel > 1; }
};

} // namespace salvo
