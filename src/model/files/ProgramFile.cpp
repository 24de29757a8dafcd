#include "model/files/ProgramFile.h"

#include "model/io/Windows1252.h"
#include "model/program/ChannelTable.h"
#include "model/program/Document.h"
#include "model/program/TimeText.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#endif

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

std::string BackupName(std::string_view path) {
    size_t nameStart = path.find_last_of("\\/");
    nameStart = nameStart == std::string_view::npos ? 0 : nameStart + 1;
    size_t dot = path.rfind('.');
    // Only a "." of the name itself counts: one in a folder name would put the backup
    // outside the file's folder.
    if (dot == std::string_view::npos || dot < nameStart)
        return std::string(path) + ".Bak";
    return std::string(path.substr(0, dot + 1)) + "Bak";
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

// The folder part of a file system path, with its final "/", or empty for the current folder.
std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

SaveStepHook StepHook = nullptr;

void Reached(SaveStep step) {
    if (StepHook)
        StepHook(step);
}

// The few file system calls the program makes. Paths are UTF-8; Windows takes them as UTF-16,
// opens files in binary mode (no byte translated) and renames over an existing file only when
// asked to.
#ifdef _WIN32
using FileStatus = struct _stat64;
constexpr int CreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_BINARY | O_NOINHERIT;
constexpr int ReadFlags = O_RDONLY | O_BINARY | O_NOINHERIT;

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty())
        return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

int OpenPath(const std::string& path, int flags) {
    return ::_wopen(Wide(path).c_str(), flags, _S_IREAD | _S_IWRITE);
}
int StatPath(const std::string& path, FileStatus& st) {
    return ::_wstat64(Wide(path).c_str(), &st);
}
int StatFd(int fd, FileStatus& st) {
    return ::_fstat64(fd, &st);
}
int RenamePath(const std::string& from, const std::string& to) {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : -1;
}
int RemovePath(const std::string& path) {
    return ::_wunlink(Wide(path).c_str());
}
int SyncFd(int fd) {
    return ::_commit(fd);
}
int LinkPath(const std::string& existing, const std::string& link) {
    if (CreateHardLinkW(Wide(link).c_str(), Wide(existing).c_str(), nullptr))
        return 0;
    errno = GetLastError() == ERROR_ALREADY_EXISTS || GetLastError() == ERROR_FILE_EXISTS ? EEXIST
                                                                                          : EPERM;
    return -1;
}
// Links are rare there and not followed: the file of the given name is replaced.
bool FinalTarget(const std::string& path, std::string& target) {
    target = path;
    return true;
}
// Windows keeps permissions in the folder's inherited access lists.
void KeepPermissions(int, const FileStatus&) {}
bool IsRunning(unsigned long pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED;
    bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}
#else
using FileStatus = struct stat;
constexpr int CreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY;
constexpr int ReadFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;

int OpenPath(const std::string& path, int flags) {
    return ::open(path.c_str(), flags, 0666);
}
int StatPath(const std::string& path, FileStatus& st) {
    return ::stat(path.c_str(), &st);
}
int StatFd(int fd, FileStatus& st) {
    return ::fstat(fd, &st);
}
int RenamePath(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str());
}
int RemovePath(const std::string& path) {
    return ::unlink(path.c_str());
}
int SyncFd(int fd) {
    return ::fsync(fd);
}
int LinkPath(const std::string& existing, const std::string& link) {
    return ::link(existing.c_str(), link.c_str());
}
// Follows symbolic links to the file they lead to, so that the link stays a link and the file
// it names gets the new content. A dangling link leads to the file it would name.
bool FinalTarget(const std::string& path, std::string& target) {
    target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        std::string text(4096, '\0');
        ssize_t n = ::readlink(target.c_str(), text.data(), text.size());
        if (n <= 0 || static_cast<size_t>(n) >= text.size())
            return false;
        text.resize(static_cast<size_t>(n));
        target = text[0] == '/' ? text : FolderOf(target) + text;
    }
    return false; // a loop of links
}
// The replaced file's owner, group and permission bits, as far as this user may set them.
void KeepPermissions(int fd, const FileStatus& old) {
    if (::fchown(fd, old.st_uid, old.st_gid) != 0 && ::fchown(fd, uid_t(-1), old.st_gid) != 0) {
        // Not a member of that group: the file keeps ours.
    }
    // After the group: changing it may have cleared the set-group-ID bit.
    if (::fchmod(fd, old.st_mode & 07777) != 0) {
        // A file system without Unix permissions.
    }
}
bool IsRunning(unsigned long pid) {
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}
#endif

bool WriteAll(int fd, const char* p, size_t left) {
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return false;
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

bool Flush(int fd) {
    if (SyncFd(fd) == 0)
        return true;
    // Some file systems cannot sync; that says nothing about the data written.
    return errno == EINVAL || errno == ENOTSUP || errno == ENOSYS;
}

// Temporary files beside the document: "." + its name (cut to keep well under the 255 bytes a
// name may have) + "." + process id-counter-clock + ".tmp". The process id tells a file that
// an earlier, crashed save left behind from one that a running program is writing.
std::string TemporaryStem(const std::string& path) {
    return "." + PathName(path).substr(0, 200) + ".";
}

std::string TemporaryName(const std::string& path) {
    static unsigned counter = 0;
    auto ticks = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    return FolderOf(path) + TemporaryStem(path) + std::to_string(::getpid()) + "-" +
           std::to_string(++counter) + "-" + std::to_string(ticks % 1000000u) + ".tmp";
}

// The process id of a temporary file of ours for path, or nothing for any other name.
std::optional<unsigned long> TemporaryOwner(const std::string& name, const std::string& path) {
    const std::string stem = TemporaryStem(path);
    const std::string tail = ".tmp";
    if (name.size() <= stem.size() + tail.size() || name.compare(0, stem.size(), stem) != 0 ||
        name.compare(name.size() - tail.size(), tail.size(), tail) != 0)
        return std::nullopt;
    std::string_view middle(name);
    middle = middle.substr(stem.size(), middle.size() - stem.size() - tail.size());
    // Three numbers joined by "-".
    unsigned long pid = 0;
    int numbers = 0;
    bool inNumber = false;
    for (char c : middle) {
        if (c >= '0' && c <= '9') {
            if (!inNumber)
                ++numbers;
            inNumber = true;
            if (numbers == 1 && pid < 100000000ul)
                pid = pid * 10 + static_cast<unsigned long>(c - '0');
        } else if (c == '-' && inNumber) {
            inNumber = false;
        } else {
            return std::nullopt;
        }
    }
    if (numbers != 3 || !inNumber)
        return std::nullopt;
    return pid;
}

// Removes what a save of path interrupted by a crash left behind. A file that a running
// program is still writing stays.
void RemoveLeftovers(const std::string& path) {
    namespace fs = std::filesystem;
    std::string folder = FolderOf(path);
    std::error_code error;
    fs::directory_iterator entries(fs::u8path(folder.empty() ? std::string(".") : folder), error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        auto u8 = entries->path().filename().u8string();
        std::string name(u8.begin(), u8.end());
        std::optional<unsigned long> pid = TemporaryOwner(name, path);
        if (!pid || entries->symlink_status(error).type() != fs::file_type::regular)
            continue;
        if (*pid == static_cast<unsigned long>(::getpid()) || !IsRunning(*pid))
            RemovePath(folder + name);
    }
}

// Creates a new, unique temporary file beside path.
int CreateTemporary(const std::string& path, std::string& tempPath) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = TemporaryName(path);
        int fd = OpenPath(tempPath, CreateFlags);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// A complete copy of the file at path, in a new temporary file beside it.
bool CopyToTemporary(const std::string& path, const FileStatus& st, std::string& tempPath) {
    int in = OpenPath(path, ReadFlags);
    if (in < 0)
        return false;
    int out = CreateTemporary(path, tempPath);
    if (out < 0) {
        ::close(in);
        return false;
    }
    KeepPermissions(out, st);
    std::array<char, 65536> buffer{};
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        if (!WriteAll(out, buffer.data(), static_cast<size_t>(n))) {
            ok = false;
            break;
        }
    }
    ok = ok && Flush(out);
    ::close(in);
    if (::close(out) != 0)
        ok = false;
    if (!ok)
        RemovePath(tempPath);
    return ok;
}

// The old content under a second, temporary name: a hard link, which costs nothing and keeps
// the bytes, dates and permissions, or a copy where the file system has no links.
bool SecondName(const std::string& path, const FileStatus& st, std::string& tempPath) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = TemporaryName(path);
        if (LinkPath(path, tempPath) == 0)
            return true;
        if (errno != EEXIST)
            break;
    }
    return CopyToTemporary(path, st, tempPath);
}

// Puts the old content of path under its backup name while path keeps it too. Fails, leaving
// the older backup as it was, when the backup name cannot take it (a folder of that name, a
// name too long, a file that may not be replaced).
bool MakeBackup(const std::string& path, const FileStatus& st, const std::string& backup) {
    std::string tempPath;
    if (!SecondName(path, st, tempPath))
        return false;
    Reached(SaveStep::BackupLinked);
    bool renamed = RenamePath(tempPath, backup) == 0;
    // A rename between two names of one file (the backup already a link to it, as a crash
    // right after this step leaves it) does nothing and leaves the temporary name.
    RemovePath(tempPath);
    if (!renamed)
        return false;
    Reached(SaveStep::BackupMade);
    return true;
}

void SyncFolder(const std::string& path) {
#ifdef _WIN32
    (void)path; // a folder cannot be opened as a file there; NTFS journals its entries
#else
    std::string folder = FolderOf(path);
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#endif
}

bool IsRegularFile(const std::string& path) {
    FileStatus st{};
    return StatPath(path, st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

void SetSaveStepHook(SaveStepHook hook) {
    StepHook = hook;
}

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

CarefulFile::~CarefulFile() {
    Abandon();
}

bool CarefulFile::Open(const std::string& path) {
    Abandon();
    Failed = true;
    if (!FinalTarget(path, Target))
        return false;
    // Only a regular file is ever replaced: a folder, a device or a pipe of that name stays.
    FileStatus st{};
    Existed = false;
    if (StatPath(Target, st) == 0) {
        if (!S_ISREG(st.st_mode))
            return false;
        Existed = true;
    }
    RemoveLeftovers(Target);
    Fd = CreateTemporary(Target, Temporary);
    if (Fd < 0)
        return false;
    Reached(SaveStep::TemporaryCreated);
    if (Existed)
        KeepPermissions(Fd, st);
    Failed = false;
    return true;
}

bool CarefulFile::Write(const void* data, size_t size) {
    Failed = Failed || Fd < 0 || !WriteAll(Fd, static_cast<const char*>(data), size);
    return !Failed;
}

bool CarefulFile::Patch(int64_t offset, const void* data, size_t size) {
    Failed = Failed || Fd < 0 || ::lseek(Fd, static_cast<off_t>(offset), SEEK_SET) < 0 ||
             !WriteAll(Fd, static_cast<const char*>(data), size) || ::lseek(Fd, 0, SEEK_END) < 0;
    return !Failed;
}

bool CarefulFile::Finish() {
    if (Fd < 0)
        return false;
    bool ok = !Failed && Flush(Fd);
    if (::close(Fd) != 0)
        ok = false;
    Fd = -1;
    if (!ok) {
        Abandon();
        return false;
    }
    Reached(SaveStep::TemporaryWritten);
    return true;
}

bool CarefulFile::Commit() {
    return Finish() && PutInPlace(false, std::string());
}

bool CarefulFile::PutInPlace(bool keepBackup, const std::string& backupName) {
    // The old content gets its backup name while the file still holds it, so that no save
    // loses a version. A file that is its own backup (show.Bak) keeps no backup.
    const std::string backup = backupName.empty() ? BackupName(Target) : backupName;
    FileStatus st{};
    if (keepBackup && Existed && backup != Target &&
        (StatPath(Target, st) != 0 || !MakeBackup(Target, st, backup))) {
        Abandon();
        return false;
    }
    // One rename puts the new content in place: at every moment the name holds either.
    if (RenamePath(Temporary, Target) != 0) {
        Abandon();
        return false;
    }
    Temporary.clear();
    Reached(SaveStep::Replaced);
    SyncFolder(Target);
    return true;
}

void CarefulFile::Abandon() {
    if (Fd >= 0)
        ::close(Fd);
    Fd = -1;
    if (!Temporary.empty())
        RemovePath(Temporary);
    Temporary.clear();
    Failed = true;
}

bool WriteFileSafely(const std::string& path, const std::string& bytes,
                     const std::string& backupName) {
    CarefulFile file;
    return file.Open(path) && file.Write(bytes.data(), bytes.size()) && file.Finish() &&
           file.PutInPlace(true, backupName);
}

std::string FollowLinks(const std::string& path) {
    std::string target;
    return FinalTarget(path, target) ? target : path;
}

bool IsFile(const std::string& path) {
    return IsRegularFile(path);
}

bool MoveFileAside(const std::string& path, const std::string& backup) {
    return IsRegularFile(path) && RenamePath(path, backup) == 0;
}

InputFile::InputFile(const std::string& path) {
    // Looked at before the open (a FIFO's open can wait for ever) and again after it, in case
    // the name was given to something else meanwhile; the open itself never blocks.
    FileStatus st{};
    if (StatPath(path, st) != 0 || !S_ISREG(st.st_mode))
        return;
    Fd = OpenPath(path, ReadFlags);
    if (Fd >= 0 && (StatFd(Fd, st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(Fd);
        Fd = -1;
    }
}

InputFile::~InputFile() {
    if (Fd >= 0)
        ::close(Fd);
}

long long InputFile::Read(char* into, size_t size) {
    for (;;) {
        auto n = ::read(Fd, into, static_cast<unsigned>(std::min<size_t>(size, 1u << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        return n;
    }
}

bool InputFile::Seek(int64_t offset) {
#ifdef _WIN32
    return ::_lseeki64(Fd, offset, SEEK_SET) == offset;
#else
    return ::lseek(Fd, static_cast<off_t>(offset), SEEK_SET) == offset;
#endif
}

int64_t InputFile::Size() const {
    FileStatus st{};
    return StatFd(Fd, st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

SmallFileResult ReadSmallFile(const std::string& path, size_t limit, std::string& bytes) {
    bytes.clear();
    FileStatus st{};
    if (StatPath(path, st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? SmallFileResult::Missing
                                                   : SmallFileResult::Unreadable;
    if (!S_ISREG(st.st_mode))
        return SmallFileResult::Unreadable;
    int fd = OpenPath(path, ReadFlags);
    if (fd < 0)
        return SmallFileResult::Unreadable;
    std::array<char, 65536> buffer{};
    SmallFileResult result = SmallFileResult::Read;
    for (;;) {
        ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result = SmallFileResult::Unreadable;
            break;
        }
        if (n == 0)
            break;
        if (bytes.size() + static_cast<size_t>(n) > limit) {
            result = SmallFileResult::TooLarge;
            break;
        }
        bytes.append(buffer.data(), static_cast<size_t>(n));
    }
    ::close(fd);
    if (result != SmallFileResult::Read)
        bytes.clear();
    return result;
}

// ---------------------------------------------------------------------------------------
// Reading

namespace {

// Complete lines of a file, read in chunks: memory stays bounded by MaxLineBytes.
class LineReader {
public:
    enum Status { Line, End, TooLong, Failure };

    explicit LineReader(int fd) : Fd(fd) {}

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
            ssize_t n;
            do {
                n = ::read(Fd, Buffer.data(), Buffer.size());
            } while (n < 0 && errno == EINTR);
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
    int Fd;
    std::array<char, 65536> Buffer{};
    size_t Pos = 0;
    size_t Len = 0;
};

bool IsTrimmed(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsTrimmed(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsTrimmed(s.back()))
        s.remove_suffix(1);
    return s;
}

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
    return Contains(Trim(keyPart), key);
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
    return Windows1252ToUtf8(Trim(bytes));
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
        std::optional<int32_t> model = ParseInt32(Trim(parts.Rest));
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
        fields[3] = Trim(fields[3]);
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
        std::optional<int32_t> type = ParseInt32(Trim(fields[1]));
        if (!type || (*type != Manual && *type != Automatic))
            return Step::Invalid;
        Sink.ChangeChannelType(Channel - 1, *type);
        std::optional<double> time = ParseTime(Trim(fields[2]), Separator);
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

class FileCloser {
public:
    explicit FileCloser(int fd) : Fd(fd) {}
    ~FileCloser() { ::close(Fd); }
    FileCloser(const FileCloser&) = delete;
    FileCloser& operator=(const FileCloser&) = delete;

private:
    int Fd;
};

} // namespace

ReadResult ReadProgramFile(ProgramSink& sink, const std::string& path, char decimalSeparator) {
    // Non-blocking, so that a pipe of that name cannot hold the program up; only a regular
    // file is a program file.
    int fd = OpenPath(path, ReadFlags);
    if (fd < 0)
        return ReadResult::NotAccessible;
    FileCloser closer(fd);
    FileStatus st{};
    if (StatFd(fd, st) != 0 || !S_ISREG(st.st_mode))
        return ReadResult::NotAccessible;

    LineReader lines(fd);
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
