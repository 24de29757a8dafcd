// Our export through a real spreadsheet program: LibreOffice, headless and in French, opens
// it, saves it as .xlsx, and saves that again as CSV, both with the options of our own export
// and with LibreOffice's own (commas between fields, decimals in quotes); each result imports
// as it is, its options guessed, to the same program.

#include "model/files/Spreadsheet.h"

#include "SpreadsheetSamples.h"
#include "TempFolder.h"
#include "model/files/ProgramDocument.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>

using namespace salvo;

TEST(SpreadsheetLibreOffice, ExportSurvivesXlsxAndBack) {
    if (std::system("command -v soffice >/dev/null 2>&1") != 0) {
        std::cout << "LibreOffice (soffice) is not installed: the check with a real spreadsheet "
                     "is skipped (Debian: libreoffice-calc-nogui)\n";
        GTEST_SKIP() << "soffice not installed";
    }
    TempFolder folder;
    ProgramDocument original;
    MakeSampleProgram(original);
    folder.Write("programme.csv",
                 SpreadsheetBytes(original, original.Table, original.Data.ShownTimes, ','));

    // A profile of its own: nothing of the user's, no clash with another run. French, as on
    // the machines the file is made for.
    std::string run = "cd '" + folder.Path("") + "' && LC_ALL=fr_FR.UTF-8 LANG=fr_FR.UTF-8 " +
                      "soffice -env:UserInstallation=file://" + folder.Path("profile") +
                      " --headless ";
    // The choices of LibreOffice's text import box: ";" separated, UTF-8.
    ASSERT_EQ(std::system((run + "--infilter=CSV:59,34,76,1 --convert-to xlsx programme.csv "
                                 ">/dev/null 2>&1")
                              .c_str()),
              0);
    ASSERT_EQ(std::system((run + "--convert-to 'csv:Text - txt - csv (StarCalc):59,34,76,1' "
                                 "--outdir back programme.xlsx >/dev/null 2>&1")
                              .c_str()),
              0);
    ASSERT_EQ(
        std::system((run + "--convert-to csv --outdir own programme.xlsx >/dev/null 2>&1").c_str()),
        0);
    const std::string own = folder.Read("own/programme.csv");
    // The file users bring back: if LibreOffice ever writes otherwise, this case is gone.
    ASSERT_NE(own.find(",\"0,4\","), std::string::npos) << own;

    for (const std::string& back : {folder.Read("back/programme.csv"), own}) {
        ASSERT_FALSE(back.empty());
        SheetOptions options = GuessSheetOptions(back);
        EXPECT_EQ(options.DecimalSeparator, ',');
        EXPECT_TRUE(options.Headings);
        SheetTable table = ReadSheet(back, options);
        ImportPlan plan = PlanImport(table, GuessColumns(table), options.DecimalSeparator);
        ASSERT_EQ(plan.Refused, std::vector<std::string>());
        ProgramDocument copy;
        ImportInto(plan, copy);
        EXPECT_EQ(ProgramFileBytes(copy), ProgramFileBytes(original));
    }
}
