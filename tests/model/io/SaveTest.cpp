// Saves that must not lose a version: the backup's name, a backup that cannot be made, a crash
// at any moment of a save, a file reached through a symbolic link, a file with its own
// permissions.

#include "TempFolder.h"
#include "model/files/ProgramDocument.h"
#include "model/files/ProgramFile.h"
#include "model/io/SafeFile.h"
#include "model/music/CueTrack.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace salvo;

namespace {

using Names = std::vector<std::string>;

// Sets or clears the immutable flag: such a file may be neither replaced nor removed.
bool SetImmutable(const std::string& path, bool on) {
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return ok;
}

SaveStep CrashAt;
void Crash(SaveStep step) {
    if (step == CrashAt)
        ::_exit(42);
}

} // namespace

TEST(Save, BackupNames) {
    const std::pair<const char*, const char*> names[] = {
        {"C:\\Spectacles\\final.tir", "C:\\Spectacles\\final.Bak"},
        {"/home/jo/show.tir", "/home/jo/show.Bak"},
        {"/home/jo/show.Bak", "/home/jo/show.Bak"},
        {"/home/jo/plan.txt.tir", "/home/jo/plan.txt.Bak"},
        {"/home/jo.d/noext", "/home/jo.d/noext.Bak"},
        {"C:\\a.b\\noext", "C:\\a.b\\noext.Bak"},
        {"show.TIR", "show.Bak"}};
    for (auto [path, backup] : names)
        EXPECT_EQ(BackupName(path), backup) << path;
}

// The old file stays as it was, with W1, whenever its backup cannot be made; the document keeps
// its changes and can still be saved elsewhere.
TEST(Save, BackupThatCannotBeMadeStopsTheSave) {
    struct Case {
        const char* what;
        std::string name; // the document's file name; its backup is BackupName of it
    };
    const Case cases[] = {
        {"a folder named like the backup", "show.tir"},
        {"a backup name longer than a name may be", std::string(252, 'n') + ".t"},
        {"a backup that may be neither replaced nor removed", "locked.tir"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string path = folder.Write(c.name, "old show\n");
        const std::string backupName = PathName(BackupName(c.name));
        if (c.name == "show.tir") {
            ASSERT_EQ(::mkdir(folder.Path(backupName).c_str(), 0755), 0);
        } else if (c.name == "locked.tir") {
            folder.Write(backupName, "older\n");
            if (!SetImmutable(folder.Path(backupName), true)) {
                std::printf("skipped: %s (no immutable files here)\n", c.what);
                continue;
            }
        }
        const Names before = folder.Names();

        ProgramDocument doc;
        doc.SetTitle("new");
        EXPECT_EQ(doc.SaveTo(path), WriteResult::Failed) << c.what;
        EXPECT_STREQ(MessageOf(WriteResult::Failed), MsgWriteFailed);
        EXPECT_TRUE(doc.Data.Modified) << c.what;
        EXPECT_EQ(folder.Read(c.name), "old show\n") << c.what;
        EXPECT_EQ(folder.Names(), before) << c.what;
        if (c.name == "locked.tir") {
            EXPECT_EQ(folder.Read(backupName), "older\n");
            SetImmutable(folder.Path(backupName), false);
        }
        EXPECT_EQ(doc.SaveTo(folder.Path("elsewhere.tir")), WriteResult::Written) << c.what;
    }
}

// A crash at each moment of a save over show.tir: the name always holds the old or the new
// content, the backup the older one or the old one; the next save removes what the crash left
// and nothing else.
TEST(Save, CrashAtAnyMomentKeepsTheOldOrTheNewContent) {
    struct Case {
        SaveStep step;
        bool replaced;      // show.tir holds the new content
        bool backupUpdated; // show.Bak holds the old show.tir
    };
    const Case cases[] = {{SaveStep::TemporaryCreated, false, false},
                          {SaveStep::TemporaryWritten, false, false},
                          {SaveStep::BackupLinked, false, false},
                          {SaveStep::BackupMade, false, true},
                          {SaveStep::Replaced, true, true}};
    for (const Case& c : cases) {
        const int at = static_cast<int>(c.step);
        TempFolder folder;
        const std::string path = folder.Write("show.tir", "old show\n");
        folder.Write("show.Bak", "older\n");
        ProgramDocument doc;
        doc.SetTitle("new");
        const std::string fresh = ProgramFileBytes(doc);

        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            CrashAt = c.step;
            SetSaveStepHook(Crash);
            doc.SaveTo(path);
            ::_exit(0); // the step was never reached
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 42) << at;
        EXPECT_EQ(folder.Read("show.tir"), c.replaced ? fresh : "old show\n") << at;
        EXPECT_EQ(folder.Read("show.Bak"), c.backupUpdated ? "old show\n" : "older\n") << at;

        // Not ours to remove: a file that a running program is writing, and a user's own.
        folder.Write(".show.tir.1-1-1.tmp", "being written by process 1\n");
        folder.Write(".show.tir.notes.tmp", "notes\n");
        doc.SetTitle("newer");
        ASSERT_EQ(doc.SaveTo(path), WriteResult::Written) << at;
        EXPECT_EQ(folder.Read("show.tir"), ProgramFileBytes(doc)) << at;
        EXPECT_EQ(folder.Read("show.Bak"), c.replaced ? fresh : "old show\n") << at;
        EXPECT_EQ(folder.Names(),
                  (Names{".show.tir.1-1-1.tmp", ".show.tir.notes.tmp", "show.Bak", "show.tir"}))
            << at;
    }
}

// A save through a symbolic link writes the file the link leads to, its backup beside it; the
// link stays a link.
TEST(Save, ThroughASymbolicLink) {
    struct Case {
        const char* link;   // in the folder
        std::string target; // the link's text
        const char* file;   // what gets the content, relative to the folder
    };
    TempFolder folder;
    ASSERT_EQ(::mkdir(folder.Path("real").c_str(), 0755), 0);
    const Case cases[] = {
        {"relative.tir", "real/show.tir", "real/show.tir"},
        {"absolute.tir", folder.Path("real/abs.tir"), "real/abs.tir"},
        {"chain.tir", "relative.tir", "real/show.tir"},
        {"dangling.tir", "real/new.tir", "real/new.tir"},
    };
    folder.Write("real/show.tir", "old show\n");
    folder.Write("real/abs.tir", "old abs\n");
    for (const Case& c : cases)
        ASSERT_EQ(::symlink(c.target.c_str(), folder.Path(c.link).c_str()), 0);

    for (const Case& c : cases) {
        const std::string before = folder.Exists(c.file) ? folder.Read(c.file) : "";
        ProgramDocument doc;
        doc.SetTitle(c.link);
        ASSERT_EQ(doc.SaveTo(folder.Path(c.link)), WriteResult::Written) << c.link;
        EXPECT_EQ(folder.Read(c.file), ProgramFileBytes(doc)) << c.link;
        if (!before.empty()) {
            EXPECT_EQ(folder.Read(BackupName(c.file)), before) << c.link;
        }
        struct stat st {};
        ASSERT_EQ(::lstat(folder.Path(c.link).c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << c.link;
        EXPECT_FALSE(folder.Exists(PathName(BackupName(c.link)))) << c.link;
    }
    EXPECT_EQ(folder.Names(),
              (Names{"absolute.tir", "chain.tir", "dangling.tir", "real", "relative.tir"}));

    // A loop of links is no file: nothing is written.
    ASSERT_EQ(::symlink("loop.tir", folder.Path("loop.tir").c_str()), 0);
    ProgramDocument loop;
    EXPECT_EQ(loop.SaveTo(folder.Path("loop.tir")), WriteResult::Failed);
}

// The new file keeps the permission bits and the group of the file it replaces.
TEST(Save, KeepsPermissionsAndGroup) {
    TempFolder folder;
    const bool root = ::geteuid() == 0;
    for (mode_t mode : {mode_t(0600), mode_t(0640), mode_t(0755), mode_t(0444)}) {
        const std::string path = folder.Write("show.tir", "old show\n");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        const gid_t group = root ? 4242 : ::getegid();
        ASSERT_EQ(::chown(path.c_str(), uid_t(-1), group), 0);
        ProgramDocument doc;
        ASSERT_EQ(doc.SaveTo(path), WriteResult::Written) << std::oct << mode;
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode) << std::oct << mode;
        EXPECT_EQ(st.st_gid, group) << std::oct << mode;
        ASSERT_EQ(::stat(folder.Path("show.Bak").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode) << "the backup keeps them too";
    }
}

// The files written beside the program (the cue track, a spreadsheet) replace an existing file
// only once complete: a full disk or a name that cannot be replaced leaves every file as it
// was, and no temporary behind.
TEST(Save, FailedCarefulWriteLeavesEveryFileAsItWas) {
    const std::string big(256 * 1024, 'x');
    struct Case {
        const char* what;
        bool fullDisk; // writes past 64 KiB fail, as on a full disk
        bool cueTrack; // through the cue track's writer, else a whole file at once
    };
    const Case cases[] = {{"cue track, disk full", true, true},
                          {"spreadsheet, disk full", true, false},
                          {"cue track over a folder", false, true},
                          {"spreadsheet over a folder", false, false}};
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string path =
            c.fullDisk ? folder.Write("out", "old content\n") : folder.Path("out");
        if (!c.fullDisk) {
            ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
        }
        const Names before = folder.Names();
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (c.fullDisk) {
                ::signal(SIGXFSZ, SIG_IGN);
                rlimit limit{64 * 1024, 64 * 1024};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            bool written;
            if (c.cueTrack) {
                written = WriteCueTrack(path, nullptr, {{1, 20.0}}, 5, CueVoice(),
                                        CueVariant::Stereo, 8000) == CueWrite::Written;
            } else {
                CarefulFile file;
                written = file.Open(path) && file.Write(big.data(), big.size()) && file.Commit();
            }
            ::_exit(written ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.what;
        EXPECT_EQ(folder.Names(), before) << c.what;
        if (c.fullDisk) {
            EXPECT_EQ(folder.Read("out"), "old content\n") << c.what;
        }
    }
}
