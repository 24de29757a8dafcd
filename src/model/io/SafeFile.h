#pragma once
// Files written with care and read without surprises. A file is replaced in one rename once its
// new content is complete, so that its name holds the old or the new content at every moment,
// and the old content can be kept under a backup name. Reads open only regular files and never
// block. Paths are UTF-8 on every system.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace salvo {

// The path up to and including the last "." of its name, then "Bak": show.tir -> show.Bak,
// and show.Bak is its own backup. A name without "." gets ".Bak" appended.
std::string BackupName(std::string_view path);

// Writes bytes to path; a symbolic link is followed to the file it names. The new content goes
// to a temporary file in the same folder first; once that is complete, the old file gets its
// backup name as a second name and one rename puts the new file in place. The new file keeps
// the old one's permissions. An empty backup name means the usual one beside the file. False
// when anything failed (the backup among them); every file that was there is then as it was.
// Temporary files that a crashed save of the same file left behind are removed.
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
    // All size bytes, or false when the file ends or fails first.
    bool ReadExactly(void* into, size_t size);
    bool Seek(int64_t offset);
    int64_t Size() const;

private:
    int Fd = -1;
};

// The moments of a careful write after which the folder holds something new, in order. A test
// calls a hook there to stop the program as a crash would.
enum class SaveStep { TemporaryCreated, TemporaryWritten, BackupLinked, BackupMade, Replaced };
using SaveStepHook = void (*)(SaveStep);
void SetSaveStepHook(SaveStepHook hook);

} // namespace salvo
