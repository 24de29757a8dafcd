#include "ui/editor/WindowProgram.h"
#include "ui/common/Strings.h"

#include "model/program/TimeText.h"
#include "ui/editor/TFenetreEnfant.h"

int WindowProgram::ModelIndex() const {
    return Window.SelectedModel();
}
int WindowProgram::ChannelCount() const {
    return Window.Link().ChannelCount();
}
std::string WindowProgram::Title() const {
    return S(Window.Title());
}
std::string WindowProgram::SerialNumber() const {
    return S(Window.SerialNumber());
}
std::string WindowProgram::Version() const {
    return S(Window.VersionText());
}
std::string WindowProgram::ChannelNumberCell(int row) const {
    return S(Window.CellText(0, row));
}
int32_t WindowProgram::ChannelType(int row) const {
    return Window.Link().Slots[row - 1].Type;
}
std::string WindowProgram::DelayCell(int row) const {
    // What is being typed is saved as it stands, unless it would make the file unreadable
    // (an emptied cell, a second separator): then the channel's stored time is saved.
    std::string text = S(Window.CellText(2, row));
    char sep = Window.DecimalSeparator();
    auto value = salvo::ParseTime(text, sep);
    if (value && *value >= 0.0)
        return text;
    return salvo::FormatTime(Window.Link().GetChannelTime(row - 1), sep);
}
std::string WindowProgram::Description(int row) const {
    return S(Window.CellText(3, row));
}

void WindowProgram::SetModel(int model) {
    Window.SetModelIndex(model);
}
void WindowProgram::SetTitle(const std::string& text) {
    Window.SetTitle(Q(text));
}
void WindowProgram::SetSerialNumber(const std::string& text) {
    Window.SetSerialNumber(Q(text));
}
void WindowProgram::SetVersion(const std::string& text) {
    Window.SetVersionText(Q(text));
}
void WindowProgram::ChangeChannelType(int index, int32_t type) {
    Window.ChangeChannelType(index, type);
}
void WindowProgram::ApplyChannelTime(int index, double seconds) {
    Window.ApplyChannelTime(index, seconds);
}
void WindowProgram::SetDescription(int row, const std::string& text) {
    Window.SetDescription(row, Q(text));
}

salvo::ChannelTable& WindowProgram::Channels() {
    return Window.Link();
}
const salvo::ChannelTable& WindowProgram::Channels() const {
    return Window.Link();
}
salvo::ShownTimeArray& WindowProgram::ShownTimes() {
    return Window.ShownTimes();
}
salvo::ChannelServices& WindowProgram::Services() {
    return Window;
}
char WindowProgram::DecimalSeparator() const {
    return Window.DecimalSeparator();
}
bool WindowProgram::Modified() const {
    return Window.Modified();
}

void WindowProgram::SetModified(bool modified) {
    Window.SetModified(modified);
}
