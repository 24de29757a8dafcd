#pragma once
// The parts of a firing program document that need no window: header texts, descriptions,
// shown times, the file binding, and the naming rules for titles and paths.

#include "model/program/DelayRules.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace salvo {

struct DocumentData {
    std::string Title;
    std::string SerialNumber;
    std::string Version;
    std::array<std::string, SlotCount> Descriptions{};
    ShownTimeArray ShownTimes{};
    std::string FileName;
    bool Modified = false;

    bool HasFileName() const { return !FileName.empty(); }
};

// "NONAME" followed by the number of editor windows open before the new one, plus one.
std::string NewDocumentTitle(int openWindows);

// The text after the last path separator ("\" or "/"); the whole path when it holds none.
std::string PathName(std::string_view path);

// The name up to, not including, its last "."; empty when the name holds no ".".
std::string BaseName(std::string_view path);

// The serial number as the device reports it: an unsigned 32-bit decimal number, and 0 for
// empty text, text that is not a number, or a value that does not fit.
uint32_t SerialNumberValue(std::string_view text);

} // namespace salvo
