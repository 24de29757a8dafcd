// Random bytes as a spreadsheet file. Whatever they hold, the import either names what it
// refuses or gives a document that keeps every rule of a document, with no channel further
// from its time than half a step unless a correction names it; and that document, exported and
// imported again, saves as the same program file.

#include "FuzzCheck.h"
#include "model/files/ProgramDocument.h"
#include "model/files/Spreadsheet.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace salvo;

namespace {

ImportPlan Plan(const std::string& bytes) {
    SheetOptions options = GuessSheetOptions(bytes);
    SheetTable table = ReadSheet(bytes, options);
    return PlanImport(table, GuessColumns(table), options.DecimalSeparator);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    ImportPlan plan = Plan(bytes);
    FUZZ_CHECK(plan.Refused.size() <= MaxRefusalsListed + 1);
    if (!plan.Refused.empty())
        return 0;
    FUZZ_CHECK(plan.LastChannel >= 1 &&
               plan.LastChannel <= ChannelCountByModel[size_t(plan.Model)]);

    ProgramDocument doc;
    ImportOutcome outcome = ImportInto(plan, doc);
    FUZZ_CHECK(doc.Table.Slots[0].Type == Manual);
    size_t far = 0;
    for (int k = 0; k < plan.LastChannel; ++k) {
        const PlannedChannel& p = plan.Channels[size_t(k)];
        FUZZ_CHECK(doc.Table.Slots[size_t(k)].Steps <= MaxStepCount);
        if (!p.Given)
            continue;
        FUZZ_CHECK(std::isfinite(p.Time) && p.Time >= 0);
        double residual = std::fabs(doc.Table.GetChannelTime(k) - p.Time);
        FUZZ_CHECK(residual <= outcome.LargestResidual + 1e-9);
        far += residual > TimeStep / 2 + 1e-9;
    }
    FUZZ_CHECK(outcome.Corrections.size() >= far);

    std::string sheet = SpreadsheetBytes(doc, doc.Table, doc.Data.ShownTimes, ',');
    ImportPlan again = Plan(sheet);
    FUZZ_CHECK(again.Refused.empty());
    ProgramDocument copy;
    ImportInto(again, copy);
    FUZZ_CHECK(ProgramFileBytes(copy) == ProgramFileBytes(doc));
    return 0;
}
