#include "model/files/ProgramFile.h"

#include "model/io/SafeFile.h"
#include "model/io/Text.h"
#include "model/io/Windows1252.h"
#include "model/program/ChannelTable.h"
#include "model/program/TimeText.h"

#include <array>
#include <optional>

namespace salvo {

const char* const MsgWriteFailed =
    "Une Erreur d'enregistrement s'est produite\n\rLe fichier n'a pas pu être enregistré.";
const char* const MsgFileNotAccessible =
    "Le fichier n'est pas accessible \n\n\r L'opération en cours ne sera pas effectuée";
const char* const MsgInvalidFileData =
    "Les données du fichier ne sont pas valides\n\n\r La lecture du fichier ne peut pas être "
    "effectuée";

const char* MessageOf(WriteResult result) {
    return result == WriteResult::Failed ? MsgWriteFailed : nullptr;
}

const char* MessageOf(ReadResult result) {
    switch (result) {
    case ReadResult::NotAccessible:
        return MsgFileNotAccessible;
    case ReadResult::InvalidData:
        return MsgInvalidFileData;
    case ReadResult::Read:
        break;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------------------
// Writing

namespace {

// A line break inside a text would split its line and make the file unreadable.
std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

void AppendLine(std::string& out, const std::string& utf8) {
    out += Utf8ToWindows1252(OneLine(utf8));
    out += '\n';
}

} // namespace

std::string ProgramFileBytes(const ProgramSource& source) {
    std::string out;
    AppendLine(out, "VersionFichier ; 2");
    AppendLine(out, "TypeIgnivelle ; " + std::to_string(source.ModelIndex()));
    AppendLine(out, "TitreListeTir ; " + source.Title());
    AppendLine(out, "NumeroSerie ; " + source.SerialNumber());
    AppendLine(out, "Version ; " + source.Version());
    AppendLine(out, "NumVoie ; TypeVoie ; Retard ; Description");
    int count = source.ChannelCount();
    if (count > SlotCount)
        count = SlotCount;
    for (int row = 1; row <= count; ++row) {
        AppendLine(out, source.ChannelNumberCell(row) + " ; " +
                            std::to_string(source.ChannelType(row)) + " ; " +
                            source.DelayCell(row) + " ; " + source.Description(row));
    }
    return out;
}

WriteResult WriteProgramFile(const ProgramSource& source, const std::string& path) {
    if (path.empty())
        return WriteResult::NoFileName;
    return WriteFileSafely(path, ProgramFileBytes(source), std::string()) ? WriteResult::Written
                                                                          : WriteResult::Failed;
}

// ---------------------------------------------------------------------------------------
// Reading

namespace {

// Complete lines of a file, read in chunks: memory stays bounded by MaxLineBytes.
class LineReader {
public:
    enum Status { Line, End, TooLong, Failure };

    explicit LineReader(InputFile& file) : File(file) {}

    Status Next(std::string& line) {
        line.clear();
        for (;;) {
            for (size_t i = Pos; i < Len; ++i) {
                if (Buffer[i] == '\n') {
                    if (line.size() + (i - Pos) > MaxLineBytes)
                        return TooLong;
                    line.append(Buffer.data() + Pos, i - Pos);
                    Pos = i + 1;
                    return Line;
                }
            }
            if (line.size() + (Len - Pos) > MaxLineBytes)
                return TooLong;
            line.append(Buffer.data() + Pos, Len - Pos);
            Pos = Len = 0;
            const long long n = File.Read(Buffer.data(), Buffer.size());
            if (n < 0)
                return Failure;
            if (n == 0) {
                // Some editors end the last line without a line feed: it is a line still.
                return line.empty() ? End : Line;
            }
            Len = static_cast<size_t>(n);
        }
    }

private:
    InputFile& File;
    std::array<char, 65536> Buffer{};
    size_t Pos = 0;
    size_t Len = 0;
};

bool Contains(std::string_view text, const std::string& key) {
    return !key.empty() && text.find(key) != std::string_view::npos;
}

struct KeyAndRest {
    std::string_view Key;
    std::string_view Rest;
};

KeyAndRest Split(std::string_view line) {
    size_t semi = line.find(';');
    if (semi == std::string_view::npos)
        return {std::string_view(), line};
    return {line.substr(0, semi), line.substr(semi + 1)};
}

bool KeyMatches(std::string_view keyPart, const std::string& key) {
    return Contains(TrimSpaceAndControls(keyPart), key);
}

// Fields 1 to 3 run up to the next ";"; field 4 is the rest and may hold ";".
std::array<std::string_view, 4> Cut(std::string_view line) {
    std::array<std::string_view, 4> fields{};
    for (size_t k = 0; k < 3; ++k) {
        size_t semi = line.find(';');
        if (semi == std::string_view::npos)
            continue; // the field stays empty and the rest uncut
        fields[k] = line.substr(0, semi);
        line.remove_prefix(semi + 1);
    }
    fields[3] = line;
    return fields;
}

std::string Text(std::string_view bytes) {
    return Windows1252ToUtf8(TrimSpaceAndControls(bytes));
}

// Keys in the file's own character set.
struct FormatKeys {
    std::string Title, Serial, Version;
    std::array<std::string, 4> Headings;
};

const FormatKeys& KeysOf(int format) {
    static const FormatKeys format1{
        Utf8ToWindows1252("Titre :"),
        Utf8ToWindows1252("Numéro de série :"),
        Utf8ToWindows1252("Version :"),
        {Utf8ToWindows1252("N° de la ligne"), Utf8ToWindows1252("Type de la voie"),
         Utf8ToWindows1252("Retard de la voie"), Utf8ToWindows1252("Description")}};
    static const FormatKeys format2{"TitreListeTir",
                                    "NumeroSerie",
                                    "Version",
                                    {"NumVoie", "TypeVoie", "Retard", "Description"}};
    return format == 1 ? format1 : format2;
}

class Reader {
public:
    Reader(ProgramSink& sink, char separator) : Sink(sink), Separator(separator) {}

    enum class Step { Next, Stop, Invalid };

    Step Handle(std::string_view line) {
        switch (State) {
        case 0:
            return FormatLine(line);
        case 1:
            return ModelLine(line);
        case 2:
        case 3:
        case 4:
            return HeaderLine(line);
        case 5:
            return HeadingLine(line);
        case 6:
            return ChannelLine(line);
        default:
            return Step::Stop;
        }
    }

private:
    Step FormatLine(std::string_view line) {
        std::string_view key = Split(line).Key;
        if (Contains(key, "VersionFichier") || Contains(key, "Version Fichier")) {
            Format = 2;
            State = 1;
            return Step::Next;
        }
        Format = 1;
        Sink.SetModel(0);
        State = 2;
        return HeaderLine(line);
    }

    Step ModelLine(std::string_view line) {
        KeyAndRest parts = Split(line);
        if (!KeyMatches(parts.Key, "TypeIgnivelle"))
            return Step::Invalid;
        std::optional<int32_t> model = ParseInt32(TrimSpaceAndControls(parts.Rest));
        if (!model)
            return Step::Invalid;
        Sink.SetModel(*model);
        State = 2;
        return Step::Next;
    }

    Step HeaderLine(std::string_view line) {
        const FormatKeys& keys = KeysOf(Format);
        KeyAndRest parts = Split(line);
        const std::string& key = State == 2 ? keys.Title : State == 3 ? keys.Serial : keys.Version;
        if (!KeyMatches(parts.Key, key))
            return Step::Invalid;
        std::string text = Text(parts.Rest);
        if (State == 2)
            Sink.SetTitle(text);
        else if (State == 3)
            Sink.SetSerialNumber(text);
        else
            Sink.SetVersion(text);
        ++State;
        return Step::Next;
    }

    Step HeadingLine(std::string_view line) {
        const FormatKeys& keys = KeysOf(Format);
        std::array<std::string_view, 4> fields = Cut(line);
        fields[3] = TrimSpaceAndControls(fields[3]);
        for (size_t k = 0; k < 4; ++k)
            if (!Contains(fields[k], keys.Headings[k]))
                return Step::Invalid;
        State = 6;
        Channel = 1;
        return Step::Next;
    }

    Step ChannelLine(std::string_view line) {
        std::array<std::string_view, 4> fields = Cut(line);
        if (!Contains(fields[0], std::to_string(Channel)))
            return Step::Invalid;
        std::optional<int32_t> type = ParseInt32(TrimSpaceAndControls(fields[1]));
        if (!type || (*type != Manual && *type != Automatic))
            return Step::Invalid;
        Sink.ChangeChannelType(Channel - 1, *type);
        std::optional<double> time = ParseTime(TrimSpaceAndControls(fields[2]), Separator);
        if (!time)
            return Step::Invalid;
        Sink.ApplyChannelTime(Channel - 1, *time);
        Sink.SetDescription(Channel, Text(fields[3]));
        if (Channel >= Sink.ChannelCount()) {
            State = 7;
            return Step::Stop;
        }
        ++Channel;
        return Step::Next;
    }

    ProgramSink& Sink;
    char Separator;
    int State = 0;
    int Format = 2;
    int Channel = 1;
};

} // namespace

ReadResult ReadProgramFile(ProgramSink& sink, const std::string& path, char decimalSeparator) {
    // Only a regular file is a program file: a pipe of that name cannot hold the program up.
    InputFile file(path);
    if (!file.IsOpen())
        return ReadResult::NotAccessible;

    LineReader lines(file);
    Reader reader(sink, decimalSeparator);
    std::string line;
    for (;;) {
        switch (lines.Next(line)) {
        case LineReader::End:
            return ReadResult::Read;
        case LineReader::TooLong:
        case LineReader::Failure: // only the lines read before it were used
            return ReadResult::InvalidData;
        case LineReader::Line:
            break;
        }
        switch (reader.Handle(line)) {
        case Reader::Step::Next:
            break;
        case Reader::Step::Stop:
            return ReadResult::Read; // the rest of the file is never read
        case Reader::Step::Invalid:
            return ReadResult::InvalidData;
        }
    }
}

} // namespace salvo
