#include "model/program/ChannelTable.h"

#include <cmath>

namespace salvo {

uint32_t StepCountOf(double seconds) {
    // Callers have checked 0 <= seconds < MaxStepDelay, so the quotient fits.
    double q = seconds / TimeStep;
    return static_cast<uint32_t>(std::nearbyint(q));
}

void ChannelTable::SetModel(int model) {
    Model = (model >= 0 && model < ModelCount) ? model : DefaultModel;
}

int ChannelTable::ChannelCount() const {
    int model = (Model >= 0 && Model < ModelCount) ? Model : DefaultModel;
    return ChannelCountByModel[static_cast<size_t>(model)];
}

int32_t ChannelTable::SetChannelType(int index, int32_t type) {
    if (index < 0 || index >= SlotCount)
        return LastError = IndexOutOfRange;
    if (type != Manual && type != Automatic)
        return LastError = InvalidValue;
    Slots[static_cast<size_t>(index)].Type = type;
    return LastError = Success;
}

int32_t ChannelTable::GetChannelType(int index) {
    if (index < 0 || index >= SlotCount) {
        LastError = IndexOutOfRange;
        return Manual;
    }
    LastError = Success;
    return Slots[static_cast<size_t>(index)].Type;
}

int32_t ChannelTable::SetStepDelay(int index, double seconds) {
    if (index < 0 || index >= ChannelCount())
        return LastError = IndexOutOfRange;
    if (!(seconds >= 0.0) || !(seconds < MaxStepDelay))
        return LastError = InvalidValue;
    Slots[static_cast<size_t>(index)].Steps = StepCountOf(seconds);
    return LastError = Success;
}

double ChannelTable::GetStepDelay(int index) {
    if (index < 0 || index >= SlotCount) {
        LastError = IndexOutOfRange;
        return static_cast<double>(IndexOutOfRange);
    }
    LastError = Success;
    return Slots[static_cast<size_t>(index)].Steps * TimeStep;
}

int32_t ChannelTable::SetChannelTime(int index, double seconds) {
    if (index < 0 || index >= SlotCount)
        return LastError = IndexOutOfRange;
    if (index > 0 && Slots[static_cast<size_t>(index)].Type == Automatic) {
        double d = seconds - GetChannelTime(index - 1);
        if (d < 0.0)
            return LastError = InvalidValue;
        return SetStepDelay(index, d);
    }
    return SetStepDelay(index, seconds);
}

double ChannelTable::GetChannelTime(int index) {
    if (index < 0 || index >= SlotCount) {
        LastError = IndexOutOfRange;
        return static_cast<double>(IndexOutOfRange);
    }
    if (index == 0 || Slots[static_cast<size_t>(index)].Type == Manual)
        return GetStepDelay(index);
    // Sum the own delays back to the manual channel that starts the sequence.
    double sum = 0.0;
    for (int j = index; j >= 0; --j) {
        sum += GetStepDelay(j);
        if (Slots[static_cast<size_t>(j)].Type == Manual)
            break;
    }
    return sum;
}

void ChannelTable::CopyTableFrom(const ChannelTable& other) {
    Slots = other.Slots;
    Model = other.Model;
}

uint16_t ChannelTable::ChannelWord(int index) const {
    const ChannelSlot& s = Slots[static_cast<size_t>(index)];
    return static_cast<uint16_t>((s.Type == Automatic ? 0x8000u : 0u) | (s.Steps & 0x7FFFu));
}

} // namespace salvo
