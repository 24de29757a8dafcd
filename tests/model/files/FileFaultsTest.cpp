// The file system failing under a save or an open: a full disk, a folder that went away after
// the file was chosen, a read that fails part way. Each gives its message and loses nothing.

#include "TempFolder.h"
#include "model/files/ProgramDocument.h"
#include "model/files/ProgramFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace salvo;

// Reads of one file can be made to fail: the model's read calls come here first (the test
// program links with --wrap=read). Unarmed, every read goes straight through.
namespace {
std::string FailingPath;   // reads of this file fail...
size_t BytesBeforeFailure; // ...once this many bytes were handed out
size_t BytesHanded = 0;

bool IsFailingFile(int fd) {
    if (FailingPath.empty())
        return false;
    char link[PATH_MAX];
    ssize_t n = ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), link, sizeof link);
    return n > 0 && std::string(link, static_cast<size_t>(n)) == FailingPath;
}
} // namespace

extern "C" ssize_t __real_read(int fd, void* buffer, size_t count);
extern "C" ssize_t __wrap_read(int fd, void* buffer, size_t count) {
    if (!IsFailingFile(fd))
        return __real_read(fd, buffer, count);
    if (BytesHanded >= BytesBeforeFailure) {
        errno = EIO;
        return -1;
    }
    ssize_t n = __real_read(fd, buffer, std::min(count, BytesBeforeFailure - BytesHanded));
    if (n > 0)
        BytesHanded += static_cast<size_t>(n);
    return n;
}

namespace {

std::string Program30() {
    std::string out =
        "VersionFichier ; 2\nTypeIgnivelle ; 2\nTitreListeTir ; Finale\n"
        "NumeroSerie ; 4242\nVersion ; 7\nNumVoie ; TypeVoie ; Retard ; Description\n";
    for (int n = 1; n <= 30; ++n)
        out += std::to_string(n) + " ; " + (n > 1 ? "1" : "0") + " ; " + std::to_string(n) +
               ",2 ; bombe " + std::to_string(n) + "\n";
    return out;
}

// A document with a lot to write: long descriptions on every channel.
void FillLarge(ProgramDocument& doc) {
    doc.SetTitle("Grand final");
    for (int row = 1; row <= 30; ++row)
        doc.EditDescription(row, std::string(400, static_cast<char>('a' + row % 26)));
}

// A tmpfs of a few pages, mounted in a mount namespace of this test's own so that it goes away
// with the process. Needs the right to mount (root, as in CI); otherwise the test is skipped.
class SmallDisk {
public:
    explicit SmallDisk(const TempFolder& folder) : Root(folder.Path("disk")) {
        ::mkdir(Root.c_str(), 0755);
        if (::unshare(CLONE_NEWNS) != 0) {
            Why = "cannot have a mount namespace of its own: " + std::string(strerror(errno));
            return;
        }
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", Root.c_str(), "tmpfs", 0, "size=32k,mode=0755") != 0) {
            Why = "cannot mount a small tmpfs: " + std::string(strerror(errno));
            return;
        }
        Mounted = true;
    }
    ~SmallDisk() {
        if (Mounted)
            ::umount2(Root.c_str(), MNT_DETACH);
    }
    bool Ready() const { return Mounted; }
    std::string Path(const std::string& name) const { return Root + "/" + name; }

    // Fills the disk to within `spare` bytes (rounded down to whole pages).
    void Fill(size_t spare) {
        int fd = ::open(Path("filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        std::string page(4096, 'x');
        while (::write(fd, page.data(), page.size()) == static_cast<ssize_t>(page.size())) {
        }
        ::close(fd);
        struct stat st {};
        ::stat(Path("filler").c_str(), &st);
        ASSERT_EQ(::truncate(Path("filler").c_str(),
                             std::max<off_t>(0, st.st_size - static_cast<off_t>(spare))),
                  0);
    }

    std::string Why;

private:
    std::string Root;
    bool Mounted = false;
};

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d))
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                names.push_back(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadAll(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return "<missing>";
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        out.append(buffer, n);
    std::fclose(f);
    return out;
}

} // namespace

// No room at all, then room for the temporary file's first page but not the whole program:
// the save fails with W1, the file and its backup stay as they were, no temporary file is left
// behind, and the document keeps its changes and forgets its name.
TEST(FileFaults, FullDiskKeepsTheFileAndItsBackup) {
    TempFolder folder;
    SmallDisk disk(folder);
    if (!disk.Ready())
        GTEST_SKIP() << disk.Why;
    const std::string show = disk.Path("show.tir");
    const std::string backup = disk.Path("show.Bak");
    {
        std::FILE* f = std::fopen(show.c_str(), "wb");
        std::fputs("old show\n", f);
        std::fclose(f);
        f = std::fopen(backup.c_str(), "wb");
        std::fputs("old backup\n", f);
        std::fclose(f);
    }
    for (size_t spare : {size_t(0), size_t(4096)}) {
        disk.Fill(spare);
        ProgramDocument doc;
        FillLarge(doc);
        ASSERT_GT(ProgramFileBytes(doc).size(), 8192u);
        EXPECT_EQ(doc.SaveTo(show), WriteResult::Failed) << spare;
        EXPECT_STREQ(MessageOf(WriteResult::Failed), MsgWriteFailed);
        EXPECT_EQ(doc.Data.FileName, "");
        EXPECT_TRUE(doc.Data.Modified);
        EXPECT_EQ(ReadAll(show), "old show\n");
        EXPECT_EQ(ReadAll(backup), "old backup\n");
        // No temporary file left behind.
        EXPECT_EQ(Names(disk.Path("")),
                  (std::vector<std::string>{"filler", "show.Bak", "show.tir"}));
    }
    // Room again: the same document saves, and the old file becomes the backup.
    ASSERT_EQ(::unlink(disk.Path("filler").c_str()), 0);
    ProgramDocument doc;
    FillLarge(doc);
    EXPECT_EQ(doc.SaveTo(show), WriteResult::Written);
    EXPECT_EQ(ReadAll(backup), "old show\n");
    EXPECT_EQ(ReadAll(show), ProgramFileBytes(doc));
}

// The folder was there when the file was chosen and is gone when the program writes or reads.
TEST(FileFaults, FolderGoneAfterChoosing) {
    TempFolder folder;
    const std::string dir = folder.Path("spectacles");
    ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    const std::string path = dir + "/show.tir";
    ASSERT_EQ(::rmdir(dir.c_str()), 0);

    ProgramDocument doc;
    doc.SetTitle("x");
    EXPECT_EQ(doc.SaveTo(path), WriteResult::Failed);
    EXPECT_EQ(doc.Data.FileName, "");
    EXPECT_TRUE(doc.Data.Modified);
    EXPECT_EQ(doc.Data.Title, "x");
    EXPECT_TRUE(folder.Names().empty()) << "nothing written anywhere else";

    ProgramDocument opened;
    EXPECT_EQ(opened.Open(path), ReadResult::NotAccessible);
    EXPECT_STREQ(MessageOf(ReadResult::NotAccessible), MsgFileNotAccessible);
}

// A read that fails part way: only complete lines read before the failure were applied (the
// cut line is not), the file is invalid (R2), and the file itself is untouched.
TEST(FileFaults, ReadFailingPartWayUsesOnlyWhatWasRead) {
    TempFolder folder;
    const std::string bytes = Program30();
    const std::string path = folder.Write("show.tir", bytes);
    // Cut in the middle of channel 6's delay: "6 ; 1 ; 6" of "6 ; 1 ; 6,2".
    const size_t cut = bytes.find("6 ; 1 ; 6,2") + std::string("6 ; 1 ; 6").size();
    char resolved[PATH_MAX];
    ASSERT_NE(::realpath(path.c_str(), resolved), nullptr);

    for (size_t failAfter : {size_t(0), cut}) {
        FailingPath = resolved;
        BytesBeforeFailure = failAfter;
        BytesHanded = 0;
        ProgramDocument doc;
        ReadResult result = doc.Open(path);
        FailingPath.clear();

        EXPECT_EQ(result, ReadResult::InvalidData) << failAfter;
        EXPECT_STREQ(MessageOf(result), MsgInvalidFileData);
        EXPECT_FALSE(doc.Data.Modified);
        if (failAfter == cut) {
            EXPECT_EQ(doc.Data.Title, "Finale");
            EXPECT_EQ(doc.DelayCells[4], "5,2");
            EXPECT_EQ(doc.Data.Descriptions[4], "bombe 5");
            // Channel 6 was not read whole: it keeps a new document's values.
            EXPECT_EQ(doc.Table.Slots[5].Type, Manual);
            EXPECT_EQ(doc.DelayCells[5], "0");
            EXPECT_EQ(doc.Data.Descriptions[5], "");
        } else {
            EXPECT_EQ(doc.Data.Title, "");
        }
    }
    EXPECT_EQ(folder.Read("show.tir"), bytes);

    // The same file, read without a fault, is whole.
    ProgramDocument doc;
    EXPECT_EQ(doc.Open(path), ReadResult::Read);
    EXPECT_EQ(doc.DelayCells[29], "30,2");
}
