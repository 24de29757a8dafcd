// Random bytes as a program file. Whatever they hold, the reading ends, either with a document
// that keeps every rule of a document or with "invalid data"; and a document read whole
// survives being written and read again.

#include "FuzzCheck.h"
#include "MemoryFile.h"
#include "model/files/ProgramDocument.h"
#include "model/files/ProgramFile.h"
#include "model/program/TimeText.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace salvo;

namespace {

// What every document must hold, read whole or not.
void CheckDocument(ProgramDocument& doc) {
    FUZZ_CHECK(doc.Table.Model >= 0 && doc.Table.Model <= 2);
    FUZZ_CHECK(doc.SelectedModel == doc.Table.Model);
    FUZZ_CHECK(doc.RowCount == doc.Table.ChannelCount() + 1);
    FUZZ_CHECK(doc.Table.Slots[0].Type == Manual);
    for (int k = 0; k < SlotCount; ++k) {
        const ChannelSlot& s = doc.Table.Slots[static_cast<size_t>(k)];
        FUZZ_CHECK(s.Type == Manual || s.Type == Automatic);
        FUZZ_CHECK(s.Steps <= MaxStepCount);
        FUZZ_CHECK(doc.TypeCells[static_cast<size_t>(k)] == ChannelTypeNames[s.Type ? 1 : 0]);
    }
    // The grid shows the stored times of the channels in use.
    for (int k = 0; k < doc.Table.ChannelCount(); ++k) {
        double shown = doc.Data.ShownTimes[static_cast<size_t>(k)];
        FUZZ_CHECK(shown == doc.Table.GetChannelTime(k));
        FUZZ_CHECK(doc.DelayCells[static_cast<size_t>(k)] == FormatTime(shown, doc.Separator));
    }
    FUZZ_CHECK(!doc.Data.Modified);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static MemoryFile file("salvodesk-fuzz.tir");
    const std::string& path = file.Hold(data, size);
    // The first byte picks the decimal separator, as the locale would.
    char separator = (size > 0 && (data[0] & 1)) ? '.' : ',';

    ProgramDocument doc(separator);
    ReadResult result = doc.Open(path);
    FUZZ_CHECK(result == ReadResult::Read || result == ReadResult::InvalidData);
    CheckDocument(doc);
    if (result != ReadResult::Read)
        return 0;

    // Written and read again, a document gives back the same program.
    std::string bytes = ProgramFileBytes(doc);
    ProgramDocument again(separator);
    FUZZ_CHECK(again.Open(file.Hold(reinterpret_cast<const uint8_t*>(bytes.data()),
                                    bytes.size())) == ReadResult::Read);
    CheckDocument(again);
    FUZZ_CHECK(again.Table.Model == doc.Table.Model);
    for (int k = 0; k < doc.Table.ChannelCount(); ++k) {
        size_t i = static_cast<size_t>(k);
        FUZZ_CHECK(again.Table.Slots[i].Type == doc.Table.Slots[i].Type);
        FUZZ_CHECK(again.Table.Slots[i].Steps == doc.Table.Slots[i].Steps);
    }
    FUZZ_CHECK(ProgramFileBytes(again) == bytes);
    return 0;
}
