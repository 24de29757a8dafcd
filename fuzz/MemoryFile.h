#pragma once
// One in-memory file for every input: no disk, and the readers still open it by its path.

#include "FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

class MemoryFile {
public:
    explicit MemoryFile(const char* name) : Fd(::memfd_create(name, MFD_CLOEXEC)) {
        FUZZ_CHECK(Fd >= 0);
        Path = "/proc/self/fd/" + std::to_string(Fd);
    }
    ~MemoryFile() { ::close(Fd); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    const std::string& Hold(const uint8_t* data, size_t size) {
        FUZZ_CHECK(::ftruncate(Fd, 0) == 0);
        size_t done = 0;
        while (done < size) {
            ssize_t n = ::pwrite(Fd, data + done, size - done, static_cast<off_t>(done));
            FUZZ_CHECK(n > 0);
            done += static_cast<size_t>(n);
        }
        return Path;
    }

private:
    int Fd;
    std::string Path;
};
