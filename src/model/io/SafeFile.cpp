#include "model/io/SafeFile.h"

#include "model/io/FileSystem.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <unistd.h>

namespace salvo {

using namespace os;

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

std::string os::FolderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

namespace {

SaveStepHook StepHook = nullptr;

void Reached(SaveStep step) {
    if (StepHook)
        StepHook(step);
}

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

// Temporary files beside the file: "." + its name (cut to keep well under the 255 bytes a
// name may have) + "." + process id-counter-clock + ".tmp". The process id tells a file that
// an earlier, crashed save left behind from one that a running program is writing.
std::string TemporaryStem(const std::string& path) {
    // Its name: what follows the last "\" or "/".
    const std::string name = path.substr(path.find_last_of("\\/") + 1);
    return "." + name.substr(0, 200) + ".";
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
        int fd = CreateNew(tempPath);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// A complete copy of the file at path, in a new temporary file beside it.
bool CopyToTemporary(const std::string& path, const FileStatus& st, std::string& tempPath) {
    int in = OpenForReading(path);
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

bool IsRegularFile(const std::string& path) {
    FileStatus st{};
    return StatPath(path, st) == 0 && st.Regular;
}

} // namespace

void SetSaveStepHook(SaveStepHook hook) {
    StepHook = hook;
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
        if (!st.Regular)
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
    if (StatPath(path, st) != 0 || !st.Regular)
        return;
    Fd = OpenForReading(path);
    if (Fd >= 0 && (StatFd(Fd, st) != 0 || !st.Regular)) {
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

bool InputFile::ReadExactly(void* into, size_t size) {
    auto* p = static_cast<char*>(into);
    while (size > 0) {
        long long n = Read(p, size);
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool InputFile::Seek(int64_t offset) {
    return SeekFd(Fd, offset);
}

int64_t InputFile::Size() const {
    FileStatus st{};
    return StatFd(Fd, st) == 0 ? st.Size : -1;
}

SmallFileResult ReadSmallFile(const std::string& path, size_t limit, std::string& bytes) {
    bytes.clear();
    FileStatus st{};
    if (StatPath(path, st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? SmallFileResult::Missing
                                                   : SmallFileResult::Unreadable;
    if (!st.Regular)
        return SmallFileResult::Unreadable;
    int fd = OpenForReading(path);
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

} // namespace salvo
