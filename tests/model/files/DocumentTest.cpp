#include "model/program/Document.h"
#include "model/io/Windows1252.h"

#include <gtest/gtest.h>

using namespace salvo;

TEST(Document, TitlesAndPathRules) {
    EXPECT_EQ(NewDocumentTitle(0), "NONAME1");
    EXPECT_EQ(NewDocumentTitle(2), "NONAME3");
    EXPECT_EQ(PathName("C:\\Spectacles\\final.tir"), "final.tir");
    EXPECT_EQ(PathName("/home/jo/show.tir"), "show.tir");
    EXPECT_EQ(PathName("plain"), "plain");
    EXPECT_EQ(BaseName("/home/jo/show.tir"), "show");
    EXPECT_EQ(BaseName("/home/jo/plan.txt.tir"), "plan.txt");
    EXPECT_EQ(BaseName("/home/jo.d/noext"), "");
    DocumentData d;
    EXPECT_FALSE(d.HasFileName());
    d.FileName = "/x.tir";
    EXPECT_TRUE(d.HasFileName());
}

TEST(Document, SerialNumberReadsAsUnsigned32) {
    const std::pair<const char*, uint32_t> cases[] = {{"", 0},
                                                      {"1234", 1234},
                                                      {"3000000000", 3000000000u},
                                                      {"4294967295", 4294967295u},
                                                      {"4294967296", 0},
                                                      {"99999999999", 0},
                                                      {"12a", 0},
                                                      {"-5", 0},
                                                      {" 77 ", 77}};
    for (auto [text, value] : cases)
        EXPECT_EQ(SerialNumberValue(text), value) << text;
}

TEST(Windows1252, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    std::string utf8 = Windows1252ToUtf8(all);
    EXPECT_EQ(Utf8ToWindows1252(utf8), all);
}

TEST(Windows1252, AccentsAndSymbols) {
    EXPECT_EQ(Windows1252ToUtf8("Num\xE9ro de s\xE9rie :"), "Numéro de série :");
    EXPECT_EQ(Windows1252ToUtf8("N\xB0 \x80 \x9C"), "N° € œ");
    EXPECT_EQ(Windows1252ToUtf8("\x81"), "\xC2\x81");
    EXPECT_EQ(Utf8ToWindows1252("voie n°3 à €"), "voie n\xB0"
                                                 "3 \xE0 \x80");
    // What the code page cannot hold becomes '?', and so does broken UTF-8.
    EXPECT_EQ(Utf8ToWindows1252("日本"), "??");
    EXPECT_EQ(Utf8ToWindows1252("a\xC3"), "a?");
    EXPECT_EQ(Utf8ToWindows1252("\xF0\x9F\x8E\x86!"), "?!");
}
