#include "model/files/ProgramDocument.h"

#include "model/program/TimeText.h"

namespace salvo {

ProgramDocument::ProgramDocument(char decimalSeparator)
    : Separator(decimalSeparator), Rules(Table, Data.ShownTimes, *this, decimalSeparator) {
    SetModel(DefaultModel);
    for (int row = 1; row <= SlotCount; ++row) {
        size_t k = static_cast<size_t>(row - 1);
        NumberCells[k] = std::to_string(row);
        TypeCells[k] = ChannelTypeNames[Manual];
        DelayCells[k] = FormatTime(0.0, Separator);
        Data.ShownTimes[k] = 0.0;
        Table.SetStepDelay(row - 1, 0.0);
        Table.SetChannelType(row - 1, Manual);
    }
    Data.Modified = false;
}

void ProgramDocument::ChooseModel(int model) {
    SetModel(model);
    Data.Modified = true;
}

void ProgramDocument::TypeDelay(int row, const std::string& text) {
    if (!ValidRow(row))
        return;
    DelayCells[static_cast<size_t>(row - 1)] = text;
    Data.Modified = true;
    Rules.CommitTypedTime(row - 1, text);
}

void ProgramDocument::ChooseType(int row, int32_t type) {
    if (row < 2 || row > SlotCount) // the type cell of channel 1 cannot be chosen
        return;
    Rules.ChangeChannelType(row - 1, type);
    Data.Modified = true;
}

void ProgramDocument::EditDescription(int row, const std::string& text) {
    SetDescription(row, text);
    Data.Modified = true;
}

void ProgramDocument::RefreshChannels() {
    for (int k = 0; k < Table.ChannelCount(); ++k) {
        double t = Table.GetChannelTime(k);
        DelayCells[static_cast<size_t>(k)] = FormatTime(t, Separator);
        Data.ShownTimes[static_cast<size_t>(k)] = t;
        TypeCells[static_cast<size_t>(k)] =
            ChannelTypeNames[Table.GetChannelType(k) == Automatic ? 1 : 0];
    }
    Data.Modified = true;
}

ReadResult ProgramDocument::Open(const std::string& path) {
    Data.FileName = path;
    DocumentTitle = BaseName(path);
    ReadResult result = ReadProgramFile(*this, path, Separator);
    Data.Modified = false;
    return result;
}

WriteResult ProgramDocument::Save() {
    WriteResult result = WriteProgramFile(*this, Data.FileName);
    if (result == WriteResult::Written) {
        DocumentTitle = BaseName(Data.FileName);
        Data.Modified = false;
    } else if (result == WriteResult::Failed) {
        Data.FileName.clear();
    }
    return result;
}

WriteResult ProgramDocument::SaveTo(const std::string& path) {
    Data.FileName = path;
    return Save();
}

std::string ProgramDocument::ChannelNumberCell(int row) const {
    return ValidRow(row) ? NumberCells[static_cast<size_t>(row - 1)] : std::string();
}

int32_t ProgramDocument::ChannelType(int row) const {
    return ValidRow(row) ? Table.Slots[static_cast<size_t>(row - 1)].Type : Manual;
}

std::string ProgramDocument::DelayCell(int row) const {
    return ValidRow(row) ? DelayCells[static_cast<size_t>(row - 1)] : std::string();
}

std::string ProgramDocument::Description(int row) const {
    return ValidRow(row) ? Data.Descriptions[static_cast<size_t>(row - 1)] : std::string();
}

void ProgramDocument::SetModel(int model) {
    Table.SetModel(model);
    SelectedModel = Table.Model;
    RowCount = Table.ChannelCount() + 1;
    CurrentRow = 1;
    CurrentColumn = 2;
}

void ProgramDocument::SetTitle(const std::string& text) {
    Data.Title = text;
    Data.Modified = true;
}

void ProgramDocument::SetSerialNumber(const std::string& text) {
    Data.SerialNumber = text;
    Data.Modified = true;
}

void ProgramDocument::SetVersion(const std::string& text) {
    Data.Version = text;
    Data.Modified = true;
}

void ProgramDocument::ChangeChannelType(int index, int32_t type) {
    Rules.ChangeChannelType(index, type);
}

void ProgramDocument::ApplyChannelTime(int index, double seconds) {
    Rules.ApplyChannelTime(index, seconds);
}

void ProgramDocument::SetDescription(int row, const std::string& text) {
    if (ValidRow(row))
        Data.Descriptions[static_cast<size_t>(row - 1)] = text;
}

void ProgramDocument::SetDelayCell(int channelIndex, const std::string& text) {
    if (channelIndex >= 0 && channelIndex < SlotCount)
        DelayCells[static_cast<size_t>(channelIndex)] = text;
}

void ProgramDocument::SetTypeCell(int channelIndex, const std::string& text) {
    if (channelIndex >= 0 && channelIndex < SlotCount)
        TypeCells[static_cast<size_t>(channelIndex)] = text;
}

void ProgramDocument::ShowWarning(const std::string& text) {
    Warnings.push_back(text);
}

} // namespace salvo
