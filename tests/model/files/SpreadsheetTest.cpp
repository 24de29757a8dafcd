#include "model/files/Spreadsheet.h"

#include "SpreadsheetSamples.h"
#include "model/files/ProgramDocument.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>

using namespace salvo;

namespace {

// "1 Manuel 0 Ouverture|2 Automatique 0,4 |..." for the channels in use.
std::string Summary(ProgramDocument& doc) {
    std::string out = std::to_string(doc.SelectedModel) + " " + doc.Data.Title + " " +
                      doc.Data.SerialNumber + " " + doc.Data.Version;
    for (int n = 1; n <= doc.ChannelCount(); ++n)
        out += "|" + std::to_string(n) + " " + doc.TypeCells[size_t(n - 1)] + " " +
               doc.DelayCells[size_t(n - 1)] + " " + doc.Data.Descriptions[size_t(n - 1)];
    return out;
}

// The first channels of a summary.
std::string Head(const std::string& summary, int channels) {
    size_t at = 0;
    for (int k = 0; k <= channels && at != std::string::npos; ++k)
        at = summary.find('|', at + 1);
    return summary.substr(0, at);
}

struct Imported {
    ImportPlan Plan;
    ImportOutcome Outcome;
};

Imported Import(const std::string& bytes, ProgramDocument& doc, int frameRate = DefaultFrameRate) {
    SheetOptions options = GuessSheetOptions(bytes);
    SheetTable table = ReadSheet(bytes, options);
    Imported result{PlanImport(table, GuessColumns(table), options.DecimalSeparator, frameRate),
                    {}};
    if (result.Plan.Refused.empty())
        result.Outcome = ImportInto(result.Plan, doc);
    return result;
}

} // namespace

TEST(Spreadsheet, ExportIsWhatFrenchSpreadsheetsOpenWithoutAQuestion) {
    ProgramDocument doc;
    MakeSampleProgram(doc);
    std::string expected = "\xEF\xBB\xBF"
                           "Titre;\"Feu; 14 juillet\"\r\n"
                           "Numéro de série;1234\r\n"
                           "Version;v2\r\n"
                           "Modèle;Ignivelle V30\r\n"
                           "\r\n"
                           "Voie;Type;Retard (s);Heure (s);Description\r\n"
                           "1;Manuel;0;0;Ouverture\r\n"
                           "2;Automatique;0,4;0,4;\"Bouquet; rouge\"\r\n"
                           "3;Automatique;1;1,4;\"Le \"\"grand\"\" final\"\r\n"
                           "4;Manuel;12,4;12,4;\"Ligne 1\nLigne 2\"\r\n"
                           "5;Manuel;5;5;Décor\r\n"
                           "6;Automatique;1,2;6,2;\r\n";
    for (int n = 7; n <= 29; ++n)
        expected += std::to_string(n) + ";Automatique;1;" + std::to_string(n) + ",2;\r\n";
    expected += "30;Manuel;6553,4;6553,4;Fin\r\n";
    EXPECT_EQ(SpreadsheetBytes(doc, doc.Table, doc.Data.ShownTimes, ','), expected);
}

TEST(Spreadsheet, ImportsOwnExportPlainTablesAndOtherEncodings) {
    ProgramDocument sample, commas;
    MakeSampleProgram(sample);
    MakeSampleProgram(commas);
    commas.EditDescription(2, "Voie, Type, Heure, a, b, c, d, e, f, g, h, i, j, k, l, m, n, o, p, "
                              "q, r, s, t, u, v, w, x, y, z");
    struct Case {
        const char* Name;
        std::string Bytes;
        std::string Expected; // the first channels' summary
    };
    const Case cases[] = {
        {"own export", SpreadsheetBytes(sample, sample.Table, sample.Data.ShownTimes, ','),
         Head(Summary(sample), 6)},
        {"own export, a description full of commas",
         SpreadsheetBytes(commas, commas.Table, commas.Data.ShownTimes, ','),
         Head(Summary(commas), 6)},
        {"commas and decimal points",
         "Voie,Type,Heure,Produit\r\n1,Manuel,0,Ouverture\n2,Automatique,1.45,\"Bouquet, or\"\n"
         "3,Manuel,12.34,Final\n",
         "2   |1 Manuel 0 Ouverture|2 Automatique 1,4 Bouquet, or|3 Manuel 12,4 Final"},
        {"Windows-1252, channels out of order",
         "Voie;Type;Heure;D\xE9signation\r\n2;Automatique;2,35;Com\xE8te\r\n1;Manuel;0;Bouquet "
         "dor\xE9\r\n",
         "2   |1 Manuel 0 Bouquet doré|2 Automatique 2,4 Comète"},
        {"one column of decimal commas", "Heure\n1,45\n2,35\n",
         "2   |1 Manuel 1,4 |2 Automatique 2,4 "},
        {"a plain table whose first heading is Titre", "Titre;Heure\nBouquet;3\n",
         "2   |1 Manuel 3 "},
        {"tabs, own delays added up before rounding",
         "Retard\tProduit\n0,33\tA\n0,33\tB\n0,33\tC\n0,33\tD\n",
         "2   |1 Manuel 0,4 A|2 Automatique 0,6 B|3 Automatique 1 C|4 Automatique 1,4 D"},
    };
    for (const Case& c : cases) {
        ProgramDocument doc;
        Imported result = Import(c.Bytes, doc);
        EXPECT_TRUE(result.Plan.Refused.empty()) << c.Name << ": " << result.Plan.Refused.front();
        std::string head =
            Head(Summary(doc), std::count(c.Expected.begin(), c.Expected.end(), '|'));
        EXPECT_EQ(head, c.Expected) << c.Name;
        EXPECT_TRUE(result.Outcome.Corrections.empty()) << c.Name;
    }
}

TEST(Spreadsheet, TimedScriptKeepsEveryChannelWithinHalfAStep) {
    // 30 absolute times with intervals that per-delay rounding would push the same way.
    const double intervals[] = {1.13, 0.73, 2.53, 0.91};
    std::vector<double> times{2.0};
    std::string csv = "Heure;Produit\r\n2;P1\r\n";
    for (int k = 1; k < 30; ++k) {
        times.push_back(std::round((times.back() + intervals[k % 4]) * 100) / 100);
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", times.back());
        std::string cell = text;
        cell[cell.find('.')] = ',';
        csv += cell + ";P" + std::to_string(k + 1) + "\r\n";
    }
    ProgramDocument doc;
    Imported result = Import(csv, doc);
    ASSERT_TRUE(result.Plan.Refused.empty());
    EXPECT_TRUE(result.Outcome.Corrections.empty());

    double largest = 0, perDelayDrift = 0, perDelayTime = 0;
    for (int k = 0; k < 30; ++k) {
        EXPECT_EQ(doc.Table.Slots[size_t(k)].Type, k == 0 ? Manual : Automatic);
        double residual = std::fabs(doc.Table.GetChannelTime(k) - times[size_t(k)]);
        EXPECT_LE(residual, TimeStep / 2 + 1e-9) << "channel " << k + 1;
        largest = std::max(largest, residual);
        // What rounding each delay on its own would have given.
        double delay = k == 0 ? times[0] : times[size_t(k)] - times[size_t(k - 1)];
        perDelayTime += std::nearbyint(delay / TimeStep) * TimeStep;
        perDelayDrift = std::max(perDelayDrift, std::fabs(perDelayTime - times[size_t(k)]));
    }
    EXPECT_NEAR(result.Outcome.LargestResidual, largest, 1e-12);
    EXPECT_GT(perDelayDrift, 1.0); // the script is one where drift would show
    std::cout << "largest residual " << largest << " s, per-delay rounding drifts " << perDelayDrift
              << " s\n";
}

TEST(Spreadsheet, RefusedCellsAreNamed) {
    struct Case {
        std::string Bytes;
        std::vector<std::string> Refused;
    };
    const Case cases[] = {
        {"Voie;Type;Retard\n1;Manuel;0\n2;Automatique;1,2,3\n3;Automatique;4\n3;Manuel;2\n"
         "31;Manuel;2\nx;Manuel;1\n6;Semi;1\n7;Manuel;-2\n8;Manuel;\n;;\n",
         {"Ligne 3, colonne Retard : « 1,2,3 » n'est pas un nombre",
          "Ligne 5, colonne Voie : « 3 » est déjà donnée ligne 4",
          "Ligne 6, colonne Voie : « 31 » n'est pas une voie de 1 à 30",
          "Ligne 7, colonne Voie : « x » n'est pas une voie de 1 à 30",
          "Ligne 8, colonne Type : « Semi » n'est ni Manuel ni Automatique",
          "Ligne 9, colonne Retard : « -2 » est négatif",
          "Ligne 10, colonne Retard : la cellule est vide"}},
        {"Titre;T\nModèle;Ignivelle V40\n\nVoie;Type;Retard (s);Heure (s);Description\n"
         "1;Manuel;0;0,5x;\n16;Manuel;0;0;\n",
         {"Ligne 2, colonne B : « Ignivelle V40 » n'est pas un modèle d'Ignivelle",
          "Ligne 5, colonne Heure : « 0,5x » n'est pas un nombre"}},
        {"Voie;Type;Retard (s);Heure (s)\n1;Manuel;0;0\n2;Automatique;2;2,4\n3;Manuel;3;3\n",
         {"Ligne 3 : le retard de 2 s ne correspond pas à l'heure de 2,4 s ; ne gardez que "
          "l'une des deux colonnes"}},
        {"Titre;T\nModèle;Ignivelle\n\nVoie;Type;Heure (s)\n16;Manuel;0\n",
         {"Ligne 5, colonne Voie : « 16 » n'est pas une voie de 1 à 15"}},
        {"Produit;Couleur\nA;rouge\n", {"Aucune colonne ne donne l'heure ou le retard des voies"}},
        {"Heure\n1\n\"2\n", {"Ligne 3 : un guillemet ouvert n'est jamais fermé"}},
        {"", {"Le fichier ne contient aucun tableau"}},
        {"Heure\n\n", {"Le tableau ne contient aucune voie"}},
    };
    for (const Case& c : cases) {
        ProgramDocument doc;
        EXPECT_EQ(Import(c.Bytes, doc).Plan.Refused, c.Refused) << c.Bytes;
    }
    // A long script: every row past the model's channels is refused, the list stays readable.
    std::string long_ = "Heure\n";
    for (int k = 0; k < 200; ++k)
        long_ += std::to_string(k) + "\n";
    ProgramDocument doc;
    std::vector<std::string> refused = Import(long_, doc).Plan.Refused;
    ASSERT_EQ(refused.size(), MaxRefusalsListed + 1);
    EXPECT_EQ(refused.front(), "Ligne 32 : l'Ignivelle V30 n'a que 30 voies");
    EXPECT_EQ(refused.back(), "… et 120 autres lignes refusées");
}

TEST(Spreadsheet, CorrectionsOfTheDelayRulesAreListed) {
    ProgramDocument doc;
    Imported result = Import("Voie;Type;Heure\n1;Automatique;0\n2;Automatique;5\n3;Automatique;"
                             "5,05\n4;Automatique;4\n5;Manuel;7000\n",
                             doc);
    EXPECT_EQ(result.Outcome.Corrections,
              (std::vector<std::string>{"Voie 1 : la première voie reste Manuel",
                                        "Voie 3 : 5,05 s demandées, 5,2 s programmées",
                                        "Voie 4 : 4 s demandées, 5,4 s programmées",
                                        "Voie 5 : 7000 s demandées, 0 s programmées"}));
    EXPECT_EQ(result.Outcome.ResidualChannel, 5);
}

TEST(Spreadsheet, RoundTripSavesTheSameProgramFile) {
    for (int model : {2, 1}) {
        ProgramDocument original;
        MakeSampleProgram(original);
        original.ChooseModel(model);
        std::string bytes =
            SpreadsheetBytes(original, original.Table, original.Data.ShownTimes, ',');
        ProgramDocument copy;
        Imported result = Import(bytes, copy);
        ASSERT_TRUE(result.Plan.Refused.empty());
        EXPECT_EQ(result.Outcome.LargestResidual, 0.0);
        EXPECT_EQ(ProgramFileBytes(copy), ProgramFileBytes(original)) << "model " << model;

        // And on into a second document, as the window receives it.
        ProgramDocument window;
        CopyProgram(copy, window);
        EXPECT_EQ(ProgramFileBytes(window), ProgramFileBytes(original)) << "model " << model;
        EXPECT_TRUE(window.Warnings.empty());
    }
}

// UTF-16 as a spreadsheet's "texte Unicode" writes it, with its byte-order mark.
std::string Utf16(const std::string& ascii, bool little) {
    std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
    for (unsigned char c : ascii) {
        // Latin-1 letters only: enough for French headings.
        std::string unit(1, char(c)), zero(1, '\0');
        out += little ? unit + zero : zero + unit;
    }
    return out;
}

TEST(Spreadsheet, GuessesAndTimesOfOtherTools) {
    struct Case {
        const char* Name;
        std::string Bytes;
        const char* Options;  // field separator, decimal mark, H: headings or D: data first
        std::string Expected; // the first channels' summary
        int FrameRate = DefaultFrameRate;
    };
    const Case cases[] = {
        {"LibreOffice's own CSV: commas between fields, decimals in quotes",
         "Titre,Feu; 14 juillet,,,\nMod\xE8le,Ignivelle V30,,,\n,,,,\n"
         "Voie,Type,Retard (s),Heure (s),Description\n1,Manuel,0,0,Ouverture\n"
         "2,Automatique,\"0,4\",\"0,4\",Bouquet; rouge\n3,Automatique,1,\"1,4\",D\xE9\x63or\n",
         ",,H",
         "2 Feu; 14 juillet  |1 Manuel 0 Ouverture|2 Automatique 0,4 Bouquet; rouge|"
         "3 Automatique 1,4 Décor"},
        {"commas between fields, points in the numbers", "Heure,Effet\n1.4,A\n\"2.2\",B\n", ",.H",
         "2   |1 Manuel 1,4 A|2 Automatique 2,2 B"},
        {"no heading row: 30 times keep their first", "0\n1,4\n3\n", ";,D",
         "2   |1 Manuel 0 |2 Automatique 1,4 |3 Automatique 3 "},
        {"no heading row: channels, types, times and words found by their cells",
         "2;Automatique;0,4;Bouquet\n1;Manuel;0;Ouverture\n", ";,D",
         "2   |1 Manuel 0 Ouverture|2 Automatique 0,4 Bouquet"},
        {"times as show tools write them",
         "Type;Heure\nManuel;00:03,52\nManuel;00:03.52\nManuel;1:02:03,4\nManuel;00:00:03:13\n"
         "Manuel;1 233,52\nManuel;1\xC2\xA0"
         "233,52\nManuel;1\xE2\x80\xAF"
         "233,52\nManuel;3,52 s\n",
         ";,H",
         "2   |1 Manuel 3,6 |2 Manuel 3,6 |3 Manuel 3723,4 |4 Manuel 3,6 |5 Manuel 1233,6 |"
         "6 Manuel 1233,6 |7 Manuel 1233,6 |8 Manuel 3,6 "},
        {"frames at 30 per second", "Heure\n00:00:03:28\n", ";,H", "2   |1 Manuel 4 ", 30},
        {"UTF-16, little end first",
         Utf16("Voie;Heure;D\xE9signation\r\n1;2,4;Com\xE8te\r\n", true), ";,H",
         "2   |1 Manuel 2,4 Comète"},
        {"UTF-16, big end first", Utf16("Heure\tNom\r\n0,2\t\xC9toile\r\n", false), "\t,H",
         "2   |1 Manuel 0,2 Étoile"},
        {"a cue number is not a channel", "N\xC2\xB0 cue;Heure;Effet\n101;0;A\n102;1;B\n", ";,H",
         "2   |1 Manuel 0 A|2 Automatique 1 B"},
        {"a number heading over channel numbers is", "N\xC2\xB0;Heure\n2;1\n1;0\n", ";,H",
         "2   |1 Manuel 0 |2 Automatique 1 "},
    };
    for (const Case& c : cases) {
        SheetOptions options = GuessSheetOptions(c.Bytes);
        EXPECT_EQ(std::string({options.FieldSeparator, options.DecimalSeparator,
                               options.Headings ? 'H' : 'D'}),
                  c.Options)
            << c.Name;
        ProgramDocument doc;
        Imported result = Import(c.Bytes, doc, c.FrameRate);
        EXPECT_EQ(result.Plan.Refused, std::vector<std::string>()) << c.Name;
        EXPECT_EQ(result.Plan.Notes, std::vector<std::string>()) << c.Name;
        std::string head =
            Head(Summary(doc), std::count(c.Expected.begin(), c.Expected.end(), '|'));
        EXPECT_EQ(head, c.Expected) << c.Name;
    }
}

TEST(Spreadsheet, TimesStillRefusedSayWhy) {
    ProgramDocument doc;
    EXPECT_EQ(Import("Heure;Effet\n1,5;a\n2,5;b\n3.52;c\n12:75;d\n1:2:3:4:5;e\n00:00:03:25;f\n"
                     "1 23,5;g\n1:x;h\n",
                     doc)
                  .Plan.Refused,
              (std::vector<std::string>{
                  "Ligne 4, colonne Heure : « 3.52 » n'est pas un nombre (décimales choisies : "
                  "la virgule)",
                  "Ligne 5, colonne Heure : « 12:75 » n'est pas une heure (minutes et secondes "
                  "vont de 0 à 59)",
                  "Ligne 6, colonne Heure : « 1:2:3:4:5 » n'est pas une heure (format "
                  "heure:minutes non reconnu)",
                  "Ligne 7, colonne Heure : « 00:00:03:25 » n'est pas une heure (à 25 images par "
                  "seconde, l'image va de 0 à 24)",
                  "Ligne 8, colonne Heure : « 1 23,5 » n'est pas un nombre (espace ailleurs "
                  "qu'entre les milliers)",
                  "Ligne 9, colonne Heure : « 1:x » n'est pas une heure (format heure:minutes non "
                  "reconnu)"}));
    // A first row of data kept as headings at the user's word is said, not dropped unseen.
    SheetOptions options = GuessSheetOptions("0\n1,4\n");
    options.Headings = true;
    SheetTable table = ReadSheet("0\n1,4\n", options);
    EXPECT_EQ(PlanImport(table, GuessColumns(table), ',').Notes,
              std::vector<std::string>{
                  "Ligne 1 : prise pour les titres des colonnes, elle n'est pas importée"});
}

TEST(Spreadsheet, WideRowsStopTheReading) {
    // Empty cells past the limit are a spreadsheet's habit; a filled one is not a show's table.
    std::string trailing = "Heure" + std::string(5000, ';') + "\n1\n";
    SheetTable fine = ReadSheet(trailing, SheetOptions());
    EXPECT_FALSE(fine.TooWide);
    EXPECT_EQ(fine.ColumnCount(), 1);
    std::string wide = "Heure\n1";
    for (int k = 0; k < 2000000; ++k)
        wide += ";x";
    SheetTable table = ReadSheet(wide, SheetOptions());
    EXPECT_TRUE(table.TooWide);
    EXPECT_EQ(table.ColumnCount(), MaxSheetColumns);
    EXPECT_EQ(table.Problems, std::vector<std::string>{"Ligne 2 : plus de 256 colonnes"});
}
