#pragma once
// The ".tir" program file: format 2 written, formats 1 and 2 read. Reader and writer talk to
// the document through two small interfaces, so they run the same behind the editor window
// and behind the in-memory document of tests and tools. Texts are UTF-8 on this side and
// Windows-1252 in the file. Nothing here shows anything: results say which message to show.

#include <cstddef>
#include <cstdint>
#include <string>

namespace salvo {

// Message texts, shown by the windows in "Erreur" boxes.
extern const char* const MsgWriteFailed;       // a save that did not complete
extern const char* const MsgFileNotAccessible; // a file that cannot be opened
extern const char* const MsgInvalidFileData;   // a line that does not belong to a program file

// What the writer reads from a document. Rows are grid rows: row n is channel n (1-based).
class ProgramSource {
public:
    virtual ~ProgramSource() = default;
    virtual int ModelIndex() const = 0;   // the selected entry of the model list
    virtual int ChannelCount() const = 0; // channels in use for that model
    virtual std::string Title() const = 0;
    virtual std::string SerialNumber() const = 0;
    virtual std::string Version() const = 0;
    virtual std::string ChannelNumberCell(int row) const = 0; // column 0 as it stands
    virtual int32_t ChannelType(int row) const = 0;           // from slot row - 1
    virtual std::string DelayCell(int row) const = 0;         // column 2, even mid-typing
    virtual std::string Description(int row) const = 0;       // column 3
};

// What the reader writes into a freshly created document.
class ProgramSink {
public:
    virtual ~ProgramSink() = default;
    // Stores the model (outside 0..2 becomes 2); in the window it also selects the model list
    // entry, gives the grid ChannelCount() + 1 rows and makes the delay cell of channel 1 current.
    virtual void SetModel(int model) = 0;
    virtual int ChannelCount() const = 0;
    virtual void SetTitle(const std::string& text) = 0;
    virtual void SetSerialNumber(const std::string& text) = 0;
    virtual void SetVersion(const std::string& text) = 0;
    // The delay rules' procedures, index 0-based, with their warnings shown by the window.
    virtual void ChangeChannelType(int index, int32_t type) = 0;
    virtual void ApplyChannelTime(int index, double seconds) = 0;
    virtual void SetDescription(int row, const std::string& text) = 0;
};

enum class WriteResult {
    Written,    // the file holds the document; the caller clears Modified and renames the window
    NoFileName, // nothing to do
    Failed,     // show MsgWriteFailed; the caller empties FileName and leaves Modified alone
};

enum class ReadResult {
    Read,          // the file was read without error
    NotAccessible, // show MsgFileNotAccessible; nothing was read
    InvalidData,   // show MsgInvalidFileData; the values before the bad line were applied
};
// Whatever the result, the caller clears Modified after a read.

// The message to show for a result, or nullptr.
const char* MessageOf(WriteResult result);
const char* MessageOf(ReadResult result);

// Writes the document to path as WriteFileSafely writes any file (model/io/SafeFile.h): the
// name holds the old or the new content at every moment, and the old content becomes the
// backup (BackupName). A failure (the backup among them) leaves every file as it was.
WriteResult WriteProgramFile(const ProgramSource& source, const std::string& path);

// The bytes WriteProgramFile puts in the file.
std::string ProgramFileBytes(const ProgramSource& source);

// Limits that keep a read short whatever the file holds.
constexpr size_t MaxLineBytes = size_t(1) << 20; // a longer line is invalid

// Reads the file at path into a freshly created document. decimalSeparator is the one the
// delays are written with (the user's locale).
ReadResult ReadProgramFile(ProgramSink& sink, const std::string& path, char decimalSeparator);

} // namespace salvo
