#pragma once
// The file system calls that differ between systems, for SafeFile.cpp only; PosixFileSystem.cpp
// and Win32FileSystem.cpp each hold one side. Paths are UTF-8: Windows takes them as UTF-16,
// opens files in binary mode (no byte translated) and renames over an existing file only when
// asked to. A failure returns -1 with errno set, as the POSIX calls do.

#include <cstdint>
#include <string>

namespace salvo::os {

struct FileStatus {
    bool Regular = false; // links followed
    int64_t Size = 0;
    // What a replacing file takes over; Windows keeps permissions in the folder instead.
    uint32_t Owner = 0, Group = 0, Mode = 0;
};

// A new file for writing, never one that exists (errno EEXIST then).
int CreateNew(const std::string& path);
// For reading, without waiting for a FIFO's writer.
int OpenForReading(const std::string& path);
int StatPath(const std::string& path, FileStatus& status);
int StatFd(int fd, FileStatus& status);
int RenamePath(const std::string& from, const std::string& to); // replaces to
int RemovePath(const std::string& path);
int SyncFd(int fd);
int LinkPath(const std::string& existing, const std::string& link);
bool SeekFd(int fd, int64_t offset);
// The file that path names once symbolic links are followed; false for a loop or a broken
// link text.
bool FinalTarget(const std::string& path, std::string& target);
// The replaced file's owner, group and permission bits, as far as this user may set them.
void KeepPermissions(int fd, const FileStatus& old);
bool IsRunning(unsigned long pid);
// Makes a rename in the folder of path last through a power cut.
void SyncFolder(const std::string& path);

// The folder part of a file system path, with its final "/", or empty for the current folder.
std::string FolderOf(const std::string& path);

} // namespace salvo::os
