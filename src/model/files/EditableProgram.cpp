#include "model/files/EditableProgram.h"

namespace salvo {

bool SameChannels(const EditableProgram& a, const EditableProgram& b) {
    const ChannelTable& x = a.Channels();
    const ChannelTable& y = b.Channels();
    if (x.Model != y.Model)
        return false;
    for (int k = 0; k < SlotCount; ++k)
        if (x.Slots[size_t(k)].Type != y.Slots[size_t(k)].Type ||
            x.Slots[size_t(k)].Steps != y.Slots[size_t(k)].Steps)
            return false;
    return true;
}

} // namespace salvo
