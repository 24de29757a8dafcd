#pragma once
// The editor window as every headless path sees a program: the file reader and writer, the
// spreadsheets, the music.

#include "model/files/EditableProgram.h"

class TFenetreEnfant;

class WindowProgram : public salvo::EditableProgram {
public:
    explicit WindowProgram(TFenetreEnfant& window) : Window(window) {}

    int ModelIndex() const override;
    int ChannelCount() const override;
    std::string Title() const override;
    std::string SerialNumber() const override;
    std::string Version() const override;
    std::string ChannelNumberCell(int row) const override;
    int32_t ChannelType(int row) const override;
    std::string DelayCell(int row) const override;
    std::string Description(int row) const override;

    void SetModel(int model) override;
    void SetTitle(const std::string& text) override;
    void SetSerialNumber(const std::string& text) override;
    void SetVersion(const std::string& text) override;
    void ChangeChannelType(int index, int32_t type) override;
    void ApplyChannelTime(int index, double seconds) override;
    void SetDescription(int row, const std::string& text) override;

    salvo::ChannelTable& Channels() override;
    const salvo::ChannelTable& Channels() const override;
    salvo::ShownTimeArray& ShownTimes() override;
    salvo::ChannelServices& Services() override;
    char DecimalSeparator() const override;
    void SetModified(bool modified) override;
    bool Modified() const override;

private:
    TFenetreEnfant& Window;
};
