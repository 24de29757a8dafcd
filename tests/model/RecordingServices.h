#pragma once
// A stand-in for the editor window: keeps the cell texts and the warnings it was given.

#include "model/program/DelayRules.h"

#include <array>
#include <string>
#include <vector>

struct RecordingServices : salvo::ChannelServices {
    std::array<std::string, salvo::SlotCount> DelayCells{};
    std::array<std::string, salvo::SlotCount> TypeCells{};
    std::vector<std::string> Warnings;

    void SetDelayCell(int k, const std::string& text) override {
        DelayCells[static_cast<size_t>(k)] = text;
    }
    void SetTypeCell(int k, const std::string& text) override {
        TypeCells[static_cast<size_t>(k)] = text;
    }
    void ShowWarning(const std::string& text) override { Warnings.push_back(text); }
};
