#include "model/files/Spreadsheet.h"

#include "model/files/ProgramDocument.h"
#include "model/files/SheetCells.h"
#include "model/io/Text.h"
#include "model/io/Windows1252.h"
#include "model/program/TimeText.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <optional>

namespace salvo {

const char* const SheetHeadings = "Voie;Type;Retard (s);Heure (s);Description";

namespace {

const char* const Bom = "\xEF\xBB\xBF";

// ---------------------------------------------------------------------------------------
// Writing

void AppendRow(std::string& out, std::initializer_list<std::string> fields) {
    bool first = true;
    for (const std::string& f : fields) {
        if (!first)
            out += ';';
        out += SheetField(f);
        first = false;
    }
    out += "\r\n";
}

// ---------------------------------------------------------------------------------------
// Reading

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// Length of the valid UTF-8 sequence at i, or 0.
size_t Utf8SequenceAt(std::string_view s, size_t i) {
    auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    unsigned char c = b(i);
    if (c < 0x80)
        return 1;
    size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (n == 0 || c > 0xF4 || i + n > s.size())
        return 0;
    for (size_t k = 1; k < n; ++k)
        if ((b(i + k) & 0xC0) != 0x80)
            return 0;
    // Overlong forms, surrogates and code points above U+10FFFF.
    if ((c == 0xE0 && b(i + 1) < 0xA0) || (c == 0xED && b(i + 1) > 0x9F) ||
        (c == 0xF0 && b(i + 1) < 0x90) || (c == 0xF4 && b(i + 1) > 0x8F))
        return 0;
    return n;
}

bool IsUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        size_t n = Utf8SequenceAt(s, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string Decode(std::string_view bytes, SheetEncoding encoding) {
    if (StartsWith(bytes, Bom))
        bytes.remove_prefix(3);
    if (encoding == SheetEncoding::Windows1252)
        return Windows1252ToUtf8(bytes);
    std::string out;
    out.reserve(bytes.size());
    // Valid runs are copied whole.
    size_t run = 0;
    for (size_t i = 0; i < bytes.size();) {
        size_t n = static_cast<unsigned char>(bytes[i]) < 0x80 ? 1 : Utf8SequenceAt(bytes, i);
        if (n == 0) {
            out.append(bytes.substr(run, i - run));
            out += "\xEF\xBF\xBD"; // the replacement character: the user sees where it went wrong
            run = ++i;
        } else {
            i += n;
        }
    }
    out.append(bytes.substr(run));
    return out;
}

// Lower case without the accents of French headings, for comparing names.
std::string Folded(std::string_view text) {
    static const std::pair<const char*, char> accents[] = {
        {"é", 'e'}, {"è", 'e'}, {"ê", 'e'}, {"ë", 'e'}, {"É", 'e'}, {"È", 'e'},
        {"Ê", 'e'}, {"à", 'a'}, {"â", 'a'}, {"À", 'a'}, {"î", 'i'}, {"ï", 'i'},
        {"ô", 'o'}, {"û", 'u'}, {"ù", 'u'}, {"ç", 'c'}, {"Ç", 'c'}, {"°", 'o'}};
    std::string out;
    text = TrimSpaceAndControls(text);
    for (size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto& [from, to] : accents) {
            if (StartsWith(text.substr(i), from)) {
                out += to;
                i += std::string_view(from).size();
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            char c = text[i++];
            out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        }
    }
    return out;
}

bool EmptyRow(const std::vector<std::string>& row) {
    return std::all_of(row.begin(), row.end(),
                       [](const std::string& c) { return TrimSpaceAndControls(c).empty(); });
}

// Keys of the header block, folded.
enum class HeaderKey { None, Title, Serial, Version, Model };

HeaderKey HeaderKeyOf(const std::vector<std::string>& row) {
    if (row.empty() || row.size() > 2) // a key and its value
        return HeaderKey::None;
    std::string key = Folded(row[0]);
    if (key == "titre")
        return HeaderKey::Title;
    if (key == "numero de serie")
        return HeaderKey::Serial;
    if (key == "version")
        return HeaderKey::Version;
    if (key == "modele")
        return HeaderKey::Model;
    return HeaderKey::None;
}

// Collects refusals, the first ones in full and the rest counted.
class Refusals {
public:
    explicit Refusals(std::vector<std::string>& list) : List(list) {}
    void Finish() {
        if (ExtraCells + ExtraRows == 0)
            return;
        auto count = [](size_t n, const char* one, const char* many) {
            return std::to_string(n) + (n == 1 ? one : many);
        };
        std::string text = "… et ";
        if (ExtraCells > 0)
            text += count(ExtraCells, " autre cellule", " autres cellules");
        if (ExtraCells > 0 && ExtraRows > 0)
            text += " et ";
        if (ExtraRows > 0)
            text += count(ExtraRows, " autre ligne", " autres lignes");
        List.push_back(text + (ExtraCells + ExtraRows == 1 ? " refusée" : " refusées"));
    }

    // A fault of a whole row (or of the file).
    void Add(std::string text) { Keep(std::move(text), ExtraRows); }
    void Cell(int row, const char* column, std::string_view text, const std::string& why) {
        Keep("Ligne " + std::to_string(row) + ", colonne " + column + " : « " + std::string(text) +
                 " » " + why,
             ExtraCells);
    }
    void Empty(int row, const char* column) {
        Keep("Ligne " + std::to_string(row) + ", colonne " + column + " : la cellule est vide",
             ExtraCells);
    }

private:
    void Keep(std::string text, size_t& extra) {
        if (List.size() < MaxRefusalsListed)
            List.push_back(std::move(text));
        else
            ++extra;
    }

    std::vector<std::string>& List;
    size_t ExtraCells = 0, ExtraRows = 0;
};

std::optional<int32_t> TypeOf(std::string_view text) {
    std::string t = Folded(text);
    if (t == "manuel" || t == "manual" || t == "m" || t == "0")
        return Manual;
    if (t == "automatique" || t == "automatic" || t == "auto" || t == "a" || t == "1")
        return Automatic;
    return std::nullopt;
}

// The double the grid's text of a time reads back as: a manual channel at 6553,4 must be
// given 6553.4, not the product 32767 * 0.2, which lies above it and would be refused.
double AsShown(double seconds) {
    return ParseTime(FormatTime(seconds, '.'), '.').value_or(seconds);
}

// The nearest point of the 0.2 s grid. Every time of a sequence goes to its own nearest
// point and the delays become the differences of those points, so no channel ends more than
// half a step from its time; rounding each delay on its own would add the errors up.
double NearestGridTime(double seconds) {
    return AsShown(std::nearbyint(seconds / TimeStep) * TimeStep);
}

} // namespace

std::string SpreadsheetBytes(const ProgramSource& program, const ChannelTable& table,
                             const ShownTimeArray& shownTimes, char decimalSeparator) {
    std::string out = Bom;
    int model = program.ModelIndex();
    if (model < 0 || model >= ModelCount)
        model = DefaultModel;
    AppendRow(out, {"Titre", program.Title()});
    AppendRow(out, {"Numéro de série", program.SerialNumber()});
    AppendRow(out, {"Version", program.Version()});
    AppendRow(out, {"Modèle", ModelNames[static_cast<size_t>(model)]});
    out += "\r\n";
    out += SheetHeadings;
    out += "\r\n";
    int count = std::min(program.ChannelCount(), SlotCount);
    for (int row = 1; row <= count; ++row) {
        const ChannelSlot& slot = table.Slots[static_cast<size_t>(row - 1)];
        AppendRow(out, {std::to_string(row), ChannelTypeNames[slot.Type == Automatic ? 1 : 0],
                        FormatTime(slot.Steps * TimeStep, decimalSeparator),
                        FormatTime(shownTimes[static_cast<size_t>(row - 1)], decimalSeparator),
                        program.Description(row)});
    }
    return out;
}

char GuessDecimalSeparator(const SheetTable& table, char fieldSeparator) {
    // A look at the first rows is enough, and keeps a long file quick.
    constexpr size_t RowsLooked = 100;
    constexpr int AnyRate = 30;
    size_t points = 0, commas = 0;
    const size_t first = static_cast<size_t>(std::max(table.FirstRow, 0));
    for (size_t r = first; r < table.Rows.size() && r < first + RowsLooked; ++r)
        for (const std::string& cell : table.Rows[r]) {
            std::string_view t = TrimAllSpaces(cell);
            const size_t colon = t.rfind(':');
            std::string_view number = colon == std::string_view::npos ? t : t.substr(colon + 1);
            const bool comma = number.find(',') != std::string_view::npos;
            const bool point = number.find('.') != std::string_view::npos;
            if (comma == point)
                continue;
            const char mark = comma ? ',' : '.';
            if (ReadSheetSeconds(t, mark, AnyRate).Value)
                ++(comma ? commas : points);
        }
    if (points == commas)
        return fieldSeparator == ',' ? '.' : ',';
    return points > commas ? '.' : ',';
}

bool FirstRowIsData(const SheetTable& table, char decimalSeparator) {
    if (table.FirstRow < 0 || table.HasHeaderBlock)
        return false;
    // What a cell holds: nothing, a number or a time, a channel type, or words.
    enum Kind { Nothing, Number, TypeWord, Words };
    auto kindOf = [decimalSeparator](std::string_view cell) {
        cell = TrimAllSpaces(cell);
        if (cell.empty())
            return Nothing;
        if (ReadSheetSeconds(cell, decimalSeparator, 30).Value)
            return Number;
        return TypeOf(cell) ? TypeWord : Words;
    };
    const auto& first = table.Rows[static_cast<size_t>(table.FirstRow)];
    std::vector<const std::vector<std::string>*> next;
    for (size_t r = static_cast<size_t>(table.FirstRow) + 1;
         r < table.Rows.size() && next.size() < 5; ++r)
        if (!EmptyRow(table.Rows[r]))
            next.push_back(&table.Rows[r]);
    int data = 0, headings = 0;
    for (size_t c = 0; c < first.size(); ++c) {
        const Kind mine = kindOf(first[c]);
        if (mine == Nothing)
            continue;
        if (next.empty()) {
            data += mine == Number;
            continue;
        }
        // The kind of the column below: the one most of its cells have.
        std::array<int, 4> kinds{};
        for (const auto* row : next)
            if (c < row->size())
                ++kinds[kindOf((*row)[c])];
        const Kind below = kinds[Number] >= kinds[TypeWord] ? Number : TypeWord;
        if (kinds[below] * 2 <= static_cast<int>(next.size()))
            continue; // a column of words or of gaps tells nothing
        if (mine == below)
            ++data;
        else if (mine == Words)
            ++headings;
    }
    return data > headings;
}

SheetOptions GuessSheetOptions(std::string_view bytes) {
    std::string converted;
    if (IsUtf16(bytes)) {
        converted = Utf16AsUtf8(bytes);
        bytes = converted;
    }
    SheetOptions options;
    options.Encoding =
        StartsWith(bytes, Bom) || IsUtf8(bytes) ? SheetEncoding::Utf8 : SheetEncoding::Windows1252;
    // The separator found on most of the first lines, then the one they use most, quoted text
    // left out: a single text full of commas does not outweigh a semicolon on every line.
    // Commas that only ever stand between digits are decimal commas of a single column, not
    // separators.
    std::array<size_t, 3> counts{}, linesWith{};
    std::array<bool, 3> onLine{};
    const char candidates[3] = {';', '\t', ','};
    bool quoted = false, commaSeparates = false;
    int lines = 0;
    auto endLine = [&] {
        for (size_t k = 0; k < 3; ++k)
            linesWith[k] += onLine[k];
        onLine = {};
    };
    auto digit = [&](size_t i) { return i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9'; };
    for (size_t i = 0; i < bytes.size() && lines < 10; ++i) {
        char c = bytes[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == '\n') {
            ++lines;
            endLine();
        } else {
            for (size_t k = 0; k < 3; ++k) {
                counts[k] += c == candidates[k];
                onLine[k] = onLine[k] || c == candidates[k];
            }
            bool betweenDigits = i > 0 && digit(i - 1) && digit(i + 1);
            if ((c == ',' && !betweenDigits) || (c == '.' && betweenDigits))
                commaSeparates = true;
        }
    }
    endLine();
    if (!commaSeparates)
        counts[2] = linesWith[2] = 0;
    size_t best = 0;
    for (size_t k = 1; k < 3; ++k)
        if (linesWith[k] > linesWith[best] ||
            (linesWith[k] == linesWith[best] && counts[k] > counts[best]))
            best = k;
    options.FieldSeparator = candidates[best];
    // The decimal mark and the headings from the cells of the first lines.
    constexpr int LinesLooked = 100;
    size_t end = 0;
    for (int line = 0; line < LinesLooked && end < bytes.size(); ++line) {
        size_t next = bytes.find('\n', end);
        end = next == std::string_view::npos ? bytes.size() : next + 1;
    }
    SheetTable table = ReadSheet(bytes.substr(0, end), options);
    options.DecimalSeparator = GuessDecimalSeparator(table, options.FieldSeparator);
    options.Headings = !FirstRowIsData(table, options.DecimalSeparator);
    return options;
}

int SheetTable::ColumnCount() const {
    size_t n = 0;
    for (const auto& row : Rows)
        n = std::max(n, row.size());
    return static_cast<int>(n);
}

SheetTable ReadSheet(std::string_view bytes, const SheetOptions& options) {
    SheetTable table;
    table.Headings = options.Headings;
    std::string text = IsUtf16(bytes) ? Decode(Utf16AsUtf8(bytes), SheetEncoding::Utf8)
                                      : Decode(bytes, options.Encoding);
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;    // inside a quoted part
    bool wasQuoted = false; // the field began with a quote
    auto endField = [&] {
        // Empty cells past the limit cost nothing; a filled one makes the table too wide.
        if (row.size() < static_cast<size_t>(MaxSheetColumns))
            row.push_back(std::move(field));
        else if (!field.empty())
            table.TooWide = true;
        field.clear();
        wasQuoted = false;
    };
    auto endRow = [&] {
        endField();
        while (!row.empty() && row.back().empty())
            row.pop_back();
        const size_t width = row.size();
        table.Rows.push_back(std::move(row));
        row.clear();
        row.reserve(width); // rows are mostly alike
    };
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quoted) {
            if (c != '"')
                field += c;
            else if (i + 1 < text.size() && text[i + 1] == '"')
                field += text[++i];
            else
                quoted = false;
        } else if (c == '"' && field.empty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == options.FieldSeparator) {
            endField();
            if (table.TooWide)
                break;
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            endRow();
            if (table.TooWide)
                break;
        } else {
            // The rest of a plain field in one piece.
            size_t end = i + 1;
            while (end < text.size() && text[end] != options.FieldSeparator && text[end] != '"' &&
                   text[end] != '\r' && text[end] != '\n')
                ++end;
            field.append(text, i, end - i);
            i = end - 1;
        }
    }
    const size_t unclosedAt = table.Rows.size() + 1;
    if (!field.empty() || !row.empty() || wasQuoted)
        endRow();
    if (table.TooWide)
        table.Problems.push_back("Ligne " + std::to_string(table.Rows.size()) + " : plus de " +
                                 std::to_string(MaxSheetColumns) + " colonnes");
    else if (quoted)
        table.Problems.push_back("Ligne " + std::to_string(unclosedAt) +
                                 " : un guillemet ouvert n'est jamais fermé");

    // Our own export starts with its header block; any other table with its headings.
    size_t r = 0;
    while (r < table.Rows.size() && EmptyRow(table.Rows[r]))
        ++r;
    // A table whose first heading happens to be "Titre" has more columns, or no key row next.
    size_t second = r + 1;
    while (second < table.Rows.size() && EmptyRow(table.Rows[second]))
        ++second;
    if (second < table.Rows.size() && HeaderKeyOf(table.Rows[r]) == HeaderKey::Title &&
        HeaderKeyOf(table.Rows[second]) != HeaderKey::None) {
        table.HasHeaderBlock = true;
        while (r < table.Rows.size() &&
               (EmptyRow(table.Rows[r]) || HeaderKeyOf(table.Rows[r]) != HeaderKey::None))
            ++r;
    }
    if (r < table.Rows.size())
        table.FirstRow = static_cast<int>(r);
    return table;
}

SheetProbe ProbeSheet(std::string_view bytes) {
    SheetProbe p;
    p.Text = Utf16AsUtf8(bytes);
    p.Options = GuessSheetOptions(p.Text);
    p.Table = ReadSheet(p.Text, p.Options);
    if (p.Text.find('\0') != std::string::npos || p.Table.FirstRow < 0)
        p.Fault = SheetFault::NotATable;
    else if (p.Table.TooWide)
        p.Fault = SheetFault::TooWide;
    return p;
}

namespace {

// How many data rows the guesses by content look at.
constexpr size_t RowsSampled = 200;

// Every filled cell of the column is a different channel number, and there is one at least.
bool ChannelNumbers(const SheetTable& table, size_t column) {
    std::array<bool, SlotCount + 1> seen{};
    int filled = 0;
    for (size_t r = static_cast<size_t>(table.FirstDataRow()); r < table.Rows.size(); ++r) {
        const auto& row = table.Rows[r];
        std::string_view text = column < row.size() ? TrimAllSpaces(row[column]) : "";
        if (text.empty())
            continue;
        std::optional<int32_t> n = ParseInt32(text);
        if (!n || *n < 1 || *n > SlotCount || seen[static_cast<size_t>(*n)])
            return false;
        seen[static_cast<size_t>(*n)] = true;
        ++filled;
    }
    return filled > 0;
}

// Columns of a table without headings, by what their cells hold: channel numbers before the
// times, then times or numbers, channel types, words.
ColumnMapping ColumnsByCells(const SheetTable& table) {
    ColumnMapping m;
    std::vector<int> numbers;
    for (int c = 0; c < table.ColumnCount(); ++c) {
        int filled = 0, numeric = 0, types = 0;
        size_t looked = 0;
        for (size_t r = static_cast<size_t>(table.FirstDataRow());
             r < table.Rows.size() && looked < RowsSampled; ++r, ++looked) {
            const auto& row = table.Rows[r];
            std::string_view text =
                static_cast<size_t>(c) < row.size() ? TrimAllSpaces(row[size_t(c)]) : "";
            if (text.empty())
                continue;
            ++filled;
            numeric +=
                ReadSheetSeconds(text, ',', 30).Value || ReadSheetSeconds(text, '.', 30).Value;
            types += TypeOf(text).has_value();
        }
        if (filled == 0)
            continue;
        if (numeric == filled)
            numbers.push_back(c);
        else if (types == filled && m.Type < 0)
            m.Type = c;
        else if (m.Description < 0)
            m.Description = c;
    }
    if (numbers.size() >= 2 && ChannelNumbers(table, static_cast<size_t>(numbers[0])))
        m.Channel = numbers[0];
    for (int c : numbers)
        if (c != m.Channel) {
            m.Time = c;
            break;
        }
    return m;
}

} // namespace

ColumnMapping GuessColumns(const SheetTable& table) {
    ColumnMapping m;
    if (table.FirstRow < 0)
        return m;
    if (!table.Headings)
        return ColumnsByCells(table);
    const auto& headings = table.Rows[static_cast<size_t>(table.HeadingRow())];
    struct Rule {
        int ColumnMapping::*Role;
        std::vector<const char*> Prefixes;
    };
    const Rule rules[] = {
        {&ColumnMapping::Channel, {"voie", "canal", "channel", "numero", "no ", "no."}},
        {&ColumnMapping::Type, {"type"}},
        {&ColumnMapping::Delay, {"retard", "delai", "delay", "intervalle"}},
        {&ColumnMapping::Time, {"heure", "temps", "time", "instant", "top"}},
        {&ColumnMapping::Description,
         {"description", "designation", "produit", "libelle", "nom", "commentaire", "effet"}},
    };
    // "N° cue" may number the lines of another show tool: a channel only when its cells are.
    const char* const anyNumber[] = {"numero", "no ", "no."};
    for (size_t c = 0; c < headings.size(); ++c) {
        std::string h = Folded(headings[c]) + ' '; // "no" alone, not "nom"
        for (const Rule& rule : rules) {
            bool match = std::any_of(rule.Prefixes.begin(), rule.Prefixes.end(),
                                     [&](const char* p) { return StartsWith(h, p); });
            if (match && rule.Role == &ColumnMapping::Channel &&
                std::any_of(std::begin(anyNumber), std::end(anyNumber),
                            [&](const char* p) { return StartsWith(h, p); }) &&
                !ChannelNumbers(table, c))
                match = false;
            if (match && m.*rule.Role < 0) {
                m.*rule.Role = static_cast<int>(c);
                break;
            }
        }
    }
    return m;
}

namespace {

void Plan(const SheetTable& table, const ColumnMapping& columns, char decimalSeparator,
          int frameRate, ImportPlan& plan, Refusals& refuse) {
    for (const std::string& p : table.Problems)
        refuse.Add(p);
    auto cellOf = [](const std::vector<std::string>& row, int c) -> std::string_view {
        return c >= 0 && static_cast<size_t>(c) < row.size()
                   ? TrimSpaceAndControls(row[static_cast<size_t>(c)])
                   : std::string_view();
    };

    int headingRow = table.FirstRow < 0 ? static_cast<int>(table.Rows.size()) : table.FirstRow;
    if (table.HasHeaderBlock) {
        for (int r = 0; r < headingRow; ++r) {
            const auto& row = table.Rows[static_cast<size_t>(r)];
            std::string value(cellOf(row, 1));
            switch (HeaderKeyOf(row)) {
            case HeaderKey::Title:
                plan.Title = value;
                break;
            case HeaderKey::Serial:
                plan.SerialNumber = value;
                break;
            case HeaderKey::Version:
                plan.Version = value;
                break;
            case HeaderKey::Model: {
                auto it = std::find(ModelNames.begin(), ModelNames.end(), value);
                if (it == ModelNames.end())
                    refuse.Cell(r + 1, "B", value, "n'est pas un modèle d'Ignivelle");
                else
                    plan.Model = static_cast<int>(it - ModelNames.begin());
                break;
            }
            case HeaderKey::None:
                break;
            }
        }
    }
    if (table.FirstRow < 0) {
        refuse.Add("Le fichier ne contient aucun tableau");
        return;
    }
    if (table.Headings && FirstRowIsData(table, decimalSeparator))
        plan.Notes.push_back("Ligne " + std::to_string(table.FirstRow + 1) +
                             " : prise pour les titres des colonnes, elle n'est pas importée");
    bool useTime = columns.Time >= 0;
    if (!useTime && columns.Delay < 0) {
        refuse.Add("Aucune colonne ne donne l'heure ou le retard des voies");
        return;
    }
    const char* timeColumn = useTime ? "Heure" : "Retard";
    int count = ChannelCountByModel[static_cast<size_t>(plan.Model)];
    std::string range = "n'est pas une voie de 1 à " + std::to_string(count);

    std::array<double, SlotCount> delays{};
    int next = 1;
    for (size_t r = static_cast<size_t>(table.FirstDataRow()); r < table.Rows.size(); ++r) {
        const auto& row = table.Rows[r];
        if (EmptyRow(row))
            continue;
        int line = static_cast<int>(r) + 1;
        int channel = next++;
        if (columns.Channel >= 0) {
            std::string_view text = cellOf(row, columns.Channel);
            std::optional<int32_t> n = ParseInt32(text);
            if (text.empty()) {
                refuse.Empty(line, "Voie");
                continue;
            }
            if (!n || *n < 1 || *n > count) {
                refuse.Cell(line, "Voie", text, range);
                continue;
            }
            channel = *n;
            const PlannedChannel& earlier = plan.Channels[static_cast<size_t>(channel - 1)];
            if (earlier.Given) {
                refuse.Cell(line, "Voie", text,
                            "est déjà donnée ligne " + std::to_string(earlier.Row));
                continue;
            }
        } else if (channel > count) {
            refuse.Add("Ligne " + std::to_string(line) + " : l'" +
                       ModelNames[static_cast<size_t>(plan.Model)] + " n'a que " +
                       std::to_string(count) + " voies");
            continue;
        }
        PlannedChannel p;
        p.Given = true;
        p.Row = line;
        p.Type = channel == 1 ? Manual : Automatic;
        bool ok = true;
        if (columns.Type >= 0) {
            std::string_view text = cellOf(row, columns.Type);
            std::optional<int32_t> type = TypeOf(text);
            if (text.empty()) {
                refuse.Empty(line, "Type");
                ok = false;
            } else if (!type) {
                refuse.Cell(line, "Type", text, "n'est ni Manuel ni Automatique");
                ok = false;
            } else {
                p.Type = *type;
            }
        }
        // A number of seconds, 0 or more.
        auto seconds = [&](int column, const char* name, double& out) {
            std::string_view text = cellOf(row, column);
            const SheetSeconds read = ReadSheetSeconds(text, decimalSeparator, frameRate);
            const std::optional<double>& value = read.Value;
            if (text.empty())
                refuse.Empty(line, name);
            else if (!value)
                refuse.Cell(line, name, text, read.Why);
            else if (*value < 0)
                refuse.Cell(line, name, text, "est négatif");
            else
                out = *value;
            return value && *value >= 0;
        };
        ok = seconds(useTime ? columns.Time : columns.Delay, timeColumn, p.Time) && ok;
        // Both given, as in our own export: the delay is checked against the times below.
        if (useTime && columns.Delay >= 0)
            ok = seconds(columns.Delay, "Retard", delays[static_cast<size_t>(channel - 1)]) && ok;
        p.Description = std::string(cellOf(row, columns.Description));
        if (!ok)
            continue;
        plan.Channels[static_cast<size_t>(channel - 1)] = p;
        plan.LastChannel = std::max(plan.LastChannel, channel);
    }
    if (plan.LastChannel == 0 && plan.Refused.empty())
        refuse.Add("Le tableau ne contient aucune voie");

    double previous = 0;
    for (size_t k = 0; k < static_cast<size_t>(plan.LastChannel); ++k) {
        PlannedChannel& p = plan.Channels[k];
        bool follows = p.Given && k > 0 && p.Type == Automatic;
        if (!useTime && follows) {
            // Own delays become times from the press, added up before any rounding.
            p.Time += previous;
        } else if (useTime && columns.Delay >= 0 && p.Given) {
            // A delay changed in the spreadsheet without its time (or the other way round)
            // must not be dropped without a word.
            double own = follows ? p.Time - previous : p.Time;
            if (std::fabs(own - delays[k]) > TimeStep / 2 + 1e-9)
                refuse.Add("Ligne " + std::to_string(p.Row) + " : le retard de " +
                           FormatTime(delays[k], decimalSeparator) +
                           " s ne correspond pas à l'heure de " +
                           FormatTime(p.Time, decimalSeparator) +
                           " s ; ne gardez que l'une des deux colonnes");
        }
        previous = p.Time; // a channel not given stays manual at 0
    }
}

} // namespace

ImportPlan PlanImport(const SheetTable& table, const ColumnMapping& columns, char decimalSeparator,
                      int frameRate) {
    ImportPlan plan;
    Refusals refuse(plan.Refused);
    Plan(table, columns, decimalSeparator, frameRate, plan, refuse);
    refuse.Finish();
    return plan;
}

ImportOutcome ImportInto(const ImportPlan& plan, ProgramDocument& doc) {
    ImportOutcome outcome;
    doc.SetModel(plan.Model);
    doc.SetTitle(plan.Title);
    doc.SetSerialNumber(plan.SerialNumber);
    doc.SetVersion(plan.Version);
    for (int k = 0; k < plan.LastChannel; ++k) {
        const PlannedChannel& p = plan.Channels[static_cast<size_t>(k)];
        if (!p.Given)
            continue;
        doc.ChangeChannelType(k, p.Type);
        doc.ApplyChannelTime(k, NearestGridTime(p.Time));
        doc.SetDescription(k + 1, p.Description);
    }
    char sep = doc.Separator;
    for (int k = 0; k < plan.LastChannel; ++k) {
        const PlannedChannel& p = plan.Channels[static_cast<size_t>(k)];
        if (!p.Given)
            continue;
        double programmed = doc.Table.GetChannelTime(k);
        double residual = std::fabs(programmed - p.Time);
        if (residual < 1e-9)
            residual = 0; // what summing doubles leaves on a time that is on the grid
        if (residual > outcome.LargestResidual) {
            outcome.LargestResidual = residual;
            outcome.ResidualChannel = k + 1;
        }
        std::string name = "Voie " + std::to_string(k + 1) + " : ";
        if (k == 0 && p.Type == Automatic)
            outcome.Corrections.push_back(name + "la première voie reste Manuel");
        // Beyond half a step (and what the double sums may add), the rules moved it.
        if (residual > TimeStep / 2 + 1e-9)
            outcome.Corrections.push_back(name + FormatTime(p.Time, sep) + " s demandées, " +
                                          FormatTime(programmed, sep) + " s programmées");
    }
    return outcome;
}

void CopyProgram(EditableProgram& from, ProgramSink& to) {
    to.SetModel(from.ModelIndex());
    to.SetTitle(from.Title());
    to.SetSerialNumber(from.SerialNumber());
    to.SetVersion(from.Version());
    for (int k = 0; k < from.ChannelCount(); ++k) {
        to.ChangeChannelType(k, from.Channels().Slots[static_cast<size_t>(k)].Type);
        to.ApplyChannelTime(k, AsShown(from.Channels().GetChannelTime(k)));
        to.SetDescription(k + 1, from.Description(k + 1));
    }
}

} // namespace salvo
