#include "model/io/FileSystem.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace salvo::os {

namespace {

// The result of a stat call, with what it found where it succeeded.
int Filled(int result, const struct stat& st, FileStatus& status) {
    if (result != 0)
        return result;
    status.Regular = S_ISREG(st.st_mode);
    status.Size = static_cast<int64_t>(st.st_size);
    status.Owner = st.st_uid;
    status.Group = st.st_gid;
    status.Mode = st.st_mode;
    return 0;
}

} // namespace

int CreateNew(const std::string& path) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
}

int OpenForReading(const std::string& path) {
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
}

int StatPath(const std::string& path, FileStatus& status) {
    struct stat st {};
    return Filled(::stat(path.c_str(), &st), st, status);
}

int StatFd(int fd, FileStatus& status) {
    struct stat st {};
    return Filled(::fstat(fd, &st), st, status);
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

bool SeekFd(int fd, int64_t offset) {
    return ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) == offset;
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

void KeepPermissions(int fd, const FileStatus& old) {
    if (::fchown(fd, old.Owner, old.Group) != 0 && ::fchown(fd, uid_t(-1), old.Group) != 0) {
        // Not a member of that group: the file keeps ours.
    }
    // After the group: changing it may have cleared the set-group-ID bit.
    if (::fchmod(fd, old.Mode & 07777) != 0) {
        // A file system without Unix permissions.
    }
}

bool IsRunning(unsigned long pid) {
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

void SyncFolder(const std::string& path) {
    std::string folder = FolderOf(path);
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace salvo::os
