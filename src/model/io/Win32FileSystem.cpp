#include "model/io/FileSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace salvo::os {

namespace {

// The one conversion of our UTF-8 paths to the UTF-16 that Windows takes.
std::wstring Wide(const std::string& utf8) {
    if (utf8.empty())
        return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

// The result of a stat call, with what it found where it succeeded.
int Filled(int result, const struct _stat64& st, FileStatus& status) {
    if (result != 0)
        return result;
    status.Regular = S_ISREG(st.st_mode);
    status.Size = static_cast<int64_t>(st.st_size);
    return 0;
}

int OpenPath(const std::string& path, int flags) {
    return ::_wopen(Wide(path).c_str(), flags, _S_IREAD | _S_IWRITE);
}

} // namespace

int CreateNew(const std::string& path) {
    return OpenPath(path, O_WRONLY | O_CREAT | O_EXCL | O_BINARY | O_NOINHERIT);
}

// No FIFO to wait for here.
int OpenForReading(const std::string& path) {
    return OpenPath(path, O_RDONLY | O_BINARY | O_NOINHERIT);
}

int StatPath(const std::string& path, FileStatus& status) {
    struct _stat64 st {};
    return Filled(::_wstat64(Wide(path).c_str(), &st), st, status);
}

int StatFd(int fd, FileStatus& status) {
    struct _stat64 st {};
    return Filled(::_fstat64(fd, &st), st, status);
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

bool SeekFd(int fd, int64_t offset) {
    return ::_lseeki64(fd, offset, SEEK_SET) == offset;
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

// A folder cannot be opened as a file there; NTFS journals its entries.
void SyncFolder(const std::string&) {}

} // namespace salvo::os
