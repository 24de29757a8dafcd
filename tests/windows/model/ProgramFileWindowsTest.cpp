// Program files on Windows: bytes written as they are (no CR added), the backup replaced on the
// next save, and folder and file names with accents (UTF-8 in the program, UTF-16 for Windows).

#include "model/files/ProgramDocument.h"
#include "model/files/ProgramFile.h"
#include "model/music/MusicFile.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <string>

using namespace salvo;
namespace fs = std::filesystem;

namespace {

std::string Utf8(const fs::path& path) {
    auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Folder {
    fs::path Root = fs::temp_directory_path() / fs::u8path("salvodesk-fête-été");
    Folder() {
        fs::remove_all(Root);
        fs::create_directories(Root);
    }
    ~Folder() {
        std::error_code ignored;
        fs::remove_all(Root, ignored);
    }
};

} // namespace

TEST(ProgramFileOnWindows, SavedTwiceReadBackByteForByte) {
    Folder folder;
    fs::path file = folder.Root / fs::u8path("Bouquet à 3 voies.tir");
    fs::path backup = folder.Root / fs::u8path("Bouquet à 3 voies.Bak");
    const std::string path = Utf8(file);

    ProgramDocument doc;
    doc.ChooseModel(0);
    doc.SetTitle("Première");
    doc.EditDescription(1, "Crépitant");
    doc.TypeDelay(2, "1,4");
    ASSERT_EQ(WriteProgramFile(doc, path), WriteResult::Written);
    const std::string first = Bytes(file);
    EXPECT_EQ(first, ProgramFileBytes(doc));
    EXPECT_EQ(first.find('\r'), std::string::npos);
    EXPECT_NE(first.find("Premi\xE8re"), std::string::npos); // Windows-1252 on disk

    // The second save keeps the first as the backup, the third replaces that backup.
    doc.SetTitle("Deuxième");
    ASSERT_EQ(WriteProgramFile(doc, path), WriteResult::Written);
    EXPECT_EQ(Bytes(backup), first);
    const std::string second = Bytes(file);
    doc.SetTitle("Troisième");
    ASSERT_EQ(WriteProgramFile(doc, path), WriteResult::Written);
    EXPECT_EQ(Bytes(backup), second);
    EXPECT_EQ(Bytes(file), ProgramFileBytes(doc));

    ProgramDocument read;
    EXPECT_EQ(ReadProgramFile(read, path, ','), ReadResult::Read);
    EXPECT_EQ(read.Title(), "Troisième");
    EXPECT_EQ(read.Description(1), "Crépitant");
    EXPECT_EQ(read.ModelIndex(), 0);
    EXPECT_EQ(read.DelayCell(2), "1,4");

    ProgramDocument none;
    EXPECT_EQ(ReadProgramFile(none, Utf8(folder.Root / "none.tir"), ','),
              ReadResult::NotAccessible);

    // A read-only backup: replaced when the system allows it (Wine does), else the save fails;
    // either way the third version survives, as the file or as its backup.
    const std::string third = Bytes(file);
    fs::permissions(backup, fs::perms::owner_write, fs::perm_options::remove);
    doc.SetTitle("Quatrième");
    const WriteResult overReadOnly = WriteProgramFile(doc, path);
    EXPECT_EQ(Bytes(overReadOnly == WriteResult::Written ? backup : file), third);
    fs::permissions(backup, fs::perms::owner_write, fs::perm_options::add);

    // A folder of the backup's name: the save fails, the file stays as it was, and no
    // temporary file is left.
    const std::string fourth = Bytes(file);
    fs::remove(backup);
    fs::create_directory(backup);
    doc.SetTitle("Cinquième");
    EXPECT_EQ(WriteProgramFile(doc, path), WriteResult::Failed);
    EXPECT_EQ(Bytes(file), fourth);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Root), fs::directory_iterator()), 2);
}

// A music's sound path: "\\" and "/" both separate, a drive letter makes it absolute, and what
// is written relative uses "/" whichever system reads it.
TEST(MusicPaths, WindowsSeparatorsAndDrives) {
    struct Case {
        const char *sound, *program, *written, *resolved;
    } cases[] = {
        {"C:\\Son\\x.wav", "D:\\Prog\\show.tir", "C:\\Son\\x.wav", "C:\\Son\\x.wav"},
        {"C:\\Spect\\x.wav", "C:\\Spect\\show.tir", "x.wav", "C:/Spect/x.wav"},
        {"C:\\Spect\\m\\x.wav", "C:\\Spect\\p\\show.tir", "../m/x.wav", "C:/Spect/m/x.wav"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RelativeSoundPath(c.sound, c.program), c.written) << c.sound;
        EXPECT_EQ(ResolveSoundPath(c.written, c.program), c.resolved) << c.sound;
    }
}
