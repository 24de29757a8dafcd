#pragma once
// Programs to and from spreadsheets: the CSV that French spreadsheets open without a question
// (";" between fields, the locale's decimal comma, CRLF, UTF-8 with a byte-order mark), and
// any plain table whose columns the user maps, timed scripts of absolute times included.
// Bytes in, bytes out: the windows do the file handling.

#include "model/files/ProgramFile.h"
#include "model/files/SheetCells.h"
#include "model/program/ChannelTable.h"
#include "model/program/DelayRules.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace salvo {

class EditableProgram;
class ProgramDocument;

// The headings of the exported channel table.
extern const char* const SheetHeadings;

// The export: a header block (title, serial number, version, model by name), an empty line,
// the headings, then one row per channel of the model: number, type as shown, own delay,
// time as shown (shownTimes), description.
std::string SpreadsheetBytes(const ProgramSource& program, const ChannelTable& table,
                             const ShownTimeArray& shownTimes, char decimalSeparator);

enum class SheetEncoding { Utf8, Windows1252 };

struct SheetOptions {
    char FieldSeparator = ';'; // ';', ',' or '\t'
    char DecimalSeparator = ',';
    SheetEncoding Encoding = SheetEncoding::Utf8; // a byte-order mark is skipped either way
    bool Headings = true; // the table's first row holds the columns' headings
};

// What the bytes most likely are: a BOM or valid UTF-8 means UTF-8; the separator that the
// first lines use most; the decimal mark the cells use; headings unless the first row reads
// as data.
SheetOptions GuessSheetOptions(std::string_view bytes);

// A wider row is not a show's table: it is refused rather than laid out.
constexpr int MaxSheetColumns = 256;

// The cells of a file, as UTF-8 texts. Row r is the spreadsheet's row r + 1.
struct SheetTable {
    std::vector<std::vector<std::string>> Rows;
    // The header block of our own export, when the file starts with one.
    bool HasHeaderBlock = false;
    int FirstRow = -1;    // the table's first row, after any header block; -1: no table
    bool Headings = true; // FirstRow holds headings rather than data
    bool TooWide = false; // a row has cells beyond MaxSheetColumns; reading stopped there
    std::vector<std::string> Problems; // file-level faults, such as an unclosed quote

    int HeadingRow() const { return Headings ? FirstRow : -1; }
    // The data rows: every row from this one on.
    int FirstDataRow() const {
        return FirstRow < 0 ? static_cast<int>(Rows.size()) : FirstRow + (Headings ? 1 : 0);
    }
    int ColumnCount() const;
};

SheetTable ReadSheet(std::string_view bytes, const SheetOptions& options);

// A file's bytes as a table, its options guessed from them (UTF-16 read as UTF-8). Empty bytes
// (a file too large to take) give no table.
enum class SheetFault {
    None,
    NotATable, // binary (a NUL byte) or without a single row
    TooWide,   // a row of more than MaxSheetColumns cells: no box could lay it out
};
struct SheetProbe {
    std::string Text; // the bytes as UTF-8
    SheetOptions Options;
    SheetTable Table;
    SheetFault Fault = SheetFault::None;
};
SheetProbe ProbeSheet(std::string_view bytes);

// The decimal mark most cells are written with; without any, a point when fields are
// separated by commas, else a comma.
char GuessDecimalSeparator(const SheetTable& table, char fieldSeparator);

// Whether the table's first row reads as data (times or numbers where headings would be
// words) rather than as headings.
bool FirstRowIsData(const SheetTable& table, char decimalSeparator);

// Which column (0-based, -1 for none) gives what. When both a delay and a time column are
// given, the times are used and every delay must agree with them.
struct ColumnMapping {
    int Channel = -1; // channel number; none: rows in order are channels 1, 2, ...
    int Type = -1;    // "Manuel" / "Automatique"; none: a timed script (1 manual, rest automatic)
    int Delay = -1;   // own delay: from the previous channel, or from the press when manual
    int Time = -1;    // time from the press that starts the channel's sequence
    int Description = -1;
};

// Columns found by their headings.
ColumnMapping GuessColumns(const SheetTable& table);

struct PlannedChannel {
    bool Given = false;
    int Row = 0; // spreadsheet row it came from
    int32_t Type = Manual;
    double Time = 0; // requested, seconds from the press of its sequence
    std::string Description;
};

struct ImportPlan {
    int Model = DefaultModel;
    std::string Title, SerialNumber, Version;
    std::array<PlannedChannel, SlotCount> Channels{};
    int LastChannel = 0; // the highest channel given
    // Every refused cell by row and column; an import with any is not made.
    std::vector<std::string> Refused;
    // Rows of the file that are not imported although they may be data.
    std::vector<std::string> Notes;
};

ImportPlan PlanImport(const SheetTable& table, const ColumnMapping& columns, char decimalSeparator,
                      int frameRate = DefaultFrameRate);

struct ImportOutcome {
    double LargestResidual = 0;           // seconds between a requested time and the programmed one
    int ResidualChannel = 0;              // its channel, 0 when none
    std::vector<std::string> Corrections; // channels the delay rules moved further
};

// Applies a plan without refusals to a freshly made document through ChangeChannelType and
// ApplyChannelTime, as the file reader does, and says how far the result lies from the plan.
ImportOutcome ImportInto(const ImportPlan& plan, ProgramDocument& doc);

// Gives a window the program of a document, through the same two operations; the times are
// those the document shows, so nothing is corrected a second time.
void CopyProgram(EditableProgram& from, ProgramSink& to);

// "Ligne 3, colonne Heure : « x » n'est pas un nombre" lists cut to a readable length.
constexpr size_t MaxRefusalsListed = 50;

} // namespace salvo
