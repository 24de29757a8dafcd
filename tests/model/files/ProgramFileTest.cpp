#include "model/files/ProgramFile.h"
#include "TempFolder.h"
#include "model/files/ProgramDocument.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace salvo;

namespace {

const std::string W1 =
    "Une Erreur d'enregistrement s'est produite\n\rLe fichier n'a pas pu être enregistré.";
const std::string R1 =
    "Le fichier n'est pas accessible \n\n\r L'opération en cours ne sera pas effectuée";
const std::string R2 = "Les données du fichier ne sont pas valides\n\n\r La lecture du fichier "
                       "ne peut pas être effectuée";

// The example program: model 1, two automatic channels after channel 1, channel 4 manual.
std::string ExampleBytes(const char* lineEnd = "\n") {
    std::string lines[] = {"VersionFichier ; 2",    "TypeIgnivelle ; 1",
                           "TitreListeTir ; Final", "NumeroSerie ; 1234",
                           "Version ; A",           "NumVoie ; TypeVoie ; Retard ; Description",
                           "1 ; 0 ; 0 ; Ouverture", "2 ; 1 ; 0,2 ; ",
                           "3 ; 1 ; 1,4 ; ",        "4 ; 0 ; 5 ; Bouquet"};
    std::string out;
    for (const std::string& l : lines)
        out += l + lineEnd;
    for (int n = 5; n <= 15; ++n)
        out += std::to_string(n) + " ; 0 ; 0 ; " + lineEnd;
    return out;
}

void TypeExample(ProgramDocument& doc) {
    doc.ChooseModel(1);
    doc.SetTitle("Final");
    doc.SetSerialNumber("1234");
    doc.SetVersion("A");
    doc.EditDescription(1, "Ouverture");
    doc.ChooseType(2, Automatic); // moves to 0,2 after channel 1
    doc.ChooseType(3, Automatic);
    doc.TypeDelay(3, "1,4");
    doc.TypeDelay(4, "5");
    doc.EditDescription(4, "Bouquet");
}

// A header and n channel lines of format 2, model given as text.
std::string Format2(const std::string& model, int channels, const std::string& title = "T") {
    std::string out = "VersionFichier ; 2\nTypeIgnivelle ; " + model + "\nTitreListeTir ; " +
                      title +
                      "\nNumeroSerie ; 77\nVersion ; v\n"
                      "NumVoie ; TypeVoie ; Retard ; Description\n";
    for (int n = 1; n <= channels; ++n)
        out +=
            std::to_string(n) + " ; 0 ; " + std::to_string(n) + " ; d" + std::to_string(n) + "\n";
    return out;
}

struct Files : ::testing::Test {
    TempFolder Folder;

    ReadResult Read(ProgramDocument& doc, const std::string& bytes) {
        std::string path = Folder.Write("in.tir", bytes);
        return doc.Open(path);
    }
};

void ExpectNewDocumentChannels(const ProgramDocument& doc, int fromRow) {
    for (int row = fromRow; row <= SlotCount; ++row) {
        size_t k = static_cast<size_t>(row - 1);
        EXPECT_EQ(doc.TypeCells[k], "Manuel") << row;
        EXPECT_EQ(doc.DelayCells[k], "0") << row;
        EXPECT_EQ(doc.Data.Descriptions[k], "") << row;
        EXPECT_EQ(doc.Table.Slots[k].Type, Manual) << row;
        EXPECT_EQ(doc.Table.Slots[k].Steps, 0u) << row;
    }
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

TEST(ProgramFileText, Messages) {
    EXPECT_EQ(MsgWriteFailed, W1);
    EXPECT_EQ(MsgFileNotAccessible, R1);
    EXPECT_EQ(MsgInvalidFileData, R2);
    EXPECT_EQ(MessageOf(WriteResult::Failed), W1);
    EXPECT_EQ(MessageOf(WriteResult::Written), nullptr);
    EXPECT_EQ(MessageOf(ReadResult::NotAccessible), R1);
    EXPECT_EQ(MessageOf(ReadResult::InvalidData), R2);
    EXPECT_EQ(MessageOf(ReadResult::Read), nullptr);
}

TEST_F(Files, ExampleIsWrittenByteForByteAndReadBack) {
    ProgramDocument doc;
    TypeExample(doc);
    ASSERT_TRUE(doc.Warnings.empty());
    std::string path = Folder.Path("final.tir");
    EXPECT_EQ(doc.SaveTo(path), WriteResult::Written);
    EXPECT_EQ(Folder.Read("final.tir"), ExampleBytes());
    EXPECT_EQ(doc.DocumentTitle, "final");
    EXPECT_FALSE(doc.Data.Modified);
    EXPECT_EQ(Folder.Names(), std::vector<std::string>{"final.tir"});

    ProgramDocument back;
    EXPECT_EQ(back.Open(path), ReadResult::Read);
    EXPECT_TRUE(back.Warnings.empty());
    EXPECT_FALSE(back.Data.Modified);
    EXPECT_EQ(back.SelectedModel, 1);
    EXPECT_EQ(back.RowCount, 16);
    EXPECT_EQ(back.Data.Title, "Final");
    EXPECT_EQ(back.Data.SerialNumber, "1234");
    EXPECT_EQ(back.Data.Version, "A");
    for (int k = 0; k < SlotCount; ++k) {
        EXPECT_EQ(back.Table.Slots[k].Type, doc.Table.Slots[k].Type) << k;
        EXPECT_EQ(back.Table.Slots[k].Steps, doc.Table.Slots[k].Steps) << k;
        EXPECT_EQ(back.DelayCells[k], doc.DelayCells[k]) << k;
        EXPECT_EQ(back.TypeCells[k], doc.TypeCells[k]) << k;
        EXPECT_EQ(back.Data.Descriptions[k], doc.Data.Descriptions[k]) << k;
    }
    EXPECT_EQ(back.TypeCells[2], "Automatique");
    EXPECT_EQ(back.DelayCells[2], "1,4");

    // Saving what was read gives the same bytes again.
    EXPECT_EQ(back.SaveTo(Folder.Path("again.tir")), WriteResult::Written);
    EXPECT_EQ(Folder.Read("again.tir"), ExampleBytes());
}

TEST_F(Files, TextsComeBackWholeInWindows1252) {
    ProgramDocument doc;
    doc.SetTitle("Acte 1 ; final;bis");
    doc.SetVersion("  v2 été  ");
    doc.EditDescription(1, "gauche ; droite;centre");
    doc.EditDescription(2, "Bouquet 20 € «or»");
    doc.EditDescription(3, "deux\nlignes\r");
    ASSERT_EQ(doc.SaveTo(Folder.Path("t.tir")), WriteResult::Written);
    std::string bytes = Folder.Read("t.tir");
    EXPECT_NE(bytes.find("Bouquet 20 \x80 \xABor\xBB\n"), std::string::npos);
    EXPECT_NE(bytes.find("\nVersion ;   v2 \xE9t\xE9  \n"), std::string::npos);
    EXPECT_EQ(bytes.find('\r'), std::string::npos);

    ProgramDocument back;
    ASSERT_EQ(back.Open(Folder.Path("t.tir")), ReadResult::Read);
    EXPECT_EQ(back.Data.Title, "Acte 1 ; final;bis");
    EXPECT_EQ(back.Data.Version, "v2 été"); // blanks at the ends are lost
    EXPECT_EQ(back.Data.Descriptions[0], "gauche ; droite;centre");
    EXPECT_EQ(back.Data.Descriptions[1], "Bouquet 20 € «or»");
    // A line break inside a text is written as a blank, so the file stays readable.
    EXPECT_EQ(back.Data.Descriptions[2], "deux lignes");
}

TEST_F(Files, CarriageReturnsReadLikeLineFeeds) {
    ProgramDocument lf, crlf;
    ASSERT_EQ(Read(lf, ExampleBytes("\n")), ReadResult::Read);
    ASSERT_EQ(Read(crlf, ExampleBytes("\r\n")), ReadResult::Read);
    EXPECT_EQ(ProgramFileBytes(crlf), ProgramFileBytes(lf));
    EXPECT_EQ(ProgramFileBytes(crlf), ExampleBytes());
}

TEST_F(Files, ModelLine) {
    const std::pair<const char*, int> good[] = {{"0", 0}, {"1", 1},  {"2", 2},
                                                {"7", 2}, {"-1", 2}, {" +1 \t", 1}};
    for (auto [text, model] : good) {
        ProgramDocument doc;
        EXPECT_EQ(Read(doc, Format2(text, 0)), ReadResult::Read) << text;
        EXPECT_EQ(doc.SelectedModel, model) << text;
        EXPECT_EQ(doc.Table.Model, model) << text;
        EXPECT_EQ(doc.RowCount, ChannelCountByModel[model] + 1) << text;
        EXPECT_EQ(doc.Data.Title, "T") << text;
    }
    for (const char* text : {"x", "1.0", "", "99999999999", "1 2"}) {
        ProgramDocument doc;
        doc.ChooseModel(0);
        EXPECT_EQ(Read(doc, Format2(text, 0)), ReadResult::InvalidData) << text;
        EXPECT_EQ(doc.Data.Title, "") << text; // stopped before the title
        EXPECT_FALSE(doc.Data.Modified);
    }
}

TEST_F(Files, ChannelOneStaysManual) {
    std::string bytes = Format2("2", 0) + "1 ; 1 ; 3 ; first\n2 ; 1 ; 4 ; second\n";
    ProgramDocument doc;
    ASSERT_EQ(Read(doc, bytes), ReadResult::Read);
    EXPECT_EQ(doc.TypeCells[0], "Manuel");
    EXPECT_EQ(doc.Table.Slots[0].Type, Manual);
    EXPECT_EQ(doc.DelayCells[0], "3");
    EXPECT_EQ(doc.TypeCells[1], "Automatique");
    EXPECT_EQ(doc.Table.Slots[1].Steps, 5u);
}

TEST_F(Files, InvalidLinesStopTheReading) {
    const std::string head = Format2("2", 2);
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"type 2", head + "3 ; 2 ; 1 ; x\n"},
        {"type text", head + "3 ; a ; 1 ; x\n"},
        {"type empty", head + "3 ;  ; 1 ; x\n"},
        {"delay abc", head + "3 ; 0 ; abc ; x\n"},
        {"delay empty", head + "3 ; 0 ;  ; x\n"},
        {"delay two separators", head + "3 ; 0 ; 1,2,3 ; x\n"},
        {"wrong channel number", head + "4 ; 0 ; 1 ; x\n"},
        {"no fields", head + "3\n"},
        {"wrong heading", "VersionFichier ; 2\nTypeIgnivelle ; 2\nTitreListeTir ; T\n"
                          "NumeroSerie ; 77\nVersion ; v\nNumVoie ; Type ; Retard ; Description\n"},
        {"title key case", "VersionFichier ; 2\nTypeIgnivelle ; 2\ntitrelistetir ; T\n"},
        {"title key without semicolon", "VersionFichier ; 2\nTypeIgnivelle ; 2\nTitreListeTir\n"},
        {"format 2 model key missing", "VersionFichier ; 2\nTitreListeTir ; T\n"},
        {"first line without key", "hello\n"},
    };
    for (const Case& c : cases) {
        ProgramDocument doc;
        EXPECT_EQ(Read(doc, c.bytes), ReadResult::InvalidData) << c.name;
        EXPECT_FALSE(doc.Data.Modified) << c.name;
    }
    // What came before the bad line stays applied.
    ProgramDocument doc;
    ASSERT_EQ(Read(doc, head + "3 ; 1 ; abc ; x\n"), ReadResult::InvalidData);
    EXPECT_EQ(doc.Data.Title, "T");
    EXPECT_EQ(doc.DelayCells[1], "2");
    EXPECT_EQ(doc.Data.Descriptions[1], "d2");
    EXPECT_EQ(doc.TypeCells[2], "Automatique"); // the type of the bad line came first
    EXPECT_EQ(doc.Data.Descriptions[2], "");
}

TEST_F(Files, ShortAndLongFiles) {
    ProgramDocument fifteen;
    ASSERT_EQ(Read(fifteen, Format2("2", 15)), ReadResult::Read);
    EXPECT_EQ(fifteen.DelayCells[14], "15");
    EXPECT_EQ(fifteen.Data.Descriptions[14], "d15");
    ExpectNewDocumentChannels(fifteen, 16);

    for (const std::string& bytes : {std::string(), std::string("VersionFichier ; 2"),
                                     std::string("VersionFichier ; 2\r\n")}) {
        ProgramDocument doc;
        EXPECT_EQ(Read(doc, bytes), ReadResult::Read) << bytes;
        EXPECT_EQ(doc.SelectedModel, 2);
        EXPECT_EQ(doc.Data.Title, "");
        EXPECT_EQ(doc.DocumentTitle, "in");
        ExpectNewDocumentChannels(doc, 1);
    }

    // A last line without a line feed is a line all the same.
    std::string unterminated = Format2("2", 30);
    unterminated.pop_back();
    for (const char* end : {"", "\r"}) {
        ProgramDocument doc;
        ASSERT_EQ(Read(doc, unterminated + end), ReadResult::Read);
        EXPECT_EQ(doc.DelayCells[29], "30");
        EXPECT_EQ(doc.Data.Descriptions[29], "d30");
    }
    ProgramDocument model;
    ASSERT_EQ(Read(model, "VersionFichier ; 2\r\nTypeIgnivelle ; 0"), ReadResult::Read);
    EXPECT_EQ(model.SelectedModel, 0);

    ProgramDocument extra;
    ASSERT_EQ(Read(extra, Format2("0", 15) + "16 ; 2 ; junk\n\xff\xfe garbage\n"),
              ReadResult::Read);
    EXPECT_EQ(extra.DelayCells[14], "15");
    EXPECT_EQ(extra.Data.Descriptions[15], "");
}

TEST_F(Files, KeysMatchAsSubstrings) {
    std::string bytes = "  Version Fichier  ; whatever it says\n"
                        "x TypeIgnivelle y ; 0\n"
                        "[TitreListeTir] ; Titre ; avec ; points-virgules\n"
                        "NumeroSerie:;12\n"
                        "Version;\n"
                        "NumVoie;TypeVoie;Retard;Description\n"
                        "01 ; 0 ; 2 ; a\n"
                        "n2 ; 1;3;b;c\n";
    ProgramDocument doc;
    ASSERT_EQ(Read(doc, bytes), ReadResult::Read);
    EXPECT_EQ(doc.SelectedModel, 0);
    EXPECT_EQ(doc.Data.Title, "Titre ; avec ; points-virgules");
    EXPECT_EQ(doc.Data.SerialNumber, "12");
    EXPECT_EQ(doc.Data.Version, "");
    EXPECT_EQ(doc.DelayCells[1], "3");
    EXPECT_EQ(doc.Data.Descriptions[1], "b;c");
}

TEST_F(Files, Format1WithAccentedKeys) {
    ProgramDocument doc;
    ASSERT_EQ(doc.Open(std::string(SALVODESK_TEST_DATA) + "/format1.tir"), ReadResult::Read);
    EXPECT_EQ(doc.SelectedModel, 0);
    EXPECT_EQ(doc.RowCount, 16);
    EXPECT_EQ(doc.DocumentTitle, "format1");
    EXPECT_EQ(doc.Data.Title, "Spectacle d'été");
    EXPECT_EQ(doc.Data.SerialNumber, "4567");
    EXPECT_EQ(doc.Data.Version, "B2");
    EXPECT_EQ(doc.TypeCells[1], "Automatique");
    EXPECT_EQ(doc.DelayCells[1], "1,6");
    EXPECT_EQ(doc.DelayCells[2], "2,4");
    EXPECT_EQ(doc.DelayCells[3], "10");
    EXPECT_EQ(doc.Data.Descriptions[1], "Fontaine dorée");
    EXPECT_TRUE(doc.Warnings.empty());

    // The same keys in UTF-8 are not the file's keys.
    ProgramDocument utf8;
    EXPECT_EQ(Read(utf8, "Titre : ; x\nNuméro de série : ; 1\n"), ReadResult::InvalidData);
}

TEST_F(Files, DelaysFollowTheReadersSeparator) {
    std::string comma = ExampleBytes();
    ProgramDocument point('.');
    EXPECT_EQ(Read(point, comma), ReadResult::InvalidData); // "0,2" is not a number here
    EXPECT_EQ(point.Data.Title, "Final");

    std::string whole = Format2("1", 15); // whole seconds read the same everywhere
    ProgramDocument wholePoint('.');
    EXPECT_EQ(Read(wholePoint, whole), ReadResult::Read);
    EXPECT_EQ(wholePoint.DelayCells[14], "15");
}

TEST_F(Files, WarningsWhileReadingDoNotInvalidate) {
    std::string bytes = Format2("2", 0) + "1 ; 0 ; 7000 ; a\n2 ; 1 ; 1 ; b\n";
    ProgramDocument doc;
    ASSERT_EQ(Read(doc, bytes), ReadResult::Read);
    ASSERT_EQ(doc.Warnings.size(), 1u);
    EXPECT_EQ(doc.Warnings[0].rfind("Le temps de 7000 secondes", 0), 0u);
    EXPECT_EQ(doc.DelayCells[0], "0");
    EXPECT_EQ(doc.DelayCells[1], "1");
}

TEST_F(Files, SavingKeepsThePreviousFileAsBackup) {
    Folder.Write("show.tir", "old show\n");
    Folder.Write("show.Bak", "older backup\n");
    ProgramDocument doc;
    doc.SetTitle("new");
    ASSERT_EQ(doc.SaveTo(Folder.Path("show.tir")), WriteResult::Written);
    EXPECT_EQ(Folder.Read("show.Bak"), "old show\n");
    EXPECT_EQ(Folder.Read("show.tir"), ProgramFileBytes(doc));
    EXPECT_EQ(doc.DocumentTitle, "show");
    EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"show.Bak", "show.tir"}));

    // A file that is its own backup is written anew, with no backup.
    ProgramDocument bak;
    bak.SetTitle("from bak");
    ASSERT_EQ(bak.SaveTo(Folder.Path("show.Bak")), WriteResult::Written);
    EXPECT_EQ(Folder.Read("show.Bak"), ProgramFileBytes(bak));
    EXPECT_EQ(Folder.Read("show.tir"), ProgramFileBytes(doc));
    EXPECT_EQ(bak.DocumentTitle, "show");
    EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"show.Bak", "show.tir"}));

    // A first save makes no backup.
    ProgramDocument fresh;
    ASSERT_EQ(fresh.SaveTo(Folder.Path("first.tir")), WriteResult::Written);
    EXPECT_FALSE(Folder.Exists("first.Bak"));

    // A name near the longest a folder takes still saves.
    std::string longName = std::string(240, 'n') + ".tir";
    ProgramDocument longDoc;
    EXPECT_EQ(longDoc.SaveTo(Folder.Path(longName)), WriteResult::Written);
    EXPECT_EQ(longDoc.SaveTo(Folder.Path(longName)), WriteResult::Written);
    EXPECT_TRUE(Folder.Exists(std::string(240, 'n') + ".Bak"));

    // No file name: nothing happens.
    ProgramDocument unbound;
    unbound.SetTitle("x");
    EXPECT_EQ(unbound.Save(), WriteResult::NoFileName);
    EXPECT_TRUE(unbound.Data.Modified);
}

// Failures that also stop root: a folder that is a regular file, targets that are not
// regular files, and a file size limit that makes the write itself fail part way.
TEST_F(Files, FailedWritesLoseNothing) {
    Folder.Write("plain", "not a folder\n");
    ASSERT_EQ(::mkdir(Folder.Path("dir.tir").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo(Folder.Path("pipe.tir").c_str(), 0644), 0);
    for (const std::string& path : {Folder.Path("plain/show.tir"), Folder.Path("dir.tir"),
                                    Folder.Path("pipe.tir"), std::string("/dev/full")}) {
        ProgramDocument doc;
        doc.SetTitle("x");
        EXPECT_EQ(doc.SaveTo(path), WriteResult::Failed) << path;
        EXPECT_EQ(doc.Data.FileName, "") << path;
        EXPECT_TRUE(doc.Data.Modified) << path;
        EXPECT_EQ(doc.DocumentTitle, "") << path;
    }
    struct stat st {};
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(::access("/dev/full.Bak", F_OK), -1);
    EXPECT_EQ(Folder.Read("plain"), "not a folder\n");
    EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"dir.tir", "pipe.tir", "plain"}));
}

TEST_F(Files, WriteCutShortKeepsTheOldFiles) {
    const std::string oldShow(300, 's'), oldBak(300, 'b');
    Folder.Write("show.tir", oldShow);
    Folder.Write("show.Bak", oldBak);

    // Writes past 100 bytes fail with EFBIG, for root too.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

    ProgramDocument doc;
    doc.SetTitle("new");
    WriteResult show = doc.SaveTo(Folder.Path("show.tir"));
    bool showFileName = doc.Data.FileName.empty();
    ProgramDocument bak;
    WriteResult bakResult = bak.SaveTo(Folder.Path("show.Bak"));

    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_EQ(show, WriteResult::Failed);
    EXPECT_TRUE(showFileName);
    EXPECT_TRUE(doc.Data.Modified);
    EXPECT_EQ(bakResult, WriteResult::Failed);
    EXPECT_EQ(Folder.Read("show.tir"), oldShow);
    EXPECT_EQ(Folder.Read("show.Bak"), oldBak);
    EXPECT_EQ(Folder.Names(), (std::vector<std::string>{"show.Bak", "show.tir"}));
}

TEST_F(Files, WhatCannotBeOpenedIsNotAccessible) {
    ASSERT_EQ(::mkdir(Folder.Path("dir.tir").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo(Folder.Path("pipe.tir").c_str(), 0644), 0);
    auto start = std::chrono::steady_clock::now();
    for (const std::string& path : {Folder.Path("missing.tir"), Folder.Path("dir.tir"),
                                    Folder.Path("pipe.tir"), std::string("/dev/zero")}) {
        ProgramDocument doc;
        doc.SetTitle("x");
        EXPECT_EQ(doc.Open(path), ReadResult::NotAccessible) << path;
        EXPECT_FALSE(doc.Data.Modified);
        EXPECT_EQ(doc.Data.Title, "x");
    }
    EXPECT_LT(Seconds(start), 1.0);
}

TEST_F(Files, HugeOrBinaryFilesReadInBoundedTime) {
    constexpr off_t huge = off_t(8) << 30; // sparse: costs no disk
    struct Case {
        const char* name;
        std::string head;
        ReadResult expected;
    };
    const Case cases[] = {
        {"no line feed at all", "", ReadResult::InvalidData},
        {"a program, then a huge tail", ExampleBytes(), ReadResult::Read},
        {"a huge first line", "VersionFichier ; 2\nTypeIgnivelle ; 1\nTitreListeTir ; ",
         ReadResult::InvalidData},
    };
    for (const Case& c : cases) {
        std::string path = Folder.Write("huge.tir", c.head);
        ASSERT_EQ(::truncate(path.c_str(), huge), 0);
        ProgramDocument doc;
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(doc.Open(path), c.expected) << c.name;
        EXPECT_LT(Seconds(start), 1.0) << c.name;
    }

    // A line just under the limit is still a line; one just over it is not.
    std::string title(MaxLineBytes - 20, 'a');
    ProgramDocument longTitle;
    EXPECT_EQ(Read(longTitle, Format2("2", 1, title)), ReadResult::Read);
    EXPECT_EQ(longTitle.Data.Title.size(), title.size());
    ProgramDocument tooLong;
    EXPECT_EQ(Read(tooLong, Format2("2", 1, title + std::string(40, 'b'))),
              ReadResult::InvalidData);

    std::mt19937 random(20240611);
    for (int round = 0; round < 20; ++round) {
        std::string bytes(4096 + round * 997, '\0');
        for (char& b : bytes)
            b = static_cast<char>(random());
        if (round % 2)
            bytes = "VersionFichier ; 2\nTypeIgnivelle ; 2\n" + bytes;
        ProgramDocument doc;
        ReadResult r = Read(doc, bytes);
        EXPECT_TRUE(r == ReadResult::Read || r == ReadResult::InvalidData);
    }
}
