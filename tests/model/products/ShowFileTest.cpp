// The products and declaration kept in the show's companion file, old music files read as
// before, and the catalogue as a spreadsheet.

#include "model/products/ShowFile.h"
#include "TempFolder.h"
#include "model/products/Catalogue.h"

#include <gtest/gtest.h>

using namespace salvo;

namespace {

Product Shell() {
    Product p;
    p.Name = "Bombe ; 105 \\ « rouge »\nligne 2\r";
    p.Maker = "Lumière SA";
    p.Class = Category::F4;
    p.Reference = "0589-F4-1234";
    p.CalibreMm = 105;
    p.MassGrams = 620;
    p.DurationMs = 4500;
    p.LiftMs = 3215;
    p.SafetyDistanceCm = 14050;
    p.Effect = " pivoine ";
    return p;
}

Product Cake() {
    Product p;
    p.Name = "Compact 100 coups";
    p.Class = Category::F3;
    return p; // every figure unknown
}

} // namespace

TEST(ShowFile, ProductsAndDeclarationBesideTheMusic) {
    TempFolder folder;
    const std::string program = folder.Path("show.tir");
    ShowData show;
    show.Music.SoundPath = folder.Path("finale.wav");
    show.Music.Markers = {{3.5, "Refrain ; fort"}};
    show.Channels[1] = {Cake(), 1};
    show.Channels[4] = {Shell(), 2};
    show.Channels[30] = {Cake(), 12};
    show.Declaration.Place = "Plage ; nord";
    show.Declaration.DateTime = "14/07/2027 22:30";
    show.Declaration.Shooter = "Jeanne\nMartin";
    show.Declaration.CertificateLevel = 2;

    const std::string bytes = ShowFileBytes(show, program);
    EXPECT_EQ(bytes, "SalvodeskMusique ; 2\n"
                     "Son ; finale.wav\n"
                     "Repère ; 3.5 ; Refrain ; fort\n"
                     "Produit ; 1 ; F3 ; Compact 100 coups ;  ;  ;  ;  ;  ;  ;  ; \n"
                     "Produit ; 2 ; F4 ; Bombe \\; 105 \\\\ « rouge »\\nligne 2\\r ; Lumière SA ; "
                     "0589-F4-1234 ; 105 ; 620 ; 4.5 ; 3.215 ; 140.5 ;  pivoine \n"
                     "Voie ; 1 ; 1 ; 1\n"
                     "Voie ; 4 ; 2 ; 2\n"
                     "Voie ; 30 ; 1 ; 12\n"
                     "Lieu ; Plage \\; nord\n"
                     "Date ; 14/07/2027 22:30\n"
                     "Responsable ; Jeanne\\nMartin\n"
                     "Niveau ; 2\n");
    ASSERT_EQ(WriteShowFile(show, program), MusicWrite::Written);
    EXPECT_EQ(folder.Read("show.musique"), bytes);
    ShowData back;
    ASSERT_EQ(ReadShowFile(program, back).Status, MusicRead::Read);
    EXPECT_EQ(back.Channels, show.Channels);
    EXPECT_EQ(back.Declaration, show.Declaration);
    EXPECT_EQ(back.Music.SoundPath, show.Music.SoundPath);
    EXPECT_EQ(ShowFileBytes(back, program), bytes);

    // Music alone writes the bytes it always did, and every music file reads as before.
    ShowData musicOnly;
    musicOnly.Music = show.Music;
    musicOnly.Music.Starts = {{11, 62.4}};
    musicOnly.Music.TapLag = 0.085;
    const std::string old = MusicFileBytes(musicOnly.Music, program);
    EXPECT_EQ(ShowFileBytes(musicOnly, program), old);
    ASSERT_EQ(WriteShowFile(musicOnly, program), MusicWrite::Written);
    EXPECT_EQ(folder.Read("show.musique"), old);
    EXPECT_EQ(folder.Read("show.musique.Bak"), bytes);
    ASSERT_EQ(ParseShowFile("\xEF\xBB\xBF" + old, program, back).Status, MusicRead::Read);
    EXPECT_TRUE(back.Channels.empty() && back.Declaration.Empty());
    EXPECT_EQ(MusicFileBytes(back.Music, program), old);
    EXPECT_EQ(WriteShowFile(ShowData(), program), MusicWrite::Removed);

    // A reader of music alone stops at the header of a file that holds more.
    MusicData music;
    EXPECT_EQ(ParseMusicFile(bytes, program, music).Line, 1);
}

TEST(ShowFile, FaultyLinesAreNamed) {
    const std::string head =
        "SalvodeskMusique ; 2\nProduit ; 1 ; F2 ; a ; b ; c ; 30 ; 10 ; 1 ; 1 ; 8 ; e\n";
    const struct {
        const char* line;
    } cases[] = {
        {"Produit ; 3 ; F2 ; a ; b ; c ; 30 ; 10 ; 1 ; 1 ; 8 ; e"}, // not the next number
        {"Produit ; 2 ; F5 ; a ; b ; c ; 30 ; 10 ; 1 ; 1 ; 8 ; e"},
        {"Produit ; 2 ; F2 ; a ; b ; c ; 30 ; -10 ; 1 ; 1 ; 8 ; e"},
        {"Produit ; 2 ; F2 ; a ; b ; c ; 30 ; 10 ; 1.0001 ; 1 ; 8 ; e"},
        {"Produit ; 2 ; F2 ; a\\x ; b ; c ; 30 ; 10 ; 1 ; 1 ; 8 ; e"},
        {"Produit ; 2 ; F2 ; a ; b ; c ; 30 ; 10 ; 1 ; 1 ; 8"},
        {"Voie ; 3 ; 2 ; 1"}, // no product 2
        {"Voie ; 31 ; 1 ; 1"},
        {"Voie ; 3 ; 1 ; 0"},
        {"Niveau ; 3"},
        {"Lieu ; "},
        {"Inconnu ; 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        ShowData show;
        show.Declaration.Place = "kept from before";
        const MusicReadResult r =
            ParseShowFile(head + "Voie ; 2 ; 1 ; 1\n" + c.line + "\nVoie ; 5 ; 1 ; 1\n", "", show);
        EXPECT_EQ(r.Status, MusicRead::Invalid);
        EXPECT_EQ(r.Line, 4);
        EXPECT_TRUE(show.Channels.empty() && show.Declaration.Empty());
    }
}

TEST(Catalogue, RoundTripAndRefusedCells) {
    const std::vector<Product> products{Shell(), Cake()};
    const std::string bytes = CatalogueBytes(products);
    EXPECT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_EQ(bytes.substr(3, bytes.find("\r\n") + 2 - 3), std::string(CatalogueHeadings) + "\r\n");
    EXPECT_NE(bytes.find(";105;620;4,5;3,215;140,5; pivoine \r\n"), std::string::npos);
    const CatalogueRead back = ReadCatalogue(bytes);
    EXPECT_TRUE(back.Refused.empty());
    EXPECT_EQ(back.Products, products);
    EXPECT_EQ(CatalogueBytes(back.Products), bytes);

    // Each bad cell is named and only its row is left out.
    const std::string sheet = std::string(CatalogueHeadings) +
                              "\r\n"
                              "Bon 1;;F2;;;100;;;;\r\n"
                              "Négatif;;F2;;;-5;;;;\r\n"
                              "Hors liste;;F5;;;10;;;;\r\n"
                              "Sans catégorie;;;;;10;;;;\r\n"
                              "Pas un nombre;;F3;;trente;10;;;;\r\n"
                              "Trop fin;;F3;;;10;1,0005;;;\r\n"
                              "Pas entier;;F3;;;10,5;;;;\r\n"
                              "Bon 2;;t1;;;;;;12,5;\r\n";
    const CatalogueRead read = ReadCatalogue(sheet);
    ASSERT_EQ(read.Products.size(), 2u);
    EXPECT_EQ(read.Products[0].MassGrams, 100);
    EXPECT_EQ(read.Products[1].Class, Category::T1);
    EXPECT_EQ(read.Products[1].MassGrams, std::nullopt);
    EXPECT_EQ(read.Products[1].SafetyDistanceCm, 1250);
    EXPECT_EQ(read.Refused,
              (std::vector<std::string>{
                  "Ligne 3, colonne Masse active (g) : « -5 » est négatif",
                  "Ligne 4, colonne Catégorie : « F5 » n'est pas une catégorie (F1, F2, F3, F4, "
                  "T1 ou T2)",
                  "Ligne 5, colonne Catégorie : la cellule est vide",
                  "Ligne 6, colonne Calibre (mm) : « trente » n'est pas un nombre",
                  "Ligne 7, colonne Durée (s) : « 1,0005 » a trop de décimales",
                  "Ligne 8, colonne Masse active (g) : « 10,5 » n'est pas un nombre entier"}));
}
