// A device that holds a program file's channels, read the way the program reads the file.

#include "IgnivelleSim.h"

#include "model/files/ProgramDocument.h"
#include "model/program/Document.h"

namespace salvo::sim {

std::string LoadProgramFile(const std::string& path, DeviceOptions& options) {
    // Files carry the decimal separator of the locale they were saved in.
    ReadResult result = ReadResult::InvalidData;
    for (char separator : {',', '.'}) {
        ProgramDocument document(separator);
        result = document.Open(path);
        if (result != ReadResult::Read)
            continue;
        options.Model = document.Table.Model;
        options.SerialNumber = SerialNumberValue(document.Data.SerialNumber);
        options.Words.clear();
        for (int i = 0; i < document.Table.ChannelCount(); ++i)
            options.Words.push_back(document.Table.ChannelWord(i));
        return {};
    }
    return MessageOf(result);
}

} // namespace salvo::sim
