#pragma once
// A firing program document without a window: the channel table, the header texts and the
// grid's cells kept as strings, warnings recorded instead of shown. It behaves as the editor
// window does for the file reader and writer, so tests, tools and benchmarks use it.

#include "model/files/EditableProgram.h"
#include "model/files/ProgramFile.h"
#include "model/program/ChannelTable.h"
#include "model/program/DelayRules.h"
#include "model/program/Document.h"

#include <array>
#include <string>
#include <vector>

namespace salvo {

class ProgramDocument : public EditableProgram, public ChannelServices {
public:
    // A new document: model 2, every channel "Manuel" at "0", empty texts, not Modified.
    explicit ProgramDocument(char decimalSeparator = ',');
    ProgramDocument(const ProgramDocument&) = delete;
    ProgramDocument& operator=(const ProgramDocument&) = delete;

    ChannelTable Table;
    DocumentData Data;
    std::string DocumentTitle;
    int SelectedModel = DefaultModel; // the model list's selection
    int RowCount = SlotCount + 1;     // grid rows, headings included
    int CurrentRow = 1;
    int CurrentColumn = 2;
    std::array<std::string, SlotCount> NumberCells{};
    std::array<std::string, SlotCount> TypeCells{};
    std::array<std::string, SlotCount> DelayCells{};
    std::vector<std::string> Warnings;
    const char Separator;

    // What the user does in the window.
    void ChooseModel(int model);                      // the model list
    void TypeDelay(int row, const std::string& text); // typed and committed
    void ChooseType(int row, int32_t type);           // the in-cell type list
    void EditDescription(int row, const std::string& text);
    void RefreshChannels(); // after a burst

    // The file bookkeeping of the window: Open binds to path and reads; Save writes to the
    // bound path, then names the document after it and clears Modified, or on failure
    // unbinds it and leaves Modified alone.
    ReadResult Open(const std::string& path);
    WriteResult Save();
    WriteResult SaveTo(const std::string& path);

    // ProgramSource
    int ModelIndex() const override { return SelectedModel; }
    int ChannelCount() const override { return Table.ChannelCount(); }
    std::string Title() const override { return Data.Title; }
    std::string SerialNumber() const override { return Data.SerialNumber; }
    std::string Version() const override { return Data.Version; }
    std::string ChannelNumberCell(int row) const override;
    int32_t ChannelType(int row) const override;
    std::string DelayCell(int row) const override;
    std::string Description(int row) const override;

    // ProgramSink (header setters mark the document Modified, as the change handlers do)
    void SetModel(int model) override;
    void SetTitle(const std::string& text) override;
    void SetSerialNumber(const std::string& text) override;
    void SetVersion(const std::string& text) override;
    void ChangeChannelType(int index, int32_t type) override;
    void ApplyChannelTime(int index, double seconds) override;
    void SetDescription(int row, const std::string& text) override;

    // EditableProgram
    ChannelTable& Channels() override { return Table; }
    const ChannelTable& Channels() const override { return Table; }
    ShownTimeArray& ShownTimes() override { return Data.ShownTimes; }
    ChannelServices& Services() override { return *this; }
    char DecimalSeparator() const override { return Separator; }
    void SetModified(bool modified) override { Data.Modified = modified; }
    bool Modified() const override { return Data.Modified; }

    // ChannelServices
    void SetDelayCell(int channelIndex, const std::string& text) override;
    void SetTypeCell(int channelIndex, const std::string& text) override;
    void ShowWarning(const std::string& text) override;

private:
    static bool ValidRow(int row) { return row >= 1 && row <= SlotCount; }
    DelayRules Rules;
};

} // namespace salvo
