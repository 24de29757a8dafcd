#include "model/program/BurstGenerator.h"

#include <cstddef>

namespace salvo {

namespace {

int16_t Clamp16(long value) {
    if (value < 0)
        return 0;
    if (value > 32767)
        return 32767;
    return static_cast<int16_t>(value);
}

} // namespace

void BurstGenerator::LoadTable(ChannelTable* target) {
    TargetTable = target;
    if (!target)
        return;
    WorkingTable.CopyTableFrom(*target);
    SelectFirstChannel(1);
    SetBurstLength(2);
}

void BurstGenerator::SelectFirstChannel(int channel) {
    int old = BurstLength;
    FirstChannel = (channel >= 1 && channel <= ChannelCount()) ? channel : 1;
    FirstOffsetSteps = Clamp16(WorkingTable.Slots[static_cast<size_t>(FirstChannel - 1)].Steps);
    if (old > BurstLengthMaximum())
        SetBurstLength(BurstLengthMaximum());
}

void BurstGenerator::SetBurstLength(int length) {
    if (FirstChannel + length - 1 > ChannelCount())
        length = BurstLengthMaximum();
    BurstLength = Clamp16(length);
    UpdateAccelerationLimit();
}

void BurstGenerator::UpdateAccelerationLimit() {
    const long length = BurstLength;
    const long increment = IncrementSteps;
    long limit = AccelerationLimit;
    if (BurstType == Accelerating) {
        // The last channel of the burst keeps at least one step.
        if (length == 2)
            limit = increment;
        else
            limit = length > 2 ? (increment - 1) / (length - 2) : 0;
    } else if (BurstType == Decelerating) {
        // No channel follows a first channel that is the model's last: no room to change.
        limit = length > 1 ? (32767 - increment) / (length - 1) : 0;
    }
    AccelerationLimit = Clamp16(limit);
    if (AccelerationSteps > AccelerationLimit)
        AccelerationSteps = AccelerationLimit;
}

void BurstGenerator::SetFirstOffset(int steps) {
    FirstOffsetSteps = Clamp16(steps);
    WorkingTable.SetStepDelay(FirstChannel - 1, steps * TimeStep);
}

void BurstGenerator::SetFirstType(int32_t type) {
    int slot = FirstChannel - 1;
    if (type == Automatic && slot > 0) {
        WorkingTable.SetChannelType(slot, Automatic);
        // An automatic channel fires at least one step after the channel before it.
        if (WorkingTable.Slots[static_cast<size_t>(slot)].Steps == 0)
            WorkingTable.SetStepDelay(slot, TimeStep);
    } else {
        WorkingTable.SetChannelType(slot, Manual);
    }
}

void BurstGenerator::SetBurstType(BurstKind type) {
    BurstType = type;
    if (type == Accelerating || type == Decelerating)
        UpdateAccelerationLimit();
}

void BurstGenerator::SetIncrement(int steps) {
    IncrementSteps = Clamp16(steps);
    UpdateAccelerationLimit();
}

void BurstGenerator::SetAcceleration(int steps) {
    AccelerationSteps = Clamp16(steps);
}

double BurstGenerator::FirstChannelTime() {
    return WorkingTable.GetChannelTime(FirstChannel - 1);
}

int32_t BurstGenerator::FirstChannelType() {
    return WorkingTable.GetChannelType(FirstChannel - 1);
}

void BurstGenerator::ApplyBurst() {
    const long a = IncrementSteps;
    long b = 0;
    if (BurstType == Accelerating)
        b = -AccelerationSteps;
    else if (BurstType == Decelerating)
        b = AccelerationSteps;
    for (long c = 0; c <= BurstLength - 2L; ++c) {
        int slot = static_cast<int>(FirstChannel + c);
        WorkingTable.SetChannelType(slot, Automatic);
        // SetStepDelay rounds the product back to exactly a + b * c steps, and refuses a
        // negative or too long delay, leaving the slot's previous count.
        WorkingTable.SetStepDelay(slot, static_cast<double>(a + b * c) * TimeStep);
    }
    if (TargetTable)
        TargetTable->CopyTableFrom(WorkingTable);
}

} // namespace salvo
