#include "model/program/DelayRules.h"

#include "model/program/TimeText.h"

namespace salvo {

const char* const MsgNotANumber = "La Valeur saisie n'est pas un nombre";

std::string MessageManualLimit(double typed, char separator) {
    return "Le temps de " + FormatTime(typed, separator) +
           " secondes que vous avez programmé dépasse la limite.\n\r Au maximum vous pouvez "
           "avoir un retard de " +
           FormatTime(MaxStepDelay, separator) + " secondes ";
}

std::string MessageBetweenChannelsLimit(double typed, int channelNumber, double previous,
                                        char separator) {
    return "Le temps de " + FormatTime(typed, separator) + " secondes de la voie n°" +
           std::to_string(channelNumber) +
           " que vous avez programmé dépasse la limite.\n\r Au maximum vous pouvez avoir un "
           "retard entre 2 voies de " +
           FormatTime(MaxStepDelay, separator) +
           " secondes, \n\r c'est à dire un retard total de " +
           FormatTime(previous + MaxStepDelay, separator) +
           " secondes par rapport à la voie manuelle précédente.";
}

void DelayRules::ShowChannelTime(int index) {
    double t = Table.GetChannelTime(index);
    Services.SetDelayCell(index, FormatTime(t, Separator));
    ShownTimes[static_cast<size_t>(index)] = t;
}

void DelayRules::ApplyChannelTime(int i, double v) {
    // An index outside the table has no shown time to store.
    if (i < 0 || i >= SlotCount)
        return;
    ShownTimes[static_cast<size_t>(i)] = v;
    int k;
    if (Table.Slots[static_cast<size_t>(i)].Type == Manual) {
        if (v > MaxStepDelay)
            Services.ShowWarning(MessageManualLimit(v, Separator));
        Table.SetChannelTime(i, v); // refuses v at or above the limit: the old delay stays
        ShowChannelTime(i);
        k = i + 1;
    } else {
        k = i;
    }
    // Following automatic channels keep their times while the times still rise.
    while (k > 0 && k < Table.ChannelCount() &&
           Table.Slots[static_cast<size_t>(k)].Type == Automatic) {
        double p = ShownTimes[static_cast<size_t>(k - 1)];
        double t = ShownTimes[static_cast<size_t>(k)];
        if (!(t > p)) {
            ShownTimes[static_cast<size_t>(k)] = p + TimeStep;
        } else if (t - p > MaxStepDelay) {
            Services.ShowWarning(MessageBetweenChannelsLimit(t, k + 1, p, Separator));
            ShownTimes[static_cast<size_t>(k)] = p + TimeStep;
        }
        Table.SetChannelTime(k, ShownTimes[static_cast<size_t>(k)]);
        // A time less than half a step after the previous one rounds onto it; an automatic
        // channel fires at least one step after the channel before it, or the file written
        // from this document would read back with the channel moved.
        if (Table.Slots[static_cast<size_t>(k)].Steps == 0) {
            ShownTimes[static_cast<size_t>(k)] = p + TimeStep;
            Table.SetChannelTime(k, ShownTimes[static_cast<size_t>(k)]);
        }
        ShowChannelTime(k);
        ++k;
    }
}

void DelayRules::ChangeChannelType(int i, int32_t type) {
    if (i < 1 || i >= SlotCount) // channel 1 stays manual
        return;
    if (type != Manual && type != Automatic)
        return;
    Services.SetTypeCell(i, ChannelTypeNames[static_cast<size_t>(type)]);
    Table.SetChannelType(i, type);
    ApplyChannelTime(i, ShownTimes[static_cast<size_t>(i)]);
}

void DelayRules::CommitTypedTime(int index, const std::string& text) {
    std::optional<double> value = ParseTime(text, Separator);
    double v = value ? *value : -1.0;
    if (v < 0.0) {
        Services.ShowWarning(MsgNotANumber);
        return;
    }
    ApplyChannelTime(index, v);
}

} // namespace salvo
