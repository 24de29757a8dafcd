#pragma once
// The ".tir" program file: format 2 written, formats 1 and 2 read. Reader and writer talk to
// the document through two small interfaces, so they run the same behind the editor window
// and behind the in-memory document of tests and tools. Texts are UTF-8 on this side and
// Windows-1252 in the file. Nothing here shows anything: results say which message to show.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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

// The path up to and including the last "." of its name, then "Bak": show.tir -> show.Bak,
// and show.Bak is its own backup. A name without "." gets ".Bak" appended.
std::string BackupName(std::string_view path);

// Writes the document to path; a symbolic link is followed to the file it names. The new
// content goes to a temporary file in the same folder first; once that is complete, the old
// file gets its backup name as a second name and one rename puts the new file in place, so
// that the name holds the old or the new content at every moment. The new file keeps the old
// one's permissions. A failure (the backup among them) leaves every file as it was.
// Temporary files that a crashed save of the same file left behind are removed.
WriteResult WriteProgramFile(const ProgramSource& source, const std::string& path);

// Any file written with the same care as a program file; an empty backup name means the usual
// one beside the file. False when anything failed; every file that was there is then as it was.
bool WriteFileSafely(const std::string& path, const std::string& bytes, const std::string& backup);
// A regular file, or a link to one, found by stat and never opened: what a sound path must name
// before anything opens it (a FIFO, a device, a socket or a folder count as missing).
bool IsFile(const std::string& path);
// The file a path leads to once symbolic links are followed (the path itself where there is
// none, or where they cannot be followed).
std::string FollowLinks(const std::string& path);

// A file written piece by piece with the same care: everything goes to a temporary file beside
// the target, and only Commit puts it in place, in one rename. Until then, and after any
// failure, the target is as it was. Nothing is kept of the replaced content.
class CarefulFile {
public:
    CarefulFile() = default;
    ~CarefulFile(); // abandons what was not committed
    CarefulFile(const CarefulFile&) = delete;
    CarefulFile& operator=(const CarefulFile&) = delete;

    // False when path cannot be written: a folder, device or pipe of that name is never replaced.
    bool Open(const std::string& path);
    bool Write(const void* data, size_t size);
    // Rewrites bytes already written (a header's sizes), then goes on at the end.
    bool Patch(int64_t offset, const void* data, size_t size);
    bool Commit();
    void Abandon();

private:
    friend bool WriteFileSafely(const std::string&, const std::string&, const std::string&);
    bool Finish(); // flushed and closed; false (and abandoned) on failure
    bool PutInPlace(bool keepBackup, const std::string& backupName);
    int Fd = -1;
    bool Failed = false;
    bool Existed = false;
    std::string Target, Temporary;
};
// Renames a regular file to backup (replacing it); false when there was nothing to move.
bool MoveFileAside(const std::string& path, const std::string& backup);

enum class SmallFileResult { Read, Missing, Unreadable, TooLarge };
// The whole content of a regular file of at most limit bytes.
SmallFileResult ReadSmallFile(const std::string& path, size_t limit, std::string& bytes);

// A regular file opened for reading by its UTF-8 path.
class InputFile {
public:
    explicit InputFile(const std::string& path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    bool IsOpen() const { return Fd >= 0; }
    // Bytes read, 0 at the end, -1 on failure.
    long long Read(char* into, size_t size);
    bool Seek(int64_t offset);
    int64_t Size() const;

private:
    int Fd = -1;
};

// The bytes WriteProgramFile puts in the file.
std::string ProgramFileBytes(const ProgramSource& source);

// The moments of a save after which the folder holds something new, in order. A test calls
// a hook there to stop the program as a crash would.
enum class SaveStep { TemporaryCreated, TemporaryWritten, BackupLinked, BackupMade, Replaced };
using SaveStepHook = void (*)(SaveStep);
void SetSaveStepHook(SaveStepHook hook);

// Limits that keep a read short whatever the file holds.
constexpr size_t MaxLineBytes = size_t(1) << 20; // a longer line is invalid

// Reads the file at path into a freshly created document. decimalSeparator is the one the
// delays are written with (the user's locale).
ReadResult ReadProgramFile(ProgramSink& sink, const std::string& path, char decimalSeparator);

} // namespace salvo
